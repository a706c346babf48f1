// Files of delimited items: the product description files, the distributor exchange response
// files and the accounting link server's request files. An item ends at a comma or at a line end
// (CR LF, CR or LF); blanks around an item are dropped, and so are the double quotes that enclose
// it. A quoted item may hold commas and line ends; whatever follows its closing quote up to the
// next delimiter is dropped. A line end at the very end of the text adds no empty item.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

class DelimitedItemReader {
 public:
  // Reads items from `text`, which must outlive the reader.
  explicit DelimitedItemReader(std::string_view text) : text_(text) {}

  // The next item into `item`; false when the text is used up.
  bool next(std::string& item);

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// Every item of `text`, in order.
std::vector<std::string> readDelimitedItems(std::string_view text);

// Reads a whole file of at most `maxBytes` bytes. Returns false when the file cannot be opened
// or read, or is larger than `maxBytes`; `content` is then empty.
bool readSmallFile(const std::string& path, size_t maxBytes, std::string& content);

}  // namespace kestrin
