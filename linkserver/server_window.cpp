#include "server_window.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "text.h"

namespace kestrin::linkserver {

namespace {

// The window's places, from its design in twips at 15 twips to the pixel.
constexpr int px(int twips) { return twips / 15; }

}  // namespace

// Shows the status log and the banner in the window, and passes both on to `next`.
class WindowSink : public StatusSink {
 public:
  WindowSink(Fl_Button& banner, Fl_Text_Display& log, StatusSink& next)
      : banner_(banner), log_(log), next_(next) {}
  void append(const std::string& text) override {
    log_.buffer()->append(replaceAll(text, "\r\n", "\n").c_str());
    // Keep the newest line in view.
    log_.insert_position(log_.buffer()->length());
    log_.show_insert_position();
    next_.append(text);
  }
  void banner(const std::string& text) override {
    banner_.copy_label(text.c_str());
    next_.banner(text);
  }

 private:
  Fl_Button& banner_;
  Fl_Text_Display& log_;
  StatusSink& next_;
};

namespace {

struct Window {
  // The buffer outlives the display that shows it (members go in reverse order).
  Fl_Text_Buffer buffer;
  Fl_Double_Window window{px(9615), px(3990), "FENWIX SERVER"};
  Fl_Button banner{px(120), px(120), px(9255), px(375), "Fenwix Active"};
  Fl_Text_Display log{px(120), px(600), px(9255), px(2775)};
  Fl_Button hide{px(8640), px(3480), px(855), px(375), "Hide"};
  Window() {
    window.end();
    log.buffer(&buffer);
    log.scrollbar_align(FL_ALIGN_RIGHT);
    log.textfont(FL_COURIER);
    log.textsize(12);
    hide.callback([](Fl_Widget*, void* w) { static_cast<Fl_Window*>(w)->iconize(); }, &window);
  }
};

struct Loop {
  LinkServer* server;
  Window* ui;
  const WindowOptions* options;
  int status = 0;
};

bool writePicture(Window& ui, const std::string& path) {
  ui.window.make_current();
  const int w = ui.window.w(), h = ui.window.h();
  std::unique_ptr<uchar[]> pixels(fl_read_image(nullptr, 0, 0, w, h));
  if (!pixels) return false;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", w, h);
  size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 3;
  bool ok = std::fwrite(pixels.get(), 1, bytes, f) == bytes;
  return std::fclose(f) == 0 && ok;
}

void onTick(void* data) {
  auto* loop = static_cast<Loop*>(data);
  const WindowOptions& options = *loop->options;
  if (options.stop && options.stop()) {
    loop->ui->window.hide();
    return;
  }
  loop->server->tick(options.stop);
  if (!options.screenshot.empty()) {
    Fl::flush();
    loop->ui->window.redraw();
    Fl::check();
    if (!writePicture(*loop->ui, options.screenshot)) {
      std::cerr << "fenwix: cannot write the picture " << options.screenshot << "\n";
      loop->status = 1;
    }
    loop->ui->window.hide();
    return;
  }
  Fl::repeat_timeout(1.0, onTick, data);
}

}  // namespace

int runServerWindow(LinkServerConfig config, DropFolder& drop, StatusSink& next,
                    const WindowOptions& options) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::cerr << "fenwix: --window needs a display (DISPLAY is not set)\n";
    return 1;
  }
  Window ui;
  WindowSink sink(ui.banner, ui.log, next);
  LinkServer server(std::move(config), drop, sink);
  ui.window.show();
  server.start();
  Loop loop{&server, &ui, &options};
  Fl::add_timeout(options.screenshot.empty() ? 1.0 : 0.3, onTick, &loop);
  Fl::run();
  return loop.status;
}

}  // namespace kestrin::linkserver
