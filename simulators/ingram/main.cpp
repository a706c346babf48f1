// ingram-simulator: answers price-and-availability messages from a stock file, over TCP.
//
//   ingram-simulator --stock FILE [--port N] [--host ADDRESS]
//                    [--customer NUMBER] [--branch NUMBER] [--password TEXT]
//
// Listens on ADDRESS (127.0.0.1) port N (7374; 0 picks a free port) and prints
// "ingram-simulator listening on ADDRESS:PORT" once it accepts connections. Each connection may
// carry any number of 7,374-byte messages, each answered with one of the same length. With
// --customer, --branch or --password, requests for another account get the error codes "EE" or
// "EJ" for their parts. Stops on SIGTERM or SIGINT.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>

#include "ingram_stock.h"

namespace {

using kestrin::simulators::ingram::Account;
using kestrin::simulators::ingram::kMessageLength;
using kestrin::simulators::ingram::StockTable;

struct Options {
  std::string stockFile;
  std::string host = "127.0.0.1";
  int port = 7374;
  Account account;
};

Options parseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
    const std::string value = argv[++i];
    if (arg == "--stock") {
      o.stockFile = value;
    } else if (arg == "--host") {
      o.host = value;
    } else if (arg == "--port") {
      try {
        o.port = std::stoi(value);
      } catch (const std::exception&) {
        o.port = -1;
      }
      if (o.port < 0 || o.port > 65535) throw std::runtime_error("--port takes 0 to 65535");
    } else if (arg == "--customer") {
      o.account.customerNumber = value;
    } else if (arg == "--branch") {
      o.account.branch = value;
    } else if (arg == "--password") {
      o.account.password = value;
    } else {
      throw std::runtime_error("unknown option " + arg);
    }
  }
  if (o.stockFile.empty()) throw std::runtime_error("--stock FILE is required");
  return o;
}

bool readMessage(int fd, std::string& message) {
  message.assign(kMessageLength, '\0');
  size_t got = 0;
  while (got < message.size()) {
    ssize_t n = ::recv(fd, message.data() + got, message.size() - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool writeAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void serve(int fd, const StockTable& stock, const Account& account) {
  std::string message;
  while (readMessage(fd, message)) {
    if (!writeAll(fd, kestrin::simulators::ingram::answer(stock, account, message))) break;
  }
  ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  StockTable stock;
  try {
    options = parseOptions(argc, argv);
    stock = StockTable::load(options.stockFile);
  } catch (const std::exception& e) {
    std::cerr << "ingram-simulator: " << e.what() << '\n'
              << "usage: ingram-simulator --stock FILE [--port N] [--host ADDRESS] [--customer "
                 "NUMBER] [--branch NUMBER] [--password TEXT]\n";
    return 2;
  }

  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(options.port));
  if (::inet_pton(AF_INET, options.host.c_str(), &address.sin_addr) != 1) {
    std::cerr << "ingram-simulator: --host takes an IPv4 address, not " << options.host << '\n';
    return 2;
  }
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 64) != 0) {
    std::cerr << "ingram-simulator: cannot listen on " << options.host << ':' << options.port
              << ": " << std::strerror(errno) << '\n';
    return 1;
  }
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::cout << "ingram-simulator listening on " << options.host << ':' << ntohs(address.sin_port)
            << " (" << stock.size() << " parts)" << std::endl;

  for (;;) {
    int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      std::cerr << "ingram-simulator: accept failed: " << std::strerror(errno) << '\n';
      return 1;
    }
    std::thread(serve, fd, std::cref(stock), std::cref(options.account)).detach();
  }
}
