// Helpers of the wizard's tests: a temporary folder, files, archives made by the zip program, and
// a WizardUi that answers from a list and records what it was asked.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "wizard_ui.h"

namespace pelmoray::testing {

// A unique temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
// The files below `dir` (relative paths, sorted), folders left out.
std::vector<std::string> filesBelow(const std::string& dir);

// Runs a shell command and returns its exit status.
int run(const std::string& command);
// Quotes a word for the shell.
std::string shellQuote(const std::string& word);
// Makes `archive` with the zip program from the files `names` below `dir` (recursing into
// folders); `options` go before the archive's name, such as "-P secret" or "-0".
void makeZip(const std::string& dir, const std::string& archive,
             const std::vector<std::string>& names, const std::string& options = "");

// Records every box and answers from queued answers (Ok / empty text when none is queued).
class ScriptedUi : public WizardUi {
 public:
  struct Box {
    std::string text;
    Buttons buttons;
    Icon icon;
    std::string title;
  };
  Answer messageBox(const std::string& text, Buttons buttons, Icon icon,
                    const std::string& title) override;
  std::string inputBox(const std::string& prompt, const std::string& title) override;
  void showProgress(const std::string& text) override;
  void closeProgress() override;

  std::deque<Answer> answers;
  std::deque<std::string> inputs;
  std::vector<Box> boxes;
  std::vector<std::string> prompts;   // "title|prompt" of every input box
  std::vector<std::string> progress;  // progress texts, "<closed>" when closed
};

}  // namespace pelmoray::testing
