#include "wizard.h"

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <optional>

#include "cg_unzip_files.h"
#include "kestrin/db.h"
#include "kestrin/error.h"
#include "server_databases.h"
#include "text.h"

namespace pelmoray {

namespace {

const char* const kCrLf = "\r\n";
const char* const kSource = "Pelmoray";

// The database attaches of Create Databases: name, data file, log file.
struct AttachedDatabase {
  const char* name;
  const char* dataFile;
  const char* logFile;
};
const AttachedDatabase kDatabases[] = {
    {"kestrin", "/kestrin_data.mdf", "/kestrin_log.ldf"},
    {"ingram", "/ingramtemp_data.mdf", "/ingram_log.ldf"},
    {"techdata", "/tdtemp_data.mdf", "/techdata_log.ldf"},
};

std::string connectionLine(const std::string& server, const std::string& catalog,
                           const std::string& user, const std::string& password) {
  return "Provider=SQLOLEDB; Data Source=" + server + "; Initial Catalog=" + catalog +
         "; User ID=" + user + "; Password=" + password + ";";
}

void writeNewFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << content;
  if (!out || !out.flush()) {
    kestrin::raise(kestrin::kErrPathAccess, "Path/File access error: " + path, kSource);
  }
}

// Continue-on-error: each step runs; a failing one is remembered and the next runs. A closed
// connection's complaint does not hide why the connection is closed: the failure of the open
// is kept over the failures it causes.
class StepRunner {
 public:
  void operator()(const std::function<void()>& step) {
    try {
      step();
    } catch (const kestrin::Error& e) {
      remember(e.number(), e.description());
    } catch (const std::exception& e) {
      remember(kestrin::kErrInvalidCall, e.what());
    }
  }
  // The connection's open failed: later closed-connection failures are its consequences.
  void openFailed() { openFailed_ = true; }
  bool didOpenFail() const { return openFailed_; }
  bool failed() const { return failed_; }
  const std::string& description() const { return description_; }

 private:
  void remember(int32_t number, const std::string& description) {
    if (!(openFailed_ && number == kestrin::kErrObjectClosed)) description_ = description;
    failed_ = true;
  }

  bool failed_ = false;
  bool openFailed_ = false;
  std::string description_;
};

}  // namespace

const ArchivePlace kArchives[8] = {
    {"root.zip", ""},
    {"images.zip", "images/"},
    {"specialimages.zip", "images/special/"},
    {"admin.zip", "admin/"},
    {"htmlarea.zip", "admin/htmlarea/"},
    {"htmlareaimages.zip", "admin/htmlarea/images/"},
    {"htmlareapopups.zip", "admin/htmlarea/popups/"},
    {"dll.zip", "<dll>"},
};

std::vector<std::string> deliveryFiles() {
  std::vector<std::string> files;
  for (const ArchivePlace& a : kArchives) files.emplace_back(a.archive);
  for (const AttachedDatabase& d : kDatabases) {
    files.emplace_back(d.dataFile + 1);
    files.emplace_back(d.logFile + 1);
  }
  files.emplace_back("qbfc2_1Installer.exe");
  return files;
}

std::string siteConfigText(const std::string& server, const std::string& user,
                           const std::string& password, const std::string& sitePassword) {
  std::string text = sitePassword + kCrLf;
  for (const char* catalog : {"kestrin", "ingram", "techdata"}) {
    text += connectionLine(server, catalog, user, password) + kCrLf;
    text += std::string("sa") + kCrLf + "8642" + kCrLf;
  }
  return text + "qbCompanyFile=/www/a.qbw" + kCrLf;
}

Wizard::Wizard(WizardUi& ui, Launcher& launcher, std::string wizardFolder, std::string sitePassword)
    : ui_(ui),
      launcher_(launcher),
      wizardFolder_(std::move(wizardFolder)),
      sitePassword_(std::move(sitePassword)) {}

void Wizard::disagree() { ui_.messageBox("Thank you for your interest in Kestrin Software."); }

std::string Wizard::newFolder(const std::string& currentFolder) {
  std::string name = ui_.inputBox("Type the name of the new folder", "New Folder");
  if (name.empty()) return currentFolder;
  std::string folder = currentFolder + (currentFolder.ends_with("/") ? "" : "/") + name;
  ::mkdir(folder.c_str(), 0777);  // an existing folder, or a failure, changes nothing else
  return folder;
}

