// Checker: walks the elements that a tokenizer appended under a root and makes the sequence well
// formed (every element in a container that may hold it, start and end tags paired, the HTML,
// HEAD and BODY frame present), repairing it through a chain of CheckHandler objects, one per
// error number. The checker owns its handler chain and its container stack (which points into
// the tree, never owning it); the tree stays the root owner's. One thread at a time.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class Elem;
class Tag;
class Checker;

// The error numbers of the checker; 1 means the element is in order.
struct HALYARD_EXPORT CheckHtml {
  enum Error : int {
    kInOrder = 1,
    kPcdata = 2,
    kInline = 3,
    kOutsideHtml = 4,
    kHtml = 5,
    kHead = 6,
    kBodyContent = 7,
    kFlow = 8,
    kDefinitionList = 9,
    kAnchor = 10,
    kForm = 11,
    kParagraph = 14,
    kPreformatted = 15,
    kSelect = 16,
    kList = 17,
    kTable = 18,
    kRow = 19,
    kMap = 20,
    kEmpty = 21,
    kDelete = 22,
  };
};

// One link of the repair chain: handles the error number it was built for and passes any other
// to the next link. Each handler writes its error line and one correction line to the trace and
// returns the element the walk checks next (null: the list being walked is done).
class HALYARD_EXPORT CheckHandler {
 public:
  using Repair = Elem* (Checker::*)(Elem* e);
  // error 0 makes the last handler, which takes any number.
  CheckHandler(Checker* checker, int error, Repair repair, CheckHandler* next);
  CheckHandler(const CheckHandler&) = delete;
  CheckHandler& operator=(const CheckHandler&) = delete;
  virtual ~CheckHandler();
  virtual Elem* HandleCheckError(Elem* e, CheckHtml::Error error);

  CheckHandler* next;
  int error;
  Checker* checker;

 private:
  Repair repair_;
};

class HALYARD_EXPORT Checker {
 public:
  enum : LONG { kCorrectionLimit = 4096 };

  Checker();
  Checker(const Checker&) = delete;
  Checker& operator=(const Checker&) = delete;
  // Pops every container, then deletes the handler chain.
  virtual ~Checker();

  // Builds the chain: one handler for each of the errors 2 to 11 and 14 to 22, then the last
  // handler, which takes any number. A chain built before is replaced.
  void AddCheckHandler();
  // Checks and repairs the root's children (and theirs); returns null when done. Throws the int
  // -1 when the checker's corrections pass kCorrectionLimit over its whole life.
  Elem* CheckHtml(Elem* root);
  // Hands an error to the chain; null when there is no chain.
  virtual Elem* HandleCheckError(Elem* e, ::CheckHtml::Error error);
  // Removes and returns the innermost open container, null when none.
  Tag* PopContainer();
  // Pops every container; called between documents. Flags and the count stay.
  void CleanUp();

  // Corrections made over the checker's life.
  LONG GetCorrectionCount() const { return corrections_; }
  // End tags that the walk added at the end of a list for containers whose end tag may not be
  // left out (those of BODY, HTML, P, LI and the like are not counted).
  LONG GetClosedAtEndCount() const { return closedAtEnd_; }
  // When set, every line the checker writes to the trace is also appended here, whether or not
  // the trace is on.
  void SetTraceSink(std::vector<std::string>* sink) { sink_ = sink; }
  std::size_t GetOpenContainerCount() const { return stack_.size(); }

  // Correction switches (non-zero is on).
  DWORD closeImplied = 0;      // first close open containers whose end tag may be left out
  DWORD moveIllegalAfter = 0;  // prefer moving the offending element behind the container
  DWORD endAndResume = 1;      // end an inline container before the element, open it after
  DWORD addListItem = 0;       // wrap stray list content in LI
  DWORD addOption = 1;         // wrap stray SELECT content in OPTION
  DWORD addRowOrCell = 0;      // wrap stray table content in TR or TD
  DWORD removeIllegal = 1;     // delete what a text-only container may not hold
  DWORD unusedSwitch1 = 1, unusedSwitch2 = 1, unusedSwitch3 = 1;  // consulted by no rule

  // Open-element flags.
  DWORD anchorOpen = 0;
  DWORD formOpen = 0;
  DWORD htmlSeen = 0;
  DWORD preformattedOpen = 0;
  DWORD paragraphOpen = 0;  // set by callers only

  // The repairs, one per error number; handlers call them. Each returns the element to check
  // next in the list being walked.
  Elem* RepairPcdata(Elem* e);
  Elem* RepairInline(Elem* e);
  Elem* RepairOutsideHtml(Elem* e);
  Elem* RepairHtml(Elem* e);
  Elem* RepairHead(Elem* e);
  Elem* RepairBodyContent(Elem* e);
  Elem* RepairFlow(Elem* e);
  Elem* RepairDefinitionList(Elem* e);
  Elem* RepairAnchor(Elem* e);
  Elem* RepairForm(Elem* e);
  Elem* RepairParagraph(Elem* e);
  Elem* EndSelfOrMove(Elem* e, Tag* c, int self, const char* correction);
  Elem* RepairPreformatted(Elem* e);
  Elem* RepairSelect(Elem* e);
  Elem* RepairList(Elem* e);
  Elem* RepairTable(Elem* e);
  Elem* RepairRow(Elem* e);
  Elem* RepairMap(Elem* e);
  Elem* RepairEmpty(Elem* e);
  Elem* RepairDelete(Elem* e);
  Elem* RepairUnhandled(Elem* e);

  // Writes one trace line (printf format) to the trace and the sink.
  void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  // The check of one element: 1 or an error number.
  int Check(Elem* e);
  int CheckEndTag(Elem* e);
  int FlagRule(Elem* e) const;
  void Push(Tag* t);
  // Removes the innermost entry, clearing the flag of an A, FORM or PRE so closed.
  Tag* Pop();
  Tag* Top() const { return stack_.empty() ? nullptr : stack_.back(); }
  // At the end of a list: containers opened in it (and the list's own element) get end tags.
  void CloseAtEnd(Elem* list);

  // Corrections shared by the handlers; C is the innermost container.
  Elem* AddEndTag(Elem* e);
  Elem* Remove(Elem* e);
  // E's extent (or e..last) moves just after C's end; the trace line names C's type.
  Elem* MoveBehind(Elem* e, const char* line = nullptr, Elem* last = nullptr);
  Elem* MoveEndBefore(Elem* e);
  Elem* EndAndResume(Elem* e);
  Elem* ListLike(Elem* e, int error, int item, DWORD wrapSwitch);
  // Puts a start tag of the type before first and its end tag after last; returns the start.
  Elem* Wrap(Elem* first, Elem* last, int type);
  bool ReopenBefore(Elem* e, Elem* before, int type, std::initializer_list<int> stops);
  bool MoveBeforeBody(Elem* e);
  void CloseAt(Elem* e, Tag* anchor);

  CheckHandler* handlers_ = nullptr;
  std::vector<Tag*> stack_;  // innermost last
  LONG corrections_ = 0;
  LONG closedAtEnd_ = 0;
  int error_ = 0;  // the error being handled, for the last handler's line
  std::vector<std::string>* sink_ = nullptr;
};
