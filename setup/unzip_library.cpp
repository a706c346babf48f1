#include "unzip_library.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace pelmoray {

namespace {

using namespace unzip_status;

struct ArchiveCloser {
  void operator()(zip_t* za) const { zip_discard(za); }
};
struct EntryCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;
using EntryFile = std::unique_ptr<zip_file_t, EntryCloser>;

// An owned file descriptor.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

std::string zipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

std::string methodName(int32_t method) {
  switch (method) {
    case ZIP_CM_STORE:
      return "Stored";
    case ZIP_CM_DEFLATE:
      return "Deflate";
    case ZIP_CM_DEFLATE64:
      return "Deflate64";
    case ZIP_CM_BZIP2:
      return "BZip2";
    default:
      return "Method " + std::to_string(method);
  }
}

// The pieces of an entry's path; nothing when the path is absolute or climbs out with "..".
std::optional<std::vector<std::string>> safePieces(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return std::nullopt;
  if (name.size() >= 2 && name[1] == ':') return std::nullopt;  // a drive letter
  std::vector<std::string> pieces;
  std::string piece;
  auto flush = [&]() -> bool {
    if (piece == "..") return false;
    if (!piece.empty() && piece != ".") pieces.push_back(piece);
    piece.clear();
    return true;
  };
  for (char c : name) {
    if (c == '/' || c == '\\') {
      if (!flush()) return std::nullopt;
    } else {
      piece += c;
    }
  }
  if (!flush()) return std::nullopt;
  return pieces;
}

// Whether a link target, read from a link placed `depth` folders below the extraction folder,
// stays inside that folder.
bool linkStaysInside(const std::string& target, size_t depth) {
  if (target.empty() || target[0] == '/' || target[0] == '\\') return false;
  long level = static_cast<long>(depth);
  std::string piece;
  auto step = [&]() {
    if (piece == "..")
      --level;
    else if (!piece.empty() && piece != ".")
      ++level;
    piece.clear();
    return level >= 0;
  };
  for (char c : target) {
    if (c == '/' || c == '\\') {
      if (!step()) return false;
    } else {
      piece += c;
    }
  }
  return step();
}

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// CR LF becomes LF; a CR at the end of one block waits for the next.
class LineEndConverter {
 public:
  std::string convert(const char* data, size_t size) {
    std::string out;
    out.reserve(size + 1);
    for (size_t i = 0; i < size; ++i) {
      char c = data[i];
      if (pendingCr_) {
        pendingCr_ = false;
        if (c != '\n') out += '\r';
      }
      if (c == '\r') {
        pendingCr_ = true;
        continue;
      }
      out += c;
    }
    return out;
  }
  std::string finish() { return std::exchange(pendingCr_, false) ? "\r" : ""; }

 private:
  bool pendingCr_ = false;
};

class Extraction {
 public:
  Extraction(const UnzipOptions& o, const UnzipCallbacks& cb) : o_(o), cb_(cb) {}

