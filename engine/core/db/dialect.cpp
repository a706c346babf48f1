#include "dialect.h"

#include <array>
#include <cctype>

#include "../text.h"
#include "kestrin/error.h"

namespace kestrin::db {

namespace {

const char* const kSource = "kestrin.SQL";

enum class Tok { Word, Number, String, QuotedName, Punct, Gap };

struct Token {
  Tok kind;
  std::string text;      // as written (for strings: without any N prefix)
  bool nPrefix = false;  // N'...' literal
};

bool isWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#';
}
bool isWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
         c == '$';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  size_t i = 0;
  auto gap = [&out](std::string text) {
    if (!out.empty() && out.back().kind == Tok::Gap)
      out.back().text += text;
    else
      out.push_back({Tok::Gap, std::move(text)});
  };
  while (i < s.size()) {
    char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      size_t j = i;
      while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
      gap(std::string(s.substr(i, j - i)));
      i = j;
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      size_t j = s.find('\n', i);
      i = j == std::string_view::npos ? s.size() : j;
      gap(" ");
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      size_t j = s.find("*/", i + 2);
      i = j == std::string_view::npos ? s.size() : j + 2;
      gap(" ");
    } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'' &&
                             (i == 0 || !isWordChar(s[i - 1])))) {
      bool prefixed = c != '\'';
      size_t start = prefixed ? i + 1 : i;
      size_t j = start + 1;
      while (j < s.size()) {
        if (s[j] == '\'') {
          if (j + 1 < s.size() && s[j + 1] == '\'') {
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        ++j;
      }
      out.push_back({Tok::String, std::string(s.substr(start, j - start)), prefixed});
      i = j;
    } else if (c == '"' || c == '[' || c == '`') {
      char close = c == '[' ? ']' : c;
      size_t j = s.find(close, i + 1);
      j = j == std::string_view::npos ? s.size() : j + 1;
      out.push_back({Tok::QuotedName, std::string(s.substr(i, j - i))});
      i = j;
    } else if (isWordStart(c)) {
      size_t j = i;
      while (j < s.size() && isWordChar(s[j])) ++j;
      out.push_back({Tok::Word, std::string(s.substr(i, j - i))});
      i = j;
    } else if (isDigit(c) || (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]))) {
      size_t j = i;
      while (j < s.size() && (isDigit(s[j]) || s[j] == '.')) ++j;
      if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && isDigit(s[k])) {
          j = k;
          while (j < s.size() && isDigit(s[j])) ++j;
        }
      }
      out.push_back({Tok::Number, std::string(s.substr(i, j - i))});
      i = j;
    } else {
      static constexpr std::array<std::string_view, 6> kTwoChar = {
          "<>", "<=", ">=", "!=", "||", "=="};
      size_t len = 1;
      for (std::string_view op : kTwoChar) {
        if (s.substr(i, 2) == op) len = 2;
      }
      out.push_back({Tok::Punct, std::string(s.substr(i, len))});
      i += len;
    }
  }
  return out;
}

// Statement keywords: a statement that starts with any other word is a procedure call.
bool isStatementKeyword(const std::string& word) {
  static constexpr std::array<std::string_view, 24> kWords = {
      "select", "insert", "update", "delete",   "with",    "create",    "drop",    "alter",
      "pragma", "begin",  "commit", "rollback", "end",     "replace",   "values",  "explain",
      "attach", "detach", "vacuum", "analyze",  "reindex", "savepoint", "release", "set"};
  std::string w = lower(word);
  for (std::string_view k : kWords) {
    if (w == k) return true;
  }
  return false;
}

std::string unquote(const std::string& literal) {
  // literal is 'text' with '' for each quote; an unterminated literal keeps what it has.
  std::string body = literal.substr(1);
  if (!body.empty() && body.back() == '\'') body.pop_back();
  return replaceAll(body, "''", "'");
}

size_t nextSolid(const std::vector<Token>& t, size_t i) {
  while (i < t.size() && t[i].kind == Tok::Gap) ++i;
  return i;
}

