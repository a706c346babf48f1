// The accounting link server's polling: every tick sets the banner, then takes the request files
// of the drop folder one by one in name order, reads each, deletes it, and runs the export its
// fourth item names, writing what it did to the status log.
//
// A request is carried out at most once: a file is deleted before its export runs, and a file
// that cannot be deleted runs nothing (it is reported once, and run at the first tick that can
// delete it). A file that is no request (empty, incomplete, larger than any request, of an
// unknown type) is reported, deleted and runs nothing. Nothing in a tick stops the server.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "kestrin/fenwix_drop.h"
#include "kestrin/qbxml.h"

namespace kestrin::linkserver {

// The drop folder as the server uses it; tests replace it.
class DropFolder {
 public:
  virtual ~DropFolder() = default;
  // The request files waiting, in name order.
  virtual std::vector<std::string> list() = 0;
  // At most `maxBytes` + 1 bytes of the file; false and the reason when it cannot be read.
  virtual bool read(const std::string& path, size_t maxBytes, std::string& content,
                    std::string& why) = 0;
  // False and the reason when the file cannot be deleted.
  virtual bool remove(const std::string& path, std::string& why) = 0;
};

// The drop folder of the file system.
class FileDropFolder : public DropFolder {
 public:
  explicit FileDropFolder(std::string folder) : folder_(std::move(folder)) {}
  std::vector<std::string> list() override;
  bool read(const std::string& path, size_t maxBytes, std::string& content,
            std::string& why) override;
  bool remove(const std::string& path, std::string& why) override;

 private:
  std::string folder_;
};

// Where the status log and the banner go: standard output, a log file, the window.
class StatusSink {
 public:
  virtual ~StatusSink() = default;
  // Text to append to the status log; lines end with CR LF.
  virtual void append(const std::string& text) = 0;
  virtual void banner(const std::string& text) = 0;
};

// QuickBooks for one export: given the company file the site's configuration names (which a
// QuickBooks on this machine has open), a new connection to it.
using TransportSource =
    std::function<std::unique_ptr<qbxml::Transport>(const std::string& siteCompanyFile)>;

struct LinkServerConfig {
  std::string home;  // folder of the site configuration files SITE.ini
  TransportSource transport;
  std::function<std::tm()> now;  // empty: local time
  // Told when an export begins (true) and ends (false).
  std::function<void(bool)> exporting;
};

// The request types and the exports they run.
inline constexpr const char* kRequestTypes[] = {"exCustomer", "exItem", "exVendor", "exInvoice"};

// Larger files are not requests: four short values.
inline constexpr size_t kMaxRequestBytes = 64 * 1024;

class LinkServer {
 public:
  LinkServer(LinkServerConfig config, DropFolder& drop, StatusSink& sink);

  // Writes the start of the status log ("Status Log...").
  void start();
  // One tick. `stop` is asked between requests: when it says true, the rest wait for the next
  // start.
  void tick(const std::function<bool()>& stop = {});
  // Runs the export that the trimmed type names and returns its status text; an unknown type
  // runs nothing.
  std::string runExport(const accounting::DropRequest& request);

  static std::string bannerText(const std::tm& now);

 private:
  std::tm now() const;
  void take(const std::string& path);

  LinkServerConfig config_;
  DropFolder& drop_;
  StatusSink& sink_;
  // Files reported as not deletable, not reported again while they stay.
  std::set<std::string> stuck_;
};

}  // namespace kestrin::linkserver
