// kestrin-shop: the page host. Serves one site's shop over HTTP.
//   kestrin-shop --app-path DIR --site ID --password PW [--port N] [--listen ADDR]
//                [--threads N] [--www DIR] [--access-log FILE]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "http_server.h"
#include "registration.h"
#include "shop.h"

#ifndef KESTRIN_SHOP_WWW
#define KESTRIN_SHOP_WWW ""
#endif

namespace {

const char* const kUsage =
    "usage: kestrin-shop --app-path DIR --site ID --password PW [--port N] [--listen ADDR]\n"
    "                    [--threads N] [--www DIR] [--access-log FILE]\n"
    "  --app-path DIR     the folder of the site's configuration file (ID.ini); default: the\n"
    "                     folder of the engine that kestrin-regsvr registered\n"
    "  --site ID          the site id (default kestrin)\n"
    "  --password PW      the site password (also the admin password of the shop)\n"
    "  --port N           the port to listen on (default 8080; 0 takes a free one)\n"
    "  --listen ADDR      the address to listen on (default 127.0.0.1)\n"
    "  --threads N        threads that serve pages (default twice the processors, at least 4)\n"
    "  --www DIR          the stylesheet and images (default: the ones built with the program)\n"
    "  --access-log FILE  append the access log there (default: standard output)\n";

int number(const std::string& option, const std::string& text, int low, int high) {
  size_t used = 0;
  int v = 0;
  try {
    v = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || v < low || v > high) {
    throw std::invalid_argument(option + " takes a number from " + std::to_string(low) + " to " +
                                std::to_string(high) + ", not '" + text + "'");
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrin::shop;
  ShopConfig config;
  config.siteId = "kestrin";
  config.wwwDir = KESTRIN_SHOP_WWW;
  ServerOptions server;
  server.threads = static_cast<int>(std::max(4u, 2 * std::thread::hardware_concurrency()));
  std::string accessLogFile;
  bool havePassword = false;
  try {
    for (int i = 1; i < argc; ++i) {
      std::string a = argv[i];
      auto value = [&]() -> std::string {
        if (i + 1 >= argc) throw std::invalid_argument(a + " needs a value");
        return argv[++i];
      };
      if (a == "--help" || a == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
      } else if (a == "--app-path") {
        setenv("KESTRIN_APP_PATH", value().c_str(), 1);
      } else if (a == "--site") {
        config.siteId = value();
      } else if (a == "--password") {
        config.password = value();
        havePassword = true;
      } else if (a == "--port") {
        server.port = static_cast<unsigned short>(number(a, value(), 0, 65535));
      } else if (a == "--listen") {
        server.address = value();
      } else if (a == "--threads") {
        server.threads = number(a, value(), 1, 256);
      } else if (a == "--www") {
        config.wwwDir = value();
      } else if (a == "--access-log") {
        accessLogFile = value();
      } else {
        throw std::invalid_argument("unknown option " + a);
      }
    }
    if (!havePassword) throw std::invalid_argument("--password is needed");
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "kestrin-shop: %s\n%s", e.what(), kUsage);
    return 2;
  }

  // Without a folder named, the registered engine's folder holds the site configuration files.
  if (const char* env = std::getenv("KESTRIN_APP_PATH"); !env || !*env) {
    std::string registered = kestrin::registeredEngine();
    if (!registered.empty()) {
      std::string folder = registered.substr(0, registered.find_last_of('/'));
      setenv("KESTRIN_APP_PATH", folder.c_str(), 1);
    }
  }

  std::signal(SIGPIPE, SIG_IGN);
  std::FILE* logFile = stdout;
  if (!accessLogFile.empty()) {
    logFile = std::fopen(accessLogFile.c_str(), "a");
    if (!logFile) {
      std::perror(("kestrin-shop: cannot open " + accessLogFile).c_str());
      return 1;
    }
  }
  try {
    Shop shop(config);
    AccessLog log(logFile);
    HttpServer http(
        server, [&shop](const HttpRequest& r) { return shop.handle(r); }, log);
    std::printf("kestrin-shop: serving site %s at http://%s:%u/ with %d threads\n",
                config.siteId.c_str(), server.address.c_str(), http.port(), server.threads);
    std::fflush(stdout);
    http.run();
    std::fprintf(stderr, "kestrin-shop: stopped\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kestrin-shop: %s\n", e.what());
    return 1;
  }
  if (logFile != stdout) std::fclose(logFile);
  return 0;
}
