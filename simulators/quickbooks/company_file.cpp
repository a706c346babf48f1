#include "company_file.h"

#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <random>
#include <sstream>

#include "kestrin/error.h"
#include "text.h"

namespace kestrin::qbsim {

namespace {

namespace fs = std::filesystem;

const char* const kFormat = "kestrin-qbsim 1";
const char* const kProductName = "QuickBooks Pro (simulated company file)";

const char* const kSchema = R"sql(
CREATE TABLE company (key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE elements (
  seq        INTEGER PRIMARY KEY,
  id         TEXT NOT NULL UNIQUE,
  kind       TEXT NOT NULL,
  name_space TEXT,
  name       TEXT NOT NULL,
  ret        TEXT NOT NULL
);
CREATE UNIQUE INDEX element_names ON elements (name_space, name COLLATE NOCASE)
  WHERE name_space IS NOT NULL;
CREATE INDEX element_kinds ON elements (kind, seq);
CREATE TABLE sessions (
  ticket   TEXT PRIMARY KEY,
  pid      INTEGER NOT NULL,
  app_name TEXT NOT NULL,
  mode     INTEGER NOT NULL,
  began    TEXT NOT NULL
);
)sql";

[[noreturn]] void storageError(sqlite3* db, const std::string& path) {
  raise(qbxml::kErrQbCompanyFile,
        "The QuickBooks company data file " + path +
            " could not be read or written: " + (db ? sqlite3_errmsg(db) : "out of memory"),
        kSource);
}

struct StmtCloser {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

// A prepared statement with bound values; failures raise the company file's error.
class Stmt {
 public:
  Stmt(sqlite3* db, const std::string& path, const char* sql) : db_(db), path_(path) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) storageError(db_, path_);
    stmt_.reset(raw);
  }
  Stmt& bind(int index, std::string_view value) {
    // An empty view may have no data at all, which SQLite would bind as NULL.
    sqlite3_bind_text(stmt_.get(), index, value.empty() ? "" : value.data(),
                      static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Stmt& bind(int index, long long value) {
    sqlite3_bind_int64(stmt_.get(), index, value);
    return *this;
  }
  // True while rows come.
  bool step() {
    int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    storageError(db_, path_);
  }
  std::string text(int column) const {
    const unsigned char* t = sqlite3_column_text(stmt_.get(), column);
    return t ? std::string(reinterpret_cast<const char*>(t),
                           static_cast<size_t>(sqlite3_column_bytes(stmt_.get(), column)))
             : std::string();
  }
  long long integer(int column) const { return sqlite3_column_int64(stmt_.get(), column); }

 private:
  sqlite3* db_;
  const std::string& path_;
  std::unique_ptr<sqlite3_stmt, StmtCloser> stmt_;
};

StoredElement readElement(const Stmt& s) {
  return {s.text(0), s.text(1), s.text(2), s.text(3), s.text(4)};
}

// Local time as QuickBooks writes it: 2026-12-09T05:46:11-05:00.
std::string isoTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
  long offset = local.tm_gmtoff / 60;
  char zone[48];
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                (offset < 0 ? -offset : offset) / 60, (offset < 0 ? -offset : offset) % 60);
  return std::string(buf) + zone;
}

bool processAlive(long long pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The seeded lists: kind, name space, ret element, names and one extra field each.
struct Seed {
  const char* kind;
  const char* nameSpace;
  const char* retName;
  const char* name;
  const char* extraField;
  const char* extraValue;
};

const Seed kSeeds[] = {
    {"Account", "Account", "AccountRet", "Sales", "AccountType", "Income"},
    {"Account", "Account", "AccountRet", "Cost of Goods Sold", "AccountType", "CostOfGoodsSold"},
    {"Account", "Account", "AccountRet", "Current Asset", "AccountType", "OtherCurrentAsset"},
    {"Account", "Account", "AccountRet", "Other Expenses", "AccountType", "OtherExpense"},
    {"SalesTaxCode", "SalesTaxCode", "SalesTaxCodeRet", "TAX", "IsTaxable", "true"},
    {"SalesTaxCode", "SalesTaxCode", "SalesTaxCodeRet", "NON", "IsTaxable", "false"},
    {"ShipMethod", "ShipMethod", "ShipMethodRet", "Airborne", nullptr, nullptr},
    {"ShipMethod", "ShipMethod", "ShipMethodRet", "DHL", nullptr, nullptr},
    {"ShipMethod", "ShipMethod", "ShipMethodRet", "Federal Express", nullptr, nullptr},
    {"ShipMethod", "ShipMethod", "ShipMethodRet", "UPS", nullptr, nullptr},
    {"ShipMethod", "ShipMethod", "ShipMethodRet", "USPS", nullptr, nullptr},
    {"Terms", "Terms", "StandardTermsRet", "1% 10 Net 30", "StdDueDays", "30"},
    {"Terms", "Terms", "StandardTermsRet", "2% 10 Net 30", "StdDueDays", "30"},
    {"Terms", "Terms", "StandardTermsRet", "Consignment", "StdDueDays", "0"},
    {"Terms", "Terms", "StandardTermsRet", "Due on receipt", "StdDueDays", "0"},
    {"Terms", "Terms", "StandardTermsRet", "Net 15", "StdDueDays", "15"},
    {"Terms", "Terms", "StandardTermsRet", "Net 30", "StdDueDays", "30"},
    {"Terms", "Terms", "StandardTermsRet", "Net 60", "StdDueDays", "60"},
};

std::string seedRet(const Seed& seed, const CompanyFile::NewId& id) {
  pugi::xml_document doc;
  pugi::xml_node ret = doc.append_child(seed.retName);
  auto add = [&](const char* name, const std::string& value) {
    ret.append_child(name).text().set(value.c_str());
  };
  add("ListID", id.id);
  add("TimeCreated", id.timeCreated);
  add("TimeModified", id.timeCreated);
  add("EditSequence", id.editSequence);
  add("Name", seed.name);
  if (std::string_view(seed.kind) == "Account") add("FullName", seed.name);
  add("IsActive", "true");
  if (std::string_view(seed.kind) == "Account") add("Sublevel", "0");
  if (seed.extraField) add(seed.extraField, seed.extraValue);
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
  return out.str();
}

}  // namespace

void SqliteCloser::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

std::vector<std::string> parseVersionList(std::string_view text) {
  std::vector<std::string> versions;
  for (const std::string& piece : split(text, ",")) {
    std::string v = trim(piece);
    bool valid = !v.empty() && v.find_first_not_of("0123456789.") == std::string::npos &&
                 v.find('.') != std::string::npos && v.front() != '.' && v.back() != '.' &&
                 v.find('.') == v.rfind('.');
    if (!valid) {
      raise(kErrInvalidCall,
            "Invalid procedure call or argument: '" + v + "' is not a qbXML version such as 2.1",
            kSource);
    }
    versions.push_back(v);
  }
  return versions;
}

void createCompanyFile(const std::string& path, const std::string& versions) {
  const std::vector<std::string> list = parseVersionList(versions);
  std::error_code ec;
  if (fs::exists(path, ec)) {
    raise(qbxml::kErrQbCompanyFile, "The company file " + path + " already exists.", kSource);
  }
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, SqliteCloser> db(raw);
  auto removeAll = [&] {
    db.reset();
    for (const char* tail : {"", "-wal", "-shm", "-journal"}) fs::remove(path + tail, ec);
  };
  if (rc != SQLITE_OK) {
    std::string reason = raw ? sqlite3_errmsg(raw) : "out of memory";
    removeAll();
    raise(qbxml::kErrQbCompanyFile, "The company file " + path + " cannot be made: " + reason,
          kSource);
  }
  // WAL: sessions of several processes read while one writes, and commits need no sync.
  std::string sql = std::string("PRAGMA journal_mode=WAL;BEGIN;") + kSchema +
                    "INSERT INTO company VALUES ('format', '" + kFormat + "');COMMIT;";
  char* message = nullptr;
  if (sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string reason = message ? message : "unknown error";
    sqlite3_free(message);
    removeAll();
    raise(qbxml::kErrQbCompanyFile, "The company file " + path + " cannot be made: " + reason,
          kSource);
  }
  db.reset();
  try {
    CompanyFile file(path);
    CompanyFile::Transaction tx(file);
    file.exec(std::string("INSERT INTO company VALUES ('product', '") + kProductName +
              "'), ('major', '13'), ('minor', '0')");
    file.setSupportedVersions(list);
    for (const Seed& seed : kSeeds) {
      CompanyFile::NewId id = file.newId(false);
      file.insert(id, {id.id, seed.kind, seed.name, seedRet(seed, id), seed.nameSpace},
                  seed.nameSpace);
    }
    tx.commit();
  } catch (...) {
    removeAll();
    throw;
  }
}

CompanyFile::CompanyFile(const std::string& path) : path_(path) {
  auto cannotOpen = [&](const std::string& why) {
    raise(qbxml::kErrQbCompanyFile,
          "Could not open the specified QuickBooks company data file " + path_ + ": " + why,
          kSource);
  };
  std::error_code ec;
  if (path.empty() || path.find('\0') != std::string::npos || !fs::is_regular_file(path, ec)) {
    cannotOpen("the file does not exist.");
  }
  // Only a database file is opened as one: SQLite would treat other files as its own.
  char magic[16] = {};
  std::ifstream(path, std::ios::binary).read(magic, sizeof magic);
  if (std::memcmp(magic, "SQLite format 3", sizeof magic) != 0) {
    cannotOpen("it is not a company file.");
  }
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK) cannotOpen(raw ? sqlite3_errmsg(raw) : "out of memory");
  sqlite3_busy_timeout(raw, 10000);
  sqlite3_exec(raw, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  std::string format;
  try {
    format = setting("format");
  } catch (const Error&) {
    cannotOpen("it is not a company file.");
  }
  if (format != kFormat) cannotOpen("it is not a company file.");
}

void CompanyFile::exec(const std::string& sql) {
  if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    storageError(db_.get(), path_);
  }
}

