#include "windows.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace pelmoray {

namespace fs = std::filesystem;

const char* const kAgreementText =
    "KESTRIN APPLICATION LICENSE AGREEMENT\n"
    "\n"
    "Please read this agreement before you install the Kestrin shop software (the catalog "
    "engine, the page host, the accounting link server and this installer, together the "
    "\"Software\").\n"
    "\n"
    "1. License. You may install the Software on the servers of one business and run one or more "
    "shop sites of that business with it.\n"
    "\n"
    "2. Your data. The catalog, customers and orders that the Software stores belong to you. "
    "Keep backups of the site's databases; the installer does not make them.\n"
    "\n"
    "3. Passwords. Every site is installed with a fixed site password. Change it at once "
    "(kestrinctl site password) and keep the site's configuration files readable only by the "
    "accounts that serve the shop.\n"
    "\n"
    "4. Distributors and accounting. Connections to distributors and to your accounting package "
    "use the accounts you set up with them; their terms apply to that use.\n"
    "\n"
    "5. No warranty. The Software is provided as it is, without warranty of any kind. In no event "
    "shall the authors be liable for any claim, damages or other liability arising from the use "
    "of the Software.\n"
    "\n"
    "Click on \"I Agree\" to accept this agreement and continue, or on \"Disagree\" to end the "
    "installation.\n";

namespace {

OpenBox* gOpenBox = nullptr;

// Labels draw "@" as the start of a symbol; a text shown as it is doubles it.
std::string plainLabel(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    out += c;
    if (c == '@') out += '@';
  }
  return out;
}

Fl_Box* label(int x, int y, int w, int h, const char* text, bool bold = false) {
  auto* box = new Fl_Box(x, y, w, h);
  box->copy_label(text);
  box->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
  if (bold) {
    box->labelfont(FL_HELVETICA_BOLD);
    box->labelsize(13);
  }
  return box;
}

// Runs a modal box until one of its buttons is pressed; returns the button's index (the last
// button when the window is closed).
size_t runBox(OpenBox& box, Fl_Window& window, const std::vector<Fl_Button*>& buttons) {
  size_t pressed = buttons.size() - 1;
  bool done = false;
  box.window = &window;
  box.press = [&](size_t index) {
    pressed = index;
    done = true;
    window.hide();
  };
  struct Press {
    OpenBox* box;
    size_t index;
  };
  std::vector<std::unique_ptr<Press>> presses;
  for (size_t i = 0; i < buttons.size(); ++i) {
    presses.push_back(std::make_unique<Press>(Press{&box, i}));
    buttons[i]->callback(
        [](Fl_Widget*, void* data) {
          auto* p = static_cast<Press*>(data);
          p->box->press(p->index);
        },
        presses.back().get());
  }
  window.set_modal();
  window.show();
  OpenBox* outer = std::exchange(gOpenBox, &box);
  while (window.shown() && !done) Fl::wait();
  gOpenBox = outer;
  window.hide();
  return pressed;
}

