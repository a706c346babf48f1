// The wizard's flow in process: a delivery folder made here (archives by the zip program, the
// databases from the schema), the boxes answered and recorded by a scripted UI, and the started
// programs recorded instead of run.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "schema.h"
#include "setup_test_support.h"
#include "wizard.h"

namespace pelmoray {
namespace {

using namespace pelmoray::testing;
namespace fs = std::filesystem;

// A database server that refuses every login as a server with trust authentication refuses an
// unknown one: the startup packet is answered with FATAL `role "NAME" does not exist`.
class UnknownLoginServer {
 public:
  UnknownLoginServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener_, 4);
    socklen_t len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~UnknownLoginServer() {
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  static bool readFully(int fd, char* to, size_t n) {
    for (size_t done = 0; done < n;) {
      ssize_t r = ::read(fd, to + done, n - done);
      if (r <= 0) return false;
      done += static_cast<size_t>(r);
    }
    return true;
  }

  void serve() {
    for (int client; (client = ::accept(listener_, nullptr, nullptr)) >= 0; ::close(client)) {
      // Encryption requests are declined ('N'); the startup packet gets the refusal.
      for (;;) {
        unsigned char head[8];
        if (!readFully(client, reinterpret_cast<char*>(head), 8)) break;
        const uint32_t length = (uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) |
                                (uint32_t{head[2]} << 8) | head[3];
        const uint32_t code = (uint32_t{head[4]} << 24) | (uint32_t{head[5]} << 16) |
                              (uint32_t{head[6]} << 8) | head[7];
        std::string body(length > 8 ? length - 8 : 0, '\0');
        if (!readFully(client, body.data(), body.size())) break;
        if (code == 80877103 || code == 80877104) {
          (void)!::write(client, "N", 1);
          continue;
        }
        std::string user;
        for (size_t at = 0; at < body.size();) {
          const std::string key = body.c_str() + at;
          at += key.size() + 1;
          const std::string value = at < body.size() ? body.c_str() + at : "";
          at += value.size() + 1;
          if (key == "user") user = value;
        }
        std::string fields = std::string("SFATAL") + '\0' + "VFATAL" + '\0' + "C28000" + '\0' +
                             "Mrole \"" + user + "\" does not exist" + '\0' + '\0';
        const uint32_t n = static_cast<uint32_t>(fields.size() + 4);
        std::string message = "E";
        for (int shift : {24, 16, 8, 0}) message += static_cast<char>((n >> shift) & 0xff);
        message += fields;
        (void)!::write(client, message.data(), message.size());
        break;
      }
    }
  }

  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

class RecordingLauncher : public Launcher {
 public:
  void startDetached(const std::vector<std::string>& argv) override { started.push_back(argv); }
  std::vector<std::vector<std::string>> started;
};

// Delivered files: every archive holds one file in a nested folder, named after the archive.
void makeDelivery(const std::string& folder) {
  TempDir src;
  for (const ArchivePlace& a : kArchives) {
    std::string stem = fs::path(a.archive).stem().string();
    writeFile(src / (stem + "/nested/" + stem + ".txt"), "from " + stem);
    makeZip(src.path(), folder + "/" + a.archive, {stem});
  }
  using kestrin::schema::Database;
  kestrin::schema::createSqliteDatabase(folder + "/kestrin_data.mdf", Database::Main, false);
  kestrin::schema::createSqliteDatabase(folder + "/ingramtemp_data.mdf", Database::Ingram, false);
  kestrin::schema::createSqliteDatabase(folder + "/tdtemp_data.mdf", Database::TechData, false);
  for (const char* log : {"kestrin_log.ldf", "ingram_log.ldf", "techdata_log.ldf"})
    writeFile(folder + "/" + log, "");
  writeFile(folder + "/qbfc2_1Installer.exe", "#!/bin/sh\n");
}

int tableCount(const std::string& file) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'", -1, &stmt,
                     nullptr);
  int n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return n;
}

std::vector<std::string> boxTexts(const ScriptedUi& ui) {
  std::vector<std::string> texts;
  for (const auto& b : ui.boxes) texts.push_back(b.text);
  return texts;
}

const char* const kSuccess =
    "Databases have been created successfully! \r\nPlease proceed to step THREE.";
const char* const kInstallerBox =
    "Pelmoray will now invoke QBFC installer for QuickBooks Intgeration Component.";

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wizardFolder = base / "delivery it's";  // a quote in the path reaches the SQL quoted
    target = base / "www";
    data = base / "data";
    fs::create_directories(wizardFolder);
    fs::create_directories(target);
    fs::create_directories(data);
    makeDelivery(wizardFolder);
  }

  std::string configText(const std::string& server, const std::string& user,
                         const std::string& password) {
    std::string t = "tolvaro27\r\n";
    for (const char* catalog : {"kestrin", "ingram", "techdata"}) {
      t += "Provider=SQLOLEDB; Data Source=" + server + "; Initial Catalog=" + catalog +
           "; User ID=" + user + "; Password=" + password + ";\r\nsa\r\n8642\r\n";
    }
    return t + "qbCompanyFile=/www/a.qbw\r\n";
  }

  TempDir base;
  std::string wizardFolder, target, data;
  ScriptedUi ui;
  RecordingLauncher launcher;
};

