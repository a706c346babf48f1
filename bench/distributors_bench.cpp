// The distributor links: price-and-availability exchanges on loopback, and the engine's side of
// a stock check with the five-second wait left out.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "bench_sites.h"
#include "ingram_stock.h"
#include "kestrin/ecat.h"
#include "kestrin/panda.h"

namespace kestrin::bench {
namespace {

namespace ingram = simulators::ingram;

// A price server in this process on a free loopback port, answering from a small stock table.
class PriceServer {
 public:
  PriceServer() : stock_(ingram::StockTable::parse("IM-1,10,12,9.99\nIM-1,20,-3,9.99\n")) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(listener_, 64);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    std::thread([this] {
      for (;;) {
        int fd = ::accept(listener_, nullptr, nullptr);
        if (fd >= 0) std::thread([this, fd] { serve(fd); }).detach();
      }
    }).detach();
  }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  void serve(int fd) {
    std::string message(ingram::kMessageLength, '\0');
    for (;;) {
      size_t got = 0;
      while (got < message.size()) {
        ssize_t n = ::recv(fd, message.data() + got, message.size() - got, 0);
        if (n <= 0) {
          ::close(fd);
          return;
        }
        got += static_cast<size_t>(n);
      }
      const std::string reply = ingram::answer(stock_, {}, message);
      if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) !=
          static_cast<ssize_t>(reply.size())) {
        ::close(fd);
        return;
      }
    }
  }
  ingram::StockTable stock_;
  int listener_ = -1;
  int port_ = 0;
};

PriceServer& priceServer() {
  static PriceServer server;
  return server;
}

// A whole exchange per iteration: connect, one message each way, close.
void BM_PandATransact(benchmark::State& state) {
  const std::string server = priceServer().address();
  for (auto _ : state) {
    PandA request;
    auto trans = std::make_shared<Transaction>();
    trans->Server = server;
    request.setTrans(trans);
    request.Parts()(1).PartNumber = "IM-1";
    request.Parts()(1).TotalAvailable = "Y";
    request.Transact();
    benchmark::DoNotOptimize(request.Parts()(1).Available);
  }
}
BENCHMARK(BM_PandATransact)->Unit(benchmark::kMicrosecond);

// Exchanges over one session kept open.
void BM_PandACallServer(benchmark::State& state) {
  PandA request;
  auto trans = std::make_shared<Transaction>();
  trans->Server = priceServer().address();
  request.setTrans(trans);
  request.Parts()(1).PartNumber = "IM-1";
  request.Parts()(1).TotalAvailable = "Y";
  trans->OpenClient();
  for (auto _ : state) {
    request.CallServer();
    benchmark::DoNotOptimize(request.Parts()(1).Available);
  }
  trans->CloseClient();
}
BENCHMARK(BM_PandACallServer)->Unit(benchmark::kMicrosecond);

// RealInventory of a demo distributor product in a page's session, the agent's answer written
// during the (replaced) wait: files, statements and the statement's HTML. Argument: backend
// (0 SQLite, 1 PostgreSQL).
void BM_StockCheckWithoutTheWait(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  if (!useSite(state, backend, demoSite(backend))) return;
  const std::string web = demoSite(backend) + "/web";
  std::filesystem::create_directories(web + "/admin/tdo");
  StatementCounter statements;
  for (auto _ : state) {
    eCat cat;
    cat.setStockWait([&](std::chrono::milliseconds) {
      std::ofstream(web + "/admin/tdo/TD-5000007.tds") << "QTY~12\r\n";
    });
    cat.opendb(true, kSiteId, kPassword);
    cat.RealInventory("TD-5000007", web, "", false);
    cat.closedb();
    benchmark::DoNotOptimize(cat.strR);
  }
  statements.report(state);
}
BENCHMARK(BM_StockCheckWithoutTheWait)
    ->ArgName("pg")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrin::bench
