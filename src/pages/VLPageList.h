#pragma once
// The pages of a publication and every page change.
//
// TVLPageList keeps the pages in order (index 0 the master page, then the
// publication's pages in file order), finds them by name and switches the
// current page at the lowest level. TVLPageNavigator is the page switch the
// main window offers: the page-change, exit and enter actions, the history,
// the slide show and the deferred change of a page enter action. Everything
// it needs from the main window goes through PageHost, so it runs the same
// with a real window, headless, or under a test.
//
// Start-up, as the main window drives it:
//   nav.Build(publication);                 // pages, backgrounds, actions
//   nav.MakeStartPageCurrent(startIndex);   // no actions, no transition
//   ... first paint of the window ...
//   nav.ChangePage(nav.PageIndex(), false); // start-up action once, then the
//                                           // page's enter action
// Later: commands call GoToPageIndex, the window's deferred page change
// calls ProcessPageChange, closing calls StopSlideShow.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "pages/PageBackground.h"
#include "runtime/Ansi.h"
#include "runtime/Clock.h"

namespace vl {

class TActionEval;
struct TPublication;

constexpr int kMaxPageHistory = 25;
// The main window's own message for a deferred page change.
constexpr int kProcessPageChangeMessage = 0x52D;
constexpr int kDefaultSlideDelay = 2000;
constexpr int kMinSlideDelay = 100;

// "Invalid page index."
class EInvalidPageIndex : public std::runtime_error {
 public:
  EInvalidPageIndex();
};

struct TVLPage {
  AnsiString name;  // the caption; empty for the master page
  TVellionBackground background;
  bool visible = false;  // only the current page is visible
  // Whether the page currently holds a window handle (released while hidden
  // when the list conserves resources).
  bool hasHandle = true;
};

// ---------------------------------------------------------------------------
class TVLPageList {
 public:
  TVLPageList();
  ~TVLPageList();
  TVLPageList(const TVLPageList&) = delete;
  TVLPageList& operator=(const TVLPageList&) = delete;

  // Inserts a hidden page at `index` (0..count, else EInvalidPageIndex); the
  // current index moves up when it is at or after `index`.
  TVLPage& AddPage(std::string_view name, int index);
  // The first page whose name equals `name` ignoring case, or -1.
  int FindPage(std::string_view name) const;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TVLPage* Page(int index);
  const TVLPage* Page(int index) const;
  bool IsValidIndex(int index) const { return index >= 0 && index < PageCount(); }

  // The low-level switch: EInvalidPageIndex for an index out of range (even
  // the current one); ignored while a switch is in progress; OnPageChange
  // may veto.
  void SetPageIndex(int index);
  int PageIndex() const { return pageIndex_; }
  // The target of the switch in progress; PageIndex() at rest. The page
  // title variable reports this page.
  int NextPageIndex() const { return nextPageIndex_; }
  bool Changing() const { return changing_; }

  void ClearPages();
  // Redrawing off and on; on redraws at once.
  void FreezeDrawing();
  void ThawDrawing();
  bool Frozen() const { return frozen_ > 0; }

  bool ConserveResources = false;
  // Before a switch: (target index, allow); clearing allow vetoes it.
  std::function<void(int index, bool& allow)> OnPageChange;
  // After a switch: (new index).
  std::function<void(int index)> OnPageChanged;
  // The list's picture must be redrawn (a switch, thawing).
  std::function<void()> OnInvalidate;

 private:
  std::vector<std::unique_ptr<TVLPage>> pages_;
  int pageIndex_ = -1;
  int nextPageIndex_ = -1;
  bool changing_ = false;
  int frozen_ = 0;
};

// ---------------------------------------------------------------------------
// What the page switch needs from the main window.
class PageHost {
 public:
  virtual ~PageHost() = default;
  // Queues the deferred page change on the window's own queue (its message
  // 0x52D); when the loop reaches it the window calls
  // TVLPageNavigator::ProcessPageChange(index). Implementations call
  // NotePostedWork() so a running action yields to it.
  virtual void PostPageChange(int index) = 0;
  // The switch from `fromIndex` to `toIndex` is about to be made (the page
  // really changes): the window keeps what it shows for the transition.
  virtual void BeforeSwitch(int fromIndex, int toIndex) { (void)fromIndex, (void)toIndex; }
  // The switch to `toIndex` has been made (from `fromIndex`; `direction` =
  // to - from): draw the new page, through its transition when it has one.
  // Not called when the page did not really change.
  virtual void RepaintPage(int fromIndex, int toIndex, int direction) = 0;
  // RunPublicationAction: runs `text` now unless the player shuts down.
  virtual void RunPublicationAction(const AnsiString& text, std::string_view sourceName,
                                    uint8_t flags, uint8_t eventCode) = 0;
  virtual bool ShuttingDown() const { return false; }
  // A page has been shown (after its objects were told, before the start-up
  // and enter actions). The default writes the trace record
  // "page<TAB>INDEX<TAB>NAME".
  virtual void PageShown(int index, const AnsiString& name);
  // Busy cursor on for the switch, off at its end.
  virtual void BusyCursor(bool /*on*/) {}
  virtual void RestartIdleTimer() {}
};

// Notifications for the page objects, plug-ins and the debugger; each may
// stay empty. `withMaster` is true when the page shows the master page, so
// the master page's objects are to be told too.
struct TPageEvents {
  std::function<void(int page, bool withMaster)> pageLeave;  // OM_PAGELEAVE
  std::function<void(int page, bool withMaster)> pageEnter;  // OM_PAGEENTER
  std::function<void(int page, bool withMaster)> pageShown;  // OM_PAGESHOWN (0), then focus
  // Before the switch: stop object movements, pause cartoons, hide the drag
  // image. After it (always, also after an error): undo that.
  std::function<void()> beforeSwitch;
  std::function<void()> afterSwitch;
  // Plug-ins are told of a real page change (event 6, target index).
  std::function<void(int index)> plugInPageChange;
  // After every switch of the list (the debugger is told the index).
  std::function<void(int index)> pageChanged;
  // The master page was moved behind `page` (or back to page 0 with -1):
  // the view re-parents the master page's objects.
  std::function<void(int page)> masterArranged;
};

// ---------------------------------------------------------------------------
class TVLPageNavigator {
 public:
  explicit TVLPageNavigator(PageHost& host);
  ~TVLPageNavigator();
  TVLPageNavigator(const TVLPageNavigator&) = delete;
  TVLPageNavigator& operator=(const TVLPageNavigator&) = delete;