std::string CompanyFile::setting(const std::string& key) {
  Stmt s(db_.get(), path_, "SELECT value FROM company WHERE key = ?1");
  s.bind(1, key);
  return s.step() ? s.text(0) : std::string();
}

std::vector<std::string> CompanyFile::supportedVersions() {
  std::vector<std::string> versions;
  for (const std::string& v : split(setting("versions"), ",")) {
    if (!v.empty()) versions.push_back(v);
  }
  return versions;
}

void CompanyFile::setSupportedVersions(const std::vector<std::string>& versions) {
  std::string joined;
  for (const std::string& v : versions) joined += (joined.empty() ? "" : ",") + v;
  Stmt s(db_.get(), path_, "INSERT OR REPLACE INTO company VALUES ('versions', ?1)");
  s.bind(1, joined).step();
}

std::string CompanyFile::beginSession(const std::string& appName, qbxml::ENOpenMode mode) {
  static std::mt19937_64 random{std::random_device{}()};
  char ticket[48];
  unsigned long long a = random(), b = random();
  std::snprintf(ticket, sizeof ticket, "{%08llX-%04llX-%04llX-%04llX-%012llX}", a >> 32,
                (a >> 16) & 0xFFFF, a & 0xFFFF, b >> 48, b & 0xFFFFFFFFFFFFULL);
  Stmt s(db_.get(), path_,
         "INSERT INTO sessions (ticket, pid, app_name, mode, began) VALUES (?1, ?2, ?3, ?4, ?5)");
  s.bind(1, std::string_view(ticket))
      .bind(2, static_cast<long long>(::getpid()))
      .bind(3, appName)
      .bind(4, static_cast<long long>(mode))
      .bind(5, isoTime(std::time(nullptr)))
      .step();
  return ticket;
}

