// The wizard's windows (FLTK): the terms window, the main window with its three tabs, the
// progress window, and the message and input boxes. Widget names follow the control names the
// operator's documentation uses (btnStart, txtSQLServerName, ...).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "launcher.h"
#include "wizard.h"
#include "wizard_ui.h"

class Fl_Box;
class Fl_Browser;
class Fl_Button;
class Fl_Choice;
class Fl_Group;
class Fl_Hold_Browser;
class Fl_Input;
class Fl_Tabs;
class Fl_Widget;
class Fl_Text_Buffer;
class Fl_Text_Display;
class Fl_Window;

namespace pelmoray {

// A message or input box while it is open.
struct OpenBox {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;  // captions, left to right
  Fl_Window* window = nullptr;
  Fl_Input* input = nullptr;  // input boxes only
  std::function<void(size_t button)> press;
};

// Message boxes, input boxes and the progress window as modal FLTK windows.
class FltkUi : public WizardUi {
 public:
  FltkUi();
  ~FltkUi() override;

  Answer messageBox(const std::string& text, Buttons buttons, Icon icon,
                    const std::string& title) override;
  std::string inputBox(const std::string& prompt, const std::string& title) override;
  void showProgress(const std::string& text) override;
  void closeProgress() override;

  // The box open now, if any (for the window test, which presses its buttons).
  static OpenBox* openBox();

  Fl_Window* frmStatus = nullptr;
  Fl_Box* lblStatus = nullptr;
};

// Whether an X display can be opened (DISPLAY set and reachable).
bool displayAvailable();

// The mounted file systems, "/" first, for the drive list.
std::vector<std::string> mountedFileSystems();

class WizardWindows {
 public:
  // `launcher` starts the registration and the installer; both must outlive the windows.
  WizardWindows(const std::string& wizardFolder, Launcher& launcher);
  ~WizardWindows();

  // Shows the terms window.
  void show();
  // Runs until every window is closed (Disagree, or the main window closed).
  int run();

  // Sets the folder of the tree and the file list.
  void setFolder(const std::string& folder);
  const std::string& currentFolder() const { return current_; }
  FltkUi& ui() { return ui_; }

  Fl_Window* frmLicense = nullptr;
  Fl_Text_Display* Text1 = nullptr;
  Fl_Box* licenseLabel1 = nullptr;
  Fl_Button* btnAgree = nullptr;
  Fl_Button* btnCancel = nullptr;

  Fl_Window* frmMain = nullptr;
  Fl_Tabs* tabs = nullptr;
  Fl_Group* stepOne = nullptr;
  Fl_Group* stepTwo = nullptr;
  Fl_Group* stepThree = nullptr;
  Fl_Choice* Drive1 = nullptr;
  Fl_Hold_Browser* Dir1 = nullptr;
  Fl_Browser* File1 = nullptr;
  Fl_Button* btnNewFolder = nullptr;
  Fl_Button* btnStart = nullptr;
  Fl_Input* txtSQLServerName = nullptr;
  Fl_Input* txtSQLUsername = nullptr;
  Fl_Input* txtSQLPassword = nullptr;
  Fl_Button* btnCreateDB = nullptr;

 private:
  void bind(Fl_Widget* widget, void (WizardWindows::*action)());
  void buildLicense();
  void buildMain();
  void agree();
  void disagree();
  void driveChosen();
  void folderChosen();
  void newFolder();
  void start();
  void createDatabases();

  FltkUi ui_;
  Wizard wizard_;
  std::unique_ptr<Fl_Text_Buffer> licenseText_;
  std::string current_;
  std::vector<std::string> dirPaths_;                            // the folder of each line of Dir1
  std::vector<std::unique_ptr<std::function<void()>>> actions_;  // the widgets' callbacks
};

// The program without arguments: the windows, from the terms window on. Returns the exit
// status (1 when no display can be opened).
int runWindows(const std::string& wizardFolder);

// The agreement text of the terms window.
extern const char* const kAgreementText;

}  // namespace pelmoray
