// Extraction: archives made by the zip program (and, for entries that zip refuses to write,
// by libzip), extracted through CGUnzipFiles with the prompts answered by a scripted UI.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>
#include <zip.h>

#include <cstring>
#include <filesystem>

#include "cg_unzip_files.h"
#include "kestrin/error.h"
#include "setup_test_support.h"

namespace pelmoray {
namespace {

using namespace pelmoray::testing;
namespace fs = std::filesystem;

struct CraftedEntry {
  std::string name;
  std::string content;
  mode_t mode = S_IFREG | 0644;
};

// Archives with entries that the zip program never writes (absolute paths, "..", links out).
void makeCraftedZip(const std::string& path, const std::vector<CraftedEntry>& entries) {
  int error = 0;
  zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(za, nullptr);
  for (const auto& e : entries) {
    zip_source_t* src = zip_source_buffer(za, e.content.data(), e.content.size(), 0);
    zip_int64_t index = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0) << e.name;
    zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                     static_cast<zip_uint32_t>(e.mode) << 16);
  }
  ASSERT_EQ(zip_close(za), 0);
}

void setMtime(const std::string& path, time_t when) {
  struct utimbuf times {
    when, when
  };
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

class UnzipTest : public ::testing::Test {
 protected:
  // An archive of a.txt, b.txt and c.txt with the contents "new a", "new b", "new c".
  std::string threeFileZip() {
    for (const char* n : {"a", "b", "c"})
      writeFile(src / (std::string(n) + ".txt"), "new " + std::string(n));
    makeZip(src.path(), zips / "three.zip", {"a.txt", "b.txt", "c.txt"});
    return zips / "three.zip";
  }
  int32_t unzip(CGUnzipFiles& u, std::string zip, std::string dir) { return u.Unzip(zip, dir); }

  TempDir src, zips, out;
  ScriptedUi ui;
};

TEST_F(UnzipTest, FreshObjectHasTheDefaults) {
  CGUnzipFiles u(ui);
  EXPECT_FALSE(u.ExtractNewer());
  EXPECT_FALSE(u.SpaceToUnderScore());
  EXPECT_FALSE(u.PromptOverwrite());
  EXPECT_EQ(u.MessageLevel(), 2);
  EXPECT_FALSE(u.WriteToStdOut());
  EXPECT_FALSE(u.TestZip());
  EXPECT_EQ(u.ExtractList(), 0);
  EXPECT_FALSE(u.ExtractOnlyNewer());
  EXPECT_FALSE(u.DisplayComment());
  EXPECT_TRUE(u.HonorDirectories());
  EXPECT_TRUE(u.OverWriteFiles());
  EXPECT_FALSE(u.ConvertCRtoCRLF());
  EXPECT_FALSE(u.Verbose());
  EXPECT_TRUE(u.CaseSensitive());
  EXPECT_EQ(u.Privilege(), 0);
  EXPECT_EQ(u.ZipFileName(), "");
  EXPECT_EQ(u.ExtractDir(), "");
  EXPECT_EQ(u.GetLastMessage(), "");
}

TEST_F(UnzipTest, KeepsTheFoldersByDefault) {
  writeFile(src / "top.txt", "top");
  writeFile(src / "sub/deeper/inner.txt", "inner");
  makeZip(src.path(), zips / "tree.zip", {"top.txt", "sub"});
  CGUnzipFiles u(ui);
  EXPECT_EQ(unzip(u, zips / "tree.zip", out.path()), 0);
  EXPECT_EQ(filesBelow(out.path()), (std::vector<std::string>{"sub/deeper/inner.txt", "top.txt"}));
  EXPECT_EQ(readFile(out / "sub/deeper/inner.txt"), "inner");
  EXPECT_EQ(u.GetLastMessage(), "");  // quiet by default
}

TEST_F(UnzipTest, WithoutFoldersEveryFileLandsInTheFolderAndOverwritesWithoutAsking) {
  writeFile(src / "root.asp", "root");
  writeFile(src / "one/two/deep.gif", "deep");
  writeFile(src / "one/side.css", "side");
  makeZip(src.path(), zips / "nested.zip", {"root.asp", "one"});
  writeFile(out / "deep.gif", "old deep");
  CGUnzipFiles u(ui);
  u.setZipFileName(zips / "nested.zip");
  u.setExtractDir(out.path());
  u.setHonorDirectories(false);
  std::string noZip, noDir;
  EXPECT_EQ(u.Unzip(noZip, noDir), 0);
  EXPECT_EQ(filesBelow(out.path()), (std::vector<std::string>{"deep.gif", "root.asp", "side.css"}));
  EXPECT_EQ(readFile(out / "deep.gif"), "deep");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(UnzipTest, ArgumentsReplaceTheArchiveAndFolderOnlyWhenGiven) {
  std::string zip = threeFileZip();
  TempDir other;
  CGUnzipFiles u(ui);
  u.setExtractDir(other.path());
  std::string sZip = zip, sDir;
  EXPECT_EQ(u.Unzip(sZip, sDir), 0);
  EXPECT_EQ(u.ZipFileName(), zip);  // kept for later calls
  EXPECT_EQ(u.ExtractDir(), other.path());
  EXPECT_EQ(filesBelow(other.path()).size(), 3u);
  std::string empty1, dir = out.path();
  EXPECT_EQ(u.Unzip(empty1, dir), 0);
  EXPECT_EQ(u.ZipFileName(), zip);
  EXPECT_EQ(u.ExtractDir(), out.path());
  EXPECT_EQ(filesBelow(out.path()).size(), 3u);
}

TEST_F(UnzipTest, ReplaceAnswersDecideWhichExistingFilesAreOverwritten) {
  std::string zip = threeFileZip();
  struct Case {
    const char* name;
    std::vector<Answer> answers;
    size_t prompts;
    const char* a;
    const char* b;
    const char* c;
  };
  const Case cases[] = {
      {"yes no yes", {Answer::Yes, Answer::No, Answer::Yes}, 3, "new a", "old b", "new c"},
      {"no then cancel stops asking", {Answer::No, Answer::Cancel}, 2, "old a", "old b", "old c"},
      {"yes then cancel", {Answer::Yes, Answer::Cancel}, 2, "new a", "old b", "old c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const char* n : {"a", "b", "c"})
      writeFile(dir / (std::string(n) + ".txt"), "old " + std::string(n));
    ScriptedUi answers;
    answers.answers.assign(c.answers.begin(), c.answers.end());
    CGUnzipFiles u(answers);
    u.setOverWriteFiles(false);
    u.setPromptOverwrite(true);
    EXPECT_EQ(unzip(u, zip, dir.path()), 0);
    ASSERT_EQ(answers.boxes.size(), c.prompts);
    EXPECT_EQ(answers.boxes[0].text, "Overwrite a.txt?");
    EXPECT_EQ(answers.boxes[0].title, "VBUnZip32 - File Already Exists!");
    EXPECT_EQ(answers.boxes[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(answers.boxes[0].icon, Icon::Exclamation);
    EXPECT_EQ(readFile(dir / "a.txt"), c.a);
    EXPECT_EQ(readFile(dir / "b.txt"), c.b);
    EXPECT_EQ(readFile(dir / "c.txt"), c.c);
  }
}

TEST_F(UnzipTest, WithoutOverwritingOrAskingExistingFilesAreKept) {
  std::string zip = threeFileZip();
  writeFile(out / "b.txt", "old b");
  CGUnzipFiles u(ui);
  u.setOverWriteFiles(false);
  EXPECT_EQ(unzip(u, zip, out.path()), 0);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(readFile(out / "a.txt"), "new a");
  EXPECT_EQ(readFile(out / "b.txt"), "old b");
}

TEST_F(UnzipTest, FreshenAndUpdateExtractOnlyNewerFiles) {
  std::string zip = threeFileZip();  // the archive's files carry the time they were written
  time_t now = ::time(nullptr);
  struct Case {
    const char* name;
    bool freshen;
    bool update;
    std::vector<std::string> files;
    const char* a;  // a.txt is older on disk than in the archive
    const char* b;  // b.txt is newer on disk
  };
  const Case cases[] = {
      {"freshen", true, false, {"a.txt", "b.txt"}, "new a", "disk b"},
      {"update", false, true, {"a.txt", "b.txt", "c.txt"}, "new a", "disk b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    writeFile(dir / "a.txt", "disk a");
    setMtime(dir / "a.txt", now - 86400);
    writeFile(dir / "b.txt", "disk b");
    setMtime(dir / "b.txt", now + 86400);
    CGUnzipFiles u(ui);
    u.setExtractNewer(c.freshen);
    u.setExtractOnlyNewer(c.update);
    EXPECT_EQ(unzip(u, zip, dir.path()), 0);
    EXPECT_EQ(filesBelow(dir.path()), c.files);
    EXPECT_EQ(readFile(dir / "a.txt"), c.a);
    EXPECT_EQ(readFile(dir / "b.txt"), c.b);
  }
}

TEST_F(UnzipTest, BlanksBecomeUnderscores) {
  writeFile(src / "my folder/price list.txt", "prices");
  makeZip(src.path(), zips / "blanks.zip", {"my folder"});
  CGUnzipFiles u(ui);
  u.setSpaceToUnderScore(true);
  EXPECT_EQ(unzip(u, zips / "blanks.zip", out.path()), 0);
  EXPECT_EQ(filesBelow(out.path()), (std::vector<std::string>{"my_folder/price_list.txt"}));
}

TEST_F(UnzipTest, PasswordPrompts) {
  writeFile(src / "one.txt", "secret one");
  writeFile(src / "two.txt", "secret two");
  makeZip(src.path(), zips / "locked.zip", {"one.txt", "two.txt"}, "-P opensesame");
  struct Case {
    const char* name;
    std::vector<std::string> inputs;
    int status;
    size_t prompts;
    std::vector<std::string> files;
    const char* message;
  };
  const Case cases[] = {
      {"right password, asked once", {"opensesame"}, 0, 1, {"one.txt", "two.txt"}, ""},
      {"wrong passwords skip each file",
       {"guess", "guess again"},
       82,
       2,
       {},
       "Skipped one.txt: the password is incorrect.\n"
       "Skipped two.txt: the password is incorrect.\n"},
      {"an empty answer stops the prompts",
       {""},
       82,
       1,
       {},
       "Skipped one.txt: it is encrypted and no password was given.\n"
       "Skipped two.txt: it is encrypted and no password was given.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ScriptedUi answers;
    answers.inputs.assign(c.inputs.begin(), c.inputs.end());
    CGUnzipFiles u(answers);
    EXPECT_EQ(unzip(u, zips / "locked.zip", dir.path()), c.status);
    ASSERT_EQ(answers.prompts.size(), c.prompts);
    EXPECT_EQ(answers.prompts[0], "Pelmoray|Please Enter The Password!");
    EXPECT_EQ(filesBelow(dir.path()), c.files);
    EXPECT_EQ(u.GetLastMessage(), c.message);
    if (c.status == 0) {
      EXPECT_EQ(readFile(dir / "two.txt"), "secret two");
    }
  }
}

TEST_F(UnzipTest, MissingAndDamagedArchivesGiveAStatusAndAMessage) {
  std::string zip = threeFileZip();
  std::string whole = readFile(zip);
  writeFile(zips / "truncated.zip", whole.substr(0, whole.size() / 2));
  writeFile(zips / "notazip.zip", "this is plain text, not an archive");
  struct Case {
    const char* name;
    std::string archive;
    const char* messageStart;
  };
  const Case cases[] = {
      {"missing", zips / "missing.zip", "Cannot find or open the archive "},
      {"truncated", zips / "truncated.zip", "Cannot read the archive "},
      {"not a zip", zips / "notazip.zip", "Cannot read the archive "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    CGUnzipFiles u(ui);
    EXPECT_EQ(unzip(u, c.archive, dir.path()), 9);
    EXPECT_TRUE(u.GetLastMessage().starts_with(c.messageStart + c.archive)) << u.GetLastMessage();
    EXPECT_TRUE(filesBelow(dir.path()).empty());
  }
}

TEST_F(UnzipTest, DamagedEntryIsReportedAndNotWritten) {
  writeFile(src / "good.txt", "good");
  writeFile(src / "bad.txt", "THIS CONTENT WILL BE DAMAGED");
  makeZip(src.path(), zips / "crc.zip", {"good.txt", "bad.txt"}, "-0");
  std::string bytes = readFile(zips / "crc.zip");
  size_t at = bytes.find("THIS CONTENT");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'X';
  writeFile(zips / "crc.zip", bytes);
  CGUnzipFiles u(ui);
  EXPECT_EQ(unzip(u, zips / "crc.zip", out.path()), 2);
  EXPECT_EQ(filesBelow(out.path()), (std::vector<std::string>{"good.txt"}));
  EXPECT_TRUE(u.GetLastMessage().starts_with("Cannot extract bad.txt: CRC error"))
      << u.GetLastMessage();
}

TEST_F(UnzipTest, EntriesLeadingOutsideAreSkippedAndNothingIsWrittenOutside) {
  TempDir base;
  std::string target = base / "site";
  fs::create_directories(target);
  fs::create_directories(base / "elsewhere");
  writeFile(base / "elsewhere/victim.txt", "untouched");
  // Links already in the folder that point outside.
  fs::create_directory_symlink(base / "elsewhere", target + "/linkdir");
  fs::create_symlink(base / "elsewhere/victim.txt", target + "/victim.txt");
  makeCraftedZip(zips / "slip.zip", {{"../escaped.txt", "out"},
                                     {"sub/../../escaped2.txt", "out"},
                                     {"/tmp/absolute-pelmoray.txt", "out"},
                                     {"linkdir/through-link.txt", "out"},
                                     {"victim.txt", "replaced inside"},
                                     {"up", "../../elsewhere", S_IFLNK | 0777},
                                     {"inner-link", "sub/ok.txt", S_IFLNK | 0777},
                                     {"sub/ok.txt", "fine"}});
  CGUnzipFiles u(ui);
  int32_t status = unzip(u, zips / "slip.zip", target);
  EXPECT_NE(status, 0);
  EXPECT_FALSE(exists(base / "escaped.txt"));
  EXPECT_FALSE(exists(base / "escaped2.txt"));
  EXPECT_FALSE(exists("/tmp/absolute-pelmoray.txt"));
  EXPECT_FALSE(exists(base / "elsewhere/through-link.txt"));
  EXPECT_EQ(readFile(base / "elsewhere/victim.txt"), "untouched");
  EXPECT_EQ(readFile(target + "/victim.txt"), "replaced inside");  // the link was replaced
  EXPECT_FALSE(fs::is_symlink(target + "/victim.txt"));
  EXPECT_FALSE(exists(target + "/up"));
  EXPECT_EQ(fs::read_symlink(target + "/inner-link").string(), "sub/ok.txt");
  EXPECT_EQ(readFile(target + "/sub/ok.txt"), "fine");
  const std::string& m = u.GetLastMessage();
  EXPECT_NE(m.find("Skipped ../escaped.txt: its path leads outside the extraction folder."),
            std::string::npos)
      << m;
  EXPECT_NE(m.find("Skipped /tmp/absolute-pelmoray.txt: its path leads outside"),
            std::string::npos);
  EXPECT_NE(m.find("Skipped up: it is a link that leads outside the extraction folder."),
            std::string::npos);
  EXPECT_NE(m.find("Cannot create the folder of linkdir/through-link.txt"), std::string::npos);
}

TEST_F(UnzipTest, IntegerOptionsBeyondSixteenBitsFailWithOverflow) {
  std::string zip = threeFileZip();
  struct Case {
    const char* name;
    void (CGUnzipFiles::*set)(int32_t);
    int32_t value;
    bool overflows;
  };
  const Case cases[] = {
      {"MessageLevel 32768", &CGUnzipFiles::setMessageLevel, 32768, true},
      {"MessageLevel -32769", &CGUnzipFiles::setMessageLevel, -32769, true},
      {"ExtractList 32768", &CGUnzipFiles::setExtractList, 32768, true},
      {"Privilege 40000", &CGUnzipFiles::setPrivilege, 40000, true},
      {"MessageLevel 32767", &CGUnzipFiles::setMessageLevel, 32767, false},
      {"Privilege -32768", &CGUnzipFiles::setPrivilege, -32768, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    CGUnzipFiles u(ui);
    (u.*c.set)(c.value);
    if (!c.overflows) {
      EXPECT_EQ(unzip(u, zip, dir.path()), 0);
      continue;
    }
    try {
      unzip(u, zip, dir.path());
      ADD_FAILURE() << "no overflow";
    } catch (const kestrin::Error& e) {
      EXPECT_EQ(e.number(), 6);
      EXPECT_EQ(e.description(), "Overflow");
      EXPECT_EQ(e.source(), "CGUnZipFiles::Unzip");
    }
    EXPECT_TRUE(filesBelow(dir.path()).empty());
  }
}

TEST_F(UnzipTest, MessagesOfPrintedTexts) {
  CGUnzipFiles u(ui);
  UnzipCallbackModule module(ui);
  struct Case {
    const char* name;
    std::string text;
    unsigned long size;
    const char* gathered;
  };
  const Case cases[] = {
      {"plain", "abc", 3, "abc"},
      {"up to the size", "abcdef", 2, "ab"},
      {"up to a zero byte", std::string("ab\0cd", 5), 5, "ab"},
      {"a line feed first is one line break", "\nrest of it", 11, "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    module.reset();
    EXPECT_EQ(module.print(c.text.data(), c.size), 0);
    EXPECT_EQ(module.lastMessage(), c.gathered);
  }
  module.reset();
  module.print("one", 3);
  module.print("\n", 1);
  module.print("two", 3);
  EXPECT_EQ(module.lastMessage(), "one\r\ntwo");
}

TEST_F(UnzipTest, PasswordCallbackFillsTheBuffer) {
  ScriptedUi answers;
  answers.inputs = {"longpassword"};
  UnzipCallbackModule module(answers);
  char buffer[6];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(module.password(buffer, sizeof buffer, "", "f"), 0);
  EXPECT_STREQ(buffer, "longp");  // at most the buffer size less one byte
  answers.inputs = {"", "never asked"};
  EXPECT_EQ(module.password(buffer, sizeof buffer, "", "f"), 1);
  EXPECT_EQ(module.password(buffer, sizeof buffer, "", "f"), 1);
  EXPECT_EQ(answers.prompts.size(), 2u);
  EXPECT_EQ(module.service("name.txt", 4), 0);
  EXPECT_EQ(module.lastServiced(), "name.txt");
}

TEST_F(UnzipTest, TestListAndStandardOutputModesWriteNothing) {
  std::string zip = threeFileZip();
  CGUnzipFiles u(ui);
  u.setTestZip(true);
  u.setMessageLevel(0);
  EXPECT_EQ(unzip(u, zip, out.path()), 0);
  EXPECT_EQ(u.GetLastMessage(),
            "    testing: a.txt   OK\n    testing: b.txt   OK\n    testing: c.txt   OK\n");
  u.setTestZip(false);
  u.setWriteToStdOut(true);
  EXPECT_EQ(unzip(u, zip, out.path()), 0);
  EXPECT_EQ(u.GetLastMessage(), "new anew bnew c");
  u.setWriteToStdOut(false);
  u.setExtractList(1);
  EXPECT_EQ(unzip(u, zip, out.path()), 0);
  EXPECT_TRUE(filesBelow(out.path()).empty());
}

TEST_F(UnzipTest, LineEndsPermissionsAndPerFileMessages) {
  writeFile(src / "readme.txt", "line one\r\nline two\r\n");
  writeFile(src / "tool.sh", "#!/bin/sh\n");
  fs::permissions(src / "tool.sh", fs::perms::owner_all);
  makeZip(src.path(), zips / "mixed.zip", {"readme.txt", "tool.sh"});
  CGUnzipFiles u(ui);
  u.setConvertCRtoCRLF(true);
  u.setPrivilege(1);
  u.setMessageLevel(0);
  EXPECT_EQ(unzip(u, zips / "mixed.zip", out.path()), 0);
  EXPECT_EQ(readFile(out / "readme.txt"), "line one\nline two\n");
  EXPECT_EQ(fs::status(out / "tool.sh").permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_NE(u.GetLastMessage().find("readme.txt\n"), std::string::npos) << u.GetLastMessage();
}

}  // namespace
}  // namespace pelmoray
