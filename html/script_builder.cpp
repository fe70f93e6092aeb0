#include "script_builder.h"

#include <algorithm>
#include <cstring>

#include "script_keyword_table.h"
#include "script_scanner.h"

namespace halyard::tagsmith {
namespace {

using SS = ScriptScanner;

const int kFunctionKeyword = ScriptKeywordTable::Lookup("function", 8);

int FunctionKeyword() { return kFunctionKeyword; }

bool IsOneOf(int token, int a, int b, int c = -1) { return token == a || token == b || token == c; }

// Pops entries until one of the stop classes is on top; with inclusive, that one goes too.
void PopBackTo(std::vector<int>& stack, int a, int b, int c, bool inclusive) {
  while (!stack.empty() && !IsOneOf(stack.back(), a, b, c)) stack.pop_back();
  if (inclusive && !stack.empty()) stack.pop_back();
}

}  // namespace

// The token classes the rules act on.
const ScriptBuilder::TokenSet ScriptBuilder::kWanted = [] {
  TokenSet set{};
  for (int cls : {static_cast<int>(SS::kName), static_cast<int>(SS::kLParen),
                  static_cast<int>(SS::kRParen), static_cast<int>(SS::kLBracket),
                  static_cast<int>(SS::kRBracket), static_cast<int>(SS::kRBrace),
                  static_cast<int>(SS::kComma), static_cast<int>(SS::kSemicolon), kFunctionKeyword})
    set.wanted[cls] = true;
  return set;
}();

ScriptBuilder::~ScriptBuilder() { ResetBuilding(); }

int ScriptBuilder::CallDepthOf(const ScriptItemList& list) {
  int depth = 0;
  for (int i = 0; i < list.GetCount(); ++i) {
    const ScriptItem* item = list.GetAt(i);
    if (item->GetKind() == ScriptItem::kCall)
      depth = std::max(depth, static_cast<const ScriptCall*>(item)->depth);
  }
  return depth;
}

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The length of bytes up to and including the first end tag ("</script" and a blank or ">")
// that lies whole in them, or all of them: the script cannot end later than that. (An end tag
// begun in an earlier piece ends within the first few bytes.)
std::size_t ScriptBound(const char* bytes, std::size_t length) {
  static const char kTag[] = "</script";
  constexpr std::size_t kTagLength = sizeof kTag - 1;
  for (const char* at = bytes; at < bytes + length;) {
    const auto* lt = static_cast<const char*>(
        std::memchr(at, '<', static_cast<std::size_t>(bytes + length - at)));
    if (!lt) break;
    std::size_t from = static_cast<std::size_t>(lt - bytes);
    if (length - from <= kTagLength) break;
    std::size_t i = 1;
    while (i < kTagLength && LowerAscii(lt[i]) == kTag[i]) ++i;
    char after = lt[kTagLength];
    if (i == kTagLength && (after == '>' || after == ' ' || after == '\t' || after == '\n' ||
                            after == '\r' || after == '\f'))
      return from + kTagLength + 1;
    at = lt + 1;
  }
  return length;
}

}  // namespace

const char* ScriptBuilder::Keep(const char* bytes, std::size_t length) {
  if (length == 0) return bytes;
  if (length > keptLeft_) {
    std::size_t size = std::max(length, nextKeptBlock_);
    nextKeptBlock_ = std::min<std::size_t>(nextKeptBlock_ * 2, kLastKeptBlock);
    keptBlocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    keptAt_ = keptBlocks_.back().get();
    keptLeft_ = size;
  }
  std::memcpy(keptAt_, bytes, length);
  const char* copy = keptAt_;
  keptAt_ += length;
  keptLeft_ -= length;
  return copy;
}

void ScriptBuilder::BeginPiece(const char* bytes, std::size_t length) {
  // Only the script's own text is read from the piece: tokens and the end of the script lie
  // within the bound.
  pieceLen_ = ScriptBound(bytes, length);
  piece_ = Keep(bytes, pieceLen_);
}

void ScriptBuilder::EndPiece() {
  std::size_t end = base_ + pieceLen_;
  if (pendingStart_ < end) {
    std::size_t from = std::max(pendingStart_, base_) - base_;
    carry_.append(piece_ + from, pieceLen_ - from);
  }
  base_ = end;
  pieceLen_ = 0;
  piece_ = nullptr;
}

