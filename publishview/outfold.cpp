#include "outfold.h"

namespace {
CPageWnd* g_view = nullptr;
}  // namespace

struct ChangeIterator {
  int index;
};

CPageWnd* GetView() { return g_view; }

CPageWnd* CreateView(HWND parent) {
  if (g_view) return g_view;
  CWnd* p = CWnd::FromHandle(parent);
  if (!p) return nullptr;
  auto* view = new CPageWnd;
  if (!view->CreateView(p)) {
    delete view;
    return nullptr;
  }
  g_view = view;
  return view;
}

void DestroyView(CPageWnd* view) {
  if (!view || view != g_view) return;
  g_view = nullptr;
  delete view;
}

CTreeNode* AddRoot(CPageWnd* view, CPublishObject* object) {
  if (!g_view || view != g_view || !object) return nullptr;
  return g_view->AddRoot(object);
}

CPublishObject* FindRoot(CString key) { return g_view ? g_view->FindRoot(key) : nullptr; }

void FinishExpand(CTreeNode* node, int) {
  if (!g_view) return;
  if (node && !CTreeNode::IsLive(node)) return;
  g_view->FinishExpand(node);
}

void Reset(CPageWnd* view) {
  if (g_view && view == g_view) g_view->Reset();
}

void undo() {
  if (g_view) g_view->Undo();
}

void redo() {
  if (g_view) g_view->Redo();
}

int canundo() { return g_view ? g_view->CanUndo() : 0; }

int canredo() { return g_view ? g_view->CanRedo() : 0; }

ChangeRecord* GetPreviousChange(ChangeIterator*& iterator) {
  if (!g_view) {
    delete iterator;
    iterator = nullptr;
    return nullptr;
  }
  ChangeStack& stack = g_view->Changes();
  if (!iterator) iterator = new ChangeIterator{stack.Position()};
  while (--iterator->index >= 0) {
    ChangeRecord* r = stack.At(iterator->index);
    if (r && r->m_nKind != kChangeGroupStart && r->m_nKind != kChangeGroupEnd) return r;
  }
  delete iterator;
  iterator = nullptr;
  return nullptr;
}

void OutfoldCut() {
  if (g_view) g_view->Cut();
}

int CanOutfoldCut() { return g_view ? g_view->CanCut() : 0; }

void OutfoldPaste() {
  if (g_view) g_view->Paste();
}

int CanOutfoldPaste() { return g_view ? g_view->CanPaste() : 0; }

void AddNewFolder() {
  if (g_view) g_view->AddNewFolder(false, true);
}

int CanAddNewFolder() { return g_view ? g_view->CanAddNewFolder() : 0; }

void DeleteSelectedFolder() {
  if (g_view) g_view->DeleteSelectedFolder();
}

int CanDeleteSelectedFolder() { return g_view ? g_view->CanDeleteSelectedFolder() : 0; }

void Rename() {
  if (g_view) g_view->Rename();
}

int CanRename() { return g_view ? g_view->CanRename() : 0; }

void ShowProperties() {
  if (g_view) g_view->ShowProperties();
}

int CanShowProperties() { return g_view ? 1 : 0; }

void ResetDateColumns() {
  if (g_view) g_view->ResetDateColumns();
}

int PassOnDeleteKey(UINT msg, WPARAM wParam, LPARAM lParam) {
  return g_view ? g_view->PassOnDeleteKey(msg, wParam, lParam) : 0;
}

HRESULT DllGetClassObject(REFCLSID, REFIID, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DllCanUnloadNow() { return g_view ? S_FALSE : S_OK; }

HRESULT DllRegisterServer() { return S_OK; }
