-- Stored procedures of a database: each body is one or more statements with numbered
-- parameters ?1 .. ?n; the engine runs it with a call's arguments bound as values.
CREATE TABLE kx_procedures (
  name   TEXT    NOT NULL COLLATE NOCASE PRIMARY KEY,
  params INTEGER NOT NULL,
  body   TEXT    NOT NULL
);
