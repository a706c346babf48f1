#include "simulator_transport.h"

#include "kestrin/error.h"
#include "request_processor.h"

namespace kestrin::qbsim {

SimulatorTransport::SimulatorTransport(std::string openCompanyFile)
    : openCompanyFile_(std::move(openCompanyFile)) {}

SimulatorTransport::~SimulatorTransport() {
  for (auto& [ticket, file] : sessions_) {
    try {
      file->endSession(ticket);
    } catch (const Error&) {
      // The file went away; its session went with it.
    }
  }
}

void SimulatorTransport::openConnection(const std::string&, const std::string& appName) {
  if (appName.empty()) {
    raise(kErrInvalidCall, "Invalid procedure call or argument: the application name is empty.",
          kSource);
  }
  appName_ = appName;
  connected_ = true;
}

std::string SimulatorTransport::beginSession(const std::string& companyFile,
                                             qbxml::ENOpenMode mode) {
  if (!connected_) {
    raise(qbxml::kErrQbSequence, "BeginSession needs an open connection.", kSource);
  }
  const std::string& path = companyFile.empty() ? openCompanyFile_ : companyFile;
  if (path.empty()) {
    raise(qbxml::kErrQbNoFileOpen,
          "If QuickBooks is not running, a call to the BeginSession method must include the name "
          "of the QuickBooks company data file.",
          kSource);
  }
  auto file = std::make_unique<CompanyFile>(path);
  std::string ticket = file->beginSession(appName_, mode);
  sessions_.emplace(ticket, std::move(file));
  return ticket;
}

CompanyFile& SimulatorTransport::session(const std::string& ticket) {
  auto it = sessions_.find(ticket);
  if (it == sessions_.end()) {
    raise(qbxml::kErrQbSequence, "The session ticket " + ticket + " is not valid.", kSource);
  }
  return *it->second;
}

std::string SimulatorTransport::processRequest(const std::string& ticket,
                                               const std::string& request) {
  return qbsim::processRequest(session(ticket), request);
}

void SimulatorTransport::endSession(const std::string& ticket) {
  CompanyFile& file = session(ticket);
  auto node = sessions_.extract(ticket);
  file.endSession(ticket);
}

void SimulatorTransport::closeConnection() { connected_ = false; }

std::unique_ptr<qbxml::Transport> makeSimulatorTransport(std::string openCompanyFile) {
  return std::make_unique<SimulatorTransport>(std::move(openCompanyFile));
}

}  // namespace kestrin::qbsim