std::string ScriptBuilder::TakeText(std::size_t end) {
  std::string text;
  if (end <= pendingStart_) return text;
  if (pendingStart_ < base_) {
    std::size_t fromCarry = std::min(end, base_) - pendingStart_;
    text.assign(carry_, 0, fromCarry);
    carry_.erase(0, fromCarry);
  }
  if (end > base_) {
    std::size_t from = std::max(pendingStart_, base_) - base_;
    std::size_t to = std::min(end - base_, pieceLen_);
    if (to > from) text.append(piece_ + from, to - from);
  }
  pendingStart_ = end;
  return text;
}

void ScriptBuilder::AddText(std::size_t end) {
  if (end <= pendingStart_) return;
  if (pendingStart_ >= base_ && end <= base_ + pieceLen_) {
    // The common case: the run lies in this piece; no copy beyond the item's own.
    run_.AppendKept(piece_ + (pendingStart_ - base_), end - pendingStart_);
    pendingStart_ = end;
    return;
  }
  std::string text = TakeText(end);
  run_.Append(text.data(), text.size());
}

void ScriptBuilder::Skip(std::size_t end) {
  if (end <= pendingStart_) return;
  if (pendingStart_ < base_) carry_.erase(0, std::min(end, base_) - pendingStart_);
  pendingStart_ = end;
}

ScriptItemList& ScriptBuilder::FlushTarget() {
  if (argumentMode_ && call_) {
    if (!argument_) argument_ = new ScriptItemList;
    return *argument_;
  }
  if (!container_) container_ = new ScriptGroup;
  return container_->Items();
}

ScriptItemList& ScriptBuilder::Pending() {
  if (!run_.IsEmpty()) {
    AppendRun(pending_, run_);
    run_.Clear();
  }
  return pending_;
}

void ScriptBuilder::FlushInto(ScriptItemList& source) {
  if (source.IsEmpty()) return;
  FlushTarget().TakeAll(source);
}

// The lists saved at "[" hold what stood before the bracket: they go first, so that nothing
// gathered inside the brackets overtakes them.
void ScriptBuilder::Flush() {
  for (ScriptItemList* saved : savedPending_) FlushInto(*saved);
  FlushInto(pending_);
  if (!run_.IsEmpty()) {
    AppendRun(FlushTarget(), run_);
    run_.Clear();
  }
}

void ScriptBuilder::TakeFlushed() {
  if (flushedTo_ <= pendingStart_) return;
  std::size_t end = flushedTo_;
  flushedTo_ = 0;
  if (pendingStart_ >= base_ && end <= base_ + pieceLen_) {
    AppendKeptText(FlushTarget(), piece_ + (pendingStart_ - base_), end - pendingStart_);
    pendingStart_ = end;
    return;
  }
  std::string text = TakeText(end);
  FlushTarget().AppendText(text.data(), text.size());
}

void ScriptBuilder::CloseContainer() {
  if (!container_) return;
  top_.Append(container_);
  container_ = nullptr;
}

void ScriptBuilder::Token(int cls, std::size_t start, std::size_t end, std::vector<int>& stack,
                          bool pushed) {
  std::size_t below = stack.size() - (pushed ? 1 : 0);
  int previous = below > 0 ? stack[below - 1] : 0;
  if (cls != SS::kName && cls != SS::kSemicolon) TakeFlushed();
  if (awaiting_ && cls != SS::kLParen) DropAwaitedSignature();
  switch (cls) {
    case SS::kName:
      OnName(start, end, previous);
      return;
    case SS::kLParen: {
      // Does a "function" keyword stand before the name, within this statement?
      bool functionBefore = false;
      for (std::size_t i = below >= 1 ? below - 1 : 0; i-- > 0;) {
        int t = stack[i];
        if (t == SS::kLBrace || t == SS::kLParen) break;
        if (t == FunctionKeyword()) {
          functionBefore = true;
          break;
        }
      }
      OnOpenParen(start, end, previous, functionBefore);
      return;
    }
    case SS::kComma:
      OnComma(start, end);
      return;
    case SS::kRParen:
      OnCloseParen(start, end, stack);
      return;
    case SS::kLBracket:
      OnOpenBracket();
      return;
    case SS::kRBracket:
      OnCloseBracket(end, stack);
      return;
    case SS::kRBrace:
      OnCloseBrace(end, stack);
      return;
    case SS::kSemicolon:
      PopBackTo(stack, SS::kLBrace, SS::kLParen, -1, false);
      return;
    default:
      if (cls == FunctionKeyword()) OnFunctionKeyword(start);
      // Operators, numbers, ".", other keywords, "{", strings and comments leave their text in
      // the pending run; it is taken with the next text added.
      return;
  }
}

