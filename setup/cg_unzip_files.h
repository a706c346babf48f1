// CGUnzipFiles: the extraction options of one archive and the call that extracts it. A fresh
// object extracts every file with its folders, overwriting existing files without asking.
//
// Flags are kept as the numbers 1 and 0; integer options are kept as set and handed to the
// extraction as 16-bit values, so a value outside -32768..32767 makes Unzip fail with the
// overflow error (kestrin::Error 6).
#pragma once

#include <cstdint>
#include <string>

#include "unzip_callbacks.h"
#include "wizard_ui.h"

namespace pelmoray {

class CGUnzipFiles {
 public:
  // Password and replace prompts go to `ui`, which must outlive the object.
  explicit CGUnzipFiles(WizardUi& ui) : callbacks_(ui) {}

  bool ExtractNewer() const { return extractNewer_ == 1; }
  void setExtractNewer(bool v) { extractNewer_ = v ? 1 : 0; }
  bool SpaceToUnderScore() const { return spaceToUnderScore_ == 1; }
  void setSpaceToUnderScore(bool v) { spaceToUnderScore_ = v ? 1 : 0; }
  bool PromptOverwrite() const { return promptOverwrite_ == 1; }
  void setPromptOverwrite(bool v) { promptOverwrite_ = v ? 1 : 0; }
  int32_t MessageLevel() const { return messageLevel_; }
  void setMessageLevel(int32_t v) { messageLevel_ = v; }
  bool WriteToStdOut() const { return writeToStdOut_ == 1; }
  void setWriteToStdOut(bool v) { writeToStdOut_ = v ? 1 : 0; }
  bool TestZip() const { return testZip_ == 1; }
  void setTestZip(bool v) { testZip_ = v ? 1 : 0; }
  int32_t ExtractList() const { return extractList_; }
  void setExtractList(int32_t v) { extractList_ = v; }
  bool ExtractOnlyNewer() const { return extractOnlyNewer_ == 1; }
  void setExtractOnlyNewer(bool v) { extractOnlyNewer_ = v ? 1 : 0; }
  bool DisplayComment() const { return displayComment_ == 1; }
  void setDisplayComment(bool v) { displayComment_ = v ? 1 : 0; }
  bool HonorDirectories() const { return honorDirectories_ == 1; }
  void setHonorDirectories(bool v) { honorDirectories_ = v ? 1 : 0; }
  bool OverWriteFiles() const { return overWriteFiles_ == 1; }
  void setOverWriteFiles(bool v) { overWriteFiles_ = v ? 1 : 0; }
  bool ConvertCRtoCRLF() const { return convertCRtoCRLF_ == 1; }
  void setConvertCRtoCRLF(bool v) { convertCRtoCRLF_ = v ? 1 : 0; }
  bool Verbose() const { return verbose_ == 1; }
  void setVerbose(bool v) { verbose_ = v ? 1 : 0; }
  bool CaseSensitive() const { return caseSensitive_ == 1; }
  void setCaseSensitive(bool v) { caseSensitive_ = v ? 1 : 0; }
  int32_t Privilege() const { return privilege_; }
  void setPrivilege(int32_t v) { privilege_ = v; }
  const std::string& ZipFileName() const { return zipFileName_; }
  void setZipFileName(const std::string& v) { zipFileName_ = v; }
  const std::string& ExtractDir() const { return extractDir_; }
  void setExtractDir(const std::string& v) { extractDir_ = v; }

  // A non-empty argument replaces ZipFileName or ExtractDir; then the archive is extracted with
  // the current options. Returns the extraction's status (0 for success). Raises the overflow
  // error, with source "CGUnZipFiles::Unzip", for an integer option beyond 16 bits.
  int32_t Unzip(std::string& sZipFileName, std::string& sExtractDir);
  // What the last extraction printed (empty when it printed nothing).
  std::string GetLastMessage() const { return callbacks_.lastMessage(); }

 private:
  UnzipOptions options() const;

  UnzipCallbackModule callbacks_;
  int32_t extractNewer_ = 0;
  int32_t spaceToUnderScore_ = 0;
  int32_t promptOverwrite_ = 0;
  int32_t messageLevel_ = 2;
  int32_t writeToStdOut_ = 0;
  int32_t testZip_ = 0;
  int32_t extractList_ = 0;
  int32_t extractOnlyNewer_ = 0;
  int32_t displayComment_ = 0;
  int32_t honorDirectories_ = 1;
  int32_t overWriteFiles_ = 1;
  int32_t convertCRtoCRLF_ = 0;
  int32_t verbose_ = 0;
  int32_t caseSensitive_ = 1;
  int32_t privilege_ = 0;
  std::string zipFileName_;
  std::string extractDir_;
};

}  // namespace pelmoray
