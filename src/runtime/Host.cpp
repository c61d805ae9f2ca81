#include "runtime/Host.h"

#include "runtime/Trace.h"

namespace vl {
namespace {
DialogService* gDialogs = nullptr;

AnsiString Join(const std::vector<AnsiString>& v) {
  AnsiString r;
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) r.push_back('|');
    r += v[i];
  }
  return r;
}
}  // namespace

DialogService& Dialogs() {
  static AutoAnswerDialogs fallback;
  return gDialogs ? *gDialogs : fallback;
}

void SetDialogService(DialogService* service) { gDialogs = service; }

int AutoAnswerDialogs::Query(const QueryRequest& req) {
  AnsiString answer = req.buttons.empty() ? AnsiString() : req.buttons.front();
  trace::Record({"dialog", req.kind, req.title, req.text, Join(req.buttons), answer});
  return req.buttons.empty() ? -1 : 0;
}

bool AutoAnswerDialogs::Input(const InputRequest& req, AnsiString& value) {
  value = req.initial;
  AnsiString answer = req.buttons.empty() ? AnsiString() : req.buttons.front();
  trace::Record({"dialog", req.kind, req.title, req.message.empty() ? req.prompt : req.message, Join(req.buttons), answer});
  return true;
}

bool AutoAnswerDialogs::ChooseFile(const FileRequest& req, AnsiString& path) {
  path.clear();
  trace::Record({"dialog", req.kind, req.title, req.filter, "", ""});
  return false;
}

// ---------------------------------------------------------------------------
// The other host interfaces: the installed one, else the headless default.

namespace {

class HeadlessErrors : public ErrorDisplay {
 public:
  void ShowError(const AnsiString&) override {}
};
class HeadlessFonts : public FontRegistry {
 public:
  bool RegisterFont(const AnsiString&) override { return false; }
  void UnregisterFont(const AnsiString&) override {}
};
class HeadlessPlugIns : public PlugInLoader {
 public:
  void LoadPlugIn(const AnsiString&) override {}
};
class HeadlessCursors : public CursorIconLoader {
 public:
  bool LoadCursor(const AnsiString&, int) override { return false; }
  bool LoadIcon(const AnsiString&) override { return false; }
};

ErrorDisplay* gErrors = nullptr;
FontRegistry* gFonts = nullptr;
PlugInLoader* gPlugIns = nullptr;
CursorIconLoader* gCursors = nullptr;
PackageOpenHost* gPackageOpening = nullptr;

}  // namespace

ErrorDisplay& Errors() {
  static HeadlessErrors fallback;
  return gErrors ? *gErrors : fallback;
}
void SetErrorDisplay(ErrorDisplay* display) { gErrors = display; }

FontRegistry& Fonts() {
  static HeadlessFonts fallback;
  return gFonts ? *gFonts : fallback;
}
void SetFontRegistry(FontRegistry* registry) { gFonts = registry; }

PlugInLoader& PlugIns() {
  static HeadlessPlugIns fallback;
  return gPlugIns ? *gPlugIns : fallback;
}
void SetPlugInLoader(PlugInLoader* loader) { gPlugIns = loader; }

CursorIconLoader& CursorsAndIcons() {
  static HeadlessCursors fallback;
  return gCursors ? *gCursors : fallback;
}
void SetCursorIconLoader(CursorIconLoader* loader) { gCursors = loader; }

PackageOpenHost& PackageOpening() {
  static PackageOpenHost fallback;
  return gPackageOpening ? *gPackageOpening : fallback;
}
void SetPackageOpenHost(PackageOpenHost* host) { gPackageOpening = host; }

}  // namespace vl
