-- The shop's own tables, in its main database (beside the catalog tables).

CREATE TABLE preferences (
  items TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  descr TEXT COLLATE NOCASE
);

-- Exclusion filters: cat is the kind (GRP, GRPCAT, GRPCATSUB, MANUF, PRODUCT); items the key,
-- parts joined by "|", optionally followed by "::" and a note. Rows apply in id order.
CREATE TABLE filters (
  id    INTEGER PRIMARY KEY AUTOINCREMENT,
  cat   TEXT NOT NULL COLLATE NOCASE,
  items TEXT NOT NULL COLLATE NOCASE
);

CREATE TABLE searchwords (
  word    TEXT COLLATE NOCASE,
  referer TEXT COLLATE NOCASE,
  stype   TEXT COLLATE NOCASE,
  qty     INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX searchwords_word ON searchwords (stype, word);

CREATE TABLE pages (
  pageId   INTEGER PRIMARY KEY,
  pTitle   TEXT COLLATE NOCASE,
  pDescr   TEXT COLLATE NOCASE,
  pDetails TEXT COLLATE NOCASE,
  pCat     TEXT COLLATE NOCASE,
  pGrp     TEXT COLLATE NOCASE
);
CREATE TABLE pagesCat (
  pCat     TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  pCatName TEXT COLLATE NOCASE
);
CREATE TABLE pagesGrp (
  pGrp     TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  pgrpname TEXT COLLATE NOCASE
);

CREATE TABLE pictures (
  id        INTEGER PRIMARY KEY,
  part_num  TEXT NOT NULL COLLATE NOCASE,
  picture   TEXT COLLATE NOCASE,
  descr     TEXT COLLATE NOCASE,
  positions INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX pictures_part ON pictures (part_num, positions);

-- Product option lists offered on the product page's order form.
CREATE TABLE prSizes     (id INTEGER PRIMARY KEY, part_num TEXT NOT NULL COLLATE NOCASE, descr TEXT COLLATE NOCASE);
CREATE TABLE prColors    (id INTEGER PRIMARY KEY, part_num TEXT NOT NULL COLLATE NOCASE, descr TEXT COLLATE NOCASE);
CREATE TABLE prStyles    (id INTEGER PRIMARY KEY, part_num TEXT NOT NULL COLLATE NOCASE, descr TEXT COLLATE NOCASE);
CREATE TABLE prTextures  (id INTEGER PRIMARY KEY, part_num TEXT NOT NULL COLLATE NOCASE, descr TEXT COLLATE NOCASE);
CREATE TABLE prFlavors   (id INTEGER PRIMARY KEY, part_num TEXT NOT NULL COLLATE NOCASE, descr TEXT COLLATE NOCASE);
CREATE TABLE prPackaging (id INTEGER PRIMARY KEY, part_num TEXT NOT NULL COLLATE NOCASE, descr TEXT COLLATE NOCASE);
CREATE TABLE prSingle    (id INTEGER PRIMARY KEY, part_num TEXT NOT NULL COLLATE NOCASE, descr TEXT COLLATE NOCASE);
CREATE TABLE prGender    (id INTEGER PRIMARY KEY, part_num TEXT NOT NULL COLLATE NOCASE, descr TEXT COLLATE NOCASE);
CREATE INDEX prSizes_part ON prSizes (part_num);
CREATE INDEX prColors_part ON prColors (part_num);
CREATE INDEX prStyles_part ON prStyles (part_num);
CREATE INDEX prTextures_part ON prTextures (part_num);
CREATE INDEX prFlavors_part ON prFlavors (part_num);
CREATE INDEX prPackaging_part ON prPackaging (part_num);
CREATE INDEX prSingle_part ON prSingle (part_num);
CREATE INDEX prGender_part ON prGender (part_num);

-- Cart lines; catid keeps the order in which lines were added. The row whose sessionid is
-- 'upsize' carries in upsize the stock note that the listings show.
CREATE TABLE cart (
  catid      INTEGER PRIMARY KEY AUTOINCREMENT,
  sessionid  TEXT NOT NULL COLLATE NOCASE,
  partno     TEXT COLLATE NOCASE,
  descr      TEXT COLLATE NOCASE,
  price      REAL,
  qty        INTEGER,
  tag        TEXT COLLATE NOCASE,
  tweight    REAL,
  custdb     TEXT COLLATE NOCASE,
  prSizes    INTEGER NOT NULL DEFAULT 0,
  prColors   INTEGER NOT NULL DEFAULT 0,
  prStyles   INTEGER NOT NULL DEFAULT 0,
  prTextures INTEGER NOT NULL DEFAULT 0,
  prFlavors  INTEGER NOT NULL DEFAULT 0,
  prPackaging INTEGER NOT NULL DEFAULT 0,
  prSingle   INTEGER NOT NULL DEFAULT 0,
  prGender   INTEGER NOT NULL DEFAULT 0,
  prPicture  INTEGER NOT NULL DEFAULT 0,
  upsize     TEXT COLLATE NOCASE
);
CREATE INDEX cart_session ON cart (sessionid, partno, custdb);

-- Markups: a group code, the default "m001", a handling code, or "cust" with the customer's
-- discount rate. rate is a percentage.
CREATE TABLE markup (
  markupid   TEXT NOT NULL COLLATE NOCASE,
  rate       REAL NOT NULL DEFAULT 0,
  customerid TEXT COLLATE NOCASE
);
CREATE INDEX markup_id ON markup (markupid);
CREATE INDEX markup_customer ON markup (customerid);

CREATE TABLE customer (
  customerid TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  username   TEXT COLLATE NOCASE,
  password   TEXT,
  date       TEXT,
  cname      TEXT COLLATE NOCASE,
  fname      TEXT COLLATE NOCASE,
  mname      TEXT COLLATE NOCASE,
  lname      TEXT COLLATE NOCASE,
  address    TEXT COLLATE NOCASE,
  city       TEXT COLLATE NOCASE,
  state      TEXT COLLATE NOCASE,
  zip        TEXT COLLATE NOCASE,
  country    TEXT COLLATE NOCASE,
  phone      TEXT COLLATE NOCASE,
  fax        TEXT COLLATE NOCASE,
  email      TEXT COLLATE NOCASE,
  egroup     TEXT COLLATE NOCASE,
  terms      TEXT COLLATE NOCASE,
  cccardnum  TEXT,
  cccardtype TEXT COLLATE NOCASE,
  ccexpirati TEXT,
  ccname     TEXT COLLATE NOCASE,
  ccaddress  TEXT COLLATE NOCASE,
  cccity     TEXT COLLATE NOCASE,
  ccstate    TEXT COLLATE NOCASE,
  cczip      TEXT COLLATE NOCASE,
  cccountry  TEXT COLLATE NOCASE,
  cebankname TEXT COLLATE NOCASE,
  ceaccountn TEXT,
  ceabarouti TEXT
);
-- Usernames are unique (as text compares: without regard to case), so that two registrations
-- of one name at the same moment cannot both succeed.
CREATE UNIQUE INDEX customer_username ON customer (username);

CREATE TABLE orderinfo (
  orderid     TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  customerid  TEXT COLLATE NOCASE,
  total       REAL,
  paymethod   TEXT COLLATE NOCASE,
  ccnumber    TEXT,
  expiration  TEXT,
  cknumber    TEXT,
  ckabarouti  TEXT,
  ckbankname  TEXT COLLATE NOCASE,
  status      TEXT COLLATE NOCASE,
  notes       TEXT COLLATE NOCASE,
  profit      REAL,
  date        TEXT,
  tax         REAL,
  shipcost    REAL,
  smethod     TEXT COLLATE NOCASE,
  shipcompan  TEXT COLLATE NOCASE,
  shipname    TEXT COLLATE NOCASE,
  shipaddres  TEXT COLLATE NOCASE,
  shipcity    TEXT COLLATE NOCASE,
  shipstate   TEXT COLLATE NOCASE,
  shipzip     TEXT COLLATE NOCASE,
  shipcountr  TEXT COLLATE NOCASE,
  handling    REAL,
  ccbankname  TEXT COLLATE NOCASE,
  ccbankphone TEXT,
  ponum       TEXT COLLATE NOCASE,
  shiptrack   TEXT COLLATE NOCASE,
  shipdate    TEXT,
  shipmethod  TEXT COLLATE NOCASE
);
CREATE INDEX orderinfo_customer ON orderinfo (customerid, orderid);

CREATE TABLE orderdetail (
  id       INTEGER PRIMARY KEY AUTOINCREMENT,
  detailid TEXT NOT NULL COLLATE NOCASE,
  partno   TEXT COLLATE NOCASE,
  descr    TEXT COLLATE NOCASE,
  price    REAL,
  qty      INTEGER,
  status   TEXT COLLATE NOCASE,
  custdb   TEXT COLLATE NOCASE
);
CREATE INDEX orderdetail_order ON orderdetail (detailid);

-- Filled outside the system; a row may lack its name (the vendor export stops at it).
CREATE TABLE vendors (
  name TEXT COLLATE NOCASE
);

-- Orders the accounting link server has sent to QuickBooks as invoices: a row is written
-- ("sending") just before an invoice is sent and completed ("exported", with the invoice's TxnID)
-- when QuickBooks accepts it, so that no order is booked twice.
CREATE TABLE qb_invoice_journal (
  orderid  TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  txnid    TEXT,
  status   TEXT,
  exported TEXT
);

-- Sessions of the shop's page host: the cookie's random id, the key of the session's cart
-- lines, the logged-on customer, the admin flag and the token that every POST must carry.
-- created and lastseen are seconds since 1970.
CREATE TABLE shop_sessions (
  sessionid  TEXT NOT NULL PRIMARY KEY,
  cartid     TEXT NOT NULL,
  customerid TEXT NOT NULL DEFAULT '',
  username   TEXT NOT NULL DEFAULT '',
  admin      INTEGER NOT NULL DEFAULT 0,
  token      TEXT NOT NULL,
  created    INTEGER NOT NULL,
  lastseen   INTEGER NOT NULL
);
CREATE INDEX shop_sessions_lastseen ON shop_sessions (lastseen);

INSERT INTO kx_procedures (name, params, body) VALUES
('kx_getpref', 1, 'SELECT descr FROM preferences WHERE items = ?1'),
('kx_getfilters', 1, 'SELECT cat, items FROM filters WHERE cat = ?1 ORDER BY id'),
('kx_getMarkup', 1, 'SELECT rate FROM markup WHERE markupid = ?1 ORDER BY rowid LIMIT 1'),
('kx_getCustomerMarkup', 1,
 'SELECT rate FROM markup WHERE markupid = ''cust'' AND customerid = ?1 ORDER BY rowid LIMIT 1'),
('kx_cartExist', 3,
 'SELECT * FROM cart WHERE partno = ?1 AND sessionid = ?2 AND custdb = ?3'),
('kx_cartAdd', 17,
 'INSERT INTO cart (sessionid, partno, descr, price, qty, tag, tweight, custdb, prSizes, prColors,
                    prStyles, prTextures, prFlavors, prPackaging, prSingle, prGender, prPicture)
  VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17)'),
('kx_cartUpdate', 5,
 'UPDATE cart SET qty = ?3, tweight = ?4 WHERE partno = ?1 AND sessionid = ?2 AND custdb = ?5'),
('kx_cartDelete', 3, 'DELETE FROM cart WHERE partno = ?1 AND sessionid = ?2 AND custdb = ?3'),
('kx_cartdisplay', 1, 'SELECT * FROM cart WHERE sessionid = ?1 ORDER BY catid'),
('kx_cartTotal', 1,
 'SELECT coalesce(sum(price * qty), 0) AS subtotal, coalesce(sum(tweight), 0) AS shipweight
    FROM cart WHERE sessionid = ?1');

-- Changes that the change counter counts (see procedures.sql).
CREATE TRIGGER preferences_counted_ins AFTER INSERT ON preferences BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER preferences_counted_upd AFTER UPDATE ON preferences BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER preferences_counted_del AFTER DELETE ON preferences BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER filters_counted_ins AFTER INSERT ON filters BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER filters_counted_upd AFTER UPDATE ON filters BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER filters_counted_del AFTER DELETE ON filters BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER markup_counted_ins AFTER INSERT ON markup BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER markup_counted_upd AFTER UPDATE ON markup BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER markup_counted_del AFTER DELETE ON markup BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pictures_counted_ins AFTER INSERT ON pictures BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pictures_counted_upd AFTER UPDATE ON pictures BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pictures_counted_del AFTER DELETE ON pictures BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prSizes_counted_ins AFTER INSERT ON prSizes BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prSizes_counted_upd AFTER UPDATE ON prSizes BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prSizes_counted_del AFTER DELETE ON prSizes BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prColors_counted_ins AFTER INSERT ON prColors BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prColors_counted_upd AFTER UPDATE ON prColors BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prColors_counted_del AFTER DELETE ON prColors BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prStyles_counted_ins AFTER INSERT ON prStyles BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prStyles_counted_upd AFTER UPDATE ON prStyles BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prStyles_counted_del AFTER DELETE ON prStyles BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prTextures_counted_ins AFTER INSERT ON prTextures BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prTextures_counted_upd AFTER UPDATE ON prTextures BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prTextures_counted_del AFTER DELETE ON prTextures BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prFlavors_counted_ins AFTER INSERT ON prFlavors BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prFlavors_counted_upd AFTER UPDATE ON prFlavors BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prFlavors_counted_del AFTER DELETE ON prFlavors BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prPackaging_counted_ins AFTER INSERT ON prPackaging BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prPackaging_counted_upd AFTER UPDATE ON prPackaging BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prPackaging_counted_del AFTER DELETE ON prPackaging BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prSingle_counted_ins AFTER INSERT ON prSingle BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prSingle_counted_upd AFTER UPDATE ON prSingle BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prSingle_counted_del AFTER DELETE ON prSingle BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prGender_counted_ins AFTER INSERT ON prGender BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prGender_counted_upd AFTER UPDATE ON prGender BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER prGender_counted_del AFTER DELETE ON prGender BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pages_counted_ins AFTER INSERT ON pages BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pages_counted_upd AFTER UPDATE ON pages BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pages_counted_del AFTER DELETE ON pages BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pagesCat_counted_ins AFTER INSERT ON pagesCat BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pagesCat_counted_upd AFTER UPDATE ON pagesCat BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pagesCat_counted_del AFTER DELETE ON pagesCat BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pagesGrp_counted_ins AFTER INSERT ON pagesGrp BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pagesGrp_counted_upd AFTER UPDATE ON pagesGrp BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER pagesGrp_counted_del AFTER DELETE ON pagesGrp BEGIN UPDATE kx_changes SET n = n + 1; END;

-- The cart row 'upsize' holds the stock note that every listing shows: its changes are counted
-- too, and no other cart row's are (a shopper's cart changes on every click).
CREATE TRIGGER cart_note_counted_ins AFTER INSERT ON cart WHEN NEW.sessionid = 'upsize' BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER cart_note_counted_upd AFTER UPDATE ON cart WHEN OLD.sessionid = 'upsize' OR NEW.sessionid = 'upsize' BEGIN UPDATE kx_changes SET n = n + 1; END;
CREATE TRIGGER cart_note_counted_del AFTER DELETE ON cart WHEN OLD.sessionid = 'upsize' BEGIN UPDATE kx_changes SET n = n + 1; END;
