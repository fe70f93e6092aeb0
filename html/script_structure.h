// The structure of a page's JavaScript as the script scanner builds it: a list of top-level
// statements (groups and function definitions), each holding runs of text and calls with their
// arguments. Every item can write itself back as text, and the written texts of the top-level
// list, in order, give back the script. A list owns its items and an item owns what it holds;
// the whole structure belongs to the scanner that built it. One thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/mfc/cstring.h"

class ScriptItem;

// A run of script text. While it is one stretch of text that stays where it is for the run's
// life (the scanner's copy of the script) it only points there; text joined to it from anywhere
// else, or changed, makes it hold a copy of its own.
class ScriptTextRun {
 public:
  ScriptTextRun() = default;
  // Copies the text.
  ScriptTextRun(const char* text, std::size_t length) : own_(text, length) {}

  std::string_view View() const {
    return data_ ? std::string_view(data_, size_) : std::string_view(own_);
  }
  bool IsEmpty() const { return data_ ? false : own_.empty(); }
  // It points at text it does not own.
  bool IsKept() const { return data_ != nullptr; }

  // Appends a copy of the text.
  void Append(const char* text, std::size_t length);
  // Appends text that stays where it is for as long as this run lives.
  void AppendKept(const char* text, std::size_t length);
  // Appends the other run's text, kept text as kept.
  void Append(const ScriptTextRun& other);
  void Assign(std::string text);
  void Clear();

 private:
  void MakeOwn();

  const char* data_ = nullptr;  // the kept text (never set for an empty run), or null
  std::size_t size_ = 0;
  std::string own_;
};

// An owning, ordered list of items. Appending follows the merging rule: a text item that
// follows a text item is joined to it.
class HALYARD_EXPORT ScriptItemList {
 public:
  ScriptItemList() = default;
  ScriptItemList(const ScriptItemList&) = delete;
  ScriptItemList& operator=(const ScriptItemList&) = delete;
  ~ScriptItemList();
  // Lists and items come from the element pool: a script has a great many of them.
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size);

  int GetCount() const { return static_cast<int>(count_); }
  bool IsEmpty() const { return count_ == 0; }
  // The item at index, or null when index is negative or not below the count.
  ScriptItem* GetAt(int index) const;
  ScriptItem* Last() const { return count_ == 0 ? nullptr : items_[count_ - 1]; }

  // Takes the item (merging it into a last text item when both are text).
  void Append(ScriptItem* item);
  // Appends a copy of a run of text (merged like a text item).
  void AppendText(const char* text, std::size_t length);
  // Moves every item of other, in order, to the end of this list (merging).
  void TakeAll(ScriptItemList& other);
  // Deletes every item.
  void Clear();

  // Appends the written text of every item, in order.
  void Write(std::string& out) const;
  void Write(CString& out) const;

 private:
  void Push(ScriptItem* item);
  void Reserve(std::size_t capacity);

  // Most lists (a call's name, an argument) hold one or two items: those stay inside the list.
  enum { kInline = 2 };
  ScriptItem** items_ = inline_;
  std::size_t count_ = 0;
  std::size_t capacity_ = kInline;
  ScriptItem* inline_[kInline] = {nullptr, nullptr};
};

class HALYARD_EXPORT ScriptItem {
 public:
  enum Kind { kText = 1, kCall = 2, kGroup = 3, kFunction = 4 };
  ScriptItem(const ScriptItem&) = delete;
  ScriptItem& operator=(const ScriptItem&) = delete;
  virtual ~ScriptItem();
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size);
  // Calls and function definitions are structured; text runs and groups are not.
  virtual BOOL IsStructured() const = 0;
  // Appends the item written as script text.
  virtual void Write(std::string& out) const = 0;
  void Write(CString& out) const;

  Kind GetKind() const { return kind_; }

 protected:
  explicit ScriptItem(Kind kind) : kind_(kind) {}

 private:
  Kind kind_;
};

// One run of script text. The items the scanner builds point into its copy of the script.
class HALYARD_EXPORT ScriptText : public ScriptItem {
 public:
  // Copies the text.
  ScriptText(const char* text, std::size_t length) : ScriptItem(kText), text_(text, length) {}
  BOOL IsStructured() const override { return FALSE; }
  void Write(std::string& out) const override { out += text_.View(); }
  std::string_view Text() const { return text_.View(); }
  ScriptTextRun& Run() { return text_; }
  const ScriptTextRun& Run() const { return text_; }

 private:
  ScriptTextRun text_;
};

// A call: its name part (what stood before "(", "obj.method" included) and its arguments, each
// a list of items. Written as the name part, "(", the arguments separated by ",", ")". A call
// the script never closed writes no ")"; a function's signature that never got its "(" writes
// its name part only.
class HALYARD_EXPORT ScriptCall : public ScriptItem {
 public:
  ScriptCall() : ScriptItem(kCall) {}
  ~ScriptCall() override;
  BOOL IsStructured() const override { return TRUE; }
  void Write(std::string& out) const override;

  ScriptItemList& NamePart() { return name_; }
  const ScriptItemList& NamePart() const { return name_; }
  int GetArgumentCount() const { return static_cast<int>(argCount_); }
  // The argument at index, or null out of range.
  ScriptItemList* GetArgument(int index) const;
  // Takes the argument as the last one.
  void AddArgument(ScriptItemList* argument);
  // The name part's text without the blanks around it.
  std::string Name() const;

  bool opened = true;   // its "(" was read
  bool closed = false;  // its ")" was read
  int depth = 1;        // 1 + the deepest nesting of calls it holds

 private:
  ScriptItemList name_;
  // Most calls have few arguments: the first two are kept inside the call.
  enum { kInlineArgs = 2 };
  ScriptItemList** args_ = argsInline_;
  std::size_t argCount_ = 0;
  std::size_t argCapacity_ = kInlineArgs;
  ScriptItemList* argsInline_[kInlineArgs] = {nullptr, nullptr};
};

// A statement container: a list of expression items.
class HALYARD_EXPORT ScriptGroup : public ScriptItem {
 public:
  ScriptGroup() : ScriptItem(kGroup) {}
  BOOL IsStructured() const override { return FALSE; }
  void Write(std::string& out) const override { items_.Write(out); }
  ScriptItemList& Items() { return items_; }
  const ScriptItemList& Items() const { return items_; }

 protected:
  explicit ScriptGroup(Kind kind) : ScriptItem(kind) {}

 private:
  ScriptItemList items_;
};

// A function definition: its head (the keyword and what stood between it and the name), its
// signature (a call whose name part is the function's name and whose arguments are its
// parameters), then its items (the body and whatever follows the parameter list up to the end of
// the statement).
class HALYARD_EXPORT ScriptFunction : public ScriptGroup {
 public:
  ScriptFunction() : ScriptGroup(kFunction) {}
  BOOL IsStructured() const override { return TRUE; }
  void Write(std::string& out) const override;
  ScriptCall* GetSignature() { return &signature_; }
  const ScriptCall* GetSignature() const { return &signature_; }
  // "function" and the blanks after it, as the script had them.
  std::string head = "function ";

 private:
  ScriptCall signature_;
};

namespace halyard::tagsmith {

// A text item of text that stays where it is for the item's life.
ScriptText* NewKeptText(const char* text, std::size_t length);
// Appends to list a run of text that stays where it is while the list lives, merged like a text
// item.
void AppendKeptText(ScriptItemList& list, const char* text, std::size_t length);
// Appends the run's text to list, kept text as kept.
void AppendRun(ScriptItemList& list, const ScriptTextRun& run);

}  // namespace halyard::tagsmith