void ScriptBuilder::OnName(std::size_t start, std::size_t end, int previous) {
  bool definition = previous == FunctionKeyword() && functionAtStatement_;
  std::string head;
  if (previous != SS::kDot) {
    if (definition) {
      // The pending list was flushed at the keyword: what it holds now is the keyword and the
      // blanks up to the name, the definition's head.
      TakeFlushed();
      AddText(start);
      Pending().Write(head);
      pending_.Clear();
    } else if (pending_.IsEmpty() && savedPending_.empty() && run_.IsEmpty()) {
      // The common case: nothing is pending but text, so the text before the name belongs
      // where a flush would put it. It stays in the script text until something could tell the
      // difference (TakeFlushed).
      flushedTo_ = start;
    } else {
      TakeFlushed();
      AddText(start);
      Flush();
    }
  }
  // The name joins the text that stays pending; it is taken with the next text added, which
  // comes before anything that could tell the difference (a call's name part, a flush, a
  // skipped token).
  if (!definition) return;
  AddText(end);
  functionAtStatement_ = false;
  auto* def = new ScriptFunction;
  def->head = head;
  CloseContainer();
  container_ = def;
  ScriptCall* signature = def->GetSignature();
  signature->opened = false;
  signature->NamePart().TakeAll(Pending());
  call_ = signature;
  callIsSignature_ = true;
  argument_ = nullptr;
  argumentMode_ = false;
  callDepth_ = parenDepth_ + 1;
  awaiting_ = def;
}

void ScriptBuilder::DropAwaitedSignature() {
  awaiting_ = nullptr;
  if (!callIsSignature_) return;
  call_ = nullptr;
  callIsSignature_ = false;
  argumentMode_ = false;
  callDepth_ = 0;
}

void ScriptBuilder::OnFunctionKeyword(std::size_t start) {
  AddText(start);
  Flush();
  CloseContainer();
  // The keyword's text stays in the run: a definition (a name after it, where a statement
  // may begin) takes it as its head; anywhere else it is text like any other.
  functionAtStatement_ = !call_ && parenDepth_ == 0 && bracketDepth_ == 0;
}

void ScriptBuilder::OnOpenParen(std::size_t start, std::size_t end, int previous,
                                bool functionBefore) {
  ++parenDepth_;
  if (previous != SS::kName) return;
  if (awaiting_) {
    // The parameter list of a definition.
    ScriptCall* signature = awaiting_->GetSignature();
    awaiting_ = nullptr;
    AddText(start);
    signature->NamePart().TakeAll(Pending());
    signature->opened = true;
    argumentMode_ = true;
    callDepth_ = parenDepth_;
    Skip(end);
    return;
  }
  // The parameters of a function written inside an expression: plain text, not a call.
  if (functionBefore) return;
  // Calls nest only so deep: writing and deleting the structure walk it recursively. Beyond
  // that, parentheses stay text in the call around them.
  if (contexts_.size() >= kMaxCallNesting || CallDepthOf(pending_) >= kMaxCallNesting) return;
  AddText(start);
  // What the brackets held back stands before the call's name.
  for (ScriptItemList* saved : savedPending_) FlushInto(*saved);
  if (call_) contexts_.push_back({call_, argument_, callDepth_, argumentMode_, callIsSignature_});
  auto* call = new ScriptCall;
  call->NamePart().TakeAll(Pending());
  call_ = call;
  callIsSignature_ = false;
  argument_ = nullptr;
  argumentMode_ = true;
  callDepth_ = parenDepth_;
  Skip(end);
}

void ScriptBuilder::OnComma(std::size_t start, std::size_t end) {
  if (!call_ || parenDepth_ != callDepth_) return;
  AddText(start);
  Flush();
  call_->AddArgument(argument_ ? argument_ : new ScriptItemList);
  argument_ = nullptr;
  Skip(end);
}

void ScriptBuilder::EndCall(bool closed) {
  Flush();
  if (argument_ || call_->GetArgumentCount() > 0)
    call_->AddArgument(argument_ ? argument_ : new ScriptItemList);
  argument_ = nullptr;
  call_->closed = closed;
  int depth = CallDepthOf(call_->NamePart());
  for (int i = 0; i < call_->GetArgumentCount(); ++i)
    depth = std::max(depth, CallDepthOf(*call_->GetArgument(i)));
  call_->depth = depth + 1;
  ScriptCall* finished = callIsSignature_ ? nullptr : call_;
  callIsSignature_ = false;
  if (!contexts_.empty()) {
    const CallContext& saved = contexts_.back();
    call_ = saved.call;
    argument_ = saved.argument;
    callDepth_ = saved.callDepth;
    argumentMode_ = saved.argumentMode;
    callIsSignature_ = saved.isSignature;
    contexts_.pop_back();
  } else {
    call_ = nullptr;
    argument_ = nullptr;
    callDepth_ = 0;
    argumentMode_ = false;
  }
  if (finished) Pending().Append(finished);
}

