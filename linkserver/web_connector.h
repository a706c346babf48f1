// QuickBooks through Intuit's Web Connector: the Web Connector, on the Windows machine where
// QuickBooks runs, polls a SOAP service on this server (serverVersion, clientVersion,
// authenticate, sendRequestXML, receiveResponseXML, getLastError, connectionError,
// closeConnection), takes the qbXML requests queued here to QuickBooks and brings its answers
// back.
//
// An export talks to it through WebConnectorTransport: each request is queued and the export
// waits for its answer, up to a time-out. The service listens on loopback only; TLS, which the
// Web Connector requires for any host but localhost, belongs to a reverse proxy in front of it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "kestrin/qbxml.h"

namespace kestrin::linkserver {

// The requests of the running export and their answers, shared by the export's thread and the
// service's.
class WebConnectorQueue {
 public:
  explicit WebConnectorQueue(std::chrono::milliseconds answerTimeout)
      : answerTimeout_(answerTimeout) {}

  // ---- The export's side ----
  // While an export runs, the Web Connector is told there is work, and kept in its session
  // between the export's records.
  void exportStarted();
  void exportEnded();
  // Queues a request and waits for its answer. No answer within the time-out, or an error that
  // the Web Connector reports, raises kErrQbNotRunning (the request is withdrawn).
  std::string exchange(const std::string& request);

  // ---- The service's side ----
  bool hasWork();
  // The next request to hand out, waiting up to `wait` for one; empty when there is none.
  std::string takeRequest(std::chrono::milliseconds wait);
  // QuickBooks' answer to the request handed out; then waits up to `wait` for the export to
  // queue another or end. Returns the progress to report: 100 when no export is left running.
  int deliver(const std::string& response, std::chrono::milliseconds wait);
  // The Web Connector could not reach QuickBooks, or QuickBooks failed the request.
  void fail(const std::string& message);

 private:
  struct Pending {
    uint64_t id = 0;
    std::string request;
    bool handedOut = false;
    std::optional<std::string> answer;
    std::optional<std::string> error;
  };
  Pending* current();

  std::chrono::milliseconds answerTimeout_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int exports_ = 0;
  uint64_t nextId_ = 1;
  std::deque<Pending> pending_;
};

class WebConnectorTransport : public qbxml::Transport {
 public:
  explicit WebConnectorTransport(WebConnectorQueue& queue) : queue_(queue) {}
  ~WebConnectorTransport() override;
  void openConnection(const std::string& appID, const std::string& appName) override;
  // The Web Connector names the company file: every session is on the file QuickBooks has open.
  std::string beginSession(const std::string& companyFile, qbxml::ENOpenMode mode) override;
  std::string processRequest(const std::string& ticket, const std::string& request) override;
  void endSession(const std::string& ticket) override;
  void closeConnection() override;

 private:
  WebConnectorQueue& queue_;
  bool open_ = false;
};

struct WebConnectorAccount {
  std::string userName;  // the site id
  std::string password;  // the site password
};

// The SOAP service on 127.0.0.1. One connection is served at a time (the Web Connector is one
// client, and it waits for each answer).
class WebConnectorService {
 public:
  WebConnectorService(WebConnectorQueue& queue, WebConnectorAccount account);
  ~WebConnectorService();
  WebConnectorService(const WebConnectorService&) = delete;
  WebConnectorService& operator=(const WebConnectorService&) = delete;

  // Listens on `port` (0: a free port the system picks) and serves on a thread of its own.
  void start(uint16_t port);
  void stop();
  uint16_t port() const { return port_; }

  // The answer to one SOAP request body: the response envelope, or a SOAP fault.
  std::string handle(const std::string& body);

  // How long sendRequestXML waits for the export's next request, and receiveResponseXML for the
  // export to go on; short, so the Web Connector is never held long.
  std::chrono::milliseconds requestWait{2000};
  std::chrono::milliseconds followWait{1000};

 private:
  void serve();
  void serveConnection(int fd);

  WebConnectorQueue& queue_;
  WebConnectorAccount account_;
  std::mutex mutex_;  // ticket_ and lastError_
  std::string ticket_;
  std::string lastError_;
  int listenFd_ = -1;
  int stopPipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread thread_;
};

// The .qwc file that adds this service to the Web Connector.
std::string qwcFile(const std::string& siteID, const std::string& url);

}  // namespace kestrin::linkserver
