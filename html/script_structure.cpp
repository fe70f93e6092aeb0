#include "script_structure.h"

#include "elem_pool.h"

namespace {

void AppendToCString(CString& out, const std::string& text) {
  if (!text.empty()) out += CString(text.data(), static_cast<int>(text.size()));
}

}  // namespace

ScriptItemList::~ScriptItemList() { Clear(); }

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
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) return nullptr;
  return items_[static_cast<std::size_t>(index)];
}

void ScriptItemList::Append(ScriptItem* item) {
  if (!item) return;
  if (item->GetKind() == ScriptItem::kText && !items_.empty() &&
      items_.back()->GetKind() == ScriptItem::kText) {
    static_cast<ScriptText*>(items_.back())->Text() += static_cast<ScriptText*>(item)->Text();
    delete item;
    return;
  }
  items_.push_back(item);
}

void ScriptItemList::AppendText(const char* text, std::size_t length) {
  if (length == 0) return;
  if (!items_.empty() && items_.back()->GetKind() == ScriptItem::kText) {
    static_cast<ScriptText*>(items_.back())->Text().append(text, length);
    return;
  }
  items_.push_back(new ScriptText(text, length));
}

void ScriptItemList::TakeAll(ScriptItemList& other) {
  if (&other == this || other.items_.empty()) return;
  std::size_t first = 0;
  if (!items_.empty()) {
    Append(other.items_[0]);  // the one place where two text runs can meet
    first = 1;
  }
  items_.insert(items_.end(), other.items_.begin() + static_cast<std::ptrdiff_t>(first),
                other.items_.end());
  other.items_.clear();
}

void ScriptItemList::Clear() {
  for (ScriptItem* item : items_) delete item;
  items_.clear();
}

void ScriptItemList::Write(std::string& out) const {
  for (const ScriptItem* item : items_) item->Write(out);
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
  for (ScriptItemList* arg : args_) delete arg;
}

ScriptItemList* ScriptCall::GetArgument(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= args_.size()) return nullptr;
  return args_[static_cast<std::size_t>(index)];
}

void ScriptCall::AddArgument(ScriptItemList* argument) {
  if (argument) args_.push_back(argument);
}

void ScriptCall::Write(std::string& out) const {
  name_.Write(out);
  if (!opened) return;
  out += '(';
  for (std::size_t i = 0; i < args_.size(); ++i) {
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
