// pelmoray: the setup wizard. Without arguments it opens its windows; with them it runs the same
// steps in scripted mode, printing each box's text as lines.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "console_ui.h"
#include "launcher.h"
#include "windows.h"
#include "wizard.h"

namespace {

const char* const kUsage =
    "usage:\n"
    "  pelmoray\n"
    "      Open the wizard's windows (needs a display).\n"
    "  pelmoray --agree --target DIR [--new-folder NAME] [--server S] [--user U] [--password P]\n"
    "           [--site-password PW] [--no-start] [--no-databases]\n"
    "      Install without windows: accept the license, START into DIR (created when missing;\n"
    "      --new-folder first makes DIR/NAME and installs there), then Create Databases with the\n"
    "      server (for the embedded databases: the site's data folder; else a PostgreSQL\n"
    "      server host[:port]), user and password.\n"
    "      --site-password sets line 1 of the configuration files (default tolvaro27: change\n"
    "      it). --no-start or --no-databases leave out a step. Every message is printed.\n"
    "      The exit status is 0 when every step succeeded (or only warned), 1 otherwise.\n";

// The folder that holds the running program: the delivery folder.
std::string programFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path().string();
  return exe.parent_path().string();
}

struct ScriptedOptions {
  bool agree = false;
  std::string target;
  std::string newFolder;
  std::string server = "pcname\\sqlexpress";  // the text boxes' initial texts
  std::string user = "sa";
  std::string password = "your password";
  std::string sitePassword = pelmoray::kDefaultSitePassword;
  bool start = true;
  bool databases = true;
};

ScriptedOptions parse(const std::vector<std::string>& args) {
  ScriptedOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
      return args[++i];
    };
    if (a == "--agree")
      o.agree = true;
    else if (a == "--target")
      o.target = value();
    else if (a == "--new-folder")
      o.newFolder = value();
    else if (a == "--server")
      o.server = value();
    else if (a == "--user")
      o.user = value();
    else if (a == "--password")
      o.password = value();
    else if (a == "--site-password")
      o.sitePassword = value();
    else if (a == "--no-start")
      o.start = false;
    else if (a == "--no-databases")
      o.databases = false;
    else
      throw std::invalid_argument("unknown option " + a);
  }
  if (o.target.empty()) throw std::invalid_argument("--target is needed");
  const std::string& pw = o.sitePassword;
  if (pw.empty() || pw.find_first_of(",\r\n") != std::string::npos || pw.front() == ' ' ||
      pw.back() == ' ') {
    throw std::invalid_argument(
        "--site-password must be non-empty, without commas or line breaks, and not begin or end "
        "with a blank");
  }
  return o;
}

int runScripted(const ScriptedOptions& o) {
  pelmoray::ConsoleUi ui;
  pelmoray::ProcessLauncher launcher;
  pelmoray::Wizard wizard(ui, launcher, programFolder(), o.sitePassword);
  if (!o.agree) {
    wizard.disagree();
    return 1;
  }
  // Choosing a folder in the tree: the scripted target is made when it is missing (a failure
  // shows in what START reports).
  std::error_code ec;
  std::filesystem::create_directories(o.target, ec);
  std::string current = o.target;
  if (current.size() > 1 && current.ends_with("/")) current.pop_back();
  if (!o.newFolder.empty()) {
    ui.queueInput(o.newFolder);
    current = wizard.newFolder(current);
  }
  if (o.start) wizard.start(current);
  if (o.databases) wizard.createDatabases(o.server, o.user, o.password);
  return wizard.hadFailures() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return pelmoray::runWindows(programFolder());
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  try {
    return runScripted(parse(args));
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "pelmoray: %s\n%s", e.what(), kUsage);
    return 2;
  }
}
