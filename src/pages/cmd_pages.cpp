// The navigation and slide-show commands. The interpreter has already refused
// them in the single-page test mode and in actions that forbid page changes.
#include "actions/CommandApi.h"
#include "actions/Interpreter.h"
#include "actions/MathExpr.h"
#include "pages/VLPageList.h"

namespace vl {
namespace {

// Without a main window there are no pages to go to.
TVLPageNavigator* Nav() { return ActivePages(); }

void GoTo(CommandContext& c, int index) {
  if (TVLPageNavigator* nav = Nav()) nav->GoToPageIndex(&c.Eval(), index);
}

// GotoPage and GotoPageNum accept only the publication's own pages.
bool CheckTarget(CommandContext& c, int index, std::string_view shown) {
  TVLPageNavigator* nav = Nav();
  if (!nav || index < 1 || index > nav->PageCount() - 1) {
    c.Fail(ErrPageNotFound, shown);
    return false;
  }
  return true;
}

void DoGotoPage(CommandContext& c) {
  TVLPageNavigator* nav = Nav();
  const int index = nav ? nav->Pages().FindPage(c.Arg(1)) : -1;
  if (CheckTarget(c, index, c.Arg(1))) GoTo(c, index);
}

void DoGotoPageNum(CommandContext& c) {
  Extended v = 0;
  if (!TextToExtended(c.Arg(1), v)) v = 0;
  int index = 0;
  if (v >= 1 && v < 2147483647.0) index = static_cast<int>(v);
  if (CheckTarget(c, index, c.Arg(1))) GoTo(c, index);
}

void DoGotoFirstPage(CommandContext& c) { GoTo(c, 1); }

void DoGotoLastPage(CommandContext& c) {
  if (TVLPageNavigator* nav = Nav()) GoTo(c, nav->PageCount() - 1);
}

void DoGotoPrevPage(CommandContext& c) {
  if (TVLPageNavigator* nav = Nav()) GoTo(c, nav->PageIndex() - 1);
}

void DoGotoNextPage(CommandContext& c) {
  if (TVLPageNavigator* nav = Nav()) GoTo(c, nav->PageIndex() + 1);
}

void DoReturnToPage(CommandContext& c) {
  if (TVLPageNavigator* nav = Nav()) nav->ReturnToPage(&c.Eval());
}

void DoStartSlideShow(CommandContext& c) {
  if (TVLPageNavigator* nav = Nav()) nav->StartSlideShow(c.Arg(1), c.Arg(2), c.Arg(3), c.Arg(4));
}

void DoStopSlideShow(CommandContext&) {
  if (TVLPageNavigator* nav = Nav()) nav->StopSlideShow();
}

void DoPauseSlideShow(CommandContext&) {
  if (TVLPageNavigator* nav = Nav()) nav->PauseSlideShow();
}

const CommandBinder kBind{
    {cmd::GotoPage, DoGotoPage},
    {cmd::GotoPageNum, DoGotoPageNum},
    {cmd::GotoFirstPage, DoGotoFirstPage},
    {cmd::GotoLastPage, DoGotoLastPage},
    {cmd::GotoPrevPage, DoGotoPrevPage},
    {cmd::GotoNextPage, DoGotoNextPage},
    {cmd::ReturnToPage, DoReturnToPage},
    {cmd::StartSlideShow, DoStartSlideShow},
    {cmd::StopSlideShow, DoStopSlideShow},
    {cmd::PauseSlideShow, DoPauseSlideShow},
};

}  // namespace
}  // namespace vl