std::optional<ProcedureCall> parseCall(const std::vector<Token>& t) {
  size_t i = nextSolid(t, 0);
  if (i >= t.size() || t[i].kind != Tok::Word) return std::nullopt;
  std::string first = lower(t[i].text);
  if (first == "exec" || first == "execute") {
    i = nextSolid(t, i + 1);
    if (i >= t.size() || t[i].kind != Tok::Word) {
      raise(kErrStatement, "Incorrect syntax: EXECUTE names no procedure.", kSource);
    }
  } else if (isStatementKeyword(t[i].text)) {
    return std::nullopt;
  }
  ProcedureCall call;
  call.name = t[i].text;
  i = nextSolid(t, i + 1);
  bool expectValue = true;
  bool any = false;
  while (i < t.size()) {
    const Token& tok = t[i];
    if (tok.kind == Tok::Punct && tok.text == ";" && nextSolid(t, i + 1) >= t.size()) break;
    if (expectValue) {
      // A named argument, as system procedures are called: @name = value.
      std::string argName;
      if (tok.kind == Tok::Word && tok.text[0] == '@') {
        size_t eq = nextSolid(t, i + 1);
        if (eq >= t.size() || t[eq].kind != Tok::Punct || t[eq].text != "=") {
          raise(kErrStatement,
                "Incorrect syntax in the arguments of procedure '" + call.name + "' near '" +
                    tok.text + "'.",
                kSource);
        }
        argName = tok.text.substr(1);
        i = nextSolid(t, eq + 1);
        if (i >= t.size()) {
          raise(kErrStatement,
                "Incorrect syntax: an argument of procedure '" + call.name + "' is missing.",
                kSource);
        }
      }
      std::string sign;
      const Token& valueStart = t[i];
      if (valueStart.kind == Tok::Punct && (valueStart.text == "-" || valueStart.text == "+")) {
        sign = valueStart.text == "-" ? "-" : "";
        i = nextSolid(t, i + 1);
        if (i >= t.size() || t[i].kind != Tok::Number) {
          raise(kErrStatement,
                "Incorrect syntax in the arguments of procedure '" + call.name + "'.", kSource);
        }
      }
      const Token& v = t[i];
      if (v.kind == Tok::String && sign.empty()) {
        call.args.emplace_back(unquote(v.text));
      } else if (v.kind == Tok::Number) {
        std::string n = sign + v.text;
        // Up to 15 digits an integer stays exact as a double too, wherever it is read back.
        if (n.find_first_of(".eE") == std::string::npos && v.text.size() <= 15) {
          call.args.emplace_back(static_cast<int64_t>(std::stoll(n)));
        } else {
          call.args.emplace_back(val(n));
        }
      } else if (v.kind == Tok::Word && lower(v.text) == "null" && sign.empty()) {
        call.args.push_back(Variant::null());
      } else {
        raise(kErrStatement,
              "Incorrect syntax in the arguments of procedure '" + call.name + "' near '" + v.text +
                  "'.",
              kSource);
      }
      call.argNames.push_back(argName);
      any = true;
      expectValue = false;
    } else {
      if (!(tok.kind == Tok::Punct && tok.text == ",")) {
        raise(kErrStatement,
              "Incorrect syntax in the arguments of procedure '" + call.name + "' near '" +
                  tok.text + "'.",
              kSource);
      }
      expectValue = true;
    }
    i = nextSolid(t, i + 1);
  }
  if (any && expectValue) {
    raise(kErrStatement,
          "Incorrect syntax: an argument of procedure '" + call.name + "' is missing.", kSource);
  }
  return call;
}

}  // namespace

