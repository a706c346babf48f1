-- Changes of the schema raise the change counter too: a table dropped, altered or made again (an
-- old dump restored), a function replaced. Only a superuser may make an event trigger, so this
-- runs apart from the rest, and only when the site's server login is one; without it the engine
-- tells such changes from the catalog, a dearer look on every reading of the counter. The
-- function runs as its owner, whoever changes the schema, so that a login that may not write
-- kx_changes still can; it does nothing once kx_changes itself is gone.
CREATE FUNCTION kx_schema_changed() RETURNS event_trigger LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, public AS $$
BEGIN
  IF to_regclass('public.kx_changes') IS NOT NULL THEN
    UPDATE public.kx_changes SET n = n + 1;
  END IF;
END
$$;
REVOKE ALL ON FUNCTION kx_schema_changed() FROM PUBLIC;
CREATE EVENT TRIGGER kx_schema_changes ON ddl_command_end EXECUTE FUNCTION kx_schema_changed();
