#include "jet_sql.h"

#include <cstdio>
#include <vector>

#include "platform/kernel/text.h"
#include "platform/ole/code_page.h"
#include "platform/ole/ole_date.h"

namespace halyard::dao {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one character at s[i], advancing i. A byte that does not start a well-formed
// sequence stands for its Windows-1252 character, so every input decodes to something.
char32_t NextChar(std::string_view s, std::size_t& i) {
  auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x80) {
    ++i;
    return b;
  }
  int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
  if (b >= 0xF5) extra = 0;
  if (extra > 0 && i + static_cast<std::size_t>(extra) < s.size() + 0) {
    char32_t c = b & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      auto t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((t & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (t & 0x3F);
    }
    // Overlong forms and surrogates are not characters.
    if (ok && !(extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) &&
        !(extra == 3 && (c < 0x10000 || c > 0x10FFFF))) {
      i += static_cast<std::size_t>(extra) + 1;
      return c;
    }
  }
  ++i;
  return halyard::ole::Cp1252ToWide(b);
}

std::u32string Decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) out += NextChar(s, i);
  return out;
}

bool IsDigitChar(char32_t c) { return c >= '0' && c <= '9'; }

// Matches a bracket list at p[pi] ('[' already seen at pi - 1) against c. Sets pi past ']'.
// A list without its ']' is taken as a literal '['.
bool MatchList(const std::u32string& p, std::size_t& pi, char32_t c, bool* wellFormed) {
  std::size_t j = pi;
  bool negate = false;
  if (j < p.size() && p[j] == U'!') {
    negate = true;
    ++j;
  }
  std::size_t start = j;
  while (j < p.size() && (p[j] != U']' || j == start)) ++j;
  if (j >= p.size()) {
    *wellFormed = false;
    return c == U'[';
  }
  *wellFormed = true;
  bool hit = false;
  char32_t fc = FoldCase(c);
  for (std::size_t k = start; k < j; ++k) {
    if (k + 2 < j && p[k + 1] == U'-') {
      char32_t lo = FoldCase(p[k]), hi = FoldCase(p[k + 2]);
      if ((fc >= lo && fc <= hi) || (c >= p[k] && c <= p[k + 2])) hit = true;
      k += 2;
    } else if (FoldCase(p[k]) == fc) {
      hit = true;
    }
  }
  pi = j + 1;
  return hit != negate;
}

// One pattern element against one character; advances pi past the element.
bool MatchOne(const std::u32string& p, std::size_t& pi, char32_t c) {
  char32_t pc = p[pi++];
  if (pc == U'?') return true;
  if (pc == U'#') return IsDigitChar(c);
  if (pc == U'[') {
    bool wellFormed = true;
    std::size_t save = pi;
    bool hit = MatchList(p, pi, c, &wellFormed);
    if (!wellFormed) pi = save;
    return hit;
  }
  return FoldCase(pc) == FoldCase(c);
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 8);
  for (char ch : ansi) {
    auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out += ch;
    } else {
      AppendUtf8(out, halyard::ole::Cp1252ToWide(b));
    }
  }
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += utf8[i++];
      continue;
    }
    char32_t c = NextChar(utf8, i);
    int byte = c <= 0xFFFF ? halyard::ole::WideToCp1252(static_cast<char16_t>(c)) : -1;
    out += byte >= 0 ? static_cast<char>(byte) : '?';
  }
  return out;
}

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  switch (c) {
    case 0x160: return 0x161;  // S caron
    case 0x152: return 0x153;  // OE
    case 0x17D: return 0x17E;  // Z caron
    case 0x178: return 0xFF;   // Y diaeresis
    default: return c;
  }
}

