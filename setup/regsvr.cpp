// kestrin-regsvr: registers the engine library, as the setup wizard's last START step does.
//   kestrin-regsvr [-u] LIBRARY
// Loads LIBRARY, checks that it is the engine (its method table answers), and records its
// absolute path in the registration file, where the page host looks for the engine's folder.
// -u removes the registration of LIBRARY. The outcome is printed; the status is 0 on success.
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "kestrin/methods.h"
#include "registration.h"

namespace {

// kestrin::engineMethods(), looked up by its linker name: the program never links the engine.
const char* const kMethodTableSymbol = "_ZN7kestrin13engineMethodsEv";

int usage() {
  std::fputs("usage: kestrin-regsvr [-u] LIBRARY\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool unregister = !args.empty() && args[0] == "-u";
  if (unregister) args.erase(args.begin());
  if (args.size() != 1) return usage();
  std::error_code ec;
  std::string library = std::filesystem::absolute(args[0], ec).lexically_normal().string();
  if (ec) library = args[0];

  if (unregister) {
    if (!kestrin::removeRegistration(library)) {
      std::fprintf(stderr, "kestrin-regsvr: %s is not the registered engine\n", library.c_str());
      return 1;
    }
    std::printf("kestrin-regsvr: unregistered %s\n", library.c_str());
    return 0;
  }

  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "kestrin-regsvr: cannot load %s: %s\n", library.c_str(), ::dlerror());
    return 1;
  }
  using MethodTable = const std::vector<kestrin::MethodInfo>& (*)();
  auto table = reinterpret_cast<MethodTable>(::dlsym(handle, kMethodTableSymbol));
  size_t methods = table ? table().size() : 0;
  if (methods == 0) {
    std::fprintf(stderr, "kestrin-regsvr: %s is not the Kestrin engine (no method table)\n",
                 library.c_str());
    ::dlclose(handle);
    return 1;
  }
  ::dlclose(handle);
  try {
    kestrin::writeRegistration(library);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kestrin-regsvr: %s\n", e.what());
    return 1;
  }
  std::printf("kestrin-regsvr: registered %s (%zu engine methods) in %s\n", library.c_str(),
              methods, kestrin::registrationFile().c_str());
  return 0;
}
