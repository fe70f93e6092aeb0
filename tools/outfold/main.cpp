// outfold: the publish structure view over a folder on disk, without a display. It prints the
// tree and the list as the view shows them, runs a script of user actions against the view
// (moving, renaming, creating and deleting folders on disk, with undo and redo), and paints the
// view into a PNG picture.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/text.h"
#include "platform/user/gdi.h"
#include "publishview/folder_host.h"
#include "publishview/outfold.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using namespace halyard::tool;
using halyard::outfold::FolderHost;
using halyard::outfold::FolderObject;

const char kUsageText[] =
    "usage: outfold show DIR [--select PATH]\n"
    "       outfold run DIR SCRIPT [--show]\n"
    "       outfold render DIR OUT.png [--size WxH] [--select PATH]\n"
    "       outfold --help | --version\n"
    "\n"
    "show    prints the folder tree under DIR (folders only, two blanks more per level), an\n"
    "        empty line, and the list of the selected folder (DIR itself unless --select\n"
    "        names a folder under it): one row a line, the columns Name, Type, Attributes,\n"
    "        Last Remote Publish and Last Local Publish separated by tabs.\n"
    "run     runs SCRIPT (a file, - for standard input) against the view over DIR, one\n"
    "        action a line, and prints each line with \"->\" and what it answered:\n"
    "          select PATH          selects the folder in the tree (and focuses the tree)\n"
    "          list NAME...         selects those rows of the list (and focuses the list)\n"
    "          cut | paste | delete | undo | redo | key delete\n"
    "          new-folder           a new folder under the selected one (in the list when\n"
    "                               the list has the focus); answers its name\n"
    "          rename NAME          renames the focused selection\n"
    "          drag PATH PATH       drags the first onto the second folder\n"
    "          sort COLUMN          0 to 4, or name, type, attributes, remote, local\n"
    "        Changes happen on disk and undo puts them back. With --show the tree and the\n"
    "        list follow each action. Blank lines and lines starting # are skipped.\n"
    "render  paints the view (800x600 unless --size) into OUT.png.\n"
    "\n"
    "Publish times and the \"not published\" flag come from DIR.outfold beside DIR (lines of\n"
    "remote time, local time, D or -, and a path under DIR). The view keeps its column\n"
    "widths and splitter position in the registry.\n"
    "\n"
    "exit status: 0 done, 1 DIR is no folder, a path names nothing or a script line is not\n"
    "             understood, 2 bad usage, 3 the script or the picture cannot be read or\n"
    "             written.\n";

// The view in a headless frame over the folder.
struct Session {
  CWnd frame;
  CPageWnd* view = nullptr;
  std::unique_ptr<FolderHost> host;
  std::string error;

  bool Open(const std::string& dir, int width, int height) {
    if (!frame.Create("outfold", WS_VISIBLE, RECT{0, 0, width, height}, nullptr, 0)) return false;
    view = CreateView(frame.m_hWnd);
    if (!view) {
      error = "cannot create the view";
      return false;
    }
    view->MoveWindow(RECT{0, 0, width, height});
    host = std::make_unique<FolderHost>(dir);
    if (!host->Load(&error)) return false;
    host->Attach(view);
    return true;
  }
  ~Session() { DestroyView(view); }

  CTreeNode* Node(const std::string& path) {
    FolderObject* o = host->Find(path);
    return o ? o->GetNode() : nullptr;
  }
  bool Select(const std::string& path) {
    CTreeNode* n = Node(path);
    if (!n || !view->SelectFolder(n)) return false;
    view->Tree().SetFocus();
    return true;
  }
};

void TreeLines(CTreeCtrl& tree, HTREEITEM item, int depth, std::string& out) {
  for (; item; item = tree.GetNextSiblingItem(item)) {
    out.append(static_cast<size_t>(depth) * 2, ' ');
    out += tree.GetItemText(item);
    out += '\n';
    TreeLines(tree, tree.GetChildItem(item), depth + 1, out);
  }
}