int CompareNoCaseUtf8(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x = FoldCase(NextChar(a, i));
    char32_t y = FoldCase(NextChar(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool JetLike(std::string_view pattern, std::string_view value) {
  std::u32string p = Decode(pattern);
  std::u32string v = Decode(value);
  // The usual star matcher: remember the last star and the value position it took, and on a
  // mismatch let that star take one more character. Linear in practice, never recursive.
  std::size_t pi = 0, vi = 0;
  std::size_t starP = std::u32string::npos, starV = 0;
  while (vi < v.size()) {
    if (pi < p.size() && p[pi] == U'*') {
      starP = ++pi;
      starV = vi;
      continue;
    }
    std::size_t next = pi;
    if (pi < p.size() && MatchOne(p, next, v[vi])) {
      pi = next;
      ++vi;
      continue;
    }
    if (starP == std::u32string::npos) return false;
    pi = starP;
    vi = ++starV;
  }
  while (pi < p.size() && p[pi] == U'*') ++pi;
  return pi == p.size();
}

std::string JetPatternToSql(std::string_view pattern) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    switch (c) {
      case '*': out += '%'; break;
      case '?': out += '_'; break;
      case '%': case '_': case '\\':
        out += '\\';
        out += c;
        break;
      case '[': {
        // A one-character list is a literal ("[*]", "[?]", "[[]"); longer lists have no SQL
        // equivalent and become one-character wildcards.
        std::size_t close = pattern.find(']', i + 2);
        if (i + 2 < pattern.size() && pattern[i + 2] == ']') {
          char lit = pattern[i + 1];
          if (lit == '%' || lit == '_' || lit == '\\') out += '\\';
          out += lit;
          i += 2;
        } else if (close != std::string_view::npos) {
          out += '_';
          i = close;
        } else {
          out += '[';
        }
        break;
      }
      case '#': out += '_'; break;
      default: out += c;
    }
  }
  return out;
}

namespace {

enum class Tok { Space, Word, Number, String, Bracket, Quoted, Punct };
struct Token {
  Tok kind;
  std::string text;
};

std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  std::size_t i = 0;
  auto isWord = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
  };
  while (i < s.size()) {
    char c = s[i];
    std::size_t j = i + 1;
    Tok kind = Tok::Punct;
    if (IsCLocaleSpace(c)) {
      while (j < s.size() && IsCLocaleSpace(s[j])) ++j;
      kind = Tok::Space;
    } else if (c == '\'') {
      // '' inside a literal is one quote.
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
      kind = Tok::String;
    } else if (c == '[') {
      while (j < s.size() && s[j] != ']') ++j;
      if (j < s.size()) ++j;
      kind = Tok::Bracket;
    } else if (c == '"' || c == '`') {
      while (j < s.size() && s[j] != c) ++j;
      if (j < s.size()) ++j;
      kind = Tok::Quoted;
    } else if (c >= '0' && c <= '9') {
      while (j < s.size() && (isWord(s[j]) || s[j] == '.')) ++j;
      kind = Tok::Number;
    } else if (isWord(c)) {
      while (j < s.size() && isWord(s[j])) ++j;
      kind = Tok::Word;
    } else if ((c == '<' || c == '>' || c == '!') && j < s.size() && (s[j] == '=' || s[j] == '>')) {
      ++j;
    }
    out.push_back({kind, std::string(s.substr(i, j - i))});
    i = j;
  }
  return out;
}

bool IsKeyword(std::string_view w) {
  static const char* const kWords[] = {
      "ADD",    "ALL",     "ALTER",  "AND",      "AS",       "ASC",    "BETWEEN", "BY",
      "CASE",   "COLUMN",  "CONSTRAINT", "CREATE", "DELETE", "DESC",   "DISTINCT", "DROP",
      "ELSE",   "END",     "ESCAPE", "EXISTS",   "FALSE",    "FROM",   "GROUP",   "HAVING",
      "IN",     "INDEX",   "INNER",  "INSERT",   "INTO",     "IS",     "JOIN",    "KEY",
      "LEFT",   "LIKE",    "NOT",    "NULL",     "ON",       "OR",     "ORDER",   "OUTER",
      "PRIMARY", "RIGHT",  "SELECT", "SET",      "TABLE",    "THEN",   "TRUE",    "UNION",
      "UNIQUE", "UPDATE",  "VALUES", "WHEN",     "WHERE"};
  for (const char* k : kWords)
    if (EqualsNoCaseAscii(w, k)) return true;
  return false;
}

