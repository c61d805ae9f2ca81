// Replacing the running publication by another in the same window
// (RunVellion): the close is asked for at once, the old publication is taken
// down and the new one started only once the outermost running action has
// returned.
#include <QCoreApplication>
#include <cstdlib>

#include "actions/CommandTable.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/PageObjects.h"
#include "pages/PageView.h"
#include "pages/RT_Main.h"
#include "pages/VLPageList.h"
#include "pages/WorkFormEvents.h"
#include "runtime/Global.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vl {


AnsiString FindChainedPackage(const AnsiString& fileName, const AnsiString& publicationFolder) {
  const AnsiString name(TrimView(fileName));
  if (name.empty()) return {};
  if (name.find_first_of("/\\") != AnsiString::npos) {
    if (IsRegularFile(name)) return name;
    if (IsRegularFile(WithSlashes(name))) return WithSlashes(name);
  }
  const AnsiString part(FileNamePart(WithSlashes(name)));
  if (part.empty()) return {};
  if (!publicationFolder.empty()) {
    AnsiString p = publicationFolder + "/" + part;
    if (IsRegularFile(p)) return p;
  }
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      size_t colon = rest.find(':');
      std::string_view dir = rest.substr(0, colon);
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
      if (dir.empty()) continue;
      AnsiString p = FromNativePath(dir) + "/" + part;
      if (IsRegularFile(p)) return p;
    }
  }
  return {};
}

bool TWorkForm::LoadChainedPublication(const AnsiString& fileName, bool clearVariables, bool closeWindows) {
  SetLastError("");
  if (chainPending_ || closed_ || inCloseQuery_) return false;
  AnsiString path = FindChainedPackage(fileName, ThePackage().HostFolder());
  if (path.empty()) {
    SetLastError(ErrorText(2));
    return false;
  }
  chained_ = true;
  const int style = Settings().windowStyle;
  chainOptions_ = ((style == 1 || style == 3) ? 1 : 0) | (clearVariables ? 2 : 0) | (closeWindows ? 4 : 0);
  inCloseQuery_ = true;
  const bool accepted = FormCloseQuery();
  inCloseQuery_ = false;
  if (!accepted) {
    chained_ = false;
    chainOptions_ = 0;
    return false;
  }
  chainPending_ = true;
  chainPath_ = path;
  // The actions running now belong to the closing publication: they stop at
  // their next line, and the replacement waits until the outermost has gone.
  NewGeneration();
  QCoreApplication::postEvent(this, new QEvent(ChainEvent()));
  return true;
}

void TWorkForm::RunChainedLoad() {
  chainAfterOutermost_ = false;
  FormClose();
  if (!(chainOptions_ & 1)) area_->hide();
  TheObjects().Clear();
  area_->ClearLayers();  // the old pages and their objects go before their package
  nav_->Build(TPublication());
  FormDestroy();
  options_.packagePath = chainPath_;
  // Plug-in commands go with the old publication.
  CommandTable().BuildBuiltinTable();
  if (!FormCreate()) {
    chained_ = false;
    chainPending_ = false;
    chainOptions_ = 0;
    closed_ = true;
    hide();
    if (onChainFailed) onChainFailed();
    return;
  }
  firstPaintPending_ = true;
  FormShow();
  chained_ = false;
  chainPending_ = false;
  chainOptions_ = 0;
  FirstPaint(true);
}

}  // namespace vl