std::string Picture(Session& s) {
  std::string out;
  TreeLines(s.view->Tree(), s.view->Tree().GetRootItem(), 0, out);
  out += '\n';
  CListCtrl& list = s.view->List();
  for (int i = 0; i < list.GetItemCount(); ++i) {
    for (int c = 0; c < CPageWnd::kColumns; ++c) {
      if (c) out += '\t';
      out += list.GetItemText(i, c);
    }
    out += '\n';
  }
  return out;
}

// Options after the positional arguments: --select PATH, --size WxH, --show.
struct Options {
  std::vector<std::string> args;
  std::string select;
  int width = 800, height = 600;
  bool show = false;
};

bool ParseOptions(int argc, char** argv, Options& o, bool allowSelect, bool allowSize,
                  bool allowShow, std::string& why) {
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--select" && allowSelect) {
      if (++i >= argc) return why = "--select needs a path", false;
      o.select = argv[i];
    } else if (a == "--size" && allowSize) {
      if (++i >= argc) return why = "--size needs WxH", false;
      int w = 0, h = 0;
      char x = 0, extra = 0;
      if (std::sscanf(argv[i], "%d%c%d%c", &w, &x, &h, &extra) != 3 || (x != 'x' && x != 'X') ||
          w < 100 || h < 60 || w > 8192 || h > 8192)
        return why = std::string("bad size ") + argv[i] + " (WxH, 100x60 to 8192x8192)", false;
      o.width = w;
      o.height = h;
    } else if (a == "--show" && allowShow) {
      o.show = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return why = "unknown option " + a, false;
    } else {
      o.args.push_back(a);
    }
  }
  return true;
}

int Show(int argc, char** argv) {
  Options o;
  std::string why;
  if (!ParseOptions(argc, argv, o, true, false, false, why)) return UsageError(why);
  if (o.args.size() != 1) return UsageError("show takes one folder");
  Session s;
  if (!s.Open(o.args[0], o.width, o.height)) return Fail(kExitFailed, s.error);
  if (!o.select.empty() && !s.Select(o.select))
    return Fail(kExitFailed, "no folder " + Quote(o.select));
  return WriteOutput(Picture(s));
}

bool ParseColumn(const std::string& word, int& column) {
  static const char* kNames[] = {"name", "type", "attributes", "remote", "local"};
  for (int i = 0; i < 5; ++i)
    if (word == std::to_string(i) || halyard::EqualsNoCaseAscii(word, kNames[i])) {
      column = i;
      return true;
    }
  return false;
}

