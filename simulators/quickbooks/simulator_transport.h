// The company-file simulator as a transport of the qbXML session classes: QuickBooks running on
// this machine, answering requests against the company file a session was begun on.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "company_file.h"
#include "kestrin/qbxml.h"

namespace kestrin::qbsim {

class SimulatorTransport : public qbxml::Transport {
 public:
  // `openCompanyFile` is the file QuickBooks has open: a session begun without a file name uses
  // it; with none, such a session fails as QuickBooks does when no file is open.
  explicit SimulatorTransport(std::string openCompanyFile = "");
  ~SimulatorTransport() override;

  void openConnection(const std::string& appID, const std::string& appName) override;
  std::string beginSession(const std::string& companyFile, qbxml::ENOpenMode mode) override;
  std::string processRequest(const std::string& ticket, const std::string& request) override;
  void endSession(const std::string& ticket) override;
  void closeConnection() override;

 private:
  CompanyFile& session(const std::string& ticket);

  std::string openCompanyFile_;
  std::string appName_;
  bool connected_ = false;
  std::map<std::string, std::unique_ptr<CompanyFile>> sessions_;
};

std::unique_ptr<qbxml::Transport> makeSimulatorTransport(std::string openCompanyFile = "");

}  // namespace kestrin::qbsim
