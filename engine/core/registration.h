// Where the registered engine library is recorded. Registering (kestrin-regsvr, which the setup
// wizard starts) checks that the library loads and writes its absolute path, one line, into the
// registration file; the page host reads it to find the engine's folder (the site configuration
// files lie beside the library) when no folder is named on its command line.
//
// The registration file: $KESTRIN_REGISTRY when set; otherwise /etc/kestrin/engine for root and
// $XDG_CONFIG_HOME/kestrin/engine (~/.config/kestrin/engine) for other users.
#pragma once

#include <string>

namespace kestrin {

std::string registrationFile();

// The registered library's path, or empty when none is registered. A user without a file of
// their own sees the machine's registration (/etc/kestrin/engine).
std::string registeredEngine();

// Records `libraryPath` (absolute); throws std::runtime_error with a message for the user.
void writeRegistration(const std::string& libraryPath);

// Removes the registration when it names `libraryPath`; true when it did.
bool removeRegistration(const std::string& libraryPath);

}  // namespace kestrin
