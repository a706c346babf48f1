// The callbacks that answer the extraction's questions and gather its messages. The state they
// share (the messages, the last message, and whether the operator refused a password) belongs to
// one extraction and is reset at its start.
#pragma once

#include <string>

#include "unzip_library.h"
#include "wizard_ui.h"

namespace pelmoray {

class UnzipCallbackModule {
 public:
  // Prompts go to `ui`, which must outlive the module.
  explicit UnzipCallbackModule(WizardUi& ui) : ui_(ui) {}

  void reset();
  // The callback table of one extraction, bound to this module.
  UnzipCallbacks table();

  // Takes `text` up to `size` or its first zero byte; a text that starts with a line feed counts
  // as one line break (CR LF). Appends it to the messages, which become the last message.
  int print(const char* text, unsigned long size);
  // Reads the entry's name and lets the extraction go on.
  int service(const char* entryName, unsigned long size);
  // Asks for the password of an encrypted entry, once an empty answer has been given no more.
  int password(char* buffer, int size, const char* prompt, const char* entryName);
  // Asks whether to overwrite an existing file.
  int replace(const char* fileName);

  const std::string& messages() const { return messages_; }
  const std::string& lastMessage() const { return lastMessage_; }
  const std::string& lastServiced() const { return lastServiced_; }

 private:
  WizardUi& ui_;
  std::string messages_;
  std::string lastMessage_;
  std::string lastServiced_;
  bool noPassword_ = false;
};

}  // namespace pelmoray
