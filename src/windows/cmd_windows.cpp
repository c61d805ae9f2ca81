// The floating-window commands: TextWindow, ImageWindow, CustomWindow,
// CloseWindow and CloseCustomWindow.
#include <algorithm>
#include <climits>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "runtime/Global.h"
#include "windows/FloatHost.h"
#include "windows/FloatWindows.h"

namespace vl {
namespace {

int IntArg(const CommandContext& c, int i) {
  const int64_t v = WholeArg(c.Arg(i));
  return static_cast<int>(std::clamp<int64_t>(v, -1000000, 1000000));
}

bool HasWord(const AnsiString& options, const char* word) { return ContainsText(options, word); }

// X and Y other than -1 are offsets from the publication area's corner.
void FromPageCorner(TFloatRequest& req) {
  TFloatingHost& h = FloatingHost();
  const QPoint origin = h.pageOrigin ? h.pageOrigin() : QPoint();
  if (req.x != -1) req.x += origin.x();
  if (req.y != -1) req.y += origin.y();
}

void DoTextWindow(CommandContext& c) {
  TFloatRequest req;
  req.kind = fkText;
  req.title = c.Arg(1);
  req.x = IntArg(c, 2);
  req.y = IntArg(c, 3);
  req.width = IntArg(c, 4);
  req.height = IntArg(c, 5);
  req.name = c.Arg(6);
  if (HasWord(c.Arg(7), "WORDWRAP")) req.flags |= ffWordWrap;
  FromPageCorner(req);
  SetLastError("");
  OpenFloatingWindow(req);
}

void DoImageWindow(CommandContext& c) {
  TFloatRequest req;
  req.kind = fkImage;
  req.title = c.Arg(1);
  req.x = IntArg(c, 2);
  req.y = IntArg(c, 3);
  req.name = c.Arg(4);
  req.width = req.height = -1;
  FromPageCorner(req);
  SetLastError("");
  OpenFloatingWindow(req);
}

void DoCustomWindow(CommandContext& c) {
  TFloatRequest req;
  req.kind = fkCustom;
  req.title = c.Arg(1);
  req.x = IntArg(c, 2);
  req.y = IntArg(c, 3);
  req.name = c.Arg(4);
  const AnsiString& opt = c.Arg(5);
  if (HasWord(opt, "FIXEDPOS")) {
    // A window inside the main window's client area: no border, and none
    // of the other words apply.
    req.flags = ffFixedPos;
    req.border = TFloatBorder::None;
    TFloatingHost& h = FloatingHost();
    const bool fullScreen = h.windowStyle && (h.windowStyle() == 1 || h.windowStyle() == 3);
    if (fullScreen && h.pageRect) {
      const QPoint corner = h.pageRect().topLeft();
      if (req.x != -1) req.x += corner.x();
      if (req.y != -1) req.y += corner.y();
    }
  } else {
    req.border = HasWord(opt, "NoBorder")     ? TFloatBorder::None
                 : HasWord(opt, "ToolWindow") ? TFloatBorder::ToolWindow
                 : HasWord(opt, "Sizeable")   ? TFloatBorder::Sizeable
                                              : TFloatBorder::Dialog;
    if (HasWord(opt, "Exclusive")) req.flags |= ffExclusive;
    if (HasWord(opt, "NoCloseBtn")) req.flags |= ffNoCloseBtn;
    if (opt.find('@') != AnsiString::npos) req.flags |= ffProtected;
    FromPageCorner(req);
  }
  OpenFloatingWindow(req);
}

// A window is named by the file it shows as the file argument gave it; the
// name in a close command is text, so it is also tried as that file.
void CloseByName(const AnsiString& name, TCloseWhich kinds) {
  if (FindFloatingWindow(name)) return CloseFloatingWindowByName(name, kinds);
  bool literal = false;
  const AnsiString asFile = PrepareArgument(name, ArgFileName, false, false, literal);
  CloseFloatingWindowByName(asFile, kinds);
}

void DoCloseWindow(CommandContext& c) {
  const AnsiString name(TrimView(c.Arg(1)));
  // The find window is not part of this player yet: "FIND" closes nothing.
  if (SameTextInvariant(name, "FIND")) return;
  if (name.empty()) return CloseFloatingWindows(TCloseWhich::AllButCustom, false);
  CloseByName(name, TCloseWhich::All);
}

void DoCloseCustomWindow(CommandContext& c) {
  const AnsiString name(TrimView(c.Arg(1)));
  if (name.empty()) return CloseFloatingWindows(TCloseWhich::CustomOnly, false);
  CloseByName(name, TCloseWhich::All);
}

const CommandBinder kBind{{cmd::TextWindow, DoTextWindow},
                          {cmd::ImageWindow, DoImageWindow},
                          {cmd::CustomWindow, DoCustomWindow},
                          {cmd::CloseWindow, DoCloseWindow},
                          {cmd::CloseCustomWindow, DoCloseCustomWindow}};

}  // namespace
}  // namespace vl
