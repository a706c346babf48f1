#include "setup_test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pelmoray::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "pelmoray-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests take write permission away from folders; give it back so that removal works.
  for (auto it = fs::recursive_directory_iterator(path_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

std::vector<std::string> filesBelow(const std::string& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_directory(ec) || it->is_symlink(ec))
      out.push_back(fs::relative(it->path(), dir).generic_string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

int run(const std::string& command) {
  int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string shellQuote(const std::string& word) {
  std::string out = "'";
  for (char c : word) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

void makeZip(const std::string& dir, const std::string& archive,
             const std::vector<std::string>& names, const std::string& options) {
  std::string command =
      "cd " + shellQuote(dir) + " && zip -q -r " + options + " " + shellQuote(archive);
  for (const auto& n : names) command += " " + shellQuote(n);
  ASSERT_EQ(run(command), 0) << command;
}

Answer ScriptedUi::messageBox(const std::string& text, Buttons buttons, Icon icon,
                              const std::string& title) {
  boxes.push_back({text, buttons, icon, title});
  if (answers.empty()) return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  Answer a = answers.front();
  answers.pop_front();
  return a;
}

std::string ScriptedUi::inputBox(const std::string& prompt, const std::string& title) {
  prompts.push_back(title + "|" + prompt);
  if (inputs.empty()) return "";
  std::string s = inputs.front();
  inputs.pop_front();
  return s;
}

void ScriptedUi::showProgress(const std::string& text) { progress.push_back(text); }
void ScriptedUi::closeProgress() { progress.push_back("<closed>"); }

}  // namespace pelmoray::testing
