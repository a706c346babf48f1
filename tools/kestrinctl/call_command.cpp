#include "call_command.h"

#include <cstdlib>
#include <map>
#include <ostream>

#include "kestrin/ecat.h"
#include "kestrin/error.h"
#include "kestrin/methods.h"

namespace kestrin::tools {

namespace {

struct UsageError {
  std::string message;
};

std::string joinNames(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) s += (s.empty() ? "" : ", ") + n;
  return s.empty() ? "(none)" : s;
}

std::string kindName(ArgKind kind) {
  switch (kind) {
    case ArgKind::Text:
      return "text";
    case ArgKind::Flag:
      return "True|False";
    case ArgKind::Int16:
      return "16-bit integer";
    case ArgKind::Single:
      return "single";
    case ArgKind::Double:
      return "double";
  }
  return "";
}

std::string resultText(ResultKind kind, const Variant& v) {
  if (kind == ResultKind::Flag) return v.flag() ? "True" : "False";
  return v.text();
}

struct ParsedCall {
  std::string method;
  std::map<std::string, std::string> values;
  std::vector<std::string> order;  // names in the order given
  std::vector<std::string> show;
  std::vector<std::pair<std::string, std::string>> set;
};

ParsedCall parse(const std::vector<std::string>& args) {
  ParsedCall p;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto needValue = [&](const std::string& option) -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError{option + " needs a value"};
      return args[++i];
    };
    if (a == "--show") {
      p.show.push_back(needValue(a));
    } else if (a == "--set") {
      const std::string& pair = needValue(a);
      size_t eq = pair.find('=');
      if (eq == std::string::npos) throw UsageError{"--set takes VAR=VALUE, not '" + pair + "'"};
      p.set.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    } else if (a == "--app-path") {
      setenv("KESTRIN_APP_PATH", needValue(a).c_str(), 1);
    } else if (a.starts_with("--")) {
      throw UsageError{"unknown option " + a};
    } else if (p.method.empty()) {
      p.method = a;
    } else {
      size_t eq = a.find('=');
      if (eq == std::string::npos || eq == 0) {
        throw UsageError{"arguments are NAME=VALUE, not '" + a + "'"};
      }
      std::string name = a.substr(0, eq);
      if (p.values.count(name)) throw UsageError{"the argument " + name + " is given twice"};
      p.values[name] = a.substr(eq + 1);
      p.order.push_back(name);
    }
  }
  if (p.method.empty()) throw UsageError{"name the method to call"};
  return p;
}

}  // namespace

void listMethods(std::ostream& out) {
  for (const MethodInfo& m : engineMethods()) {
    out << m.name << '(';
    for (size_t i = 0; i < m.args.size(); ++i) {
      const MethodArg& a = m.args[i];
      out << (i ? ", " : "") << a.name << ':' << kindName(a.kind);
      if (a.optional)
        out << '='
            << (a.kind == ArgKind::Text
                    ? "\"" + a.fallback.text() + "\""
                    : resultText(a.kind == ArgKind::Flag ? ResultKind::Flag : ResultKind::Text,
                                 a.fallback));
    }
    out << ')' << (m.opensItself ? "" : "  [runs between opendb and closedb]") << '\n';
  }
}

int runCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ParsedCall call;
  const MethodInfo* method = nullptr;
  try {
    call = parse(args);
    method = findMethod(call.method);
    if (!method) {
      std::vector<std::string> names;
      for (const MethodInfo& m : engineMethods()) names.push_back(m.name);
      throw UsageError{"unknown method '" + call.method + "'. Methods: " + joinNames(names)};
    }
    std::vector<std::string> valid;
    for (const MethodArg& a : method->args) valid.push_back(a.name);
    if (!method->opensItself) {
      valid.push_back("siteID");
      valid.push_back("sitePassword");
    }
    for (const std::string& name : call.order) {
      bool known = false;
      for (const auto& v : valid) known = known || v == name;
      if (!known) {
        throw UsageError{method->name + " has no argument '" + name +
                         "'. Its arguments: " + joinNames(valid)};
      }
    }
    for (const MethodArg& a : method->args) {
      if (!a.optional && !call.values.count(a.name)) {
        throw UsageError{method->name + " needs the argument '" + a.name + "'"};
      }
    }
    for (const std::string& v : call.show) {
      if (!findVariable(v)) throw UsageError{"--show: no public variable '" + v + "'"};
    }
    for (const auto& [v, value] : call.set) {
      const PublicVariable* var = findVariable(v);
      if (!var || !var->set) throw UsageError{"--set: no settable public variable '" + v + "'"};
    }
  } catch (const UsageError& e) {
    err << "kestrinctl call: " << e.message << '\n'
        << "usage: kestrinctl call METHOD [NAME=VALUE ...] [--app-path DIR] [--show VAR] [--set "
           "VAR=VALUE]\n";
    return 2;
  }

  eCat cat;
  try {
    std::vector<Variant> values;
    for (const MethodArg& a : method->args) {
      auto it = call.values.find(a.name);
      values.push_back(it == call.values.end() ? a.fallback : convertArgument(a.kind, it->second));
    }
    for (const auto& [v, value] : call.set) findVariable(v)->set(cat, Variant(value));

    Variant result;
    if (method->opensItself) {
      result = method->invoke(cat, values);
    } else {
      // As a page does: open the session with the preferences loaded, call, close.
      auto site = [&](const char* name) {
        auto it = call.values.find(name);
        return it == call.values.end() ? std::string() : it->second;
      };
      cat.opendb(true, site("siteID"), site("sitePassword"));
      result = method->invoke(cat, values);
      cat.closedb();
    }
    if (method->result != ResultKind::None) out << resultText(method->result, result) << '\n';
    for (const std::string& v : call.show)
      out << v << '=' << findVariable(v)->get(cat).text() << '\n';
    return 0;
  } catch (...) {
    // The method boundary turns every failure into an engine error; the conversions and
    // variable setters here get the same treatment.
    const Error e = asError(std::current_exception());
    err << "Error " << e.number() << ": " << e.description() << '\n'
        << "Source: " << e.source() << '\n';
    const ErrorRecord& cause = cat.opendbFailure();
    if (cause.isSet() && (cause.number != e.number() || cause.description != e.description())) {
      err << "Cause (first failure recorded by opendb): Error " << cause.number << ": "
          << cause.description << '\n'
          << "Source: " << cause.source << '\n';
    }
    return 1;
  }
}

}  // namespace kestrin::tools
