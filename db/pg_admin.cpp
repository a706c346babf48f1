#include "pg_admin.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "text.h"

namespace kestrin::schema {

namespace {

struct ResultClearer {
  void operator()(PGresult* r) const { PQclear(r); }
};
using ResultHandle = std::unique_ptr<PGresult, ResultClearer>;

std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

constexpr Oid kBoolOid = 16, kFloat4Oid = 700, kFloat8Oid = 701, kNumericOid = 1700;

std::string serverMessage(const PGresult* r, PGconn* c) {
  const char* m = r ? PQresultErrorMessage(r) : nullptr;
  return oneLine(m && *m ? m : PQerrorMessage(c));
}

}  // namespace

std::string shortestNumber(double v) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : std::to_string(v);
}

void PgAdmin::Closer::operator()(pg_conn* c) const { PQfinish(c); }

PgAdmin::PgAdmin(const PgLogin& login, const std::string& database) : database_(database) {
  const size_t colon = login.server.rfind(':');
  const std::string host = login.server.substr(0, colon);
  const std::string port = colon == std::string::npos ? "" : login.server.substr(colon + 1);
  const char* keys[] = {
      "host",    "port", "dbname", "user", "password", "connect_timeout", "application_name",
      "options", nullptr};
  const char* values[] = {host.c_str(),
                          port.c_str(),
                          database.c_str(),
                          login.user.c_str(),
                          login.password.c_str(),
                          "15",
                          "kestrinctl",
                          "-c standard_conforming_strings=on -c client_min_messages=warning",
                          nullptr};
  conn_.reset(PQconnectdbParams(keys, values, 0));
  if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK) {
    throw std::runtime_error("cannot connect to database " + database + " on server " +
                             login.server + ": " +
                             (conn_ ? oneLine(PQerrorMessage(conn_.get())) : "out of memory"));
  }
  PQsetNoticeProcessor(
      conn_.get(), [](void*, const char*) {}, nullptr);
}

PgAdmin::~PgAdmin() = default;
PgAdmin::PgAdmin(PgAdmin&&) noexcept = default;
PgAdmin& PgAdmin::operator=(PgAdmin&&) noexcept = default;

void PgAdmin::exec(const std::string& sql) const {
  ResultHandle r(PQexec(conn_.get(), sql.c_str()));
  const ExecStatusType s = PQresultStatus(r.get());
  if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
    throw std::runtime_error(database_ + ": " + serverMessage(r.get(), conn_.get()));
  }
}

std::vector<std::optional<std::string>> PgAdmin::column(const std::string& sql) const {
  ResultHandle r(PQexec(conn_.get(), sql.c_str()));
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
    throw std::runtime_error(database_ + ": " + serverMessage(r.get(), conn_.get()));
  }
  const Oid type = PQnfields(r.get()) > 0 ? PQftype(r.get(), 0) : 0;
  const bool fraction = type == kFloat4Oid || type == kFloat8Oid || type == kNumericOid;
  std::vector<std::optional<std::string>> out;
  for (int i = 0; i < PQntuples(r.get()); ++i) {
    if (PQgetisnull(r.get(), i, 0)) {
      out.emplace_back();
      continue;
    }
    const char* text = PQgetvalue(r.get(), i, 0);
    const size_t length = static_cast<size_t>(PQgetlength(r.get(), i, 0));
    if (type == kBoolOid) {
      out.emplace_back(text[0] == 't' ? "1" : "0");
    } else if (fraction) {
      out.emplace_back(shortestNumber(std::strtod(text, nullptr)));
    } else {
      out.emplace_back(std::string(text, length));
    }
  }
  return out;
}

std::optional<std::string> PgAdmin::value(const std::string& sql) const {
  auto rows = column(sql);
  return rows.empty() ? std::nullopt : rows.front();
}

void PgAdmin::copyIn(const std::string& table, const std::vector<std::string>& columns,
                     const std::string& rows) const {
  std::string sql = "COPY " + quoteName(table) + " (";
  for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + quoteName(columns[i]);
  sql += ") FROM STDIN";
  PGconn* c = conn_.get();
  ResultHandle start(PQexec(c, sql.c_str()));
  if (PQresultStatus(start.get()) != PGRES_COPY_IN) {
    throw std::runtime_error(database_ + ": " + serverMessage(start.get(), c));
  }
  bool sent = PQputCopyData(c, rows.data(), static_cast<int>(rows.size())) == 1;
  if (PQputCopyEnd(c, sent ? nullptr : "the rows could not be sent") != 1 || !sent) {
    throw std::runtime_error(database_ + ": " + oneLine(PQerrorMessage(c)));
  }
  for (ResultHandle r(PQgetResult(c)); r; r.reset(PQgetResult(c))) {
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
      throw std::runtime_error(database_ + ", table " + table + ": " + serverMessage(r.get(), c));
  }
}