void ScriptBuilder::OnCloseParen(std::size_t start, std::size_t end, std::vector<int>& stack) {
  PopBackTo(stack, SS::kLParen, -1, -1, true);
  bool closesCall = call_ && call_->opened && parenDepth_ == callDepth_;
  if (parenDepth_ > 0) --parenDepth_;
  if (!closesCall) {
    // A parenthesis of an expression or a condition: its text stays.
    AddText(end);
    return;
  }
  AddText(start);
  EndCall(true);
  if (parenDepth_ == 0) Flush();
  Skip(end);
}

void ScriptBuilder::OnOpenBracket() {
  ++bracketDepth_;
  auto* saved = new ScriptItemList;
  saved->TakeAll(Pending());
  savedPending_.push_back(saved);
}

void ScriptBuilder::OnCloseBracket(std::size_t end, std::vector<int>& stack) {
  PopBackTo(stack, SS::kLBracket, -1, -1, true);
  if (bracketDepth_ > 0 && !savedPending_.empty()) {
    --bracketDepth_;
    ScriptItemList* saved = savedPending_.back();
    savedPending_.pop_back();
    saved->TakeAll(Pending());
    pending_.TakeAll(*saved);
    delete saved;
  }
  AddText(end);
}

void ScriptBuilder::OnCloseBrace(std::size_t end, std::vector<int>& stack) {
  PopBackTo(stack, SS::kLBrace, -1, -1, true);
  // The statement that opened the block goes with it; a block inside parentheses or
  // brackets (a function written as an argument) does not end the statement around it.
  PopBackTo(stack, SS::kLBrace, SS::kLParen, SS::kLBracket, false);
  if (!stack.empty()) return;
  AddText(end);
  UnwindCalls();
  Flush();
  CloseContainer();
}

void ScriptBuilder::UnwindCalls() {
  if (awaiting_) DropAwaitedSignature();
  while (call_) EndCall(false);
  parenDepth_ = 0;
}

void ScriptBuilder::Drop(std::size_t start, std::size_t end) {
  TakeFlushed();
  AddText(start);
  Skip(end);
}

void ScriptBuilder::EndOfScript(std::size_t end) {
  TakeFlushed();
  AddText(end);
  // Nothing after the end is script text; the next script's text continues the offsets.
  end = std::max(end, pendingStart_);
  carry_.clear();
  base_ = end;
  pieceLen_ = 0;
  piece_ = nullptr;
  pendingStart_ = end;
}

void ScriptBuilder::Finish() {
  TakeFlushed();
  AddText(Offset());
  UnwindCalls();
  Flush();
  CloseContainer();
  ResetBuilding();
  // The closing mark of an HTML comment around the script.
  auto* last = top_.Last();
  if (!last || (last->GetKind() != ScriptItem::kGroup && last->GetKind() != ScriptItem::kFunction))
    return;
  ScriptItem* item = static_cast<ScriptGroup*>(last)->Items().Last();
  if (!item || item->GetKind() != ScriptItem::kText) return;
  ScriptTextRun& run = static_cast<ScriptText*>(item)->Run();
  std::size_t at = run.View().find("-->");
  if (at == std::string_view::npos) return;
  std::string text(run.View());
  text.replace(at, 3, "   ");
  run.Assign(std::move(text));
}

void ScriptBuilder::Reset() {
  ResetBuilding();
  top_.Clear();
  keptBlocks_.clear();
  keptAt_ = nullptr;
  keptLeft_ = 0;
  nextKeptBlock_ = kFirstKeptBlock;
}

void ScriptBuilder::ResetBuilding() {
  // Containers, calls and arguments still being built belong to the builder until placed.
  if (!callIsSignature_) delete call_;
  call_ = nullptr;
  delete argument_;
  argument_ = nullptr;
  for (CallContext& c : contexts_) {
    if (!c.isSignature) delete c.call;  // a signature belongs to its definition
    delete c.argument;
  }
  contexts_.clear();
  delete container_;
  container_ = nullptr;
  pending_.Clear();
  run_.Clear();
  for (ScriptItemList* saved : savedPending_) delete saved;
  savedPending_.clear();
  carry_.clear();
  piece_ = nullptr;
  pieceLen_ = 0;
  pendingStart_ = base_;
  flushedTo_ = 0;
  argumentMode_ = callIsSignature_ = functionAtStatement_ = false;
  callDepth_ = parenDepth_ = bracketDepth_ = 0;
  awaiting_ = nullptr;
}

}  // namespace halyard::tagsmith
