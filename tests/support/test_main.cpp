// The main of every test program: GoogleTest's, and the options by which ctest tells a run its
// backend (--kestrin-backend=sqlite|postgres) and its PostgreSQL server's state file
// (--kestrin-pg-state=FILE). They become KESTRIN_TEST_BACKEND and KESTRIN_PG_STATE, which the
// site fixture reads and programs that a test starts inherit.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string_view>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--kestrin-backend="))
      setenv("KESTRIN_TEST_BACKEND", argv[i] + arg.find('=') + 1, 1);
    else if (arg.starts_with("--kestrin-pg-state="))
      setenv("KESTRIN_PG_STATE", argv[i] + arg.find('=') + 1, 1);
  }
  return RUN_ALL_TESTS();
}