TEST_F(WizardTest, CreateDatabasesBeforeStartAsksForStepOneAndWritesNothing) {
  Wizard w(ui, launcher, wizardFolder);
  w.createDatabases(data, "sa", "pw");
  EXPECT_EQ(boxTexts(ui), (std::vector<std::string>{
                              "Please complete STEP ONE by clicking on START before creating "
                              "databases."}));
  EXPECT_TRUE(filesBelow(data).empty());
  EXPECT_FALSE(exists(wizardFolder + "/kestrin.ini"));
  EXPECT_FALSE(exists(wizardFolder + "/dll"));
  EXPECT_TRUE(launcher.started.empty());
}

TEST_F(WizardTest, StartMakesTheFoldersExtractsFlatAndStartsTheRegistration) {
  Wizard w(ui, launcher, wizardFolder);
  w.start(target);
  EXPECT_EQ(w.targetFolder(), target);
  EXPECT_EQ(ui.progress, (std::vector<std::string>{"Creating Directories...", "Copying Files...",
                                                   "Registering Kestrin.DLL", "Done", "<closed>"}));
  EXPECT_EQ(boxTexts(ui), (std::vector<std::string>{"Done. Please proceed to STEP TWO"}));
  for (const char* folder : {"admin/tdo", "admin/temp", "admin/database"})
    EXPECT_TRUE(fs::is_directory(target + "/" + folder)) << folder;
  EXPECT_EQ(filesBelow(target), (std::vector<std::string>{
                                    "admin/admin.txt", "admin/htmlarea/htmlarea.txt",
                                    "admin/htmlarea/images/htmlareaimages.txt",
                                    "admin/htmlarea/popups/htmlareapopups.txt", "images/images.txt",
                                    "images/special/specialimages.txt", "root.txt"}));
  EXPECT_EQ(readFile(wizardFolder + "/dll/dll.txt"), "from dll");
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0], (std::vector<std::string>{wizardFolder + "/kestrin-regsvr",
                                                           wizardFolder + "/dll/libkestrin.so"}));
}

TEST_F(WizardTest, AMissingArchiveIsReportedAndTheOthersAreStillExtracted) {
  fs::remove(wizardFolder + "/images.zip");
  Wizard w(ui, launcher, wizardFolder);
  w.start(target);
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, "Cannot find or open the archive " + wizardFolder +
                                  "/images.zip: No such file or directory.\n");
  EXPECT_EQ(ui.boxes[1].text, "Done. Please proceed to STEP TWO");
  EXPECT_TRUE(exists(target + "/images/special/specialimages.txt"));
  EXPECT_TRUE(exists(wizardFolder + "/dll/dll.txt"));
  EXPECT_TRUE(w.hadFailures());
}

TEST_F(WizardTest, ATargetThatCannotBeCreatedIsReportedForEveryArchive) {
  Wizard w(ui, launcher, wizardFolder);
  writeFile(base / "plainfile", "not a folder");
  w.start(base / "plainfile/site");
  ASSERT_EQ(ui.boxes.size(), 8u);  // seven site archives fail, then the closing box
  EXPECT_TRUE(ui.boxes[0].text.starts_with("Cannot create or open the folder " + base.path() +
                                           "/plainfile/site/: Not a directory."))
      << ui.boxes[0].text;
  EXPECT_EQ(ui.boxes[7].text, "Done. Please proceed to STEP TWO");
  EXPECT_TRUE(exists(wizardFolder + "/dll/dll.txt"));
}

TEST_F(WizardTest, CreateDatabasesAttachesWritesTheFilesAndStartsTheInstaller) {
  Wizard w(ui, launcher, wizardFolder);
  w.start(target);
  ui.boxes.clear();
  launcher.started.clear();
  w.createDatabases("  " + data + " ", " webuser ", " secret ");
  EXPECT_EQ(boxTexts(ui), (std::vector<std::string>{kSuccess, kInstallerBox}));
  EXPECT_EQ(ui.boxes[1].icon, Icon::Information);
  EXPECT_EQ(filesBelow(data), (std::vector<std::string>{"ingram.db", "kestrin.db", "techdata.db"}));
  EXPECT_GT(tableCount(data + "/kestrin.db"), 10);
  std::string config = configText(data, "webuser", "secret");
  EXPECT_EQ(readFile(wizardFolder + "/dll/kestrin.ini"), config);
  EXPECT_EQ(readFile(wizardFolder + "/kestrin.ini"), config);
  EXPECT_EQ(readFile(target + "/admin/xconfig.asp"),
            "<%\r\nsPath = \"" + target + "/images/special/\"\r\nvPath = \"/\"\r\n%>\r\n");
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0],
            (std::vector<std::string>{wizardFolder + "/qbfc2_1Installer.exe"}));
  EXPECT_FALSE(w.hadFailures());

  // A second run finds the databases attached: a warning, and the files written again.
  ui.boxes.clear();
  fs::remove(wizardFolder + "/kestrin.ini");
  w.createDatabases(data, "webuser", "secret");
  EXPECT_EQ(boxTexts(ui),
            (std::vector<std::string>{
                "Databases have been created successfully with the following warning:\r\n"
                "Database 'techdata' already exists. Choose a different database name.",
                kInstallerBox}));
  EXPECT_EQ(readFile(wizardFolder + "/kestrin.ini"), config);
  EXPECT_FALSE(w.hadFailures());
}

