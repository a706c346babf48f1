#include "link_server.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "delimited_items.h"
#include "kestrin/invoice_export.h"
#include "kestrin/qb_exports.h"
#include "server_session.h"
#include "text.h"

namespace kestrin::linkserver {

namespace {

namespace fs = std::filesystem;

const char* const kCrLf = "\r\n";

// A value of a request file as the status log shows it: bytes that are no
// printable text become
// "?", so a binary file cannot garble the log.
std::string printable(const std::string& value) {
  std::string out;
  for (unsigned char c : value) out += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
  return out.size() > 80 ? out.substr(0, 80) + "..." : out;
}

}  // namespace

// ---- The file system's drop folder ----

std::vector<std::string> FileDropFolder::list() { return accounting::listDropRequests(folder_); }

bool FileDropFolder::read(const std::string& path, size_t maxBytes, std::string& content,
                          std::string& why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = std::strerror(errno);
    return false;
  }
  content.assign(maxBytes + 1, '\0');
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (in.bad()) {
    why = "read error";
    return false;
  }
  content.resize(static_cast<size_t>(in.gcount()));
  return true;
}

bool FileDropFolder::remove(const std::string& path, std::string& why) {
  std::error_code ec;
  if (fs::remove(path, ec)) return true;
  why = ec ? ec.message() : "the file is gone";
  return false;
}

// ---- The server ----

LinkServer::LinkServer(LinkServerConfig config, DropFolder& drop, StatusSink& sink)
    : config_(std::move(config)), drop_(drop), sink_(sink) {}

std::tm LinkServer::now() const { return config_.now ? config_.now() : localNow(); }

std::string LinkServer::bannerText(const std::tm& now) {
  return "Kestrin >>> FENWIX " + generalDate(now) + " FENWIX << Kestrin";
}

void LinkServer::start() { sink_.append(std::string("Status Log...") + kCrLf); }

void LinkServer::tick(const std::function<bool()>& stop) {
  sink_.banner(bannerText(now()));
  const std::vector<std::string> files = drop_.list();
  // A stuck file that has gone (someone removed it) is forgotten.
  std::erase_if(stuck_, [&](const std::string& f) {
    return std::find(files.begin(), files.end(), f) == files.end();
  });
  for (const std::string& f : files) {
    if (stop && stop()) return;
    take(f);
  }
}

void LinkServer::take(const std::string& path) {
  const bool stuck = stuck_.contains(path);
  const std::string processing = kCrLf + generalDate(now()) +
                                 " :: Processing file: " + fs::path(path).filename().string() +
                                 kCrLf;
  auto report = [&](const std::string& status) { sink_.append(":::" + status + kCrLf); };
  std::string content, why;
  if (!drop_.read(path, kMaxRequestBytes, content, why)) {
    if (!stuck) {
      sink_.append(processing);
      report("Not run: the request file cannot be read (" + why + ")");
      stuck_.insert(path);
    }
    return;
  }
  // Deleted before it runs, so that it runs at most once.
  if (!drop_.remove(path, why)) {
    if (!stuck) {
      sink_.append(processing);
      report("Not run: the request file cannot be deleted (" + why +
             "); it runs once it can be deleted");
      stuck_.insert(path);
    }
    return;
  }
  stuck_.erase(path);
  sink_.append(processing);
  if (content.size() > kMaxRequestBytes) {
    report("Not run: the file is larger than any request (" +
           std::to_string(kMaxRequestBytes / 1024) + " KB); deleted");
    return;
  }
  std::vector<std::string> items = readDelimitedItems(content);
  if (items.size() < 4) {
    report("Not run: the file holds " + std::to_string(items.size()) +
           " of the 4 items of a request; deleted");
    return;
  }
  report(runExport({items[0], items[1], items[2], items[3]}));
}

std::string LinkServer::runExport(const accounting::DropRequest& request) {
  const std::string type = trim(request.tType);
  const accounting::ExportProfile profile = accounting::linkServerProfile();
  accounting::ExportSpec spec;
  if (type == "exCustomer") {
    spec = accounting::customerExport(profile);
  } else if (type == "exItem") {
    spec = accounting::itemExport(profile);
  } else if (type == "exVendor") {
    spec = accounting::vendorExport(profile);
  } else if (type == "exInvoice") {
    spec = accounting::invoiceExport(profile);
  } else {
    return "Not run: unknown request type \"" + printable(type) + "\"";
  }
  ServerSession session(config_.home);
  const std::string openFile;  // every session is begun on the file QuickBooks has open
  accounting::ExportHost host{session.conn,
                              session.rs,
                              session.sql,
                              session.log,
                              openFile,
                              [&] { session.open(request.siteID, request.sitePassword); },
                              [&] { session.close(); },
                              [&] { return config_.transport(session.siteCompanyFile); },
                              config_.now,
                              &session.connTD};
  if (config_.exporting) config_.exporting(true);
  std::string status = accounting::runExport(spec, host, profile, request.sPath);
  if (config_.exporting) config_.exporting(false);
  return status;
}

}  // namespace kestrin::linkserver
