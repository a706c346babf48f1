#include "console_ui.h"

#include <utility>

namespace pelmoray {

void ConsoleUi::printLines(const std::string& text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  std::fputs(lines.c_str(), out_);
  std::fflush(out_);
}

Answer ConsoleUi::messageBox(const std::string& text, Buttons buttons, Icon, const std::string&) {
  printLines(text);
  return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
}

std::string ConsoleUi::inputBox(const std::string& prompt, const std::string&) {
  printLines(prompt);
  return std::exchange(input_, std::string());
}

void ConsoleUi::showProgress(const std::string& text) { printLines(text); }

}  // namespace pelmoray
