#include "hive.h"

#include <cstdio>

#include "platform/kernel/text.h"
#include "name_case.h"

namespace halyard::registry {
namespace {

constexpr DWORD kRegSz = 1;
constexpr DWORD kRegBinary = 3;
constexpr DWORD kRegDword = 4;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Splits the text into lines without their CR LF or LF.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == text.size()) break;
    start = end + 1;
  }
  return lines;
}

// Reads a quoted text starting after its opening quote; \\ and \" stand for \ and ".
// Returns false when the closing quote is missing. *pos ends after the closing quote.
bool ReadQuoted(std::string_view line, std::size_t* pos, std::string* out) {
  out->clear();
  std::size_t i = *pos;
  while (i < line.size()) {
    char c = line[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < line.size()) {
      char next = line[i + 1];
      if (next == '\\' || next == '"') {
        out->push_back(next);
        i += 2;
        continue;
      }
    }
    out->push_back(c);
    ++i;
  }
  return false;
}

// "xx,xx,..." with blanks allowed around the bytes and a trailing comma tolerated.
bool ReadHexBytes(std::string_view text, std::string* out) {
  out->clear();
  std::size_t i = 0;
  for (;;) {
    while (i < text.size() && IsSpaceOrTab(text[i])) ++i;
    if (i == text.size()) return true;
    int hi = HexDigit(text[i]);
    if (hi < 0) return false;
    int value = hi;
    ++i;
    if (i < text.size() && HexDigit(text[i]) >= 0) {
      value = value * 16 + HexDigit(text[i]);
      ++i;
    }
    out->push_back(static_cast<char>(value));
    while (i < text.size() && IsSpaceOrTab(text[i])) ++i;
    if (i == text.size()) return true;
    if (text[i] != ',') return false;
    ++i;
  }
}

// Parses the data after "=" of a value line. Continuation lines of hex data are taken from
// lines[*next...] and *next is advanced past them.
bool ReadData(std::string_view data, const std::vector<std::string_view>& lines, std::size_t* next,
              RegEntry* entry) {
  data = TrimSpaceTabCrLf(data);
  if (data == "-") {
    entry->remove = true;
    return true;
  }
  if (!data.empty() && data[0] == '"') {
    std::size_t pos = 1;
    std::string text;
    if (!ReadQuoted(data, &pos, &text)) return false;
    entry->type = kRegSz;
    entry->data = text;
    entry->data.push_back('\0');
    return true;
  }
  if (StartsWithNoCaseAscii(data, "dword:")) {
    std::string_view digits = TrimSpaceTabCrLf(data.substr(6));
    if (digits.empty() || digits.size() > 8) return false;
    DWORD v = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      v = v * 16 + static_cast<DWORD>(d);
    }
    entry->type = kRegDword;
    entry->data.assign(4, '\0');
    for (int i = 0; i < 4; ++i) entry->data[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return true;
  }
  if (!StartsWithNoCaseAscii(data, "hex")) return false;
  std::size_t i = 3;
  DWORD type = kRegBinary;
  if (i < data.size() && data[i] == '(') {
    std::size_t close = data.find(')', i);
    if (close == std::string_view::npos || close == i + 1 || close - i - 1 > 8) return false;
    type = 0;
    for (std::size_t k = i + 1; k < close; ++k) {
      int d = HexDigit(data[k]);
      if (d < 0) return false;
      type = type * 16 + static_cast<DWORD>(d);
    }
    i = close + 1;
  }
  if (i >= data.size() || data[i] != ':') return false;
  std::string joined(data.substr(i + 1));
  // A backslash at the end of the line continues the bytes on the next line.
  for (;;) {
    std::string_view t = TrimSpaceTabCrLf(joined);
    if (t.empty() || t.back() != '\\') break;
    joined.resize(static_cast<std::size_t>(t.data() - joined.data()) + t.size() - 1);
    if (*next >= lines.size()) break;
    joined += TrimSpaceTabCrLf(lines[(*next)++]);
  }
  entry->type = type;
  return ReadHexBytes(joined, &entry->data);
}

bool ParseHeader(std::string_view line, RegSection* section) {
  std::size_t close = line.rfind(']');
  if (close == std::string_view::npos || close == 0) return false;
  std::string_view inner = line.substr(1, close - 1);
  if (!inner.empty() && inner[0] == '-') {
    section->remove = true;
    inner.remove_prefix(1);
  }
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t sep = inner.find('\\', start);
    std::string_view part =
        inner.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
    parts.push_back(part);
    if (sep == std::string_view::npos) break;
    start = sep + 1;
  }
  if (!RootFromName(parts[0], &section->root)) return false;
  if (parts.size() - 1 > kMaxDepth) return false;
  for (std::size_t k = 1; k < parts.size(); ++k) {
    if (parts[k].empty() || parts[k].size() > kMaxKeyName) return false;
    section->path.emplace_back(parts[k]);
  }
  return true;
}

