// techdata-agent: the Tech Data exchange agent of a site. Watches the site's exchange folder
// SITE/admin/tdo (made when missing) and answers each stock request file from a stock file.
//
//   techdata-agent --site SITE --stock FILE [--interval MS]
//
// Looks for new requests every MS milliseconds (200), well within the five seconds the engine
// waits. Prints "techdata-agent watching FOLDER" once it runs; stops on SIGTERM or SIGINT.
#include <csignal>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>

#include "exchange_agent.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void onSignal(int) { gStop = 1; }

struct Options {
  std::string site;
  std::string stockFile;
  int intervalMs = 200;
};

Options parseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
    const std::string value = argv[++i];
    if (arg == "--site") {
      o.site = value;
    } else if (arg == "--stock") {
      o.stockFile = value;
    } else if (arg == "--interval") {
      try {
        o.intervalMs = std::stoi(value);
      } catch (const std::exception&) {
        o.intervalMs = 0;
      }
      if (o.intervalMs < 1 || o.intervalMs > 4000) {
        throw std::runtime_error("--interval takes 1 to 4000 milliseconds");
      }
    } else {
      throw std::runtime_error("unknown option " + arg);
    }
  }
  if (o.site.empty() || o.stockFile.empty()) {
    throw std::runtime_error("--site and --stock are required");
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  using kestrin::simulators::techdata::ExchangeAgent;
  using kestrin::simulators::techdata::StockTable;
  Options options;
  StockTable stock;
  std::string folder;
  try {
    options = parseOptions(argc, argv);
    stock = StockTable::load(options.stockFile);
    folder = options.site + "/admin/tdo";
    std::filesystem::create_directories(folder);
  } catch (const std::exception& e) {
    std::cerr << "techdata-agent: " << e.what() << '\n'
              << "usage: techdata-agent --site SITE --stock FILE [--interval MS]\n";
    return 2;
  }

  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  std::cout << "techdata-agent watching " << folder << " (" << stock.size() << " parts)"
            << std::endl;
  ExchangeAgent agent(folder, std::move(stock));
  while (!gStop) {
    agent.answerRequests(std::cerr);
    std::this_thread::sleep_for(std::chrono::milliseconds(options.intervalMs));
  }
  return 0;
}