  int run() {
    if (o_.zipFile.empty()) {
      say("No archive was named.\n");
      return kBadOption;
    }
    struct stat info {};
    if (::stat(o_.zipFile.c_str(), &info) != 0) {
      say("Cannot find or open the archive " + o_.zipFile + ": " + std::strerror(errno) + ".\n");
      return kNoZip;
    }
    int code = 0;
    Archive za(zip_open(o_.zipFile.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!za) {
      say("Cannot read the archive " + o_.zipFile + ": " + zipErrorText(code) + ".\n");
      return code == ZIP_ER_INCONS ? kSevereError : code == ZIP_ER_MEMORY ? kNoMemory : kNoZip;
    }
    za_ = za.get();
    if (o_.displayComment) {
      int length = 0;
      const char* comment = zip_get_archive_comment(za_, &length, ZIP_FL_ENC_GUESS);
      if (comment && length > 0) say(std::string(comment, static_cast<size_t>(length)) + "\n");
    }
    zip_int64_t count = zip_get_num_entries(za_, 0);
    if (o_.listOnly) return list(count);
    if (count == 0) {
      say("The archive " + o_.zipFile + " holds no files.\n");
      return kWarning;
    }
    if (!o_.testOnly && !o_.writeToStdout && !openRoot()) return kDiskError;
    for (zip_int64_t i = 0; i < count; ++i) {
      zip_stat_t st;
      zip_stat_init(&st);
      if (zip_stat_index(za_, static_cast<zip_uint64_t>(i), 0, &st) != 0) {
        say("Cannot read entry " + std::to_string(i + 1) + " of the archive: " + zip_strerror(za_) +
            ".\n");
        worse(kError);
        continue;
      }
      std::string name = st.name ? st.name : "";
      if (cb_.service && cb_.service(name.c_str(), static_cast<unsigned long>(st.size)) != 0) {
        say("Extraction stopped before " + name + ".\n");
        worse(kCancelled);
        break;
      }
      entry(static_cast<zip_uint64_t>(i), st, name);
    }
    return status_;
  }

 private:
  void say(const std::string& text) {
    if (cb_.print && !text.empty()) cb_.print(text.data(), static_cast<unsigned long>(text.size()));
  }
  void worse(int status) { status_ = std::max(status_, status); }

  int list(zip_int64_t count) {
    for (zip_int64_t i = 0; i < count; ++i) {
      zip_stat_t st;
      zip_stat_init(&st);
      if (zip_stat_index(za_, static_cast<zip_uint64_t>(i), 0, &st) != 0) continue;
      EntryListing e;
      e.name = st.name ? st.name : "";
      e.size = st.size;
      e.compressedSize = st.comp_size;
      e.ratioPercent =
          st.size == 0 ? 0 : static_cast<int>(100 - (st.comp_size * 100 + st.size / 2) / st.size);
      e.method = methodName(st.comp_method);
      e.modified = st.mtime;
      e.crc = st.crc;
      e.encrypted = st.encryption_method != ZIP_EM_NONE;
      if (cb_.message) cb_.message(e);
    }
    return kOk;
  }

  bool openRoot() {
    std::string dir = o_.extractDir.empty() ? "." : o_.extractDir;
    ::mkdir(dir.c_str(), 0777);  // the folder may exist already; opening it tells
    root_ = Fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root_.valid()) {
      say("Cannot create or open the folder " + dir + ": " + std::strerror(errno) + ".\n");
      return false;
    }
    return true;
  }

