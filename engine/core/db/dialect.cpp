#include "dialect.h"

#include <array>
#include <cctype>
#include <limits>

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
  static constexpr std::array<std::string_view, 39> kWords = {
      "select",   "insert", "update",  "delete",   "with",    "create",    "drop",    "alter",
      "pragma",   "begin",  "commit",  "rollback", "end",     "replace",   "values",  "explain",
      "attach",   "detach", "vacuum",  "analyze",  "reindex", "savepoint", "release", "set",
      "truncate", "copy",   "show",    "grant",    "revoke",  "lock",      "do",      "call",
      "merge",    "reset",  "discard", "declare",  "fetch",   "table",     "comment"};
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

// ---- Rewrites, each a pass over the tokens ----

constexpr size_t kNone = static_cast<size_t>(-1);

// The solid token before position i, or kNone.
size_t prevSolid(const std::vector<Token>& t, size_t i) {
  while (i > 0) {
    --i;
    if (t[i].kind != Tok::Gap) return i;
  }
  return kNone;
}

bool isPunct(const std::vector<Token>& t, size_t i, std::string_view text) {
  return i < t.size() && t[i].kind == Tok::Punct && t[i].text == text;
}

bool isWord(const std::vector<Token>& t, size_t i, std::string_view word) {
  return i < t.size() && t[i].kind == Tok::Word && lower(t[i].text) == word;
}

bool isInteger(const std::vector<Token>& t, size_t i) {
  return i < t.size() && t[i].kind == Tok::Number &&
         t[i].text.find_first_not_of("0123456789") == std::string::npos;
}

// 'a' + 'b' between string literals becomes the one literal 'ab', joined here rather than by the
// database, so that a pattern such as 'word' + '%' is one literal and LIKE can use an index for its
// prefix.
void joinStringLiterals(std::vector<Token>& t) {
  std::vector<Token> out;
  out.reserve(t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind == Tok::String) {
      Token joined = t[i];
      size_t plus = nextSolid(t, i + 1);
      size_t next = nextSolid(t, plus + 1);
      while (isPunct(t, plus, "+") && next < t.size() && t[next].kind == Tok::String) {
        joined.text.pop_back();
        joined.text += t[next].text.substr(1);
        i = next;
        plus = nextSolid(t, i + 1);
        next = nextSolid(t, plus + 1);
      }
      out.push_back(std::move(joined));
      continue;
    }
    out.push_back(std::move(t[i]));
  }
  t = std::move(out);
}

// "delete t where" gains its "from".
void addDeleteFrom(std::vector<Token>& t) {
  bool statementStart = true;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind == Tok::Gap) continue;
    if (statementStart && isWord(t, i, "delete")) {
      size_t next = nextSolid(t, i + 1);
      if (next < t.size() && (t[next].kind == Tok::Word || t[next].kind == Tok::QuotedName) &&
          !isWord(t, next, "from")) {
        t[i].text += " from";
      }
    }
    statementStart = isPunct(t, i, ";");
  }
}

// "select [distinct] top n ..." becomes "select [distinct] ... limit n", the limit placed at the
// end of that select (before the parenthesis that closes a subquery, or the statement's end).
void topToLimit(std::vector<Token>& t) {
  struct Pending {
    int depth;
    std::string rows;
  };
  std::vector<Pending> pending;
  std::vector<Token> out;
  int depth = 0;
  auto closeFrom = [&](int d) {
    while (!pending.empty() && pending.back().depth >= d) {
      out.push_back({Tok::Gap, " "});
      out.push_back({Tok::Word, "limit"});
      out.push_back({Tok::Gap, " "});
      out.push_back({Tok::Number, pending.back().rows});
      pending.pop_back();
    }
  };
  for (size_t i = 0; i < t.size(); ++i) {
    if (isPunct(t, i, "(")) {
      ++depth;
    } else if (isPunct(t, i, ")")) {
      closeFrom(depth);
      --depth;
    } else if (isPunct(t, i, ";")) {
      closeFrom(depth);
    } else if (isWord(t, i, "top")) {
      size_t before = prevSolid(out, out.size());
      if (before != kNone && (isWord(out, before, "distinct") || isWord(out, before, "all")))
        before = prevSolid(out, before);
      size_t n = nextSolid(t, i + 1);
      size_t end = n;
      if (isPunct(t, n, "(")) {
        n = nextSolid(t, n + 1);
        end = nextSolid(t, n + 1);
        if (!isPunct(t, end, ")")) n = kNone;
      }
      if (before != kNone && isWord(out, before, "select") && isInteger(t, n)) {
        pending.push_back({depth, t[n].text});
        i = end;
        if (i + 1 < t.size() && t[i + 1].kind == Tok::Gap) ++i;  // the blank after the count
        continue;
      }
    }
    out.push_back(t[i]);
  }
  closeFrom(std::numeric_limits<int>::min());
  t = std::move(out);
}