std::string QuoteName(std::string_view name, char quote) {
  if (quote == ' ' || quote == '\0') return std::string(name);
  std::string out(1, quote);
  for (char c : name) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
}

// The literal's text without its quotes, '' folded to '.
std::string LiteralText(const std::string& lit) {
  std::string out;
  for (std::size_t i = 1; i + 1 < lit.size(); ++i) {
    out += lit[i];
    if (lit[i] == '\'' && i + 1 < lit.size() - 1 && lit[i + 1] == '\'') ++i;
  }
  return out;
}

std::string Literal(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

}  // namespace

std::string RewriteJetForOdbc(std::string_view jetSql, char quote) {
  std::vector<Token> in = Tokenize(jetSql);
  // Output tokens; the last operand is reachable so that a comparison can wrap it.
  std::vector<Token> out;
  auto lastSolid = [&out]() -> int {
    for (int k = static_cast<int>(out.size()) - 1; k >= 0; --k)
      if (out[static_cast<std::size_t>(k)].kind != Tok::Space) return k;
    return -1;
  };
  auto nextSolid = [&in](std::size_t from) -> std::size_t {
    while (from < in.size() && in[from].kind == Tok::Space) ++from;
    return from;
  };
  for (std::size_t i = 0; i < in.size(); ++i) {
    Token t = in[i];
    if (t.kind == Tok::Bracket) {
      std::string name = t.text.substr(1, t.text.size() >= 2 && t.text.back() == ']' ? t.text.size() - 2 : t.text.size() - 1);
      out.push_back({Tok::Quoted, QuoteName(name, quote)});
      continue;
    }
    if (t.kind == Tok::Word) {
      std::size_t n = nextSolid(i + 1);
      bool isFunction = n < in.size() && in[n].text == "(";
      bool isLike = EqualsNoCaseAscii(t.text, "like");
      if (isLike && n < in.size() && in[n].kind == Tok::String) {
        int k = lastSolid();
        std::string pattern = Literal(JetPatternToSql(LiteralText(in[n].text)));
        if (k >= 0 && (out[static_cast<std::size_t>(k)].kind == Tok::Quoted)) {
          out[static_cast<std::size_t>(k)].text = "UPPER(" + out[static_cast<std::size_t>(k)].text + ")";
        }
        out.push_back({Tok::Word, "LIKE UPPER(" + pattern + ") ESCAPE '\\'"});
        i = n;
        continue;
      }
      if (!IsKeyword(t.text) && !isFunction) {
        out.push_back({Tok::Quoted, QuoteName(t.text, quote)});
        continue;
      }
      out.push_back(t);
      continue;
    }
    if (t.kind == Tok::Punct && t.text == "=") {
      std::size_t n = nextSolid(i + 1);
      int k = lastSolid();
      if (n < in.size() && in[n].kind == Tok::String && k >= 0 &&
          out[static_cast<std::size_t>(k)].kind == Tok::Quoted) {
        out[static_cast<std::size_t>(k)].text = "UPPER(" + out[static_cast<std::size_t>(k)].text + ")";
        out.push_back({Tok::Punct, "= UPPER(" + in[n].text + ")"});
        i = n;
        continue;
      }
    }
    out.push_back(t);
  }
  std::string sql;
  for (const Token& t : out) sql += t.text;
  return sql;
}

std::string DateToText(DATE date) {
  halyard::ole::DateParts p{};
  if (!halyard::ole::OleDateToParts(date, &p)) return std::string();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return text;
}

bool TextToDate(std::string_view text, DATE* date) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  std::string copy(text.substr(0, 40));
  int n = std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s);
  if (n != 3 && n != 6) return false;
  return halyard::ole::OleDateFromParts(y, mo, d, h, mi, s, date);
}

}  // namespace halyard::dao