  // Opens (creating them when asked) the folders `pieces` below the extraction folder, never
  // following a symbolic link.
  Fd openFolder(const std::vector<std::string>& pieces, size_t count, bool create) {
    Fd fd(::dup(root_.get()));
    for (size_t i = 0; i < count && fd.valid(); ++i) {
      if (create) ::mkdirat(fd.get(), pieces[i].c_str(), 0777);
      fd = Fd(
          ::openat(fd.get(), pieces[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return fd;
  }

  std::string joined(const std::vector<std::string>& pieces) {
    std::string path;
    for (const auto& p : pieces) path += (path.empty() ? "" : "/") + p;
    return path;
  }

  // Opens an entry for reading, asking for a password when it is encrypted.
  EntryFile openEntry(zip_uint64_t index, const zip_stat_t& st, const std::string& name) {
    if (st.encryption_method == ZIP_EM_NONE) {
      EntryFile f(zip_fopen_index(za_, index, 0));
      if (!f) entryFailed(name, zip_error_code_zip(zip_get_error(za_)));
      return f;
    }
    if (!password_.empty()) {
      EntryFile f(zip_fopen_index_encrypted(za_, index, 0, password_.c_str()));
      if (f) return f;
      int code = zip_error_code_zip(zip_get_error(za_));
      if (code != ZIP_ER_WRONGPASSWD) {
        entryFailed(name, code);
        return nullptr;
      }
      zip_error_clear(za_);
    }
    char buffer[81] = {};
    if (cb_.sound) cb_.sound();
    if (!cb_.password || cb_.password(buffer, static_cast<int>(sizeof buffer),
                                      "Enter password: ", name.c_str()) != 0) {
      say("Skipped " + name + ": it is encrypted and no password was given.\n");
      worse(kBadPassword);
      return nullptr;
    }
    buffer[sizeof buffer - 1] = '\0';
    password_ = buffer;
    EntryFile f(zip_fopen_index_encrypted(za_, index, 0, password_.c_str()));
    if (!f) {
      int code = zip_error_code_zip(zip_get_error(za_));
      zip_error_clear(za_);
      if (code == ZIP_ER_WRONGPASSWD) {
        say("Skipped " + name + ": the password is incorrect.\n");
        worse(kBadPassword);
        password_.clear();
      } else {
        entryFailed(name, code);
      }
    }
    return f;
  }

  void entryFailed(const std::string& name, int code) {
    say("Cannot extract " + name + ": " + zipErrorText(code) + ".\n");
    switch (code) {
      case ZIP_ER_COMPNOTSUPP:
      case ZIP_ER_ENCRNOTSUPP:
        worse(kUnsupported);
        break;
      case ZIP_ER_WRONGPASSWD:
        worse(kBadPassword);
        break;
      case ZIP_ER_EOF:
      case ZIP_ER_READ:
      case ZIP_ER_SEEK:
        worse(kEndOfFile);
        break;
      case ZIP_ER_MEMORY:
        worse(kNoMemory);
        break;
      default:
        worse(kError);
    }
  }

  // Reads the whole entry, handing each block to `sink`; false (with the failure reported) when
  // reading fails.
  template <typename Sink>
  bool readEntry(zip_file_t* f, const std::string& name, Sink&& sink) {
    std::vector<char> block(64 * 1024);
    for (;;) {
      zip_int64_t n = zip_fread(f, block.data(), block.size());
      if (n < 0) {
        entryFailed(name, zip_error_code_zip(zip_file_get_error(f)));
        return false;
      }
      if (n == 0) return true;
      if (!sink(block.data(), static_cast<size_t>(n))) return false;
    }
  }

  void entry(zip_uint64_t index, const zip_stat_t& st, const std::string& name) {
    std::optional<std::vector<std::string>> pieces = safePieces(name);
    if (!pieces) {
      say("Skipped " + name + ": its path leads outside the extraction folder.\n");
      worse(kWarning);
      return;
    }
    bool isFolder = !name.empty() && (name.back() == '/' || name.back() == '\\');
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    zip_file_get_external_attributes(za_, index, 0, &opsys, &attributes);
    mode_t mode = opsys == ZIP_OPSYS_UNIX ? static_cast<mode_t>(attributes >> 16) : 0;
    bool isLink = S_ISLNK(mode);
    if (S_ISDIR(mode)) isFolder = true;

    if (o_.testOnly || o_.writeToStdout) {
      if (isFolder) return;
      EntryFile f = openEntry(index, st, name);
      if (!f) return;
      bool ok = readEntry(f.get(), name, [&](const char* data, size_t size) {
        if (o_.writeToStdout && cb_.print) cb_.print(data, static_cast<unsigned long>(size));
        return true;
      });
      if (ok && o_.testOnly && o_.quietLevel == 0) say("    testing: " + name + "   OK\n");
      return;
    }

    if (!o_.honorDirectories) {
      if (isFolder || pieces->empty()) return;
      pieces = std::vector<std::string>{pieces->back()};
    }
    if (o_.spaceToUnderscore) {
      for (auto& p : *pieces) std::replace(p.begin(), p.end(), ' ', '_');
    }
    if (pieces->empty()) return;
    const std::string path = joined(*pieces);

    if (isFolder) {
      if (o_.freshenOnly) return;
      if (!openFolder(*pieces, pieces->size(), true).valid()) {
        say("Cannot create the folder " + path + ": " + std::strerror(errno) + ".\n");
        worse(kDiskError);
      }
      return;
    }

    Fd parent = openFolder(*pieces, pieces->size() - 1, !o_.freshenOnly);
    if (!parent.valid()) {
      if (o_.freshenOnly && errno == ENOENT) return;  // nothing there to freshen
      say("Cannot create the folder of " + path + ": " + std::strerror(errno) + ".\n");
      worse(kDiskError);
      return;
    }
    const std::string& leaf = pieces->back();
    struct stat existing {};
    bool exists = ::fstatat(parent.get(), leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (o_.freshenOnly && !exists) return;
    if ((o_.freshenOnly || o_.extractOnlyNewer) && exists && st.mtime <= existing.st_mtime) {
      if (o_.quietLevel == 0) say("  up to date: " + path + "\n");
      return;
    }
    if (exists && !mayReplace(path)) return;

    if (isLink) {
      link(index, st, name, parent, leaf, path, pieces->size() - 1);
      return;
    }
    EntryFile f = openEntry(index, st, name);
    if (!f) return;
    write(f.get(), st, name, parent, leaf, path, mode);
  }

  // Whether an existing file at `path` may be replaced, asking when the options say so.
  bool mayReplace(const std::string& path) {
    if (o_.overwriteAll || replaceAll_) return true;
    if (!o_.promptToOverwrite || replaceNone_) {
      if (o_.quietLevel == 0) say("  kept: " + path + " (it exists)\n");
      return false;
    }
    if (cb_.sound) cb_.sound();
    int answer = cb_.replace ? cb_.replace(path.c_str()) : kReplaceNo;
    switch (answer) {
      case kReplaceYes:
        return true;
      case kReplaceAll:
        replaceAll_ = true;
        return true;
      case kReplaceNone:
        replaceNone_ = true;
        return false;
      default:
        return false;
    }
  }

  void link(zip_uint64_t index, const zip_stat_t& st, const std::string& name, const Fd& parent,
            const std::string& leaf, const std::string& path, size_t depth) {
    EntryFile f = openEntry(index, st, name);
    if (!f) return;
    std::string target;
    if (!readEntry(f.get(), name, [&](const char* data, size_t size) {
          target.append(data, size);
          return target.size() <= 4096;
        })) {
      return;
    }
    if (!linkStaysInside(target, o_.honorDirectories ? depth : 0)) {
      say("Skipped " + name + ": it is a link that leads outside the extraction folder.\n");
      worse(kWarning);
      return;
    }
    ::unlinkat(parent.get(), leaf.c_str(), 0);
    if (::symlinkat(target.c_str(), parent.get(), leaf.c_str()) != 0) {
      say("Cannot create the link " + path + ": " + std::strerror(errno) + ".\n");
      worse(kDiskError);
      return;
    }
    if (o_.quietLevel == 0) say("    linking: " + path + " -> " + target + "\n");
  }

  // Writes the entry into a new file beside its place and renames it there: a failed entry
  // leaves the old file (or nothing), and a link in its place is replaced, never followed.
  void write(zip_file_t* f, const zip_stat_t& st, const std::string& name, const Fd& parent,
             const std::string& leaf, const std::string& path, mode_t storedMode) {
    static std::atomic<unsigned> counter{0};
    std::string temp =
        ".pelmoray-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    Fd out(::openat(parent.get(), temp.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!out.valid()) {
      say("Cannot write " + path + ": " + std::strerror(errno) + ".\n");
      worse(kDiskError);
      return;
    }
    LineEndConverter converter;
    bool decided = false, text = false, writeFailed = false;
    bool ok = readEntry(f, name, [&](const char* data, size_t size) {
      if (!decided) {
        decided = true;
        text = o_.convertLineEnds && std::memchr(data, '\0', size) == nullptr;
      }
      bool written;
      if (text) {
        std::string converted = converter.convert(data, size);
        written = writeAll(out.get(), converted.data(), converted.size());
      } else {
        written = writeAll(out.get(), data, size);
      }
      writeFailed = !written;
      return written;
    });
    if (ok && text) {
      std::string rest = converter.finish();
      if (!writeAll(out.get(), rest.data(), rest.size())) ok = false, writeFailed = true;
    }
    if (writeFailed) {
      say("Cannot write " + path + ": " + std::strerror(errno) + ".\n");
      worse(kDiskError);
    }
    if (ok && !writeFailed) {
      if (o_.privilege && storedMode != 0) ::fchmod(out.get(), storedMode & 0777);
      if (st.valid & ZIP_STAT_MTIME) {
        struct timespec times[2] = {{st.mtime, 0}, {st.mtime, 0}};
        ::futimens(out.get(), times);
      }
    }
    out.reset();
    if (!ok || writeFailed) {
      ::unlinkat(parent.get(), temp.c_str(), 0);
      return;
    }
    if (::renameat(parent.get(), temp.c_str(), parent.get(), leaf.c_str()) != 0) {
      say("Cannot write " + path + ": " + std::strerror(errno) + ".\n");
      worse(kDiskError);
      ::unlinkat(parent.get(), temp.c_str(), 0);
      return;
    }
    if (o_.quietLevel == 0) {
      std::string line =
          (st.comp_method == ZIP_CM_STORE ? " extracting: " : "  inflating: ") + path;
      if (o_.verbose) {
        line += "  (" + std::to_string(st.size) + " bytes, " + methodName(st.comp_method) + ")";
      }
      say(line + "\n");
    }
  }

  const UnzipOptions& o_;
  const UnzipCallbacks& cb_;
  zip_t* za_ = nullptr;
  Fd root_;
  int status_ = kOk;
  std::string password_;
  bool replaceAll_ = false;
  bool replaceNone_ = false;
};

}  // namespace

int singleEntryUnzip(const UnzipOptions& options, const UnzipCallbacks& callbacks) {
  try {
    return Extraction(options, callbacks).run();
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace pelmoray
