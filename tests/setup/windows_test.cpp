// The wizard's windows on a virtual display (Xvfb): the terms window, I Agree, every tab of the
// main window (saved as screenshots in test-artifacts/setup of the build folder), the boxes, and
// Disagree ending the program's loop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "setup_test_support.h"
#include "windows.h"

// FLTK's headers last: they bring Xlib's macros along.
#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#undef None
#undef Status

// X11, fontconfig and FLTK keep caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libX11\nleak:libfontconfig\nleak:libXft\nleak:libfltk\nleak:libxcb\n";
}

namespace pelmoray {
namespace {

using namespace pelmoray::testing;
namespace fs = std::filesystem;

class RecordingLauncher : public Launcher {
 public:
  void startDetached(const std::vector<std::string>& argv) override { started.push_back(argv); }
  std::vector<std::vector<std::string>> started;
};

pid_t gXvfb = -1;

// Lets the windows draw everything they have to.
void settle() {
  for (int i = 0; i < 20; ++i) {
    Fl::check();
    Fl::flush();
    ::usleep(5000);
  }
}

void savePng(const std::string& path, const unsigned char* rgb, int w, int h) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) png_write_row(png, rgb + static_cast<size_t>(y) * w * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// Saves what `window` shows; returns how many different colours it holds (a drawn window has
// many, a blank one a single one).
size_t screenshot(Fl_Window* window, const std::string& name) {
  settle();
  window->make_current();
  int w = window->w(), h = window->h();
  std::unique_ptr<unsigned char[]> rgb(fl_read_image(nullptr, 0, 0, w, h));
  EXPECT_NE(rgb, nullptr);
  if (!rgb) return 0;
  fs::create_directories(SETUP_ARTIFACTS_DIR);
  savePng(std::string(SETUP_ARTIFACTS_DIR) + "/" + name + ".png", rgb.get(), w, h);
  std::set<uint32_t> colours;
  for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
    colours.insert((uint32_t{rgb[3 * i]} << 16) | (uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2]);
  }
  return colours.size();
}

class WindowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t test = ::getpid();
    gXvfb = ::fork();
    if (gXvfb == 0) {
      // Xvfb dies with the test, however the test ends, and holds nothing the test inherited
      // (ctest's output pipe, the caller's open files and locks): only the pipe that tells the
      // display number, as descriptor 3, and /dev/null for its own output.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (::getppid() != test) ::_exit(127);
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
      ::dup2(fds[1], 3);
      ::close_range(4, ~0U, 0);
      // -noreset: without it the server resets when its last client leaves, and a window
      // opened during that reset finds no display.
      ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", "3", "-noreset", "-screen", "0", "1024x768x24",
              "-nolisten", "tcp", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start (scripts/bootstrap installs xvfb)";
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
  }

  static void TearDownTestSuite() {
    if (gXvfb > 0) {
      ::kill(gXvfb, SIGTERM);
      ::waitpid(gXvfb, nullptr, 0);
      gXvfb = -1;
    }
  }

  void SetUp() override {
    ASSERT_TRUE(displayAvailable());
    windows = std::make_unique<WizardWindows>(delivery.path(), launcher);
  }
  void TearDown() override { windows.reset(); }

  TempDir delivery;
  RecordingLauncher launcher;
  std::unique_ptr<WizardWindows> windows;
};

// Presses button `index` of the box that opens next and records its text.
struct BoxPresser {
  size_t index = 0;
  std::vector<std::string> texts;
  std::vector<std::string> titles;
  std::string shot;  // screenshot name of the box, when wanted

  ~BoxPresser() { Fl::remove_timeout(poll, this); }
  void arm() { Fl::add_timeout(0.05, poll, this); }

  static void poll(void* self) {
    auto* p = static_cast<BoxPresser*>(self);
    OpenBox* box = FltkUi::openBox();
    if (!box) {
      p->arm();
      return;
    }
    p->texts.push_back(box->text);
    p->titles.push_back(box->title);
    if (!p->shot.empty()) screenshot(box->window, p->shot);
    box->press(p->index);
  }
};

