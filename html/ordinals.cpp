// The library's table of exports by ordinal number (ordinals.h says how a host calls them). The
// numbers that are also exported by name give that name (mangled), so that the number and the
// name reach the same function and the table says which name each number stands for.
#include "ordinals.h"

#include <cstring>
#include <new>

#include "block_class.h"
#include "elem_kinds.h"
#include "layout.h"
#include "parser.h"
#include "platform/kernel/ordinal_exports.h"
#include "script_scanner.h"
#include "script_structure.h"
#include "tag_token.h"
#include "token_reader.h"

namespace {

// Builds T in memory, or on the heap through T's own operator new when memory is null.
template <typename T, typename... Args>
T* Construct(void* memory, Args&&... args) {
  if (memory) return ::new (memory) T(static_cast<Args&&>(args)...);
  return new T(static_cast<Args&&>(args)...);
}

Parser* ConstructParser(void* memory) { return Construct<Parser>(memory); }

Document* ConstructDocument(void* memory) { return Construct<Document>(memory); }

LayoutState* ConstructLayoutState(void* memory) { return Construct<LayoutState>(memory); }

LayoutContext* ConstructLayoutContext(void* memory, LayoutState* state, LONG pageWidth) {
  return Construct<LayoutContext>(memory, state, pageWidth);
}

int* BlockClass(int* out, const Elem* elem) {
  if (out) *out = elem ? halyard::tagsmith::BlockClassOf(elem->type) : 0;
  return out;
}

void DestroyScriptScanner(ScriptScanner* scanner) {
  if (scanner) scanner->~ScriptScanner();
}

ScriptItem* ScriptItemAt(const ScriptItemList* list, int index) {
  return list ? list->GetAt(index) : nullptr;
}

DWORD_PTR ScriptItemValueAt(const ScriptItemList* list, int index) {
  return reinterpret_cast<DWORD_PTR>(ScriptItemAt(list, index));
}

void ScriptScannerFinish(ScriptScanner* scanner) {
  if (scanner) scanner->Finish();
}

int ScriptScannerScan(ScriptScanner* scanner, const char* bytes, int length) {
  return scanner ? scanner->Scan(bytes, length) : 0;
}

ScriptScanner* ConstructScriptScanner(void* memory) { return Construct<ScriptScanner>(memory); }

int ScriptScannerReserved(ScriptScanner* scanner) { return scanner ? scanner->Reserved() : 0; }

ImageTag* ConstructImageTag(void* memory, BOOL end, const char* name) {
  if (!name) name = "IMG";
  int length = static_cast<int>(std::strlen(name));
  if (memory) return ::new (memory) ImageTag(name, length, end != FALSE);
  return new ImageTag(name, length, end != FALSE);
}

void WriteScriptItems(const ScriptItemList* list, CString* out) {
  if (list && out) list->Write(*out);
}

Elem* UnlinkElem(Elem* parent, Elem* elem) {
  return parent && elem ? parent->Unlink(elem) : nullptr;
}

void DestroyTagToken(TagToken* token) {
  if (token) token->~TagToken();
}

TagToken* ConstructTagToken(void* memory) { return Construct<TagToken>(memory); }

TokenReader* ConstructTokenReader(void* memory, CFile* stream) {
  return Construct<TokenReader>(memory, stream);
}

CString TagTokenText(const TagToken* token) { return token ? token->ToText() : CString(); }

}  // namespace

