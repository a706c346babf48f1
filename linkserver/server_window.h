// The link server's window: caption "FENWIX SERVER", the banner button, the scrolling status log
// and a Hide button that iconifies it. The polling runs on a timer of the window's own loop, so
// every export runs on the window's one thread.
#pragma once

#include <functional>
#include <string>

#include "link_server.h"

namespace kestrin::linkserver {

struct WindowOptions {
  // After the first tick: write a picture of the window (PPM) to this file and end.
  std::string screenshot;
  // Asked on every tick: true ends the window's loop (SIGTERM, SIGINT).
  std::function<bool()> stop;
};

// Opens the window and runs until it is closed or `options.stop` says so; 0 on a normal end, 1
// when no display can be opened or the picture cannot be written.
int runServerWindow(LinkServerConfig config, DropFolder& drop, StatusSink& next,
                    const WindowOptions& options);

}  // namespace kestrin::linkserver
