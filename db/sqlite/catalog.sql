-- Catalog tables and procedures, present in the shop's main database (its own catalog) and in
-- the Tech Data catalog database (the distributor's catalog) under the same names.
-- Text columns compare without regard to case, as the classic server does.

CREATE TABLE products (
  part_num      TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  manu_part     TEXT COLLATE NOCASE,
  descr         TEXT COLLATE NOCASE,
  grp           TEXT COLLATE NOCASE,
  cat           TEXT COLLATE NOCASE,
  sub           TEXT COLLATE NOCASE,
  vend_code     TEXT COLLATE NOCASE,
  qty           INTEGER NOT NULL DEFAULT 0,
  cost          REAL,
  status        TEXT COLLATE NOCASE,
  picture       TEXT COLLATE NOCASE,
  priceOptions  TEXT COLLATE NOCASE,
  shipwgth      TEXT COLLATE NOCASE,
  noStock       TEXT COLLATE NOCASE NOT NULL DEFAULT '0',
  noshipping    TEXT COLLATE NOCASE NOT NULL DEFAULT '0',
  inventory     TEXT COLLATE NOCASE NOT NULL DEFAULT '0',
  notax         TEXT COLLATE NOCASE NOT NULL DEFAULT '0',
  showPicture   INTEGER NOT NULL DEFAULT 0,
  showSizes     INTEGER NOT NULL DEFAULT 0,
  showColors    INTEGER NOT NULL DEFAULT 0,
  showStyles    INTEGER NOT NULL DEFAULT 0,
  showTextures  INTEGER NOT NULL DEFAULT 0,
  showFlavors   INTEGER NOT NULL DEFAULT 0,
  showPackaging INTEGER NOT NULL DEFAULT 0,
  showSingle    INTEGER NOT NULL DEFAULT 0,
  showGender    INTEGER NOT NULL DEFAULT 0
);
-- Listings of a category or subcategory, in manufacturer and cost order. The category index also
-- holds the columns the filters test, so that a listing is counted from the index alone.
CREATE INDEX products_listing ON products (cat, grp, sub, vend_code, cost);
CREATE INDEX products_category ON products (cat, grp, vend_code, cost, sub, part_num);
-- Listings of a manufacturer, in cost order.
CREATE INDEX products_vendor ON products (vend_code, cost);
CREATE INDEX products_grp ON products (grp);
CREATE INDEX products_manu_part ON products (manu_part);
-- Products whose description begins with a word (the product page's related items).
CREATE INDEX products_descr ON products (descr);

CREATE TABLE manuf (
  vend_code TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  vend_name TEXT COLLATE NOCASE
);
CREATE INDEX manuf_name ON manuf (vend_name);

CREATE TABLE maincat (
  maincat TEXT NOT NULL COLLATE NOCASE,
  item    TEXT NOT NULL COLLATE NOCASE,
  PRIMARY KEY (maincat, item)
);

CREATE TABLE comgrp (
  grp   TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  descr TEXT COLLATE NOCASE
);

CREATE TABLE comcat (
  grp     TEXT NOT NULL COLLATE NOCASE,
  cat     TEXT NOT NULL COLLATE NOCASE,
  descr   TEXT COLLATE NOCASE,
  picture TEXT COLLATE NOCASE,
  PRIMARY KEY (grp, cat)
);

CREATE TABLE comsub (
  grp     TEXT NOT NULL COLLATE NOCASE,
  cat     TEXT NOT NULL COLLATE NOCASE,
  sub     TEXT NOT NULL COLLATE NOCASE,
  descr   TEXT COLLATE NOCASE,
  picture TEXT COLLATE NOCASE,
  PRIMARY KEY (grp, cat, sub)
);

-- Technical data sheets: one row per attribute, shown in seq order.
CREATE TABLE techspec (
  part_num  TEXT NOT NULL COLLATE NOCASE,
  seq       INTEGER NOT NULL,
  attr_nme  TEXT COLLATE NOCASE,
  attr_vnme TEXT COLLATE NOCASE,
  PRIMARY KEY (part_num, seq)
);

-- Rich product descriptions (marketing text); CR LF and "**" break lines when shown.
CREATE TABLE techdescr (
  part_num TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  descr    TEXT COLLATE NOCASE
);

INSERT INTO kx_procedures (name, params, body) VALUES
('kx_grpdescr', 1, 'SELECT descr FROM comgrp WHERE grp = ?1'),
('kx_catdescr', 2, 'SELECT descr FROM comcat WHERE grp = ?1 AND cat = ?2'),
('kx_subdescr', 3, 'SELECT descr FROM comsub WHERE grp = ?1 AND cat = ?2 AND sub = ?3'),
('kx_getProdInfo', 1,
 'SELECT part_num, cost, grp, cat, sub, descr, priceOptions AS priceoptions, manu_part, picture,
         qty, vend_code, status
    FROM products WHERE part_num = ?1'),
('kx_getTechSpec', 1,
 'SELECT attr_nme, attr_vnme FROM techspec WHERE part_num = ?1 ORDER BY seq'),
('kx_getTechSpecII', 1, 'SELECT descr FROM techdescr WHERE part_num = ?1'),
('kx_getShipWeigth', 1, 'SELECT shipwgth FROM products WHERE part_num = ?1'),
('kx_cartProdInfo', 1,
 'SELECT products.manu_part AS p_manu_part, manuf.vend_name AS m_name,
         products.part_num AS p_part_num, products.descr AS p_descr
    FROM products LEFT JOIN manuf ON manuf.vend_code = products.vend_code
   WHERE products.part_num = ?1');

-- Changes that the change counter counts (see procedures.sql).
CREATE TRIGGER products_counted_ins AFTER INSERT ON products BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER products_counted_upd AFTER UPDATE ON products BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER products_counted_del AFTER DELETE ON products BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER manuf_counted_ins AFTER INSERT ON manuf BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER manuf_counted_upd AFTER UPDATE ON manuf BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER manuf_counted_del AFTER DELETE ON manuf BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER maincat_counted_ins AFTER INSERT ON maincat BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER maincat_counted_upd AFTER UPDATE ON maincat BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER maincat_counted_del AFTER DELETE ON maincat BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER comgrp_counted_ins AFTER INSERT ON comgrp BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER comgrp_counted_upd AFTER UPDATE ON comgrp BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER comgrp_counted_del AFTER DELETE ON comgrp BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER comcat_counted_ins AFTER INSERT ON comcat BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER comcat_counted_upd AFTER UPDATE ON comcat BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER comcat_counted_del AFTER DELETE ON comcat BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER comsub_counted_ins AFTER INSERT ON comsub BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER comsub_counted_upd AFTER UPDATE ON comsub BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER comsub_counted_del AFTER DELETE ON comsub BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER techspec_counted_ins AFTER INSERT ON techspec BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER techspec_counted_upd AFTER UPDATE ON techspec BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER techspec_counted_del AFTER DELETE ON techspec BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER techdescr_counted_ins AFTER INSERT ON techdescr BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER techdescr_counted_upd AFTER UPDATE ON techdescr BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER techdescr_counted_del AFTER DELETE ON techdescr BEGIN UPDATE kx_changes SET n = n + 1; END;
