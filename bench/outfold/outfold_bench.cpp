// The publish view over a large host tree: 10,000 folders holding 100,000 files, one of the
// folders with 10,000 files. Filling the tree, selecting the big folder (filling and sorting
// the list), sorting it by a date, undoing a paste of 1,000 files, and painting the view.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"
#include "publishview/outfold.h"

namespace {

class BenchObject : public CPublishObject {
 public:
  BenchObject(std::string n, bool f, LONG t) : name(std::move(n)), file(f), time(t) {}
  void GetName(CString& out) override { out = name.c_str(); }
  void SetName(const CString& n) override { name = static_cast<LPCSTR>(n); }
  ChangeRecord* ShowProperties(CWnd*) override { return nullptr; }
  BYTE GetAttributes() override { return 0; }
  int GetImage(int state) override { return file ? 300 : ((state & kImageSelected) ? 201 : 200); }
  HICON GetIcon() override { return nullptr; }
  HBITMAP GetBitmap(int image) override {
    return CreateFilledBitmap(16, 16, image == 300 ? RGB(0, 0, 255) : RGB(255, 255, 0));
  }
  int GetOverlayImage(int n) override { return 400 + n; }
  BOOL CanCut() override { return TRUE; }
  BOOL CanAccept(CPublishObject*) override { return TRUE; }
  BOOL CanRename() override { return TRUE; }
  void AttachNode(CTreeNode* n) override { node = n; }
  CTreeNode* GetNode() override { return node; }
  void GetSortKey(CString& key) override { key = name.c_str(); }
  void GetTypeText(CString& text) override { text = file ? "HTML Document" : "Folder"; }
  void Destroy(int) override {}
  BOOL IsFile() override { return file; }
  CPublishObject* CreateFolder() override { return nullptr; }
  BOOL CanAddFolder() override { return FALSE; }
  LONG GetRemotePublishTime() override { return time; }
  BOOL IsChanged() override { return FALSE; }
  BOOL NeedsRemotePublish() override { return time % 3 == 0; }
  BOOL NeedsLocalPublish() override { return FALSE; }
  LONG GetLocalPublishTime() override { return time / 2; }
  void OnChange(ChangeRecord*) override {}
  void OnUndo(ChangeRecord*) override {}
  std::string name;
  bool file;
  LONG time;
  CTreeNode* node = nullptr;
};

struct World {
  halyard::testing::ScratchDir registry{"outfold-bench"};
  CWnd frame;
  CPageWnd* view = nullptr;
  std::vector<std::unique_ptr<BenchObject>> objects;
  CTreeNode* root = nullptr;
  CTreeNode* big = nullptr;
  CTreeNode* target = nullptr;
  int files = 0, folders = 0;

  BenchObject* Make(const std::string& name, bool file, CTreeNode* parent) {
    // Scattered times, some never published and some without a date.
    LONG t = file ? static_cast<LONG>((files * 7919L) % 900000000L) - 1 : 0;
    objects.push_back(std::make_unique<BenchObject>(name, file, t));
    BenchObject* o = objects.back().get();
    if (parent) o->AttachNode(new CTreeNode(o, parent));
    (file ? files : folders)++;
    return o;
  }

  World() {
    ::setenv("HALYARD_REGISTRY", registry.path().c_str(), 1);
    frame.Create("bench", WS_VISIBLE, RECT{0, 0, 1280, 800}, nullptr, 0);
    view = CreateView(frame.m_hWnd);
    view->MoveWindow(RECT{0, 0, 1280, 800});
    BenchObject* site = Make("Site", false, nullptr);
    root = AddRoot(view, site);
    // 100 folders of 99 folders each: 10,000 folders with the root; 9 files in most, and
    // 10,000 in one, 100,000 files in all.
    for (int i = 0; i < 100; ++i) {
      BenchObject* top = Make("section " + std::to_string(99 - i), false, root);
      for (int j = 0; j < 99; ++j) {
        BenchObject* f = Make("Folder " + std::to_string((j * 37) % 99), false, top->node);
        if (!big) {
          big = f->node;
          for (int k = 0; k < 10000; ++k)
            Make("page" + std::to_string((k * 7919) % 10000) + ".html", true, big);
        } else {
          for (int k = 0; k < 9; ++k) Make("p" + std::to_string(k) + ".html", true, f->node);
        }
        if (i == 50 && j == 0) target = f->node;
      }
    }
    for (int k = 0; files < 100000; ++k) Make("extra" + std::to_string(k) + ".html", true, target);
    FinishExpand(nullptr, 0);
  }
  ~World() { DestroyView(view); }
};

World& TheWorld() {
  static World world;
  return world;
}

void BM_FinishExpand(benchmark::State& state) {
  World& w = TheWorld();
  for (auto _ : state) FinishExpand(w.root, 0);
  state.counters["folders"] = w.folders;
  state.counters["files"] = w.files;
}
BENCHMARK(BM_FinishExpand)->Unit(benchmark::kMillisecond);

void BM_SelectFolderOf10000Files(benchmark::State& state) {
  World& w = TheWorld();
  for (auto _ : state) {
    w.view->SelectFolder(w.root);
    w.view->SelectFolder(w.big);  // fills and sorts the list
  }
  state.counters["rows"] = w.view->List().GetItemCount();
}
BENCHMARK(BM_SelectFolderOf10000Files)->Unit(benchmark::kMillisecond);

void BM_SortByDate(benchmark::State& state) {
  World& w = TheWorld();
  w.view->SelectFolder(w.big);
  int column = 3;
  for (auto _ : state) {
    w.view->SortList(column);
    column = column == 3 ? 4 : 3;
  }
}
BENCHMARK(BM_SortByDate)->Unit(benchmark::kMillisecond);

void BM_UndoPasteOf1000(benchmark::State& state) {
  World& w = TheWorld();
  std::vector<CTreeNode*> nodes;
  for (CTreeNode* c = w.big->m_pFirstChild; c && nodes.size() < 1000; c = c->m_pNext)
    nodes.push_back(c);
  // Each round pastes (untimed) and undoes (timed).
  for (auto _ : state) {
    state.PauseTiming();
    w.view->SelectFolder(w.target->m_pParent);
    w.view->MoveMultipleNodes(nodes, w.target->m_pParent);
    state.ResumeTiming();
    w.view->Undo();
  }
}
BENCHMARK(BM_UndoPasteOf1000)->Unit(benchmark::kMillisecond);

void BM_Paint1280x800(benchmark::State& state) {
  World& w = TheWorld();
  w.view->SelectFolder(w.big);
  w.view->List().SetFocus();
  w.view->List().SetItemState(3, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  CDC dc(1280, 800);
  for (auto _ : state) halyard::user::Painter::PaintWindow(&w.frame, dc);
}
BENCHMARK(BM_Paint1280x800)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
