#include "unzip_callbacks.h"

#include <cstring>

namespace pelmoray {

void UnzipCallbackModule::reset() {
  messages_.clear();
  lastMessage_.clear();
  lastServiced_.clear();
  noPassword_ = false;
}

UnzipCallbacks UnzipCallbackModule::table() {
  UnzipCallbacks t;
  t.print = [this](const char* text, unsigned long size) { return print(text, size); };
  t.sound = [] {};
  t.replace = [this](const char* fileName) { return replace(fileName); };
  t.password = [this](char* buffer, int size, const char* prompt, const char* entryName) {
    return password(buffer, size, prompt, entryName);
  };
  // The wizard never lists an archive: what the listing says is not kept.
  t.message = [](const EntryListing&) {};
  t.service = [this](const char* entryName, unsigned long size) {
    return service(entryName, size);
  };
  return t;
}

int UnzipCallbackModule::print(const char* text, unsigned long size) {
  const void* zero = std::memchr(text, '\0', size);
  size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : size;
  std::string piece(text, length);
  if (!piece.empty() && piece[0] == '\n') piece = "\r\n";
  messages_ += piece;
  lastMessage_ = messages_;
  return 0;
}

int UnzipCallbackModule::service(const char* entryName, unsigned long) {
  lastServiced_ = entryName;
  return 0;
}

int UnzipCallbackModule::password(char* buffer, int size, const char*, const char*) {
  if (noPassword_) return 1;
  std::string answer = ui_.inputBox("Please Enter The Password!");
  if (answer.empty()) {
    noPassword_ = true;
    return 1;
  }
  if (size <= 0) return 1;
  std::memset(buffer, 0, static_cast<size_t>(size));
  size_t n = std::min(answer.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, answer.data(), n);
  buffer[n] = '\0';
  return 0;
}

int UnzipCallbackModule::replace(const char* fileName) {
  Answer a = ui_.messageBox(std::string("Overwrite ") + fileName + "?", Buttons::YesNoCancel,
                            Icon::Exclamation, "VBUnZip32 - File Already Exists!");
  switch (a) {
    case Answer::Yes:
      return kReplaceYes;
    case Answer::No:
      return kReplaceNo;
    default:
      return kReplaceNone;
  }
}

}  // namespace pelmoray
