#include "site_create.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "company_file.h"
#include "kestrin/error.h"
#include "schema.h"

namespace kestrin::tools {

namespace fs = std::filesystem;

namespace {

std::string connectionString(const std::string& dir, const std::string& catalog) {
  return "Provider=SQLOLEDB; Data Source=" + dir + "; Initial Catalog=" + catalog +
         "; User ID=sa; Password=8642;";
}

void checkValue(const std::string& what, const std::string& value) {
  // A reader splits values at commas and line ends, so such a value would shift every later one.
  if (value.find_first_of(",\r\n") != std::string::npos) {
    throw std::runtime_error(what + " must not contain a comma or a line break: " + value);
  }
}

void checkPassword(const std::string& password) {
  if (password.empty()) throw std::runtime_error("the site password must not be empty");
  checkValue("the site password", password);
  if (password.front() == ' ' || password.back() == ' ') {
    throw std::runtime_error("the site password must not begin or end with a blank");
  }
}

}  // namespace

std::string siteConfigText(const std::string& dir, const std::string& password) {
  const char* crlf = "\r\n";
  std::string text;
  text += password + crlf;
  text += connectionString(dir, "kestrin") + crlf;
  text += std::string("sa") + crlf + "8642" + crlf;
  text += connectionString(dir, "ingram") + crlf;
  text += std::string("sa") + crlf + "8642" + crlf;
  text += connectionString(dir, "techdata") + crlf;
  text += std::string("sa") + crlf + "8642" + crlf;
  text += "qbCompanyFile=" + dir + "/company.qbw" + crlf;
  return text;
}

void createSite(const SiteOptions& options) {
  if (options.siteId.empty() || options.siteId.find_first_of("/\\") != std::string::npos) {
    throw std::runtime_error("the site id must be a plain name, such as kestrin");
  }
  checkPassword(options.password);

  std::error_code ec;
  fs::create_directories(options.dir, ec);
  if (ec) throw std::runtime_error("cannot create " + options.dir + ": " + ec.message());
  std::string dir = fs::canonical(options.dir, ec).string();
  if (ec) throw std::runtime_error("cannot use " + options.dir + ": " + ec.message());
  checkValue("the site folder", dir);

  const std::string ini = dir + "/" + options.siteId + ".ini";
  const schema::Database databases[] = {schema::Database::Main, schema::Database::Ingram,
                                        schema::Database::TechData};
  // The demo site's QuickBooks company file, kept by the company-file simulator.
  const std::string companyFile = dir + "/company.qbw";
  std::vector<std::string> existing;
  if (fs::exists(ini)) existing.push_back(ini);
  if (options.demo && fs::exists(companyFile)) existing.push_back(companyFile);
  for (schema::Database db : databases) {
    std::string file = dir + "/" + schema::catalogName(db) + ".db";
    if (fs::exists(file)) existing.push_back(file);
  }
  if (!existing.empty()) {
    if (!options.force) {
      std::string list;
      for (const auto& f : existing) list += "\n  " + f;
      throw std::runtime_error("a site already exists here (use --force to replace it):" + list);
    }
    for (const auto& f : existing) {
      fs::remove(f, ec);
      fs::remove(f + "-wal", ec);
      fs::remove(f + "-shm", ec);
    }
  }

  for (schema::Database db : databases) {
    schema::createSqliteDatabase(dir + "/" + schema::catalogName(db) + ".db", db, options.demo);
  }
  if (options.demo) {
    try {
      qbsim::createCompanyFile(companyFile);
    } catch (const Error& e) {
      throw std::runtime_error(e.description());
    }
  }
  // The configuration file comes last: a site is usable only once its databases are complete.
  const std::string tmp = ini + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << siteConfigText(dir, options.password);
    if (!out.flush()) throw std::runtime_error("cannot write " + tmp);
  }
  fs::rename(tmp, ini, ec);
  if (ec) throw std::runtime_error("cannot write " + ini + ": " + ec.message());
}

void changeSitePassword(const std::string& dir, const std::string& siteId,
                        const std::string& password) {
  if (siteId.empty() || siteId.find_first_of("/\\") != std::string::npos) {
    throw std::runtime_error("the site id must be a plain name, such as kestrin");
  }
  checkPassword(password);
  const std::string ini = dir + "/" + siteId + ".ini";
  std::ifstream in(ini, std::ios::binary);
  if (!in) throw std::runtime_error("there is no site configuration file " + ini);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  // Line 1 ends at the first line end; a reader would also end it at a comma.
  size_t end = text.find_first_of("\r\n");
  std::string rest = end == std::string::npos ? "\r\n" : text.substr(end);
  const std::string tmp = ini + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << password << rest;
    if (!out.flush()) throw std::runtime_error("cannot write " + tmp);
  }
  std::error_code ec;
  fs::permissions(tmp, fs::status(ini, ec).permissions(), ec);
  fs::rename(tmp, ini, ec);
  if (ec) throw std::runtime_error("cannot write " + ini + ": " + ec.message());
}

}  // namespace kestrin::tools
