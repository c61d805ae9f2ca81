// The dialog commands: AlertBox, MessageBox, InputBox, FileOpenBox,
// FileSaveBox and FolderBox. They go through the dialog service in force, so
// the same commands show real dialogs in the player and answer themselves in
// runs without a window. The file and folder commands report nothing: every
// failure leaves the empty string in the variable.
#include <QDir>
#include <QFileInfo>

#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "runtime/Global.h"
#include "runtime/Host.h"
#include "windows/DialogCommands.h"
#include "windows/DialogSettings.h"
#include "windows/InputBox.h"
#include "windows/UserDialog.h"

namespace vl {
namespace {

bool IsDelimiter(char c) { return c == '\\' || c == '/'; }

// The value of the variable a command writes, with the references inside it
// expanded: what InputBox and FolderBox start from.
AnsiString CurrentValueOf(const AnsiString& varName) { return ExpandVariables(ExpandReference(varName)); }

bool FolderExists(const AnsiString& path) {
  if (path.empty()) return false;
  return QFileInfo(AnsiToQString(path)).isDir();
}

void DoAlertBox(CommandContext& c) {
  const auto& s = TheDialogSettings();
  QueryDialog(c.Arg(1), c.Arg(2), s.okText, s.alertImage, "alert");
}

void DoMessageBox(CommandContext& c) {
  const int n = QueryDialog(c.Arg(1), c.Arg(2), c.Arg(3), TheDialogSettings().msgImage, "message");
  SetVariable(c.Arg(4), std::to_string(n));
}

void DoInputBox(CommandContext& c) {
  const auto& s = TheDialogSettings();
  SetVariable(c.Arg(3), InputDialog(c.Arg(1), c.Arg(2), CurrentValueOf(c.Arg(3)), s.cancelText, s.okText));
}

void DoFileOpenBox(CommandContext& c) {
  FileRequest req;
  req.kind = "fileopen";
  req.title = c.Arg(1);
  req.filter = c.Arg(2);
  req.initialDir = c.Arg(3);
  req.multiple = ContainsText(c.Arg(5), "MULTIPLE");
  AnsiString path;
  if (!Dialogs().ChooseFile(req, path)) path.clear();
  SetVariable(c.Arg(4), path);
}

void DoFileSaveBox(CommandContext& c) {
  FileRequest req;
  req.kind = "filesave";
  req.title = c.Arg(1);
  req.filter = c.Arg(2);
  req.defaultExt = ".";
  SplitSaveTarget(c.Arg(3), req.initialDir, req.initialName);
  AnsiString path;
  if (!Dialogs().ChooseFile(req, path)) path.clear();
  while (!path.empty() && path.back() == '.') path.pop_back();
  SetVariable(c.Arg(4), path);
}

void DoFolderBox(CommandContext& c) {
  FileRequest req;
  req.kind = "folder";
  req.title = c.Arg(1);
  req.initialDir = CurrentValueOf(c.Arg(2));
  while (req.initialDir.size() > 1 && IsDelimiter(req.initialDir.back())) req.initialDir.pop_back();
  AnsiString path;
  if (!Dialogs().ChooseFile(req, path)) path.clear();
  SetVariable(c.Arg(2), path);
}

const CommandBinder kBind{{cmd::AlertBox, DoAlertBox},       {cmd::MessageBox, DoMessageBox},
                          {cmd::InputBox, DoInputBox},       {cmd::FileOpenBox, DoFileOpenBox},
                          {cmd::FileSaveBox, DoFileSaveBox}, {cmd::FolderBox, DoFolderBox}};

}  // namespace

void SplitSaveTarget(const AnsiString& target, AnsiString& folder, AnsiString& name) {
  folder.clear();
  name.clear();
  if (target.empty()) return;
  // An existing folder (a trailing delimiter allowed; "C:\"-sized texts are
  // drives) opens the dialog there without a name.
  AnsiString bare = target;
  if (bare.size() > 3)
    while (bare.size() > 1 && IsDelimiter(bare.back())) bare.pop_back();
  if (FolderExists(bare)) {
    folder = target;
    return;
  }
  size_t cut = target.find_last_of("\\/");
  if (cut == AnsiString::npos) {
    name = target;
    return;
  }
  folder = target.substr(0, cut + 1);
  name = target.substr(cut + 1);
}

}  // namespace vl