void Wizard::start(const std::string& currentFolder) {
  target_ = currentFolder;
  const std::string base = target_ + "/";
  ui_.showProgress("Creating Directories...");
  for (const char* folder : {"admin", "admin/tdo", "admin/temp", "admin/database", "admin/htmlarea",
                             "admin/htmlarea/images", "admin/htmlarea/popups"}) {
    ::mkdir((base + folder).c_str(), 0777);
  }
  ::mkdir((wizardFolder_ + "/dll").c_str(), 0777);
  ::mkdir((base + "images").c_str(), 0777);
  ::mkdir((base + "images/special").c_str(), 0777);

  ui_.showProgress("Copying Files...");
  for (const ArchivePlace& a : kArchives) {
    std::string destination =
        std::string(a.destination) == "<dll>" ? wizardFolder_ + "/dll/" : base + a.destination;
    std::string archive = wizardFolder_ + "/" + a.archive;
    CGUnzipFiles unzip(ui_);
    unzip.setHonorDirectories(false);
    try {
      if (unzip.Unzip(archive, destination) != 0) {
        ++failures_;
        ui_.messageBox(unzip.GetLastMessage());
      }
    } catch (const kestrin::Error& e) {
      ++failures_;
      ui_.messageBox(e.description());
    }
  }

  ui_.showProgress("Registering Kestrin.DLL");
  launcher_.startDetached(
      {wizardFolder_ + "/kestrin-regsvr", wizardFolder_ + "/dll/libkestrin.so"});
  ui_.showProgress("Done");
  ui_.closeProgress();
  ui_.messageBox("Done. Please proceed to STEP TWO");
}

void Wizard::createDatabases(const std::string& serverText, const std::string& userText,
                             const std::string& passwordText) {
  if (target_.empty()) {
    ui_.messageBox("Please complete STEP ONE by clicking on START before creating databases.");
    return;
  }
  const std::string server = kestrin::trim(serverText);
  const std::string user = kestrin::trim(userText);
  const std::string password = kestrin::trim(passwordText);
  StepRunner step;
  // On a database server, an attach makes the database and loads the delivered file's rows.
  SiteDatabaseMaker maker;
  kestrin::db::ServerDatabaseMakerScope makerScope(maker);
  std::optional<kestrin::db::Connection> conn;
  step([&] {
    conn.emplace();
    conn->setConnectionTimeout(300);
  });
  step([&] {
    try {
      conn->open("Provider=SQLOLEDB;Data Source=" + server +
                 ";Initial Catalog=Master;User Id=" + user + ";Password=" + password + ";");
    } catch (...) {
      step.openFailed();
      throw;
    }
  });
  for (const AttachedDatabase& d : kDatabases) {
    step([&] {
      conn->execute(std::string("EXEC sp_attach_db @dbname = N'") + d.name + "', @filename1 = N'" +
                    kestrin::sqlEscape(wizardFolder_ + d.dataFile) + "', @filename2 = N'" +
                    kestrin::sqlEscape(wizardFolder_ + d.logFile) + "'");
    });
  }
  step([&] { conn.reset(); });

  const std::string config = siteConfigText(server, user, password, sitePassword_);
  step([&] { writeNewFile(wizardFolder_ + "/dll/kestrin.ini", config); });
  step([&] { writeNewFile(wizardFolder_ + "/kestrin.ini", config); });
  step([&] {
    writeNewFile(target_ + "/admin/xconfig.asp", std::string("<%") + kCrLf + "sPath = \"" +
                                                     target_ + "/images/special/\"" + kCrLf +
                                                     "vPath = \"/\"" + kCrLf + "%>" + kCrLf);
  });

  if (!step.failed()) {
    ui_.messageBox(std::string("Databases have been created successfully! ") + kCrLf +
                   "Please proceed to step THREE.");
  } else if (!step.didOpenFail() &&
             kestrin::lower(step.description()).find("exist") != std::string::npos) {
    // Only an attach's failure can mean "already attached": a server that refuses the login
    // may say that the login does not exist.
    ui_.messageBox(std::string("Databases have been created successfully with the following "
                               "warning:") +
                   kCrLf + step.description());
  } else {
    ++failures_;
    ui_.messageBox(std::string("Error(s) occurred while creating databases. Please check your SQL "
                               "server username/password and settings.") +
                   kCrLf + "The following is the error message: " + kCrLf + step.description());
  }
  ui_.messageBox("Pelmoray will now invoke QBFC installer for QuickBooks Intgeration Component.",
                 Buttons::Ok, Icon::Information);
  launcher_.startDetached({wizardFolder_ + "/qbfc2_1Installer.exe"});
}

}  // namespace pelmoray
