// Helpers of the end-to-end tests that install the delivery of `make dist`: a copy of the
// delivery whose registration and installer are stand-ins, pelmoray run in scripted mode, and
// kestrin-shop serving the installed site through the real registration.
#pragma once

#include <string>
#include <vector>

namespace pelmoray::testing {

// The registration and the installer in a delivery copy: shell scripts that append how they were
// started to started-NAME.txt beside them.
extern const char* const kStandIn;

// What a scripted install prints up to the end of START (a new folder asked for), and the line
// that announces the accounting component installer at its end.
extern const char* const kStartOutput;
extern const char* const kInstallerLine;

// Copies the delivery to `to` and puts the stand-ins in place.
void copyDelivery(const std::string& to);

struct Output {
  int status;
  std::string out;  // standard output and error
};

// Runs DELIVERY/pelmoray with `args`; `scratch` is a file for its output.
Output runPelmoray(const std::string& delivery, const std::vector<std::string>& args,
                   const std::string& scratch);

// Waits (a few seconds at most) for a file that a detached program writes, and reads it.
std::string awaitFile(const std::string& path);

// Registers DELIVERY/dll/libkestrin.so with the real registration into the registry file
// `registry` (its status, 0 when it registered), as an operator does after installing.
int registerEngine(const std::string& delivery, const std::string& registry);

// Starts kestrin-shop on a free port for the site folder `www`, with the engine found through
// `registry`, sends GET for each path and stops it. The whole responses, in order; an empty
// one when the host did not answer. `banner` receives the host's first line.
std::vector<std::string> shopResponses(const std::string& registry, const std::string& www,
                                       const std::vector<std::string>& paths, std::string* banner);

}  // namespace pelmoray::testing
