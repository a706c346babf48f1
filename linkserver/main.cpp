// fenwix: the accounting link server. Watches the drop folder and runs the
// exports it is asked for into QuickBooks; see `fenwix --help`.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <thread>

#include "kestrin/error.h"
#include "kestrin/fenwix_drop.h"
#include "kestrin/invoice_export.h"
#include "link_server.h"
#include "server_session.h"
#include "server_window.h"
#include "simulator_transport.h"
#include "site_config.h"
#include "text.h"
#include "web_connector.h"

namespace {

namespace fs = std::filesystem;
using namespace kestrin;
using namespace kestrin::linkserver;

const char* const kUsage =
    "usage:\n"
    "  fenwix [--once] [--quiet-banner] [--log FILE] [--company-file FILE] "
    "[--window]\n"
    "         [--web-connector PORT --site ID [--timeout SECONDS]]\n"
    "      Watch the drop folder (FENWIX_DROP, else /var/spool/fenwix/) every "
    "second and run\n"
    "      the exports requested there; site configuration files SITE.ini are "
    "read from\n"
    "      FENWIX_HOME, else the program's folder. The status log goes to "
    "standard output and\n"
    "      to FILE (default: fenwix.log in that folder). --once runs one tick "
    "and ends;\n"
    "      --quiet-banner leaves the banner out of the log; --company-file "
    "names the company\n"
    "      file QuickBooks has open (default: the one each site's "
    "configuration names);\n"
    "      --window shows the server's window; --web-connector serves "
    "QuickBooks' Web\n"
    "      Connector on 127.0.0.1:PORT for the site ID instead, waiting "
    "SECONDS (default 300)\n"
    "      for each answer. SIGTERM and SIGINT end the server after the "
    "running export.\n"
    "  fenwix --reexport ORDERID --site ID\n"
    "      Remove the order from the journal of exported invoices, so the next "
    "invoice\n"
    "      export sends it again.\n"
    "  fenwix qwc --site ID --url URL\n"
    "      Print the .qwc file that adds this server to QuickBooks' Web "
    "Connector.\n";

volatile std::sig_atomic_t gStop = 0;

void onSignal(int) { gStop = 1; }

bool stopRequested() { return gStop != 0; }

struct UsageError {
  std::string message;
};

std::string programFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path().string() : exe.parent_path().string();
}

std::string homeFolder() {
  const char* env = std::getenv("FENWIX_HOME");
  return env && *env ? env : programFolder();
}

// Standard output and the log file, with line ends of this system; the banner
// when it changes, at most once a second.
class ConsoleSink : public StatusSink {
 public:
  ConsoleSink(const std::string& logFile, bool quietBanner) : quietBanner_(quietBanner) {
    file_.open(logFile, std::ios::app | std::ios::binary);
    if (!file_) std::cerr << "fenwix: cannot write the log file " << logFile << "\n";
  }
  void append(const std::string& text) override { write(replaceAll(text, "\r\n", "\n")); }
  void banner(const std::string& text) override {
    const auto now = std::chrono::steady_clock::now();
    if (quietBanner_ || text == lastBanner_ || now - lastBannerTime_ < std::chrono::seconds(1)) {
      return;
    }
    lastBanner_ = text;
    lastBannerTime_ = now;
    write(text + "\n");
  }

 private:
  void write(const std::string& text) {
    std::cout << text << std::flush;
    if (file_) file_ << text << std::flush;
  }

  bool quietBanner_;
  std::ofstream file_;
  std::string lastBanner_;
  std::chrono::steady_clock::time_point lastBannerTime_{};
};

struct Options {
  bool once = false;
  bool quietBanner = false;
  bool window = false;
  std::string logFile;
  std::string companyFile;
  std::optional<uint16_t> webConnectorPort;
  int timeoutSeconds = 300;
  std::string site;
  std::string reexport;
  std::string url;
  std::string screenshot;
  bool qwc = false;
};

