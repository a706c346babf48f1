#include "cg_unzip_files.h"

#include "kestrin/error.h"

namespace pelmoray {

namespace {

const char* const kRoutineSource = "CodeModule::VBUnzip";
const char* const kClassSource = "CGUnZipFiles::Unzip";

int16_t sixteenBits(int32_t value) {
  if (value < -32768 || value > 32767)
    kestrin::raise(kestrin::kErrOverflow, "Overflow", kRoutineSource);
  return static_cast<int16_t>(value);
}

}  // namespace

UnzipOptions CGUnzipFiles::options() const {
  UnzipOptions o;
  o.extractOnlyNewer = sixteenBits(extractOnlyNewer_);
  o.spaceToUnderscore = sixteenBits(spaceToUnderScore_);
  o.promptToOverwrite = sixteenBits(promptOverwrite_);
  o.quietLevel = sixteenBits(messageLevel_);
  o.writeToStdout = sixteenBits(writeToStdOut_);
  o.testOnly = sixteenBits(testZip_);
  o.listOnly = sixteenBits(extractList_);
  o.freshenOnly = sixteenBits(extractNewer_);
  o.displayComment = sixteenBits(displayComment_);
  o.honorDirectories = sixteenBits(honorDirectories_);
  o.overwriteAll = sixteenBits(overWriteFiles_);
  o.convertLineEnds = sixteenBits(convertCRtoCRLF_);
  o.verbose = sixteenBits(verbose_);
  o.caseSensitive = sixteenBits(caseSensitive_);
  o.privilege = sixteenBits(privilege_);
  o.zipFile = zipFileName_;
  o.extractDir = extractDir_;
  return o;
}

int32_t CGUnzipFiles::Unzip(std::string& sZipFileName, std::string& sExtractDir) {
  try {
    if (!sZipFileName.empty()) zipFileName_ = sZipFileName;
    if (!sExtractDir.empty()) extractDir_ = sExtractDir;
    callbacks_.reset();
    UnzipOptions o = options();
    return singleEntryUnzip(o, callbacks_.table());
  } catch (const kestrin::Error& e) {
    throw kestrin::Error(e.number(), e.description(), kClassSource);
  }
}

}  // namespace pelmoray