  // Makes the pages and backgrounds of the publication (replacing any) and
  // takes its page-change and start-up actions and palette settings. The
  // current index stays 0 (the master page).
  void Build(const TPublication& pub);
  // Publication-wide settings Build takes from the publication.
  AnsiString pageChangeAction;
  AnsiString startupAction;
  bool usesStandardPalette = true;
  int publicationColors = 16777216;

  TVLPageList& Pages() { return list_; }
  const TVLPageList& Pages() const { return list_; }
  TPageEvents& Events() { return events_; }
  int PageIndex() const { return list_.PageIndex(); }
  int PageCount() const { return list_.PageCount(); }
  // The current page (the master page while it is the only one).
  TVLPage* CurrentPage() { return list_.Page(list_.PageIndex()); }
  TVellionBackground* CurrentBackground();
  TVellionBackground* MasterBackground();
  // The page whose children the master background currently is: 0 at rest,
  // else the page it is shown behind.
  int MasterOn() const { return masterOn_; }
  // Whether page `index` shows the master page now.
  bool ShowsMaster(int index) const;

  // Start-up: makes `index` current without any action or transition.
  void MakeStartPageCurrent(int index);
  // The full page change; `withActions` is false only for the first display.
  void ChangePage(int index, bool withActions);
  // The switch itself, without the page-change and exit actions.
  void ShowPage(int index);
  // The common end of the navigation commands: ignores the current index
  // and indexes outside 1..count-1; defers the change when `running` is a
  // page enter action at its last command, else changes at once.
  void GoToPageIndex(TActionEval* running, int index);
  // The window's deferred page change (message 0x52D).
  void ProcessPageChange(int index) { ChangePage(index, true); }
  void ReturnToPage(TActionEval* running);

  // The history: page indexes, newest last.
  const std::deque<int>& History() const { return history_; }
  bool HistoryEnabled() const { return historyEnabled_; }
  bool StartupActionRan() const { return startupRan_; }

  // The slide show. `pages` is "All" or names split at "|"; `delay` and
  // `mode` as the command's arguments.
  void StartSlideShow(std::string_view pages, std::string_view delay, std::string_view mode,
                      std::string_view subroutine);
  void StopSlideShow();
  void PauseSlideShow();
  bool SlideShowExists() const { return show_ != nullptr; }
  bool SlideShowRunning() const { return show_ && show_->running; }
  int SlideShowPosition() const { return show_ ? show_->position : -1; }

  // The palette for the current page (on a switch and on activation).
  bool ApplyPagePalette();

 private:
  struct TSlideShowRec {
    std::vector<AnsiString> pages;
    int position = 0;
    bool loop = false;
    AnsiString subroutine;
    bool running = false;
  };
  void ArrangeMasterPage(int index);
  void PageListPageChange(int index, bool& allow);
  void SlideTick();
  // Goes to the show's page at its position; false when the name is not a page.
  bool SlideGoto();

  PageHost& host_;
  TVLPageList list_;
  TPageEvents events_;
  std::deque<int> history_;
  bool historyEnabled_ = true;
  bool startupRan_ = false;
  int masterOn_ = 0;
  std::unique_ptr<TSlideShowRec> show_;
  TVelTimer slideTimer_;
  int64_t slideDelay_ = kDefaultSlideDelay;
};

// The navigator the page commands act on (the main window's), or null.
TVLPageNavigator* ActivePages();
void SetActivePages(TVLPageNavigator* nav);

}  // namespace vl