Options parse(int argc, char** argv) {
  Options o;
  auto value = [&](int& i) -> std::string {
    if (i + 1 >= argc) throw UsageError{std::string(argv[i]) + " needs a value"};
    return argv[++i];
  };
  auto number = [&](int& i, long max) {
    const std::string text = value(i);
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || n < 0 || n > max) {
      throw UsageError{std::string(argv[i - 1]) + " needs a number from 0 to " +
                       std::to_string(max)};
    }
    return n;
  };
  int i = 1;
  if (argc > 1 && std::string(argv[1]) == "qwc") {
    o.qwc = true;
    i = 2;
  }
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--once") {
      o.once = true;
    } else if (a == "--quiet-banner") {
      o.quietBanner = true;
    } else if (a == "--window") {
      o.window = true;
    } else if (a == "--log") {
      o.logFile = value(i);
    } else if (a == "--company-file") {
      o.companyFile = value(i);
    } else if (a == "--web-connector") {
      o.webConnectorPort = static_cast<uint16_t>(number(i, 65535));
    } else if (a == "--timeout") {
      o.timeoutSeconds = static_cast<int>(number(i, 86400));
    } else if (a == "--site") {
      o.site = value(i);
    } else if (a == "--reexport") {
      o.reexport = value(i);
    } else if (a == "--url") {
      o.url = value(i);
    } else if (a == "--screenshot") {
      o.screenshot = value(i);
    } else if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else {
      throw UsageError{"unknown argument " + a};
    }
  }
  if (o.qwc && (o.site.empty() || o.url.empty())) throw UsageError{"qwc needs --site and --url"};
  if ((o.webConnectorPort || !o.reexport.empty()) && o.site.empty()) {
    throw UsageError{"--web-connector and --reexport need --site"};
  }
  return o;
}

// The site's password: the first item of its configuration file.
std::string sitePassword(const std::string& home, const std::string& site) {
  return trim(SiteConfigReader(siteConfigPath(home, site)).next());
}

int reexport(const std::string& home, const Options& o) {
  ServerSession session(home);
  session.open(o.site, sitePassword(home, o.site));
  const bool removed = accounting::forgetExportedOrder(session.conn, o.reexport);
  session.close();
  std::cout << (removed ? "The order " + o.reexport +
                              " is out of the journal: the next invoice export "
                              "sends it again.\n"
                        : "The order " + o.reexport +
                              " is not in the journal of exported "
                              "invoices: nothing to do.\n");
  return 0;
}

int serve(const std::string& home, const Options& o) {
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  const std::string drop = accounting::fenwixDropFolder();
  std::error_code ec;
  fs::create_directories(drop, ec);
  FileDropFolder folder(drop);
  ConsoleSink console(o.logFile.empty() ? home + "/fenwix.log" : o.logFile, o.quietBanner);

  LinkServerConfig config;
  config.home = home;
  std::unique_ptr<WebConnectorQueue> queue;
  std::unique_ptr<WebConnectorService> service;
  if (o.webConnectorPort) {
    queue = std::make_unique<WebConnectorQueue>(std::chrono::seconds(o.timeoutSeconds));
    service = std::make_unique<WebConnectorService>(
        *queue, WebConnectorAccount{o.site, sitePassword(home, o.site)});
    service->start(*o.webConnectorPort);
    std::cout << "Web Connector service on http://127.0.0.1:" << service->port() << "/"
              << std::endl;
    config.transport = [q = queue.get()](const std::string&) {
      return std::make_unique<WebConnectorTransport>(*q);
    };
    config.exporting = [q = queue.get()](bool running) {
      running ? q->exportStarted() : q->exportEnded();
    };
  } else {
    config.transport = [file = o.companyFile](const std::string& siteCompanyFile) {
      return qbsim::makeSimulatorTransport(file.empty() ? siteCompanyFile : file);
    };
  }
  std::cout << "FENWIX: drop folder " << drop << ", site configurations in " << home << std::endl;

  if (o.window) {
    WindowOptions w{o.screenshot, stopRequested};
    return runServerWindow(std::move(config), folder, console, w);
  }
  LinkServer server(std::move(config), folder, console);
  server.start();
  while (!gStop) {
    const auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    server.tick(stopRequested);
    if (o.once) break;
    while (!gStop && std::chrono::steady_clock::now() < next) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  if (gStop) std::cout << "FENWIX: stopped" << std::endl;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    Options o = parse(argc, argv);
    const std::string home = homeFolder();
    if (o.qwc) {
      std::cout << qwcFile(o.site, o.url);
      return 0;
    }
    if (!o.reexport.empty()) return reexport(home, o);
    return serve(home, o);
  } catch (const UsageError& e) {
    std::cerr << "fenwix: " << e.message << "\n" << kUsage;
    return 2;
  } catch (const Error& e) {
    std::cerr << "fenwix: " << e.description() << " (error " << e.number() << ")\n";
    return 1;
  }
}