TranslatedSql translateClassicSql(std::string_view sql) {
  if (sql.find('\0') != std::string_view::npos) {
    raise(kErrStatement, "The statement contains a NUL character.", kSource);
  }
  std::vector<Token> t = tokenize(sql);
  TranslatedSql out;
  if (auto call = parseCall(t)) {
    out.call = std::move(call);
    return out;
  }
  bool statementStart = true;
  size_t stringEnd = 0;  // where the last string literal written ends in out.text
  for (size_t i = 0; i < t.size(); ++i) {
    const Token& tok = t[i];
    if (tok.kind == Tok::Gap) {
      out.text += tok.text;
      continue;
    }
    if (tok.kind == Tok::Punct && tok.text == "+") {
      size_t prev = i;
      while (prev > 0 && t[prev - 1].kind == Tok::Gap) --prev;
      size_t next = nextSolid(t, i + 1);
      if (prev > 0 && t[prev - 1].kind == Tok::String && next < t.size() &&
          t[next].kind == Tok::String) {
        // Joined here rather than by the database, so that a pattern such as 'word' + '%' is
        // one literal and LIKE can use an index for its prefix.
        out.text.resize(stringEnd - 1);
        out.text += t[next].text.substr(1);
        stringEnd = out.text.size();
        i = next;
        statementStart = false;
        continue;
      }
    }
    out.text += tok.text;
    if (tok.kind == Tok::String) stringEnd = out.text.size();
    if (statementStart && tok.kind == Tok::Word && lower(tok.text) == "delete") {
      size_t next = nextSolid(t, i + 1);
      if (next < t.size() && (t[next].kind == Tok::Word || t[next].kind == Tok::QuotedName) &&
          lower(t[next].text) != "from") {
        out.text += " from";
      }
    }
    statementStart = tok.kind == Tok::Punct && tok.text == ";";
  }
  return out;
}

std::vector<std::string> splitStatements(std::string_view sql) {
  std::vector<std::string> statements;
  std::string current;
  auto finish = [&] {
    if (current.find_first_not_of(" \t\r\n") != std::string::npos) statements.push_back(current);
    current.clear();
  };
  for (const Token& tok : tokenize(sql)) {
    if (tok.kind == Tok::Punct && tok.text == ";") {
      finish();
    } else {
      current += tok.nPrefix ? "N" + tok.text : tok.text;
    }
  }
  finish();
  return statements;
}

void requireSingleStatement(std::string_view sql) {
  // Most statements hold no semicolon at all; only those need the full reading.
  if (sql.find(';') == std::string_view::npos || splitStatements(sql).size() <= 1) return;
  raise(kErrStatement,
        "The statement text holds more than one statement; the database layer runs one "
        "statement at a time.",
        kSource);
}

std::optional<std::string> countingStatement(std::string_view sql) {
  std::vector<Token> t = tokenize(sql);
  size_t first = nextSolid(t, 0);
  if (first >= t.size() || t[first].kind != Tok::Word || lower(t[first].text) != "select")
    return std::nullopt;
  size_t second = nextSolid(t, first + 1);
  if (second < t.size() && t[second].kind == Tok::Word && lower(t[second].text) == "distinct")
    return std::nullopt;
  int depth = 0;
  size_t from = 0, order = t.size();
  for (size_t i = first + 1; i < t.size(); ++i) {
    const Token& tok = t[i];
    if (tok.kind == Tok::Punct) {
      if (tok.text == "(") ++depth;
      if (tok.text == ")") --depth;
      if (tok.text == ";" && depth == 0 && nextSolid(t, i + 1) < t.size()) return std::nullopt;
      continue;
    }
    if (tok.kind != Tok::Word || depth != 0) continue;
    const std::string w = lower(tok.text);
    if (w == "group" || w == "having" || w == "union" || w == "intersect" || w == "except" ||
        w == "limit" || w == "window" || w == "offset") {
      return std::nullopt;
    }
    if (w == "from" && from == 0) from = i;
    if (w == "order" && from != 0 && order == t.size()) order = i;
  }
  if (from == 0) return std::nullopt;
  std::string counting = "SELECT count(*) ";
  for (size_t i = from; i < order; ++i) counting += t[i].text;
  return stripStatementEnd(counting);
}

std::string stripStatementEnd(std::string_view sql) {
  size_t end = sql.size();
  while (end > 0 && (std::isspace(static_cast<unsigned char>(sql[end - 1])) || sql[end - 1] == ';'))
    --end;
  return std::string(sql.substr(0, end));
}

}  // namespace kestrin::db