TEST_F(WindowsTest, AgreeOpensTheMainWindowWithItsThreeTabs) {
  windows->show();
  settle();
  ASSERT_TRUE(windows->frmLicense->shown());
  EXPECT_STREQ(windows->frmLicense->label(), "License Agreement");
  EXPECT_STREQ(windows->btnAgree->label(), "I Agree");
  EXPECT_STREQ(windows->btnCancel->label(), "Disagree");
  EXPECT_GT(screenshot(windows->frmLicense, "license"), 10u);

  windows->btnAgree->do_callback();
  settle();
  EXPECT_FALSE(windows->frmLicense->shown());
  ASSERT_TRUE(windows->frmMain->shown());
  EXPECT_STREQ(windows->frmMain->label(), "Kestrin Installer");
  struct Tab {
    Fl_Group* group;
    const char* caption;
    const char* shot;
  };
  const Tab tabs[] = {{windows->stepOne, "Step One", "step-one"},
                      {windows->stepTwo, "Step Two", "step-two"},
                      {windows->stepThree, "Step Three", "step-three"}};
  for (const Tab& t : tabs) {
    SCOPED_TRACE(t.caption);
    windows->tabs->value(t.group);
    EXPECT_STREQ(t.group->label(), t.caption);
    EXPECT_TRUE(t.group->visible());
    EXPECT_GT(screenshot(windows->frmMain, t.shot), 10u);
  }
  EXPECT_STREQ(windows->btnStart->label(), "START");
  EXPECT_STREQ(windows->btnNewFolder->label(), "New Folder");
  EXPECT_STREQ(windows->btnCreateDB->label(), "Create Databases");
  EXPECT_STREQ(windows->txtSQLServerName->value(), "pcname\\sqlexpress");
  EXPECT_STREQ(windows->txtSQLUsername->value(), "sa");
  EXPECT_STREQ(windows->txtSQLPassword->value(), "your password");
  EXPECT_STREQ(windows->Drive1->text(0), "/");
}

// Types "shop" into the open input box and presses OK; while no box is open yet (a busy machine
// may show it later than the first look), looks again a little later.
void typeFolderName(void*) {
  OpenBox* box = FltkUi::openBox();
  if (!box || !box->input) {
    Fl::add_timeout(0.05, typeFolderName);
    return;
  }
  box->input->value("shop");
  box->press(0);
}

TEST_F(WindowsTest, FolderTreeNewFolderAndCreateDatabasesBeforeStart) {
  TempDir site;
  writeFile(site / "index.txt", "x");
  fs::create_directories(site / "sub");
  windows->show();
  windows->btnAgree->do_callback();
  settle();
  windows->setFolder(site.path());
  EXPECT_EQ(windows->currentFolder(), site.path());
  EXPECT_STREQ(windows->File1->text(1), "index.txt");
  EXPECT_STREQ(
      windows->Dir1->text(windows->Dir1->size()),
      (std::string(
           static_cast<size_t>(std::count(site.path().begin(), site.path().end(), '/')) * 2 + 2,
           ' ') +
       "sub")
          .c_str());

  // Choosing the subfolder in the tree makes it the current folder.
  windows->Dir1->value(windows->Dir1->size());
  windows->Dir1->do_callback();
  EXPECT_EQ(windows->currentFolder(), site / "sub");

  // New Folder asks for a name in a real input box.
  Fl::add_timeout(0.05, typeFolderName);
  windows->btnNewFolder->do_callback();
  EXPECT_EQ(windows->currentFolder(), site / "sub/shop");
  EXPECT_TRUE(fs::is_directory(site / "sub/shop"));

  BoxPresser presser;
  presser.shot = "step-one-message";
  presser.arm();
  windows->tabs->value(windows->stepTwo);
  windows->btnCreateDB->do_callback();
  EXPECT_EQ(presser.texts, (std::vector<std::string>{
                               "Please complete STEP ONE by clicking on START before creating "
                               "databases."}));
  EXPECT_EQ(presser.titles, (std::vector<std::string>{"Pelmoray"}));
  EXPECT_FALSE(exists(delivery / "kestrin.ini"));
}

TEST_F(WindowsTest, DisagreeThanksAndEndsTheProgram) {
  BoxPresser presser;
  presser.shot = "thank-you";
  windows->show();
  Fl::add_timeout(
      0.1, [](void* w) { static_cast<WizardWindows*>(w)->btnCancel->do_callback(); },
      windows.get());
  presser.arm();
  EXPECT_EQ(windows->run(), 0);  // the loop ends: no window is left open
  EXPECT_EQ(presser.texts,
            (std::vector<std::string>{"Thank you for your interest in Kestrin Software."}));
  EXPECT_FALSE(windows->frmLicense->shown());
  EXPECT_FALSE(windows->frmMain->shown());
}

}  // namespace
}  // namespace pelmoray