bool CompanyFile::sessionOpen(const std::string& ticket) {
  Stmt s(db_.get(), path_, "SELECT 1 FROM sessions WHERE ticket = ?1");
  s.bind(1, ticket);
  return s.step();
}

void CompanyFile::endSession(const std::string& ticket) {
  Stmt s(db_.get(), path_, "DELETE FROM sessions WHERE ticket = ?1");
  s.bind(1, ticket).step();
  if (sqlite3_changes(db_.get()) == 0) {
    raise(qbxml::kErrQbSequence, "The session ticket " + ticket + " is not valid.", kSource);
  }
}

int CompanyFile::openSessions() {
  Stmt s(db_.get(), path_, "SELECT pid FROM sessions");
  int open = 0;
  while (s.step()) open += processAlive(s.integer(0));
  return open;
}

std::optional<StoredElement> CompanyFile::findByName(std::string_view nameSpace,
                                                     std::string_view name, std::string_view kind) {
  Stmt s(db_.get(), path_,
         "SELECT id, kind, name, ret, coalesce(name_space, '') FROM elements WHERE name_space = ?1 "
         "AND name = ?2 "
         "COLLATE NOCASE AND (?3 = '' OR kind = ?3)");
  s.bind(1, nameSpace).bind(2, name).bind(3, kind);
  if (!s.step()) return std::nullopt;
  return readElement(s);
}

