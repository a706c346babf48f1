// Failures at the boundary of a method called by name: whatever a method throws reaches the
// caller as kestrin::Error, and argument conversions never overflow a C++ integer.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "kestrin/error.h"
#include "kestrin/methods.h"

namespace kestrin {
namespace {

Error failureOf(const std::function<void()>& thrower) {
  MethodInfo::Invoke guarded = atMethodBoundary([&](eCat&, const std::vector<Variant>&) {
    thrower();
    return Variant();
  });
  eCat cat;
  try {
    guarded(cat, {});
  } catch (const Error& e) {
    return e;
  } catch (...) {
    ADD_FAILURE() << "a foreign exception crossed the boundary";
  }
  return Error(0, "", "");
}

TEST(MethodBoundaryTest, EveryFailureLeavesAsAnEngineError) {
  struct Case {
    const char* name;
    std::function<void()> thrower;
    int32_t number;
    std::string description;
  };
  const Case cases[] = {
      {"engine error", [] { raise(3021, "no current record", "kestrin.Recordset"); }, 3021,
       "no current record"},
      {"out of memory", [] { throw std::bad_alloc(); }, kErrOutOfMemory,
       "Out of memory: the request needs more memory than the engine can get"},
      {"string too long", [] { std::string().resize(std::string().max_size() + 1); },
       kErrOutOfMemory, "Out of memory: the request needs more memory than the engine can get"},
      {"standard exception", [] { (void)std::string("ab").at(5); }, kErrInternal, ""},
      {"something else", [] { throw 42; }, kErrInternal,
       "Internal error: a failure of unknown kind"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Error e = failureOf(c.thrower);
    EXPECT_EQ(e.number(), c.number);
    if (!c.description.empty()) {
      EXPECT_EQ(e.description(), c.description);
    }
  }
  EXPECT_EQ(
      failureOf([] { (void)std::string("ab").at(5); }).description().rfind("Internal error: ", 0),
      0u);
}

TEST(MethodBoundaryTest, EveryRowOfTheTableIsGuarded) {
  // A method that fails inside (a closed connection) still fails with the engine's error.
  const MethodInfo* rates = findMethod("getRates");
  ASSERT_NE(rates, nullptr);
  eCat cat;
  try {
    rates->invoke(cat, {Variant("A1")});
    ADD_FAILURE() << "answered without a session";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrObjectClosed);
  }
}

TEST(MethodBoundaryTest, NumericArgumentsOverflowAsErrorSix) {
  for (const char* text : {"99999999999999999999", "&HFFFFFFFFFFFFFFFFFFFF",
                           "&O7777777777777777777777", "32768", "-32769", "1e400", "32767.5"}) {
    SCOPED_TRACE(text);
    try {
      convertArgument(ArgKind::Int16, text);
      ADD_FAILURE() << "converted";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrOverflow);
    }
  }
  EXPECT_EQ(convertArgument(ArgKind::Int16, "&H7FFF"), Variant(32767));
  EXPECT_EQ(convertArgument(ArgKind::Int16, "-32768.5"), Variant(-32768));
  EXPECT_EQ(convertArgument(ArgKind::Double, "99999999999999999999"), Variant(1e20));
  try {
    convertArgument(ArgKind::Double, "&HFFFFFFFFFFFFFFFFFFFF");
    ADD_FAILURE() << "converted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrOverflow);
  }
}

}  // namespace
}  // namespace kestrin
