// kestrinctl call METHOD [NAME=VALUE ...]: one engine method on a site, as a page would call it.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrin::tools {

// Runs the call described by `args` (everything after "call"). Returns the exit status:
// 0 done, 1 the call failed (error on `err`), 2 usage error.
int runCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// One line per method: its name and arguments, as `kestrinctl methods` prints them.
void listMethods(std::ostream& out);

}  // namespace kestrin::tools
