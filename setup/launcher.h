// Starting another program without waiting for it: the wizard starts the engine's registration
// and the accounting component installer and never observes their outcome.
#pragma once

#include <string>
#include <vector>

namespace pelmoray {

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Starts argv[0] with the arguments; returns at once. A program that cannot be started is
  // not reported (the caller does not observe the outcome).
  virtual void startDetached(const std::vector<std::string>& argv) = 0;
};

// Runs the program in a session of its own, detached from the wizard (no zombie is left, and
// the wizard may end before it).
class ProcessLauncher : public Launcher {
 public:
  void startDetached(const std::vector<std::string>& argv) override;
};

}  // namespace pelmoray
