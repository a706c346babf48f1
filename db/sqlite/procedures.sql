-- Stored procedures of a database: each body is one or more statements with numbered
-- parameters ?1 .. ?n; the engine runs it with a call's arguments bound as values.
CREATE TABLE kx_procedures (
  name   TEXT    NOT NULL COLLATE NOCASE PRIMARY KEY,
  params INTEGER NOT NULL,
  body   TEXT    NOT NULL
);

-- The change counter: triggers on the tables whose answers the engine keeps in memory raise n on
-- every insert, update and delete, whoever makes it, so every process notices at its next
-- request (engine/core/db/change_cache.h). n starts at a random value, so that a database made
-- again under the same name does not repeat the values of the one before.
CREATE TABLE kx_changes (n INTEGER NOT NULL);
INSERT INTO kx_changes (n) VALUES (abs(random() % 4503599627370496));

-- Changes that the change counter counts (see procedures.sql).
CREATE TRIGGER kx_procedures_counted_ins AFTER INSERT ON kx_procedures BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER kx_procedures_counted_upd AFTER UPDATE ON kx_procedures BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER kx_procedures_counted_del AFTER DELETE ON kx_procedures BEGIN UPDATE kx_changes SET n = n + 1; END;
