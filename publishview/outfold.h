// The library's exported functions. They act on the one view of the process (CreateView makes
// it, DestroyView ends it) and do nothing, or answer 0 or null, while there is none; nodes
// handed in are checked, so a null or stale node is refused. The view's thread only.
#pragma once

#include "change_record.h"
#include "page_wnd.h"
#include "platform/kernel/export.h"
#include "platform/mfc/cstring.h"
#include "platform/ole/guid.h"
#include "platform/ole/hresult.h"
#include "publish_object.h"
#include "tree_node.h"

// A position in the change stack for GetPreviousChange; made by its first call.
struct ChangeIterator;

HALYARD_EXPORT CPageWnd* CreateView(HWND parent);
HALYARD_EXPORT void DestroyView(CPageWnd* view);
HALYARD_EXPORT CTreeNode* AddRoot(CPageWnd* view, CPublishObject* object);
HALYARD_EXPORT CPublishObject* FindRoot(CString key);
// The value is not used; it is kept for the callers that pass it.
HALYARD_EXPORT void FinishExpand(CTreeNode* node, int value);
HALYARD_EXPORT void Reset(CPageWnd* view);
HALYARD_EXPORT void undo();
HALYARD_EXPORT void redo();
HALYARD_EXPORT int canundo();
HALYARD_EXPORT int canredo();
HALYARD_EXPORT ChangeRecord* GetPreviousChange(ChangeIterator*& iterator);
HALYARD_EXPORT void OutfoldCut();
HALYARD_EXPORT int CanOutfoldCut();
HALYARD_EXPORT void OutfoldPaste();
HALYARD_EXPORT int CanOutfoldPaste();
HALYARD_EXPORT void AddNewFolder();
HALYARD_EXPORT int CanAddNewFolder();
HALYARD_EXPORT void DeleteSelectedFolder();
HALYARD_EXPORT int CanDeleteSelectedFolder();
HALYARD_EXPORT void Rename();
HALYARD_EXPORT int CanRename();
HALYARD_EXPORT void ShowProperties();
HALYARD_EXPORT int CanShowProperties();
HALYARD_EXPORT void ResetDateColumns();
HALYARD_EXPORT int PassOnDeleteKey(UINT msg, WPARAM wParam, LPARAM lParam);
// The current view, null when there is none.
HALYARD_EXPORT CPageWnd* GetView();

// The in-process server's entry points: the library serves no classes through COM.
extern "C" HALYARD_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
extern "C" HALYARD_EXPORT HRESULT DllCanUnloadNow();
extern "C" HALYARD_EXPORT HRESULT DllRegisterServer();