void AppendQuoted(std::string_view text, std::string* out) {
  out->push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

// A REG_SZ whose text has one terminating NUL and no line breaks or NULs inside can be
// written as a quoted text; anything else keeps its exact bytes in hex(1) form.
bool IsPlainText(const std::string& data) {
  if (data.empty() || data.back() != '\0') return false;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) {
    char c = data[i];
    if (c == '\0' || c == '\r' || c == '\n') return false;
  }
  return true;
}

void AppendValue(const RegValue& v, std::string* out) {
  std::size_t lineStart = out->size();
  if (v.name.empty()) {
    out->push_back('@');
  } else {
    AppendQuoted(v.name, out);
  }
  out->push_back('=');
  if (v.type == kRegSz && IsPlainText(v.data)) {
    AppendQuoted(std::string_view(v.data.data(), v.data.size() - 1), out);
  } else if (v.type == kRegDword && v.data.size() == 4) {
    DWORD d = 0;
    for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.data[i]);
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    *out += buf;
  } else {
    char buf[24];
    if (v.type == kRegBinary) {
      *out += "hex:";
    } else {
      std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
      *out += buf;
    }
    // Lines stay within 80 columns, continued by a backslash and two blanks.
    for (std::size_t i = 0; i < v.data.size(); ++i) {
      bool last = i + 1 == v.data.size();
      std::size_t column = out->size() - lineStart;
      if (column + (last ? 2 : 3) > 79) {
        *out += "\\\r\n  ";
        lineStart = out->size() - 2;
      }
      std::snprintf(buf, sizeof buf, last ? "%02x" : "%02x,",
                    static_cast<unsigned char>(v.data[i]));
      *out += buf;
    }
  }
  *out += "\r\n";
}

}  // namespace

const char* RootName(Root root) {
  switch (root) {
    case Root::kClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case Root::kCurrentUser:
      return "HKEY_CURRENT_USER";
    case Root::kLocalMachine:
      return "HKEY_LOCAL_MACHINE";
  }
  return "";
}

bool RootFromName(std::string_view name, Root* root) {
  static const struct {
    const char* full;
    const char* brief;
    Root root;
  } kRoots[] = {{"HKEY_CLASSES_ROOT", "HKCR", Root::kClassesRoot},
                {"HKEY_CURRENT_USER", "HKCU", Root::kCurrentUser},
                {"HKEY_LOCAL_MACHINE", "HKLM", Root::kLocalMachine}};
  for (const auto& r : kRoots) {
    if (NamesEqual(name, r.full) || NamesEqual(name, r.brief)) {
      *root = r.root;
      return true;
    }
  }
  return false;
}

KeyNode* KeyNode::Child(std::string_view name) const {
  auto it = children_.find(SortKey(name));
  return it == children_.end() ? nullptr : it->second.get();
}

KeyNode* KeyNode::AddChild(std::string_view name, bool* created) {
  std::string key = SortKey(name);
  auto it = children_.find(key);
  if (created) *created = it == children_.end();
  if (it != children_.end()) return it->second.get();
  auto node = std::make_unique<KeyNode>(std::string(name));
  KeyNode* raw = node.get();
  children_.emplace(std::move(key), std::move(node));
  return raw;
}

bool KeyNode::RemoveChild(std::string_view name) { return children_.erase(SortKey(name)) > 0; }