std::string decodeMountPath(const std::string& raw) {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 3 < raw.size()) {
      out += static_cast<char>(std::stoi(raw.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      out += raw[i];
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> mountedFileSystems() {
  static const std::set<std::string> kPseudo = {
      "proc",     "sysfs",       "devpts", "cgroup",   "cgroup2",    "mqueue",  "debugfs",
      "tracefs",  "securityfs",  "pstore", "bpf",      "configfs",   "fusectl", "hugetlbfs",
      "devtmpfs", "binfmt_misc", "autofs", "efivarfs", "rpc_pipefs", "nsfs",    "selinuxfs"};
  std::vector<std::string> mounts;
  std::ifstream in("/proc/self/mounts");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, point, type;
    fields >> device >> point >> type;
    if (point.empty() || kPseudo.count(type)) continue;
    point = decodeMountPath(point);
    if (point == "/" || std::find(mounts.begin(), mounts.end(), point) != mounts.end()) continue;
    mounts.push_back(point);
  }
  std::sort(mounts.begin(), mounts.end());
  mounts.insert(mounts.begin(), "/");
  return mounts;
}

// ---- FltkUi ----

FltkUi::FltkUi() {
  frmStatus = new Fl_Double_Window(320, 90, "Pelmoray");
  lblStatus = new Fl_Box(10, 10, 300, 70, "Pelmoray Progress");
  lblStatus->align(FL_ALIGN_INSIDE | FL_ALIGN_CENTER | FL_ALIGN_WRAP);
  frmStatus->end();
}

FltkUi::~FltkUi() { delete frmStatus; }

OpenBox* FltkUi::openBox() { return gOpenBox; }

Answer FltkUi::messageBox(const std::string& text, Buttons buttons, Icon icon,
                          const std::string& title) {
  std::string shown = plainLabel(text);
  fl_font(FL_HELVETICA, 14);
  int tw = 0, th = 0;  // the natural width first, wrapped only when that is too wide
  fl_measure(shown.c_str(), tw, th, 0);
  if (tw > 520) {
    tw = 520;
    th = 0;
    fl_measure(shown.c_str(), tw, th, 0);
  }
  tw = std::clamp(tw, 200, 520);
  th = std::clamp(th, 30, 400);
  int left = icon == Icon::Plain ? 15 : 70;
  int w = left + tw + 20, h = th + 80;
  Fl_Double_Window window(w, h);
  window.copy_label(title.c_str());
  if (icon != Icon::Plain) {
    auto* mark = new Fl_Box(15, 15, 40, 40);
    mark->box(FL_OVAL_BOX);
    mark->labelfont(FL_TIMES_BOLD);
    mark->labelsize(28);
    mark->labelcolor(FL_WHITE);
    switch (icon) {
      case Icon::Information:
        mark->color(FL_BLUE);
        mark->label("i");
        break;
      case Icon::Exclamation:
        mark->color(fl_rgb_color(220, 160, 0));
        mark->label("!");
        break;
      default:
        mark->color(FL_RED);
        mark->label("X");
        break;
    }
  }
  auto* message = new Fl_Box(left, 15, tw, th);
  message->copy_label(shown.c_str());
  message->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
  std::vector<std::string> captions = buttons == Buttons::Ok
                                          ? std::vector<std::string>{"OK"}
                                          : std::vector<std::string>{"Yes", "No", "Cancel"};
  std::vector<Fl_Button*> widgets;
  int bx = w - static_cast<int>(captions.size()) * 90 - 5;
  for (size_t i = 0; i < captions.size(); ++i) {
    Fl_Button* b =
        i == 0 ? new Fl_Return_Button(bx, h - 45, 80, 30) : new Fl_Button(bx, h - 45, 80, 30);
    b->copy_label(captions[i].c_str());
    widgets.push_back(b);
    bx += 90;
  }
  window.end();
  OpenBox box;
  box.title = title;
  box.text = text;
  box.buttons = captions;
  size_t pressed = runBox(box, window, widgets);
  if (buttons == Buttons::Ok) return Answer::Ok;
  return pressed == 0 ? Answer::Yes : pressed == 1 ? Answer::No : Answer::Cancel;
}

std::string FltkUi::inputBox(const std::string& prompt, const std::string& title) {
  Fl_Double_Window window(380, 150);
  window.copy_label(title.c_str());
  auto* text = new Fl_Box(15, 10, 350, 50);
  text->copy_label(plainLabel(prompt).c_str());
  text->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
  auto* input = new Fl_Input(15, 65, 350, 28);
  auto* ok = new Fl_Return_Button(195, 108, 80, 30, "OK");
  auto* cancel = new Fl_Button(285, 108, 80, 30, "Cancel");
  window.end();
  OpenBox box;
  box.title = title;
  box.text = prompt;
  box.buttons = {"OK", "Cancel"};
  box.input = input;
  size_t pressed = runBox(box, window, {ok, cancel});
  return pressed == 0 ? std::string(input->value()) : std::string();
}

void FltkUi::showProgress(const std::string& text) {
  lblStatus->copy_label(plainLabel(text).c_str());
  if (!frmStatus->shown()) frmStatus->show();
  frmStatus->redraw();
  Fl::check();
}

void FltkUi::closeProgress() {
  frmStatus->hide();
  Fl::check();
}

// ---- WizardWindows ----

WizardWindows::WizardWindows(const std::string& wizardFolder, Launcher& launcher)
    : wizard_(ui_, launcher, wizardFolder) {
  buildLicense();
  buildMain();
}

WizardWindows::~WizardWindows() {
  delete frmLicense;
  delete frmMain;
}

void WizardWindows::buildLicense() {
  frmLicense = new Fl_Double_Window(560, 430, "License Agreement");
  licenseText_ = std::make_unique<Fl_Text_Buffer>();
  licenseText_->text(kAgreementText);
  Text1 = new Fl_Text_Display(15, 15, 530, 300);
  Text1->buffer(licenseText_.get());
  Text1->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
  licenseLabel1 = label(15, 325, 530, 40,
                        "Please review and accept Kestrin Application License Agreement. Click "
                        "on \"I Agree\" to continue.");
  btnAgree = new Fl_Return_Button(345, 380, 95, 32, "I Agree");
  btnCancel = new Fl_Button(450, 380, 95, 32, "Disagree");
  bind(btnAgree, &WizardWindows::agree);
  bind(btnCancel, &WizardWindows::disagree);
  frmLicense->end();
  // Closing the terms window is no agreement.
  frmLicense->callback(
      [](Fl_Widget*, void* self) { static_cast<WizardWindows*>(self)->disagree(); }, this);
}

void WizardWindows::buildMain() {
  frmMain = new Fl_Double_Window(600, 470, "Kestrin Installer");
  tabs = new Fl_Tabs(10, 10, 580, 450);
  const int top = 40, x = 25, w = 550;

  stepOne = new Fl_Group(10, top, 580, 420, "Step One");
  label(x, top + 10, w, 25,
        "Prepare Files [ Create Directory, Copy Files, Install Application DLL ]", true);
  label(x, top + 40, w, 25, "Choose a Folder and Click on Start");
  Drive1 = new Fl_Choice(x, top + 75, 265, 28);
  for (const std::string& m : mountedFileSystems()) {
    std::string item;
    for (char c : m) {  // menu paths treat "/" as a submenu separator
      if (c == '/' || c == '\\' || c == '&' || c == '_') item += '\\';
      item += c;
    }
    Drive1->add(item.c_str());
  }
  Drive1->value(0);
  bind(Drive1, &WizardWindows::driveChosen);
  Dir1 = new Fl_Hold_Browser(x, top + 110, 265, 250);
  bind(Dir1, &WizardWindows::folderChosen);
  File1 = new Fl_Browser(x + 285, top + 75, 265, 285);
  btnNewFolder = new Fl_Button(x, top + 370, 120, 32, "New Folder");
  btnStart = new Fl_Button(x + 430, top + 370, 120, 32, "START");
  btnStart->labelfont(FL_HELVETICA_BOLD);
  bind(btnNewFolder, &WizardWindows::newFolder);
  bind(btnStart, &WizardWindows::start);
  stepOne->end();

  stepTwo = new Fl_Group(10, top, 580, 420, "Step Two");
  stepTwo->hide();
  label(x, top + 10, w, 25, "Create SQL Databases", true);
  label(x, top + 50, 180, 28, "SQL Server Name:");
  txtSQLServerName = new Fl_Input(x + 190, top + 50, 360, 28);
  txtSQLServerName->value("pcname\\sqlexpress");
  label(x, top + 85, 180, 28, "SQL Server Username:");
  txtSQLUsername = new Fl_Input(x + 190, top + 85, 360, 28);
  txtSQLUsername->value("sa");
  label(x, top + 120, 180, 28, "SQL Server Password:");
  txtSQLPassword = new Fl_Input(x + 190, top + 120, 360, 28);
  txtSQLPassword->value("your password");
  label(x, top + 165, w, 60,
        "Before clicking on the \"Create Databases\" button below, please make sure that you "
        "have installed and configured MS SQL server with default options. Please refer to "
        "documentations for details.");
  label(x, top + 235, w, 75,
        "Note: If you are using SQl server 2005 Express Edition, please replace \"pcname\" "
        "with your pc name. If you are using SQL Server 2005 Standard Edition, the default "
        "server name is normally \"localhost\".");
  btnCreateDB = new Fl_Button(x + 390, top + 370, 160, 32, "Create Databases");
  bind(btnCreateDB, &WizardWindows::createDatabases);
  stepTwo->end();

  stepThree = new Fl_Group(10, top, 580, 420, "Step Three");
  stepThree->hide();
  label(x, top + 10, w, 25, "Next Steps", true);
  label(x + 20, top + 50, w - 20, 25, "Set Directory Permissions");
  label(x + 20, top + 80, w - 20, 25, "Create web site using IIS");
  label(x + 20, top + 110, w - 20, 25, "Open Administration Utilitties and customize the site");
  label(x + 20, top + 140, w - 20, 25, "Please refer to documentation");
  stepThree->end();

  tabs->end();
  frmMain->end();
  frmMain->resizable(nullptr);
  setFolder("/");
}

void WizardWindows::bind(Fl_Widget* widget, void (WizardWindows::*action)()) {
  actions_.push_back(
      std::make_unique<std::function<void()>>([this, action] { (this->*action)(); }));
  widget->callback([](Fl_Widget*, void* f) { (*static_cast<std::function<void()>*>(f))(); },
                   actions_.back().get());
}

void WizardWindows::show() { frmLicense->show(); }

int WizardWindows::run() { return Fl::run(); }

void WizardWindows::agree() {
  frmLicense->hide();
  frmMain->show();
}

void WizardWindows::disagree() {
  wizard_.disagree();
  ui_.closeProgress();
  frmLicense->hide();
  frmMain->hide();
}

void WizardWindows::setFolder(const std::string& folder) {
  current_ = folder.empty() ? "/" : folder;
  if (current_.size() > 1 && current_.ends_with("/")) current_.pop_back();
  // The tree: the folder's ancestors, the folder itself, then its subfolders, indented by depth.
  Dir1->clear();
  dirPaths_.clear();
  std::vector<std::string> chain;
  for (fs::path p = current_;; p = p.parent_path()) {
    chain.insert(chain.begin(), p.string());
    if (p == p.parent_path()) break;
  }
  int depth = 0;
  for (const std::string& p : chain) {
    std::string name = p == "/" ? "/" : fs::path(p).filename().string();
    Dir1->add(plainLabel(std::string(static_cast<size_t>(depth) * 2, ' ') + name).c_str());
    dirPaths_.push_back(p);
    ++depth;
  }
  Dir1->select(static_cast<int>(dirPaths_.size()));
  std::vector<std::string> folders, files;
  std::error_code ec;
  for (auto it = fs::directory_iterator(current_, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code sec;
    if (it->is_directory(sec))
      folders.push_back(it->path().filename().string());
    else
      files.push_back(it->path().filename().string());
  }
  std::sort(folders.begin(), folders.end());
  std::sort(files.begin(), files.end());
  std::string base = current_ == "/" ? "/" : current_ + "/";
  for (const std::string& f : folders) {
    Dir1->add(plainLabel(std::string(static_cast<size_t>(depth) * 2, ' ') + f).c_str());
    dirPaths_.push_back(base + f);
  }
  File1->clear();
  for (const std::string& f : files) File1->add(plainLabel(f).c_str());
}

void WizardWindows::driveChosen() {
  std::vector<std::string> mounts = mountedFileSystems();
  int i = Drive1->value();
  if (i >= 0 && static_cast<size_t>(i) < mounts.size()) setFolder(mounts[static_cast<size_t>(i)]);
}

void WizardWindows::folderChosen() {
  int line = Dir1->value();
  if (line >= 1 && static_cast<size_t>(line) <= dirPaths_.size())
    setFolder(dirPaths_[static_cast<size_t>(line) - 1]);
}

void WizardWindows::newFolder() { setFolder(wizard_.newFolder(current_)); }

void WizardWindows::start() {
  wizard_.start(current_);
  setFolder(current_);
}

void WizardWindows::createDatabases() {
  wizard_.createDatabases(txtSQLServerName->value(), txtSQLUsername->value(),
                          txtSQLPassword->value());
}

int runWindows(const std::string& wizardFolder) {
  if (!displayAvailable()) {
    std::fprintf(stderr,
                 "pelmoray: cannot open a display (is DISPLAY set?). Without one, run the scripted "
                 "mode: pelmoray --help\n");
    return 1;
  }
  ProcessLauncher launcher;
  WizardWindows windows(wizardFolder, launcher);
  windows.show();
  return windows.run();
}

}  // namespace pelmoray
