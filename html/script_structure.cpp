#include "script_structure.h"

#include <utility>

#include "elem_pool.h"

namespace {

void AppendToCString(CString& out, const std::string& text) {
  if (!text.empty()) out += CString(text.data(), static_cast<int>(text.size()));
}

}  // namespace

void ScriptTextRun::MakeOwn() {
  if (!data_) return;
  own_.assign(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

void ScriptTextRun::Append(const char* text, std::size_t length) {
  if (length == 0) return;
  MakeOwn();
  own_.append(text, length);
}

void ScriptTextRun::AppendKept(const char* text, std::size_t length) {
  if (length == 0) return;
  if (data_) {
    if (data_ + size_ == text) {  // the next stretch of the same text
      size_ += length;
      return;
    }
    MakeOwn();
  } else if (own_.empty()) {
    data_ = text;
    size_ = length;
    return;
  }
  own_.append(text, length);
}

void ScriptTextRun::Append(const ScriptTextRun& other) {
  if (other.data_)
    AppendKept(other.data_, other.size_);
  else
    Append(other.own_.data(), other.own_.size());
}

void ScriptTextRun::Assign(std::string text) {
  data_ = nullptr;
  size_ = 0;
  own_ = std::move(text);
}

void ScriptTextRun::Clear() {
  data_ = nullptr;
  size_ = 0;
  own_.clear();
}

ScriptItemList::~ScriptItemList() {
  Clear();
  if (items_ != inline_) delete[] items_;
}

void* ScriptItemList::operator new(std::size_t size) {
  return halyard::tagsmith::AllocateElem(size);
}

void ScriptItemList::operator delete(void* p, std::size_t size) {
  halyard::tagsmith::FreeElem(p, size);
}

void* ScriptItem::operator new(std::size_t size) { return halyard::tagsmith::AllocateElem(size); }

void ScriptItem::operator delete(void* p, std::size_t size) {
  halyard::tagsmith::FreeElem(p, size);
}

ScriptItem* ScriptItemList::GetAt(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= count_) return nullptr;
  return items_[static_cast<std::size_t>(index)];
}

void ScriptItemList::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  std::size_t grown = capacity_ * 2 > capacity ? capacity_ * 2 : capacity;
  auto** bigger = new ScriptItem*[grown];
  for (std::size_t i = 0; i < count_; ++i) bigger[i] = items_[i];
  if (items_ != inline_) delete[] items_;
  items_ = bigger;
  capacity_ = grown;
}

void ScriptItemList::Push(ScriptItem* item) {
  if (count_ == capacity_) Reserve(count_ + 1);
  items_[count_++] = item;
}

void ScriptItemList::Append(ScriptItem* item) {
  if (!item) return;
  ScriptItem* last = Last();
  if (item->GetKind() == ScriptItem::kText && last && last->GetKind() == ScriptItem::kText) {
    static_cast<ScriptText*>(last)->Run().Append(static_cast<ScriptText*>(item)->Run());
    delete item;
    return;
  }
  Push(item);
}

void ScriptItemList::AppendText(const char* text, std::size_t length) {
  if (length == 0) return;
  ScriptItem* last = Last();
  if (last && last->GetKind() == ScriptItem::kText) {
    static_cast<ScriptText*>(last)->Run().Append(text, length);
    return;
  }
  Push(new ScriptText(text, length));
}

void ScriptItemList::TakeAll(ScriptItemList& other) {
  if (&other == this || other.count_ == 0) return;
  std::size_t first = 0;
  if (count_ > 0) {
    Append(other.items_[0]);  // the one place where two text runs can meet
    first = 1;
  }
  Reserve(count_ + other.count_ - first);
  for (std::size_t i = first; i < other.count_; ++i) items_[count_++] = other.items_[i];
  other.count_ = 0;
}

void ScriptItemList::Clear() {
  for (std::size_t i = 0; i < count_; ++i) delete items_[i];
  count_ = 0;
}

void ScriptItemList::Write(std::string& out) const {
  for (std::size_t i = 0; i < count_; ++i) items_[i]->Write(out);
}

void ScriptItemList::Write(CString& out) const {
  std::string text;
  Write(text);
  AppendToCString(out, text);
}

ScriptItem::~ScriptItem() = default;

void ScriptItem::Write(CString& out) const {
  std::string text;
  Write(text);
  AppendToCString(out, text);
}

ScriptCall::~ScriptCall() {
  for (std::size_t i = 0; i < argCount_; ++i) delete args_[i];
  if (args_ != argsInline_) delete[] args_;
}

ScriptItemList* ScriptCall::GetArgument(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= argCount_) return nullptr;
  return args_[static_cast<std::size_t>(index)];
}

void ScriptCall::AddArgument(ScriptItemList* argument) {
  if (!argument) return;
  if (argCount_ == argCapacity_) {
    auto** bigger = new ScriptItemList*[argCapacity_ * 2];
    for (std::size_t i = 0; i < argCount_; ++i) bigger[i] = args_[i];
    if (args_ != argsInline_) delete[] args_;
    args_ = bigger;
    argCapacity_ *= 2;
  }
  args_[argCount_++] = argument;
}

void ScriptCall::Write(std::string& out) const {
  name_.Write(out);
  if (!opened) return;
  out += '(';
  for (std::size_t i = 0; i < argCount_; ++i) {
    if (i > 0) out += ',';
    args_[i]->Write(out);
  }
  if (closed) out += ')';
}

std::string ScriptCall::Name() const {
  std::string text;
  name_.Write(text);
  std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  std::size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

void ScriptFunction::Write(std::string& out) const {
  out += head;
  signature_.Write(out);
  Items().Write(out);
}

namespace halyard::tagsmith {

ScriptText* NewKeptText(const char* text, std::size_t length) {
  auto* item = new ScriptText(text, 0);
  item->Run().AppendKept(text, length);
  return item;
}

void AppendKeptText(ScriptItemList& list, const char* text, std::size_t length) {
  if (length == 0) return;
  ScriptItem* last = list.Last();
  if (last && last->GetKind() == ScriptItem::kText) {
    static_cast<ScriptText*>(last)->Run().AppendKept(text, length);
    return;
  }
  list.Append(NewKeptText(text, length));
}

void AppendRun(ScriptItemList& list, const ScriptTextRun& run) {
  if (run.IsEmpty()) return;
  std::string_view text = run.View();
  if (run.IsKept())
    AppendKeptText(list, text.data(), text.size());
  else
    list.AppendText(text.data(), text.size());
}

}  // namespace halyard::tagsmith