// [name], "name" and `name` become "name" in lower case: the server's names are lower case, and
// quoted names compare with case there.
void foldQuotedNames(std::vector<Token>& t) {
  for (Token& tok : t) {
    if (tok.kind != Tok::QuotedName || tok.text.size() < 2) continue;
    std::string inner = lower(tok.text.substr(1, tok.text.size() - 2));
    tok.text = "\"" + replaceAll(inner, "\"", "\"\"") + "\"";
  }
}

// x like 'p' becomes x::text ilike 'p' escape '': without regard to case, as the classic server
// compares, on any column type, with a backslash that is only a backslash, and in the form that
// a trigram index on the column serves.
void likeWithoutCase(std::vector<Token>& t) {
  static constexpr std::array<std::string_view, 10> kNotOperands = {
      "and", "or", "not", "where", "when", "then", "else", "select", "on", "having"};
  for (size_t i = 0; i < t.size(); ++i) {
    if (!isWord(t, i, "like")) continue;
    size_t operand = prevSolid(t, i);
    if (isWord(t, operand, "not")) operand = prevSolid(t, operand);
    bool castable = operand != kNone && (t[operand].kind != Tok::Punct || t[operand].text == ")");
    if (castable && t[operand].kind == Tok::Word) {
      for (std::string_view k : kNotOperands) castable = castable && !isWord(t, operand, k);
    }
    if (castable) {
      t.insert(t.begin() + static_cast<std::ptrdiff_t>(operand) + 1, {Tok::Punct, "::text"});
      ++i;
    }
    t[i].text = t[i].text == "like" ? "ilike" : "ILIKE";
    size_t last = nextSolid(t, i + 1);
    if (last >= t.size() || t[last].kind != Tok::String) continue;
    for (;;) {
      size_t op = nextSolid(t, last + 1);
      size_t next = nextSolid(t, op + 1);
      if (!(isPunct(t, op, "||") || isPunct(t, op, "+")) || next >= t.size() ||
          t[next].kind != Tok::String)
        break;
      last = next;
    }
    if (isWord(t, nextSolid(t, last + 1), "escape")) continue;
    const Token escape[] = {
        {Tok::Gap, " "}, {Tok::Word, "escape"}, {Tok::Gap, " "}, {Tok::String, "''"}};
    t.insert(t.begin() + static_cast<std::ptrdiff_t>(last) + 1, std::begin(escape),
             std::end(escape));
  }
}

// Each ORDER BY item sorts NULL first when ascending and last when descending, as the classic
// server and SQLite do (the server's default is the other way round).
void nullsAsClassic(std::vector<Token>& t) {
  std::vector<std::pair<size_t, const char*>> inserts;  // after token i
  auto endItem = [&](size_t end) {
    size_t last = prevSolid(t, end);
    if (last == kNone || isWord(t, prevSolid(t, last), "nulls")) return;
    inserts.emplace_back(last, isWord(t, last, "desc") ? " NULLS LAST" : " NULLS FIRST");
  };
  std::vector<int> clauses;  // depths of the ORDER BY clauses being read
  int depth = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    const bool inClause = !clauses.empty() && clauses.back() == depth;
    if (isPunct(t, i, "(")) {
      ++depth;
    } else if (isPunct(t, i, ")")) {
      if (inClause) {
        endItem(i);
        clauses.pop_back();
      }
      --depth;
    } else if (inClause &&
               (isPunct(t, i, ",") || isPunct(t, i, ";") || isWord(t, i, "limit") ||
                isWord(t, i, "offset") || isWord(t, i, "fetch") || isWord(t, i, "for"))) {
      endItem(i);
      if (!isPunct(t, i, ",")) clauses.pop_back();
    } else if (isWord(t, i, "order") && isWord(t, nextSolid(t, i + 1), "by")) {
      clauses.push_back(depth);
      i = nextSolid(t, i + 1);
    }
  }
  if (!clauses.empty() && clauses.back() == depth) endItem(t.size());
  for (auto it = inserts.rbegin(); it != inserts.rend(); ++it) {
    t.insert(t.begin() + static_cast<std::ptrdiff_t>(it->first) + 1, {Tok::Word, it->second});
  }
}