TEST_F(WizardTest, FailuresAreReportedAndTheFilesAreStillWritten) {
  struct Case {
    const char* name;
    std::string server;
    std::function<void()> spoil;
    std::string description;
  };
  const std::string missing = base / "no such folder";
  const UnknownLoginServer unknownLogin;
  const std::string port = unknownLogin.server().substr(10);
  const Case cases[] = {
      // The server's refusal says "exist", but a login that failed attached nothing: an error,
      // not the warning of an attached database.
      {"unknown login on a server", unknownLogin.server(), [] {},
       "Cannot open database \"postgres\" on server " + unknownLogin.server() +
           ": connection to server at \"127.0.0.1\", port " + port +
           " failed: FATAL:  role \"sa\" does not exist"},
      {"wrong server folder", missing, [] {},
       "Cannot connect to the database folder \"" + missing + "\": there is no such folder."},
      {"damaged database file", data,
       [this] { writeFile(wizardFolder + "/tdtemp_data.mdf", "garbage, not a database"); },
       "The file \"" + wizardFolder +
           "/tdtemp_data.mdf\" is not a database or is damaged: file is not a database (SQLite "
           "error 26)."},
      {"missing log file", data, [this] { fs::remove(wizardFolder + "/techdata_log.ldf"); },
       "Unable to open the physical file \"" + wizardFolder +
           "/techdata_log.ldf\": No such file or directory."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir scratch;
    fs::remove_all(wizardFolder);
    fs::create_directories(wizardFolder);
    makeDelivery(wizardFolder);
    fs::remove_all(data);
    fs::create_directories(data);
    c.spoil();
    ScriptedUi answers;
    Wizard w(answers, launcher, wizardFolder);
    w.start(target);
    answers.boxes.clear();
    w.createDatabases(c.server, "sa", "pw");
    EXPECT_EQ(boxTexts(answers),
              (std::vector<std::string>{
                  "Error(s) occurred while creating databases. Please check your SQL server "
                  "username/password and settings.\r\nThe following is the error message: \r\n" +
                      c.description,
                  kInstallerBox}));
    EXPECT_EQ(readFile(wizardFolder + "/kestrin.ini"), configText(c.server, "sa", "pw"));
    EXPECT_TRUE(exists(target + "/admin/xconfig.asp"));
    EXPECT_TRUE(w.hadFailures());
  }
}

TEST_F(WizardTest, NewFolderIsMadeBelowTheCurrentFolder) {
  struct Case {
    const char* name;
    std::string current;
    std::string answer;
    std::string result;
  };
  const Case cases[] = {
      {"plain", target, "shop", target + "/shop"},
      {"current folder ends in a separator", target + "/", "shop2", target + "/shop2"},
      {"existing folder", target, "shop", target + "/shop"},
      {"empty name keeps the folder", target, "", target},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedUi answers;
    answers.inputs = {c.answer};
    Wizard w(answers, launcher, wizardFolder);
    EXPECT_EQ(w.newFolder(c.current), c.result);
    EXPECT_TRUE(fs::is_directory(c.result));
    EXPECT_EQ(answers.prompts,
              (std::vector<std::string>{"New Folder|Type the name of the new folder"}));
  }
}

TEST_F(WizardTest, DisagreeThanks) {
  Wizard w(ui, launcher, wizardFolder);
  w.disagree();
  EXPECT_EQ(boxTexts(ui),
            (std::vector<std::string>{"Thank you for your interest in Kestrin Software."}));
}

TEST_F(WizardTest, SiteConfigurationTextKeepsTheFixedLoginLines) {
  std::string text = siteConfigText("srv", "u", "p", "other-password");
  EXPECT_EQ(
      text,
      "other-password\r\n"
      "Provider=SQLOLEDB; Data Source=srv; Initial Catalog=kestrin; User ID=u; Password=p;\r\n"
      "sa\r\n8642\r\n"
      "Provider=SQLOLEDB; Data Source=srv; Initial Catalog=ingram; User ID=u; Password=p;\r\n"
      "sa\r\n8642\r\n"
      "Provider=SQLOLEDB; Data Source=srv; Initial Catalog=techdata; User ID=u; Password=p;\r\n"
      "sa\r\n8642\r\n"
      "qbCompanyFile=/www/a.qbw\r\n");
}

}  // namespace
}  // namespace pelmoray
