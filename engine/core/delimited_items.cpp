#include "delimited_items.h"

#include <fstream>

namespace kestrin {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool DelimitedItemReader::next(std::string& item) {
  const size_t n = text_.size();
  if (pos_ >= n) return false;
  item.clear();
  while (pos_ < n && isBlank(text_[pos_])) ++pos_;

  size_t stop;  // where the delimiter search starts
  if (pos_ < n && text_[pos_] == '"') {
    const size_t close = text_.find('"', pos_ + 1);
    const size_t end = close == std::string_view::npos ? n : close;
    item.assign(text_.substr(pos_ + 1, end - pos_ - 1));
    stop = close == std::string_view::npos ? n : close + 1;
    pos_ = text_.find_first_of(",\r\n", stop);
    if (pos_ == std::string_view::npos) pos_ = n;
  } else {
    stop = pos_;
    pos_ = text_.find_first_of(",\r\n", stop);
    if (pos_ == std::string_view::npos) pos_ = n;
    size_t end = pos_;
    while (end > stop && isBlank(text_[end - 1])) --end;
    item.assign(text_.substr(stop, end - stop));
  }

  // Step over the delimiter: a comma, or one line end (CR LF counts as one).
  if (pos_ < n) {
    const char delimiter = text_[pos_++];
    if (delimiter == '\r' && pos_ < n && text_[pos_] == '\n') ++pos_;
  }
  return true;
}

std::vector<std::string> readDelimitedItems(std::string_view text) {
  std::vector<std::string> items;
  DelimitedItemReader reader(text);
  std::string item;
  while (reader.next(item)) items.push_back(item);
  return items;
}

bool readSmallFile(const std::string& path, size_t maxBytes, std::string& content) {
  content.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<unsigned long long>(size) > maxBytes) return false;
  in.seekg(0, std::ios::beg);
  content.resize(static_cast<size_t>(size));
  if (size > 0 && !in.read(content.data(), size)) {
    content.clear();
    return false;
  }
  return true;
}

}  // namespace kestrin
