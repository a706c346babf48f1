-- The Ingram Micro catalog database: the distributor's part numbers by manufacturer part.
CREATE TABLE catalog (
  vend_part citext,
  part_no   citext NOT NULL PRIMARY KEY,
  descript1 citext,
  descript2 citext
);
CREATE INDEX catalog_vend_part ON catalog (vend_part);