PgClusterState readClusterState(const char* path) {
  PgClusterState s;
  if (!path || !*path) {
    s.unavailable = "no server is named (KESTRIN_PG_STATE); scripts/pg-test-cluster starts one";
    return s;
  }
  std::ifstream in(path);
  if (!in) {
    s.unavailable = std::string("the server's state file ") + path +
                    " is missing; scripts/pg-test-cluster start writes it";
    return s;
  }
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "KESTRIN_PG_UNAVAILABLE") s.unavailable = value;
    if (key == "KESTRIN_PG_SERVER") s.admin.server = value;
    if (key == "KESTRIN_PG_ADMIN_USER") s.admin.user = value;
    if (key == "KESTRIN_PG_ADMIN_PASSWORD") s.admin.password = value;
    if (key == "KESTRIN_PG_ENGINE_USER") s.engineUser = value;
    if (key == "KESTRIN_PG_ENGINE_PASSWORD") s.enginePassword = value;
  }
  if (s.unavailable.empty() && s.admin.server.empty())
    s.unavailable = std::string("the server's state file ") + path + " names no server";
  return s;
}

std::string quoteName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string quoteText(const std::string& text) { return "'" + sqlEscape(text) + "'"; }

std::vector<std::string> existingDatabases(const PgLogin& admin,
                                           const std::vector<std::string>& names) {
  PgAdmin server(admin, "postgres");
  std::vector<std::string> found;
  for (const std::string& name : names) {
    if (server.value("SELECT 1 FROM pg_database WHERE datname = " + quoteText(name)))
      found.push_back(name);
  }
  return found;
}

bool ensureEngineLogin(const PgLogin& admin, const std::string& user, const std::string& password) {
  PgAdmin server(admin, "postgres");
  if (server.value("SELECT current_user") == user) {
    throw std::runtime_error(
        "the engine's login must not be the login that makes and owns the databases; give the "
        "engine a login of its own");
  }
  auto rights = server.column(
      "SELECT CASE WHEN rolsuper OR rolcreatedb OR rolcreaterole OR rolbypassrls THEN 'too many' "
      "ELSE 'ok' END FROM pg_roles WHERE rolname = " +
      quoteText(user));
  if (!rights.empty()) {
    if (rights.front() != "ok") {
      throw std::runtime_error("the engine's login " + user +
                               " may create databases or roles, or is a superuser; give the "
                               "engine a login of its own without those rights");
    }
    return false;
  }
  server.exec("CREATE ROLE " + quoteName(user) +
              " LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION PASSWORD " +
              quoteText(password));
  return true;
}

void createPostgresDatabase(const PgLogin& admin, const std::string& name, Database db, bool demo,
                            const std::string& engineUser) {
  {
    PgAdmin server(admin, "postgres");
    // Byte order for sorting, like the embedded databases; Unicode letters for case folding
    // where the server knows the locale.
    const std::string create = "CREATE DATABASE " + quoteName(name) +
                               " TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE ";
    try {
      server.exec(create + "'C.UTF-8'");
    } catch (const std::runtime_error&) {
      server.exec(create + "'C'");
    }
    server.exec("REVOKE ALL ON DATABASE " + quoteName(name) + " FROM PUBLIC; GRANT CONNECT ON " +
                "DATABASE " + quoteName(name) + " TO " + quoteName(engineUser));
  }
  try {
    PgAdmin on(admin, name);
    on.exec("BEGIN;\n" + postgresSchemaSql(db) + "\nCOMMIT;");
    const std::string user = quoteName(engineUser);
    on.exec("REVOKE ALL ON SCHEMA public FROM PUBLIC; GRANT USAGE ON SCHEMA public TO " + user +
            "; GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO " + user +
            "; GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO " + user +
            "; GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA public TO " + user +
            // Tables that this login adds later (an upgrade) are the engine's to use too.
            "; ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT, INSERT, UPDATE, DELETE ON "
            "TABLES TO " +
            user +
            "; ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT USAGE ON "
            "SEQUENCES TO " +
            user +
            "; ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT EXECUTE "
            "ON FUNCTIONS TO " +
            user);
    if (on.value("SELECT rolsuper FROM pg_roles WHERE rolname = current_user") == "1")
      on.exec("BEGIN;\n" + postgresSchemaEventsSql() + "\nCOMMIT;");
    if (demo) {
      on.exec(demoSql(db));
      on.exec("ANALYZE");
    }
  } catch (const std::runtime_error&) {
    try {
      dropPostgresDatabase(admin, name);
    } catch (const std::runtime_error&) {
      // The first failure is the one to report.
    }
    throw;
  }
}

void dropPostgresDatabase(const PgLogin& admin, const std::string& name) {
  PgAdmin server(admin, "postgres");
  server.exec("DROP DATABASE IF EXISTS " + quoteName(name) + " WITH (FORCE)");
}

}  // namespace kestrin::schema