HALYARD_ORDINAL_EXPORTS = {
    HALYARD_ORDINAL(101, ConstructParser),
    HALYARD_ORDINAL(102, ConstructDocument),
    HALYARD_ORDINAL(103, ConstructLayoutState),
    HALYARD_ORDINAL(104, ConstructLayoutContext),
    HALYARD_ORDINAL(105, BlockClass),
    HALYARD_ORDINAL(106, DestroyScriptScanner),
    HALYARD_ORDINAL(107, ScriptItemAt),
    HALYARD_ORDINAL(108, ScriptItemValueAt),
    HALYARD_ORDINAL(109, ScriptScannerFinish),
    HALYARD_ORDINAL(110, ScriptScannerScan),
    HALYARD_ORDINAL(111, ConstructScriptScanner),
    HALYARD_ORDINAL_NAMED(112, "_ZN7CheckerC1Ev"),  // Checker::Checker()
    HALYARD_ORDINAL(113, ScriptScannerReserved),
    HALYARD_ORDINAL(114, ConstructImageTag),
    HALYARD_ORDINAL(115, WriteScriptItems),
    HALYARD_ORDINAL(116, UnlinkElem),
    HALYARD_ORDINAL(117, DestroyTagToken),
    HALYARD_ORDINAL(118, ConstructTagToken),
    HALYARD_ORDINAL(119, ConstructTokenReader),
    HALYARD_ORDINAL(120, TagTokenText),
    HALYARD_ORDINAL_NAMED(121, "_ZN7Parser2C1Ev"),  // Parser2::Parser2()
    // SelectorNode::SelectorNode(SelectorNode*, Token::Type, CString)
    HALYARD_ORDINAL_NAMED(122, "_ZN12SelectorNodeC1EPS_N5Token4TypeE7CString"),
    // SelectorNode::SelectorNode(Token::Type, CString)
    HALYARD_ORDINAL_NAMED(123, "_ZN12SelectorNodeC1EN5Token4TypeE7CString"),
    HALYARD_ORDINAL_NAMED(124, "_ZN8TagTokenC1ERKS_"),   // TagToken::TagToken(const TagToken&)
    HALYARD_ORDINAL_NAMED(125, "_ZN7CheckerD1Ev"),       // Checker::~Checker()
    HALYARD_ORDINAL_NAMED(126, "_ZN12SelectorNodeD1Ev"),  // SelectorNode::~SelectorNode()
    HALYARD_ORDINAL_NAMED(127, "_ZN8TagTokenaSERKS_"),   // TagToken::operator=(const TagToken&)
    HALYARD_ORDINAL_NAMED(128, "_ZN7Checker15AddCheckHandlerEv"),  // Checker::AddCheckHandler()
    HALYARD_ORDINAL_NAMED(129, "_ZN7Checker9CheckHtmlEP4Elem"),    // Checker::CheckHtml(Elem*)
    HALYARD_ORDINAL_NAMED(130, "_ZN7Checker7CleanUpEv"),           // Checker::CleanUp()
    // SelectorNode::Find(Token::Type)
    HALYARD_ORDINAL_NAMED(131, "_ZN12SelectorNode4FindEN5Token4TypeE"),
    // CheckHandler::HandleCheckError(Elem*, CheckHtml::Error)
    HALYARD_ORDINAL_NAMED(132, "_ZN12CheckHandler16HandleCheckErrorEP4ElemN9CheckHtml5ErrorE"),
    // Checker::HandleCheckError(Elem*, CheckHtml::Error)
    HALYARD_ORDINAL_NAMED(133, "_ZN7Checker16HandleCheckErrorEP4ElemN9CheckHtml5ErrorE"),
    HALYARD_ORDINAL_NAMED(134, "_Z3LogPKcz"),  // Log(const char*, ...)
    // SelectorNode::MergeProperties(CMapStringToString*)
    HALYARD_ORDINAL_NAMED(135, "_ZN12SelectorNode15MergePropertiesEP18CMapStringToString"),
    // UrlString::ParseUrl(const char*, unsigned long&, CString&, CString&, unsigned short&)
    HALYARD_ORDINAL_NAMED(136, "_ZN9UrlString8ParseUrlEPKcRjR7CStringS4_Rt"),
    HALYARD_ORDINAL_NAMED(137, "_ZN7Checker12PopContainerEv"),  // Checker::PopContainer()
    // UrlString::Relative2Absolute(const char*, const char*)
    HALYARD_ORDINAL_NAMED(138, "_ZN9UrlString17Relative2AbsoluteEPKcS1_"),
    // UrlString::Relative2Root(const char*, const char*)
    HALYARD_ORDINAL_NAMED(139, "_ZN9UrlString13Relative2RootEPKcS1_"),
    // SelectorNode::parseCSSTagParams(unsigned char**, unsigned long, CMapStringToString*)
    HALYARD_ORDINAL_NAMED(140, "_ZN12SelectorNode17parseCSSTagParamsEPPhjP18CMapStringToString"),
    HALYARD_ORDINAL_END,
};
