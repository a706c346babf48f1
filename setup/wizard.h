// The wizard's flow, shared by the windows and the scripted mode: the terms, New Folder, START
// (folders, archives, registration) and Create Databases (attach, configuration files,
// xconfig.asp, the accounting component installer).
#pragma once

#include <string>
#include <vector>

#include "launcher.h"
#include "wizard_ui.h"

namespace pelmoray {

// The site password written into line 1 of the configuration files unless another is given.
// The operator must change it after installing (kestrinctl site password).
inline constexpr const char* kDefaultSitePassword = "tolvaro27";

// The archives of the delivery and where START extracts them; "" is the target folder itself and
// "<dll>" the wizard's dll folder.
struct ArchivePlace {
  const char* archive;
  const char* destination;
};
extern const ArchivePlace kArchives[8];

// The files that a delivery holds beside the wizard.
std::vector<std::string> deliveryFiles();

// The eleven lines of the configuration file, each ended by CR LF, for the typed (trimmed)
// server, user and password.
std::string siteConfigText(const std::string& server, const std::string& user,
                           const std::string& password, const std::string& sitePassword);

class Wizard {
 public:
  // `wizardFolder`: the folder that holds the delivered files (no trailing "/").
  Wizard(WizardUi& ui, Launcher& launcher, std::string wizardFolder,
         std::string sitePassword = kDefaultSitePassword);

  // "Disagree": the thank-you box; the caller then ends the program.
  void disagree();
  // "New Folder": asks for a name, creates the folder below `currentFolder` (its failure is
  // ignored) and returns the new current folder.
  std::string newFolder(const std::string& currentFolder);
  // "START" with the folder tree on `currentFolder`.
  void start(const std::string& currentFolder);
  // "Create Databases" with the three text boxes as typed.
  void createDatabases(const std::string& server, const std::string& user,
                       const std::string& password);

  // Empty until START.
  const std::string& targetFolder() const { return target_; }
  const std::string& wizardFolder() const { return wizardFolder_; }
  // Whether something went wrong that the operator was told of: an archive that did not
  // extract, or databases not created (a warning does not count).
  bool hadFailures() const { return failures_ > 0; }

 private:
  WizardUi& ui_;
  Launcher& launcher_;
  std::string wizardFolder_;
  std::string sitePassword_;
  std::string target_;
  int failures_ = 0;
};

}  // namespace pelmoray