const RegValue* KeyNode::FindValue(std::string_view name) const {
  auto it = valueIndex_.find(SortKey(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void KeyNode::SetValue(std::string_view name, DWORD type, std::string data) {
  auto [it, added] = valueIndex_.emplace(SortKey(name), values_.size());
  if (!added) {
    RegValue& v = values_[it->second];
    v.type = type;
    v.data = std::move(data);
    return;
  }
  values_.push_back(RegValue{std::string(name), type, std::move(data)});
}

bool KeyNode::DeleteValue(std::string_view name) {
  auto it = valueIndex_.find(SortKey(name));
  if (it == valueIndex_.end()) return false;
  std::size_t at = it->second;
  valueIndex_.erase(it);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(at));
  for (auto& [key, pos] : valueIndex_)
    if (pos > at) --pos;
  return true;
}

bool ParseRegText(std::string_view text, std::vector<RegSection>* sections, std::string* error) {
  sections->clear();
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines = Lines(text);
  std::size_t next = 0;
  while (next < lines.size() && TrimSpaceTabCrLf(lines[next]).empty()) ++next;
  if (next == lines.size() || TrimSpaceTabCrLf(lines[next]) != "REGEDIT4") {
    if (error) *error = "not a REGEDIT4 file";
    return false;
  }
  ++next;
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // Indexes, not pointers: the vector grows as sections are found.
  std::size_t current = kNone;  // the section values go to; none under an unreadable header
  std::size_t holder = kNone;   // the section lines that are not understood go to
  auto keep = [&](std::size_t from, std::size_t to) {
    if (holder == kNone) {
      RegSection orphan;
      orphan.orphan = true;
      sections->push_back(std::move(orphan));
      holder = sections->size() - 1;
    }
    for (std::size_t k = from; k < to; ++k) {
      (*sections)[holder].verbatim.emplace_back(lines[k]);
      if (current != kNone) (*sections)[current].raw.emplace_back(lines[k]);
    }
  };
  while (next < lines.size()) {
    std::size_t lineIndex = next;
    std::string_view line = lines[next++];
    std::size_t i = 0;
    while (i < line.size() && IsSpaceOrTab(line[i])) ++i;
    if (i == line.size()) continue;
    if (line[i] == '[') {
      RegSection section;
      if (ParseHeader(line.substr(i), &section)) {
        section.raw.emplace_back(line);
        sections->push_back(std::move(section));
        current = holder = sections->size() - 1;
      } else {
        current = holder = kNone;
        keep(lineIndex, next);  // starts an orphan section
      }
      continue;
    }
    RegEntry entry;
    bool understood = false;
    if (line[i] == '"' || line[i] == '@') {
      bool named = line[i] == '"';
      ++i;
      if (!named || (ReadQuoted(line, &i, &entry.name) && entry.name.size() <= kMaxValueName)) {
        while (i < line.size() && IsSpaceOrTab(line[i])) ++i;
        understood = i < line.size() && line[i] == '=' &&
                     ReadData(line.substr(i + 1), lines, &next, &entry);
      }
    }
    if (understood && current != kNone) {
      (*sections)[current].entries.push_back(std::move(entry));
      for (std::size_t k = lineIndex; k < next; ++k)
        (*sections)[current].raw.emplace_back(lines[k]);
    } else {
      keep(lineIndex, next);  // with any continuation lines it took
    }
  }
  return true;
}

void ApplySections(const std::vector<RegSection>& sections, Root root, KeyNode* tree,
                   bool keepVerbatim) {
  KeyNode* last = tree;  // the key whose lines came last: kept lines go under it
  auto keepOn = [&](KeyNode* key, const std::vector<std::string>& lines) {
    if (keepVerbatim)
      for (const std::string& l : lines) key->AddVerbatim(l);
  };
  for (const RegSection& s : sections) {
    if (s.orphan) {
      keepOn(last, s.verbatim);
      continue;
    }
    if (s.root != root) {
      keepOn(last, s.raw);
      continue;
    }
    if (s.remove) {
      if (!s.path.empty()) {  // A root is never removed.
        KeyNode* parent = tree;
        for (std::size_t k = 0; parent != nullptr && k + 1 < s.path.size(); ++k)
          parent = parent->Child(s.path[k]);
        if (parent != nullptr) parent->RemoveChild(s.path.back());
      }
      last = tree;  // the key it followed may be gone
      keepOn(last, s.verbatim);
      continue;
    }
    KeyNode* key = tree;
    for (const std::string& part : s.path) key = key->AddChild(part);
    for (const RegEntry& e : s.entries) {
      if (e.remove) {
        key->DeleteValue(e.name);
      } else {
        key->SetValue(e.name, e.type, e.data);
      }
    }
    keepOn(key, s.verbatim);
    last = key;
  }
}

namespace {

// withVerbatim writes the kept lines of the key's subtree; ownVerbatim those of the key itself.
void WriteKey(const KeyNode& key, const std::string& fullPath, bool withVerbatim, bool ownVerbatim,
              std::string* out) {
  *out += "[";
  *out += fullPath;
  *out += "]\r\n";
  for (const RegValue& v : key.values()) AppendValue(v, out);
  if (withVerbatim && ownVerbatim) {
    for (const std::string& line : key.verbatim()) {
      *out += line;
      *out += "\r\n";
    }
  }
  *out += "\r\n";
  for (const auto& [sortKey, child] : key.children())
    WriteKey(*child, fullPath + "\\" + child->name(), withVerbatim, true, out);
}

}  // namespace

void WriteSections(const KeyNode& key, const std::string& fullPath, std::string* out) {
  WriteKey(key, fullPath, false, false, out);
}

std::string WriteHive(const KeyNode& tree) {
  std::string out = "REGEDIT4\r\n\r\n";
  // The root's kept lines go before its header: read again, they are again lines before the
  // first section, and so come back to the same place.
  if (!tree.verbatim().empty()) {
    for (const std::string& line : tree.verbatim()) {
      out += line;
      out += "\r\n";
    }
    out += "\r\n";
  }
  WriteKey(tree, tree.name(), true, false, &out);
  return out;
}

}  // namespace halyard::registry
