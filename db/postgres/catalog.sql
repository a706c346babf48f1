-- Catalog tables and procedures, present in the shop's main database (its own catalog) and in
-- the Tech Data catalog database (the distributor's catalog) under the same names.
-- Text columns are citext: they compare without regard to case, as the classic server does.

CREATE TABLE products (
  part_num      citext NOT NULL PRIMARY KEY,
  manu_part     citext,
  descr         citext,
  grp           citext,
  cat           citext,
  sub           citext,
  vend_code     citext,
  qty           integer NOT NULL DEFAULT 0,
  cost          double precision,
  status        citext,
  picture       citext,
  priceOptions  citext,
  shipwgth      citext,
  noStock       citext NOT NULL DEFAULT '0',
  noshipping    citext NOT NULL DEFAULT '0',
  inventory     citext NOT NULL DEFAULT '0',
  notax         citext NOT NULL DEFAULT '0',
  showPicture   integer NOT NULL DEFAULT 0,
  showSizes     integer NOT NULL DEFAULT 0,
  showColors    integer NOT NULL DEFAULT 0,
  showStyles    integer NOT NULL DEFAULT 0,
  showTextures  integer NOT NULL DEFAULT 0,
  showFlavors   integer NOT NULL DEFAULT 0,
  showPackaging integer NOT NULL DEFAULT 0,
  showSingle    integer NOT NULL DEFAULT 0,
  showGender    integer NOT NULL DEFAULT 0
);
-- Listings of a category or subcategory, in manufacturer and cost order. The engine's orderings
-- sort NULL first, so the indexes that serve them do too.
CREATE INDEX products_listing ON products (cat, grp, sub, vend_code NULLS FIRST, cost NULLS FIRST);
CREATE INDEX products_category
  ON products (cat, grp, vend_code NULLS FIRST, cost NULLS FIRST, sub, part_num);
-- Listings of a manufacturer, in cost order.
CREATE INDEX products_vendor ON products (vend_code NULLS FIRST, cost NULLS FIRST);
CREATE INDEX products_grp ON products (grp);
CREATE INDEX products_manu_part ON products (manu_part);
-- Searches match descriptions and part numbers with a leading wildcard (like '%word%').
CREATE INDEX products_descr_trgm ON products USING gin (descr gin_trgm_ops);
CREATE INDEX products_manu_part_trgm ON products USING gin (manu_part gin_trgm_ops);

CREATE TABLE manuf (
  vend_code citext NOT NULL PRIMARY KEY,
  vend_name citext
);
CREATE INDEX manuf_name ON manuf (vend_name);

CREATE TABLE maincat (
  maincat citext NOT NULL,
  item    citext NOT NULL,
  PRIMARY KEY (maincat, item)
);

CREATE TABLE comgrp (
  grp   citext NOT NULL PRIMARY KEY,
  descr citext
);

CREATE TABLE comcat (
  grp     citext NOT NULL,
  cat     citext NOT NULL,
  descr   citext,
  picture citext,
  PRIMARY KEY (grp, cat)
);

CREATE TABLE comsub (
  grp     citext NOT NULL,
  cat     citext NOT NULL,
  sub     citext NOT NULL,
  descr   citext,
  picture citext,
  PRIMARY KEY (grp, cat, sub)
);

-- Technical data sheets: one row per attribute, shown in seq order.
CREATE TABLE techspec (
  part_num  citext NOT NULL,
  seq       integer NOT NULL,
  attr_nme  citext,
  attr_vnme citext,
  PRIMARY KEY (part_num, seq)
);

-- Rich product descriptions (marketing text); CR LF and "**" break lines when shown.
CREATE TABLE techdescr (
  part_num citext NOT NULL PRIMARY KEY,
  descr    citext
);

CREATE FUNCTION kx_grpdescr(p_grp citext) RETURNS TABLE (descr citext)
LANGUAGE sql STABLE AS $$
  SELECT descr FROM comgrp WHERE grp = p_grp
$$;

CREATE FUNCTION kx_catdescr(p_grp citext, p_cat citext) RETURNS TABLE (descr citext)
LANGUAGE sql STABLE AS $$
  SELECT descr FROM comcat WHERE grp = p_grp AND cat = p_cat
$$;

CREATE FUNCTION kx_subdescr(p_grp citext, p_cat citext, p_sub citext) RETURNS TABLE (descr citext)
LANGUAGE sql STABLE AS $$
  SELECT descr FROM comsub WHERE grp = p_grp AND cat = p_cat AND sub = p_sub
$$;

CREATE FUNCTION kx_getProdInfo(p_part_num citext)
RETURNS TABLE (part_num citext, cost double precision, grp citext, cat citext, sub citext,
               descr citext, priceoptions citext, manu_part citext, picture citext, qty integer,
               vend_code citext, status citext)
LANGUAGE sql STABLE AS $$
  SELECT part_num, cost, grp, cat, sub, descr, priceOptions, manu_part, picture, qty, vend_code,
         status
    FROM products WHERE part_num = p_part_num
$$;

CREATE FUNCTION kx_getTechSpec(p_part_num citext)
RETURNS TABLE (attr_nme citext, attr_vnme citext)
LANGUAGE sql STABLE AS $$
  SELECT attr_nme, attr_vnme FROM techspec WHERE part_num = p_part_num ORDER BY seq
$$;

CREATE FUNCTION kx_getTechSpecII(p_part_num citext) RETURNS TABLE (descr citext)
LANGUAGE sql STABLE AS $$
  SELECT descr FROM techdescr WHERE part_num = p_part_num
$$;

CREATE FUNCTION kx_getShipWeigth(p_part_num citext) RETURNS TABLE (shipwgth citext)
LANGUAGE sql STABLE AS $$
  SELECT shipwgth FROM products WHERE part_num = p_part_num
$$;

CREATE FUNCTION kx_cartProdInfo(p_part citext)
RETURNS TABLE (p_manu_part citext, m_name citext, p_part_num citext, p_descr citext)
LANGUAGE sql STABLE AS $$
  SELECT products.manu_part, manuf.vend_name, products.part_num, products.descr
    FROM products LEFT JOIN manuf ON manuf.vend_code = products.vend_code
   WHERE products.part_num = p_part
$$;

-- Changes that the change counter counts (see base.sql).
CREATE TRIGGER products_counted AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON products
  FOR EACH STATEMENT EXECUTE FUNCTION kx_changes_count();
CREATE TRIGGER manuf_counted AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON manuf
  FOR EACH STATEMENT EXECUTE FUNCTION kx_changes_count();
CREATE TRIGGER maincat_counted AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON maincat
  FOR EACH STATEMENT EXECUTE FUNCTION kx_changes_count();
CREATE TRIGGER comgrp_counted AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON comgrp
  FOR EACH STATEMENT EXECUTE FUNCTION kx_changes_count();
CREATE TRIGGER comcat_counted AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON comcat
  FOR EACH STATEMENT EXECUTE FUNCTION kx_changes_count();
CREATE TRIGGER comsub_counted AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON comsub
  FOR EACH STATEMENT EXECUTE FUNCTION kx_changes_count();
CREATE TRIGGER techspec_counted AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON techspec
  FOR EACH STATEMENT EXECUTE FUNCTION kx_changes_count();
CREATE TRIGGER techdescr_counted AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON techdescr
  FOR EACH STATEMENT EXECUTE FUNCTION kx_changes_count();
