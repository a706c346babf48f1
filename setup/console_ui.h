// The scripted mode's WizardUi: every box's text is printed as lines on standard output; the
// answers come from the command line.
#pragma once

#include <cstdio>
#include <string>

#include "wizard_ui.h"

namespace pelmoray {

class ConsoleUi : public WizardUi {
 public:
  explicit ConsoleUi(std::FILE* out = stdout) : out_(out) {}

  // Prints the text (CR LF written as line ends). A Yes/No/Cancel question is answered Yes.
  Answer messageBox(const std::string& text, Buttons buttons, Icon icon,
                    const std::string& title) override;
  // Prints the prompt and answers with the queued input (then empty).
  std::string inputBox(const std::string& prompt, const std::string& title) override;
  void showProgress(const std::string& text) override;
  void closeProgress() override {}

  void queueInput(const std::string& text) { input_ = text; }

 private:
  void printLines(const std::string& text);
  std::FILE* out_;
  std::string input_;
};

}  // namespace pelmoray
