-- The Ingram Micro catalog database: the distributor's part numbers by manufacturer part.
CREATE TABLE catalog (
  vend_part TEXT COLLATE NOCASE,
  part_no   TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  descript1 TEXT COLLATE NOCASE,
  descript2 TEXT COLLATE NOCASE
);
CREATE INDEX catalog_vend_part ON catalog (vend_part);
