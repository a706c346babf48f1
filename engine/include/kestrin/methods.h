// The engine's methods and public variables by name, for callers that receive them as text:
// kestrinctl and the page host. Each feature folder adds the rows of its own methods.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrin/ecat.h"
#include "kestrin/variant.h"

namespace kestrin {

enum class ArgKind { Text, Flag, Int16, Single, Double };
enum class ResultKind { None, Text, Flag, Single, Double, Variant };

struct MethodArg {
  std::string name;
  ArgKind kind = ArgKind::Text;
  bool optional = true;
  Variant fallback;  // the value an omitted optional argument takes
};

// The outside peer a method talks to, for callers that run methods in bulk (the hostile-input
// test) and must neither wait for a real peer nor reach one.
enum class OutsidePeer {
  None,
  ExchangeFolder,  // reads, writes or deletes files in the exchange folder aPath/admin/tdo
  ExchangeAgent,   // as ExchangeFolder, then waits five seconds for the exchange agent's answer
                   // (eCat::setStockWait replaces the wait); may also ask the price server
  PriceServer,     // connects to the price-and-availability server of the site preference
                   // imServer (no connection without it)
};

// What of a site a method may change: a set of these bits. The hostile-input test
// (tests/core/hostile_input_test.cpp) fails a method that changes anything it does not declare.
enum class Store : unsigned {
  None = 0,
  MainDb = 1,      // the shop database
  IngramDb = 2,    // the Ingram Micro catalog database
  TechDataDb = 4,  // the Tech Data catalog database
  SiteFiles = 8,   // files in the site's folders besides its databases (exchange files, exports)
};
constexpr Store operator|(Store a, Store b) {
  return static_cast<Store>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool mayChange(Store set, Store what) {
  return (static_cast<unsigned>(set) & static_cast<unsigned>(what)) != 0;
}

struct MethodInfo {
  std::string name;
  std::vector<MethodArg> args;
  ResultKind result = ResultKind::Text;
  // False for methods that rely on their caller having opened the databases: a caller that
  // stands in for a page runs them between opendb (preferences loaded) and closedb.
  bool opensItself = true;
  // Calls the method with one value per argument, in order, each already of its kind. Every
  // failure leaves it as kestrin::Error: out of memory as error 7, any other foreign exception as
  // error 51 (the table wraps each row's function with atMethodBoundary).
  using Invoke = std::function<Variant(eCat&, const std::vector<Variant>&)>;
  Invoke invoke;
  // For a method that talks to an outside peer: the site preference naming that peer
  // ("host[:port]"). A caller that must not reach the outside (a test) points it at a local
  // stand-in first.
  std::string peerPreference{};
  OutsidePeer outsidePeer = OutsidePeer::None;
  // What the method may change when it succeeds (a search logs its words, setPref writes a
  // preference); set after the row is added: t.back().writes = Store::MainDb.
  Store writes = Store::None;
};

const std::vector<MethodInfo>& engineMethods();
// `invoke` made to fail only with kestrin::Error.
MethodInfo::Invoke atMethodBoundary(MethodInfo::Invoke invoke);
// Exact, case-sensitive name as the interface spells it; nullptr when there is none.
const MethodInfo* findMethod(std::string_view name);

// Converts a text argument to its kind: flags True/False (any case), 16-bit integers checked
// (overflow error 6), numbers checked (type mismatch error 13).
Variant convertArgument(ArgKind kind, const std::string& text);

struct PublicVariable {
  std::string name;
  std::function<Variant(const eCat&)> get;
  std::function<void(eCat&, const Variant&)> set;  // empty for read-only views (connections)
};

const std::vector<PublicVariable>& publicVariables();
const PublicVariable* findVariable(std::string_view name);

}  // namespace kestrin