// A statement "select distinct ..." without an order of its own is ordered by all its columns:
// the classic server and SQLite find distinct rows by sorting or by walking an index, and pages
// show them in that order, while the server's hashing would give them in any order.
void orderDistinct(std::vector<Token>& t) {
  const size_t first = nextSolid(t, 0);
  if (!isWord(t, first, "select") || !isWord(t, nextSolid(t, first + 1), "distinct")) return;
  static constexpr std::array<std::string_view, 9> kOrdered = {
      "order", "limit", "offset", "fetch", "union", "intersect", "except", "for", "into"};
  size_t columns = 1, end = t.size();
  bool inSelectList = true;
  int depth = 0;
  for (size_t i = first; i < t.size(); ++i) {
    if (isPunct(t, i, "(")) ++depth;
    if (isPunct(t, i, ")")) --depth;
    if (depth != 0) continue;
    if (isPunct(t, i, ";")) {
      if (nextSolid(t, i + 1) < t.size()) return;  // a batch: left as it stands
      end = i;
      break;
    }
    if (t[i].kind == Tok::Word) {
      for (std::string_view w : kOrdered) {
        if (isWord(t, i, w)) return;
      }
      if (isWord(t, i, "from")) inSelectList = false;
    }
    if (inSelectList && isPunct(t, i, ",")) ++columns;
    if (inSelectList && isPunct(t, i, "*")) return;
  }
  while (end > 0 && t[end - 1].kind == Tok::Gap) --end;
  std::vector<Token> order = {
      {Tok::Gap, " "}, {Tok::Word, "ORDER"}, {Tok::Gap, " "}, {Tok::Word, "BY"}, {Tok::Gap, " "}};
  for (size_t c = 1; c <= columns; ++c) {
    if (c > 1) {
      order.push_back({Tok::Punct, ","});
      order.push_back({Tok::Gap, " "});
    }
    order.push_back({Tok::Number, std::to_string(c)});
  }
  t.insert(t.begin() + static_cast<std::ptrdiff_t>(end), order.begin(), order.end());
}

bool isComparison(const std::vector<Token>& t, size_t i) {
  static constexpr std::array<std::string_view, 7> kOps = {"=", "<>", "!=", "<", ">", "<=", ">="};
  if (i >= t.size() || t[i].kind != Tok::Punct) return false;
  for (std::string_view op : kOps) {
    if (t[i].text == op) return true;
  }
  return false;
}

bool isArithmetic(const std::vector<Token>& t, size_t i) {
  static constexpr std::array<std::string_view, 8> kOps = {"+", "-", "*", "/", "%", "||", ".", ":"};
  if (i >= t.size() || t[i].kind != Tok::Punct) return false;
  for (std::string_view op : kOps) {
    if (t[i].text == op) return true;
  }
  return false;
}

