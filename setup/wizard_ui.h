// What the wizard asks and tells its operator: message boxes, input boxes and the progress
// window. The windows implement it with real boxes; the scripted mode prints the texts and
// answers from its command line; tests answer from a list.
#pragma once

#include <string>

namespace pelmoray {

enum class Buttons { Ok, YesNoCancel };
enum class Icon { Plain, Information, Exclamation, Critical };
enum class Answer { Ok, Yes, No, Cancel };

// The title of a box that names none: the program's name.
inline constexpr const char* kAppTitle = "Pelmoray";

class WizardUi {
 public:
  virtual ~WizardUi() = default;

  // Shows `text` (lines separated by CR LF) and waits for a button.
  virtual Answer messageBox(const std::string& text, Buttons buttons = Buttons::Ok,
                            Icon icon = Icon::Plain, const std::string& title = kAppTitle) = 0;
  // Asks for a line of text; empty when the operator gives none or cancels.
  virtual std::string inputBox(const std::string& prompt, const std::string& title = kAppTitle) = 0;
  // Shows the progress window (not modal) with `text`, opening it when it is closed, and lets
  // the screen repaint.
  virtual void showProgress(const std::string& text) = 0;
  virtual void closeProgress() = 0;
};

}  // namespace pelmoray
