// The popup commands: Balloon, StickyNote, PopUpImage, Menu and MenuEx. Each
// waits until its popup is dismissed (PopUpImage with timeout -1 excepted).
#include <QWidget>
#include <algorithm>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "windows/FloatHost.h"
#include "windows/Popups.h"

namespace vl {
namespace {

int IntArg(const CommandContext& c, int i) {
  return static_cast<int>(std::clamp<int64_t>(WholeArg(c.Arg(i)), -1000000, 1000000));
}

// A popup takes the mouse: whatever held it lets go first.
void ReleaseMouse() {
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
}

void DoBalloon(CommandContext& c) {
  const bool hasX = c.ArgCount() >= 2, hasY = c.ArgCount() >= 3;
  int x = hasX ? IntArg(c, 2) : -1;
  int y = hasY ? IntArg(c, 3) : -1;
  const int timeout = c.ArgCount() >= 4 ? IntArg(c, 4) : 0;
  TFloatingHost& h = FloatingHost();
  const QPoint origin = h.pageOrigin ? h.pageOrigin() : QPoint();
  if (x != -1) x += origin.x();
  if (y != -1) y += origin.y();
  ReleaseMouse();
  ShowBalloon(c.Arg(1), x, y, x == -1, y == -1, std::max(0, timeout));
}

void DoStickyNote(CommandContext& c) {
  ReleaseMouse();
  ShowStickyNote(c.Arg(3), IntArg(c, 1), IntArg(c, 2), std::max(0, IntArg(c, 4)));
}

void DoPopUpImage(CommandContext& c) {
  ReleaseMouse();
  int timeout = IntArg(c, 4);
  if (timeout < -1) timeout = 0;
  if (!ShowPopUpImage(c.Arg(3), IntArg(c, 1), IntArg(c, 2), timeout, c.Arg(5)))
    c.Fail(ErrPictureNotFound, c.Arg(3));
}

// Menu: the N lines after it belong to its N items; choosing item k runs
// only the k-th of them, dismissing runs none.
void DoMenu(CommandContext& c) {
  ReleaseMouse();
  const int x = IntArg(c, 1), y = IntArg(c, 2);
  int count = 0;
  const int chosen = ShowPopupMenu(c.Arg(3), x, y, x == -1, y == -1, IntArg(c, 4), IntArg(c, 5), count);
  const int line = c.LineNumber();
  if (chosen >= 1 && chosen <= count) {
    c.SetLineNumber(line + chosen - 1);
    c.SetSkipAfter(count - chosen);
  } else {
    c.SetLineNumber(line + count);
  }
}

void DoMenuEx(CommandContext& c) {
  ReleaseMouse();
  const int x = IntArg(c, 1), y = IntArg(c, 2);
  int count = 0;
  const int chosen = ShowPopupMenu(c.Arg(3), x, y, x == -1, y == -1, IntArg(c, 5), IntArg(c, 6), count);
  SetVariable(c.Arg(4), std::to_string(chosen));
}

const CommandBinder kBind{{cmd::Balloon, DoBalloon},
                          {cmd::StickyNote, DoStickyNote},
                          {cmd::PopUpImage, DoPopUpImage},
                          {cmd::Menu, DoMenu},
                          {cmd::MenuEx, DoMenuEx}};

}  // namespace
}  // namespace vl
