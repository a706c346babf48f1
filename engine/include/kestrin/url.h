// URL: fetches a web address's content for pages that embed content from another web server.
#pragma once

#include <string>

namespace kestrin {

class URL {
 public:
  // The body of the answer at the address, one character per byte, read 4,096 bytes at a time.
  // Never fails: an error becomes the current error and its description follows the body read
  // so far:
  //   empty address                   "Invalid procedure call or argument" (5)
  //   no internet session             "An error occurred calling InternetOpen function"
  //   the address cannot be opened    "An error occurred calling InternetOpenUrl function"
  //   the transfer breaks off         "An error occurred calling InternetReadFile function"
  //   more than 256 MB                "The answer is larger than 268,435,456 bytes; the rest was
  //                                   not read"
  // (all but the first with number 0x800403E8). Only http and https addresses are fetched,
  // redirects included; the user agent is "kestrin".
  std::string GetURL(const std::string& URL);
};

}  // namespace kestrin