std::optional<StoredElement> CompanyFile::findById(std::string_view id) {
  Stmt s(db_.get(), path_,
         "SELECT id, kind, name, ret, coalesce(name_space, '') FROM elements WHERE id = ?1");
  s.bind(1, id);
  if (!s.step()) return std::nullopt;
  return readElement(s);
}

std::vector<StoredElement> CompanyFile::elements(const std::vector<std::string>& kinds) {
  std::vector<StoredElement> out;
  for (const std::string& kind : kinds) {
    Stmt s(db_.get(), path_,
           "SELECT id, kind, name, ret, coalesce(name_space, '') FROM elements WHERE kind = ?1 "
           "ORDER BY seq");
    s.bind(1, kind);
    while (s.step()) out.push_back(readElement(s));
  }
  return out;
}

long long CompanyFile::count(std::string_view kind) {
  Stmt s(db_.get(), path_, "SELECT count(*) FROM elements WHERE kind = ?1");
  s.bind(1, kind).step();
  return s.integer(0);
}

CompanyFile::NewId CompanyFile::newId(bool transaction) {
  Stmt s(db_.get(), path_, "SELECT coalesce(max(seq), 0) + 1 FROM elements");
  s.step();
  NewId id;
  id.number = s.integer(0);
  std::time_t now = std::time(nullptr);
  char buf[48];
  std::snprintf(buf, sizeof buf, transaction ? "%llX-%lld" : "%08llX-%lld",
                static_cast<unsigned long long>(id.number) + (transaction ? 0 : 0x80000000ULL),
                static_cast<long long>(now));
  id.id = buf;
  id.timeCreated = isoTime(now);
  id.editSequence = std::to_string(static_cast<long long>(now));
  return id;
}

void CompanyFile::insert(const NewId& id, const StoredElement& element,
                         std::string_view nameSpace) {
  Stmt s(db_.get(), path_,
         "INSERT INTO elements (seq, id, kind, name_space, name, ret) "
         "VALUES (?1, ?2, ?3, nullif(?4, ''), ?5, ?6)");
  s.bind(1, id.number)
      .bind(2, element.id)
      .bind(3, element.kind)
      .bind(4, nameSpace)
      .bind(5, element.name)
      .bind(6, element.ret)
      .step();
}

CompanyFile::Transaction::Transaction(CompanyFile& file) : file_(file) {
  file_.exec("BEGIN IMMEDIATE");
}

CompanyFile::Transaction::~Transaction() {
  if (!done_) sqlite3_exec(file_.db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void CompanyFile::Transaction::commit() {
  file_.exec("COMMIT");
  done_ = true;
}

int openSessionCount(const std::string& path) {
  try {
    return CompanyFile(path).openSessions();
  } catch (const Error&) {
    return 0;
  }
}

}  // namespace kestrin::qbsim
