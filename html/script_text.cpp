#include "script_text.h"

#include <cstring>

#include "script_scanner.h"
#include "script_structure.h"
#include "tree_text.h"

namespace halyard::tagsmith {
namespace {

void Indent(std::string& out, int level) { out.append(static_cast<std::size_t>(level) * 2, ' '); }

bool PlainName(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '$' || c == '.';
    if (!ok) return false;
  }
  return true;
}

void AppendName(std::string& out, const std::string& name) {
  if (PlainName(name))
    out += name;
  else
    AppendQuoted(out, name.data(), name.size());
}

std::string Trimmed(const ScriptItemList& list) {
  std::string text;
  list.Write(text);
  std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

void DumpList(const ScriptItemList& list, std::string& out, int level);

void DumpItem(const ScriptItem* item, std::string& out, int level) {
  Indent(out, level);
  switch (item->GetKind()) {
    case ScriptItem::kText: {
      std::string_view t = static_cast<const ScriptText*>(item)->Text();
      out += "text ";
      AppendQuoted(out, t.data(), t.size());
      out += '\n';
      return;
    }
    case ScriptItem::kCall: {
      const auto* call = static_cast<const ScriptCall*>(item);
      out += "call ";
      AppendName(out, call->Name());
      if (!call->closed) out += " unclosed";
      out += '\n';
      const ScriptItemList& name = call->NamePart();
      bool plain = true;
      for (int i = 0; i < name.GetCount(); ++i)
        if (name.GetAt(i)->GetKind() != ScriptItem::kText) plain = false;
      if (!plain) {
        Indent(out, level + 1);
        out += "name\n";
        DumpList(name, out, level + 2);
      }
      for (int i = 0; i < call->GetArgumentCount(); ++i) {
        Indent(out, level + 1);
        out += "arg " + std::to_string(i) + '\n';
        DumpList(*call->GetArgument(i), out, level + 2);
      }
      return;
    }
    case ScriptItem::kGroup:
      out += "group\n";
      DumpList(static_cast<const ScriptGroup*>(item)->Items(), out, level + 1);
      return;
    case ScriptItem::kFunction: {
      const auto* def = static_cast<const ScriptFunction*>(item);
      const ScriptCall* sig = def->GetSignature();
      out += "function ";
      AppendName(out, sig->Name());
      out += '(';
      for (int i = 0; i < sig->GetArgumentCount(); ++i) {
        if (i > 0) out += ',';
        out += Trimmed(*sig->GetArgument(i));
      }
      out += ")\n";
      DumpList(def->Items(), out, level + 1);
      return;
    }
  }
}

void DumpList(const ScriptItemList& list, std::string& out, int level) {
  for (int i = 0; i < list.GetCount(); ++i) DumpItem(list.GetAt(i), out, level);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The offset of the next "<script" start tag at or after from, or length.
std::size_t FindScriptTag(const char* page, std::size_t length, std::size_t from) {
  static const char kTag[] = "<script";
  for (std::size_t i = from; i + 7 <= length; ++i) {
    const void* lt = std::memchr(page + i, '<', length - i);
    if (!lt) break;
    i = static_cast<std::size_t>(static_cast<const char*>(lt) - page);
    if (i + 7 > length) break;
    std::size_t k = 1;
    while (k < 7 && Lower(page[i + k]) == kTag[k]) ++k;
    if (k < 7) continue;
    if (i + 7 == length) return length;
    char after = page[i + 7];
    if (after == '>' || after == ' ' || after == '\t' || after == '\r' || after == '\n') return i;
  }
  return length;
}

// Feeds text from at; returns the offset where the script ended (the "<" of its end tag) or
// length when it ran to the end.
std::size_t Feed(ScriptScanner& scanner, const char* text, std::size_t length, std::size_t at,
                 std::size_t pieceSize) {
  std::size_t step = pieceSize ? pieceSize : length - at;
  while (at < length) {
    std::size_t n = length - at < step ? length - at : step;
    long end = scanner.ScanForEnd(text + at, n);
    if (end != ScriptScanner::kGoesOn) {
      long where = static_cast<long>(at) + end;
      return where < 0 ? 0 : static_cast<std::size_t>(where);
    }
    at += n;
  }
  return length;
}

}  // namespace

void DumpScript(const ScriptItemList& list, std::string& out) { DumpList(list, out, 0); }

int ScanPageScripts(ScriptScanner& scanner, const char* page, std::size_t length,
                    std::size_t pieceSize) {
  int scripts = 0;
  std::size_t at = 0;
  while ((at = FindScriptTag(page, length, at)) < length) {
    const void* gt = std::memchr(page + at, '>', length - at);
    if (!gt) break;
    at = static_cast<std::size_t>(static_cast<const char*>(gt) - page) + 1;
    ++scripts;
    at = Feed(scanner, page, length, at, pieceSize);
    if (at < length) ++at;  // past the "<" of the end tag
  }
  return scripts;
}

std::size_t ScanScript(ScriptScanner& scanner, const char* text, std::size_t length,
                       std::size_t pieceSize) {
  return Feed(scanner, text, length, 0, pieceSize);
}

}  // namespace halyard::tagsmith
