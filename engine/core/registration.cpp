#include "registration.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kestrin {

namespace fs = std::filesystem;

namespace {

const char* const kMachineFile = "/etc/kestrin/engine";

std::string firstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::string registrationFile() {
  if (const char* env = std::getenv("KESTRIN_REGISTRY"); env && *env) return env;
  if (::geteuid() == 0) return kMachineFile;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return std::string(xdg) + "/kestrin/engine";
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::string(home) + "/.config/kestrin/engine";
  return kMachineFile;
}

std::string registeredEngine() {
  std::string own = firstLine(registrationFile());
  if (!own.empty() || std::getenv("KESTRIN_REGISTRY")) return own;
  return firstLine(kMachineFile);
}

void writeRegistration(const std::string& libraryPath) {
  const std::string file = registrationFile();
  std::error_code ec;
  fs::create_directories(fs::path(file).parent_path(), ec);
  const std::string temp = file + ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << libraryPath << '\n';
    if (!out.flush()) throw std::runtime_error("cannot write " + temp);
  }
  fs::rename(temp, file, ec);
  if (ec) throw std::runtime_error("cannot write " + file + ": " + ec.message());
}

bool removeRegistration(const std::string& libraryPath) {
  const std::string file = registrationFile();
  if (firstLine(file) != libraryPath) return false;
  std::error_code ec;
  return fs::remove(file, ec);
}

}  // namespace kestrin
