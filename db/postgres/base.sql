-- What every database of a site needs before its tables: case-insensitive text (citext), as the
-- classic server compares text, and trigram indexes (pg_trgm) for the searches that match with
-- a leading wildcard. Both extensions are trusted: the database's owner may create them.
CREATE EXTENSION IF NOT EXISTS citext WITH SCHEMA public;
CREATE EXTENSION IF NOT EXISTS pg_trgm WITH SCHEMA public;

-- The change counter: triggers on the tables whose answers the engine keeps in memory raise n on
-- every insert, update, delete and truncate, whoever makes it, so every process notices at its
-- next request (engine/core/db/change_cache.h). n starts at a random value, so that a database
-- made again under the same name does not repeat the values of the one before. The triggers
-- fire once per statement: one raise of the counter's single row per statement, not per row, so
-- that a large import does not write the row once for every row it adds. (Procedures are
-- functions here: replacing one changes the schema, which the engine's counter query sees.)
CREATE TABLE kx_changes (n bigint NOT NULL);
INSERT INTO kx_changes (n) VALUES ((random() * 4503599627370496)::bigint);
CREATE FUNCTION kx_changes_count() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  UPDATE kx_changes SET n = n + 1;
  RETURN NULL;
END
$$;