// An integer compared with a value (x = 5, 5 < x, x in (1,2)) becomes an untyped literal ('5'),
// which the server reads as the other side's type: a text column compares with text, as the
// classic server converts, where text = integer has no operator.
void untypeComparedIntegers(std::vector<Token>& t) {
  auto untype = [&t](size_t sign, size_t number) {
    std::string text = sign != kNone && t[sign].text == "-" ? "-" : "";
    if (sign != kNone) t[sign] = {Tok::Gap, ""};
    t[number] = {Tok::String, "'" + text + t[number].text + "'"};
  };
  for (size_t i = 0; i < t.size(); ++i) {
    if (isComparison(t, i)) {
      size_t n = nextSolid(t, i + 1), sign = kNone;
      if (isPunct(t, n, "-") || isPunct(t, n, "+")) {
        sign = n;
        n = nextSolid(t, n + 1);
      }
      if (isInteger(t, n) && !isArithmetic(t, nextSolid(t, n + 1))) untype(sign, n);
      size_t p = prevSolid(t, i);
      if (p != kNone && isInteger(t, p) && !isArithmetic(t, prevSolid(t, p))) untype(kNone, p);
    } else if (isWord(t, i, "in") && isPunct(t, nextSolid(t, i + 1), "(")) {
      std::vector<std::pair<size_t, size_t>> numbers;
      size_t j = nextSolid(t, nextSolid(t, i + 1) + 1);
      for (;;) {
        size_t sign = kNone;
        if (isPunct(t, j, "-") || isPunct(t, j, "+")) {
          sign = j;
          j = nextSolid(t, j + 1);
        }
        if (!isInteger(t, j)) break;
        numbers.emplace_back(sign, j);
        j = nextSolid(t, j + 1);
        if (!isPunct(t, j, ",")) break;
        j = nextSolid(t, j + 1);
      }
      if (!numbers.empty() && isPunct(t, j, ")")) {
        for (auto [sign, number] : numbers) untype(sign, number);
      }
    }
  }
}

}  // namespace

TranslatedSql translateClassicSql(std::string_view sql, SqlFlavor flavor) {
  if (sql.find('\0') != std::string_view::npos) {
    raise(kErrStatement, "The statement contains a NUL character.", kSource);
  }
  std::vector<Token> t = tokenize(sql);
  TranslatedSql out;
  if (auto call = parseCall(t)) {
    out.call = std::move(call);
    return out;
  }
  joinStringLiterals(t);
  addDeleteFrom(t);
  topToLimit(t);
  if (flavor == SqlFlavor::PostgreSQL) {
    foldQuotedNames(t);
    orderDistinct(t);
    nullsAsClassic(t);
    likeWithoutCase(t);
    untypeComparedIntegers(t);
  }
  for (const Token& tok : t) out.text += tok.text;
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

std::string rowCountStatement(std::string_view sql) {
  std::optional<std::string> counting = countingStatement(sql);
  if (counting) return *counting;
  return "SELECT count(*) FROM (" + stripStatementEnd(sql) + ") AS kx_rows";
}

std::string windowStatement(std::string_view sql, std::string_view offset, std::string_view limit,
                            SqlFlavor flavor) {
  std::vector<Token> t = tokenize(sql);
  int depth = 0;
  bool limited = false, ordered = false;
  size_t columns = 1;
  bool star = false;
  const size_t first = nextSolid(t, 0);
  const bool distinct =
      isWord(t, first, "select") && isWord(t, nextSolid(t, first + 1), "distinct");
  bool inSelectList = distinct;
  for (size_t i = 0; i < t.size(); ++i) {
    if (isPunct(t, i, "(")) ++depth;
    if (isPunct(t, i, ")")) --depth;
    if (depth != 0) continue;
    if (isWord(t, i, "limit") || isWord(t, i, "offset")) limited = true;
    if (isWord(t, i, "order")) ordered = true;
    if (isWord(t, i, "from")) inSelectList = false;
    if (inSelectList && isPunct(t, i, ",")) ++columns;
    if (inSelectList && isPunct(t, i, "*")) star = true;
  }
  std::string query = stripStatementEnd(sql);
  // Rows that are not ordered have no fixed order on a server, so that two pages could share
  // rows: a distinct query's rows are ordered by all its columns, as a sorting distinct gives
  // them.
  if (distinct && !ordered && !limited && !star) {
    query += " ORDER BY ";
    for (size_t c = 1; c <= columns; ++c) {
      query += (c > 1 ? ", " : "") + std::to_string(c);
      if (flavor == SqlFlavor::PostgreSQL) query += " NULLS FIRST";
    }
  }
  const std::string window = " LIMIT " + std::string(limit) + " OFFSET " + std::string(offset);
  if (limited) return "SELECT * FROM (" + query + ") AS kx_rows" + window;
  return query + window;
}

std::string stripStatementEnd(std::string_view sql) {
  size_t end = sql.size();
  while (end > 0 && (std::isspace(static_cast<unsigned char>(sql[end - 1])) || sql[end - 1] == ';'))
    --end;
  return std::string(sql.substr(0, end));
}

}  // namespace kestrin::db