// Runs one script line; false when it is not understood (why in answer).
bool RunLine(Session& s, const std::vector<std::string>& w, std::string& answer) {
  CPageWnd& v = *s.view;
  auto done = [&](BOOL ok) {
    answer = ok ? "ok" : "refused";
    return true;
  };
  const std::string& verb = w[0];
  if (verb == "select" && w.size() >= 2) {
    // The rest of the line is the path, which may hold blanks.
    std::string path = w[1];
    for (size_t i = 2; i < w.size(); ++i) path += " " + w[i];
    if (!s.Node(path)) return answer = "no such folder " + Quote(path), false;
    return done(s.Select(path));
  }
  if (verb == "list" && w.size() >= 2) {
    CListCtrl& list = v.List();
    list.SetFocus();
    list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (size_t i = 1; i < w.size(); ++i) {
      int row = -1;
      for (int r = 0; r < list.GetItemCount(); ++r)
        if (list.GetItemText(r, 0) == w[i]) row = r;
      if (row < 0) return answer = "no row " + Quote(w[i]), false;
      list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    return done(TRUE);
  }
  if (w.size() == 1) {
    if (verb == "cut") return done(v.Cut());
    if (verb == "paste") return done(v.Paste());
    if (verb == "delete") return done(v.DeleteSelectedFolder());
    if (verb == "undo" || verb == "redo") {
      BOOL can = verb == "undo" ? v.CanUndo() != 0 : v.CanRedo();
      if (verb == "undo")
        v.Undo();
      else
        v.Redo();
      return done(can);
    }
    if (verb == "new-folder") {
      CWnd* focus = CWnd::GetFocus();
      bool inList = focus == &v.List();
      int before = v.Changes().Count();
      if (!v.AddNewFolder(inList, false)) return done(FALSE);
      ChangeRecord* r = v.Changes().At(before);
      CString name;
      if (r && r->m_pObject) r->m_pObject->GetName(name);
      answer = Quote(static_cast<LPCSTR>(name));
      return true;
    }
  }
  if (verb == "key" && w.size() == 2 && halyard::EqualsNoCaseAscii(w[1], "delete")) {
    int before = v.Changes().Count();
    BOOL taken = v.PassOnDeleteKey(WM_KEYDOWN, VK_DELETE, 0);
    answer = !taken                          ? "not taken"
             : v.Changes().Count() != before ? "deleted"
                                             : "taken, nothing deleted";
    return true;
  }
  if (verb == "rename" && w.size() == 2) {
    std::vector<CTreeNode*> nodes = v.FocusedSelection();
    if (nodes.size() != 1) return done(FALSE);
    return done(v.RenameNode(nodes.front(), CString(w[1].c_str())));
  }
  if (verb == "drag" && w.size() == 3) {
    CTreeNode* from = s.Node(w[1]);
    CTreeNode* to = s.Node(w[2]);
    if (!from) return answer = "no such path " + Quote(w[1]), false;
    if (!to) return answer = "no such folder " + Quote(w[2]), false;
    CTreeNode* shown = v.SelectedFolder();
    BOOL ok = v.MoveNode(from, to);
    v.FillList(shown && CTreeNode::IsLive(shown) ? shown : v.SelectedFolder());
    return done(ok);
  }
  if (verb == "sort" && w.size() == 2) {
    int column = 0;
    if (!ParseColumn(w[1], column)) return answer = "no column " + Quote(w[1]), false;
    v.SortList(column);
    return done(TRUE);
  }
  answer = "not understood";
  return false;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

int Run(int argc, char** argv) {
  Options o;
  std::string why;
  if (!ParseOptions(argc, argv, o, false, false, true, why)) return UsageError(why);
  if (o.args.size() != 2) return UsageError("run takes a folder and a script");
  std::ifstream file;
  std::istream* in = &std::cin;
  if (o.args[1] != "-") {
    file.open(o.args[1]);
    if (!file) return CannotRead(o.args[1], errno);
    in = &file;
  }
  Session s;
  if (!s.Open(o.args[0], o.width, o.height)) return Fail(kExitFailed, s.error);
  int rc = kExitOk;
  std::string line;
  int number = 0;
  while (std::getline(*in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> words = Words(line);
    if (words.empty() || words[0][0] == '#') continue;
    std::string answer;
    if (!RunLine(s, words, answer)) {
      rc = Fail(kExitFailed, "line " + std::to_string(number) + ": " + answer);
      continue;
    }
    std::string out = line + " -> " + answer + "\n";
    for (const std::string& e : s.host->TakeErrors()) out += "  disk: " + e + "\n";
    if (o.show) out += Picture(s) + "\n";
    if (int w = WriteOutput(out)) return w;
  }
  if (in->bad()) return CannotRead(o.args[1], EIO);
  return rc;
}

int Render(int argc, char** argv) {
  Options o;
  std::string why;
  if (!ParseOptions(argc, argv, o, true, true, false, why)) return UsageError(why);
  if (o.args.size() != 2) return UsageError("render takes a folder and a picture file");
  Session s;
  if (!s.Open(o.args[0], o.width, o.height)) return Fail(kExitFailed, s.error);
  if (!o.select.empty() && !s.Select(o.select))
    return Fail(kExitFailed, "no folder " + Quote(o.select));
  s.view->List().SetFocus();
  if (s.view->List().GetItemCount() > 0)
    s.view->List().SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  CDC dc(o.width, o.height);
  halyard::user::Painter::PaintWindow(&s.frame, dc);
  if (!dc.SaveAsPng(o.args[1])) return CannotWrite(o.args[1], errno ? errno : EIO);
  return kExitOk;
}

const Command kCommands[] = {
    {"show", Show},
    {"run", Run},
    {"render", Render},
};

}  // namespace

int main(int argc, char** argv) { return Main({"outfold", kUsageText, kCommands}, argc, argv); }
