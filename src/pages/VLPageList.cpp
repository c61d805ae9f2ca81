// The page list and the page switch: page-change, exit and enter actions,
// history, the deferred change of an enter action, and the master page.
#include "pages/VLPageList.h"

#include <string>

#include "actions/Interpreter.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "runtime/Publication.h"
#include "runtime/Trace.h"

namespace vl {

EInvalidPageIndex::EInvalidPageIndex() : std::runtime_error("Invalid page index.") {}

// ---------------------------------------------------------------------------
// TVLPageList

TVLPageList::TVLPageList() = default;
TVLPageList::~TVLPageList() = default;

TVLPage& TVLPageList::AddPage(std::string_view name, int index) {
  if (index < 0 || index > PageCount()) throw EInvalidPageIndex();
  auto page = std::make_unique<TVLPage>();
  page->name = AnsiString(name);
  TVLPage& ref = *page;
  pages_.insert(pages_.begin() + index, std::move(page));
  if (pageIndex_ >= index) {
    ++pageIndex_;
    nextPageIndex_ = pageIndex_;
  }
  return ref;
}

int TVLPageList::FindPage(std::string_view name) const {
  for (int i = 0; i < PageCount(); ++i)
    if (SameTextAnsi(pages_[i]->name, name)) return i;
  return -1;
}

TVLPage* TVLPageList::Page(int index) { return IsValidIndex(index) ? pages_[index].get() : nullptr; }
const TVLPage* TVLPageList::Page(int index) const {
  return IsValidIndex(index) ? pages_[index].get() : nullptr;
}

void TVLPageList::SetPageIndex(int index) {
  if (!IsValidIndex(index)) throw EInvalidPageIndex();
  if (index == pageIndex_) return;
  if (changing_) return;
  changing_ = true;
  nextPageIndex_ = index;
  if (pageIndex_ != -1 && OnPageChange) {
    bool allow = true;
    try {
      OnPageChange(index, allow);
    } catch (...) {
      changing_ = false;
      nextPageIndex_ = pageIndex_;
      throw;
    }
    if (!allow) {
      changing_ = false;
      nextPageIndex_ = pageIndex_;
      return;
    }
  }
  TVLPage* old = Page(pageIndex_);
  TVLPage& target = *pages_[index];
  target.visible = true;
  target.hasHandle = true;
  if (old) {
    old->visible = false;
    if (ConserveResources) old->hasHandle = false;
  }
  pageIndex_ = index;
  if (OnInvalidate && !Frozen()) OnInvalidate();
  changing_ = false;
  if (OnPageChanged) OnPageChanged(pageIndex_);
  nextPageIndex_ = pageIndex_;
}

void TVLPageList::ClearPages() {
  pages_.clear();
  pageIndex_ = -1;
  nextPageIndex_ = -1;
  changing_ = false;
}

void TVLPageList::FreezeDrawing() { ++frozen_; }

void TVLPageList::ThawDrawing() {
  if (frozen_ > 0) --frozen_;
  if (frozen_ == 0 && OnInvalidate) OnInvalidate();
}

// ---------------------------------------------------------------------------
// PageHost

void PageHost::PageShown(int index, const AnsiString& name) {
  if (trace::Active()) trace::Record({"page", std::to_string(index), name});
}

// ---------------------------------------------------------------------------
// TVLPageNavigator

namespace {
TVLPageNavigator* gActive = nullptr;

// Restores the history switch however the return ends.
struct HistoryOff {
  bool& flag;
  explicit HistoryOff(bool& f) : flag(f) { flag = false; }
  ~HistoryOff() { flag = true; }
};
}  // namespace

TVLPageNavigator* ActivePages() { return gActive; }
void SetActivePages(TVLPageNavigator* nav) { gActive = nav; }

TVLPageNavigator::TVLPageNavigator(PageHost& host) : host_(host) {
  list_.OnPageChange = [this](int index, bool& allow) { PageListPageChange(index, allow); };
  list_.OnPageChanged = [this](int index) {
    if (events_.pageChanged) events_.pageChanged(index);
  };
  slideTimer_.SetOnTimer([this] { SlideTick(); });
  // The master page exists from the start.
  list_.AddPage("", 0);
  list_.SetPageIndex(0);
}

TVLPageNavigator::~TVLPageNavigator() {
  slideTimer_.Stop();
  if (gActive == this) gActive = nullptr;
}

void TVLPageNavigator::Build(const TPublication& pub) {
  slideTimer_.Stop();
  show_.reset();
  history_.clear();
  historyEnabled_ = true;
  startupRan_ = false;
  masterOn_ = 0;
  list_.ClearPages();
  for (size_t i = 0; i < pub.pages.size(); ++i) {
    TVLPage& page = list_.AddPage(pub.pages[i].name, static_cast<int>(i));
    page.background = TVellionBackground(pub.pages[i]);
    page.background.PublicationRect = QRect(0, 0, pub.settings.screenWidth, pub.settings.screenHeight);
  }
  if (list_.PageCount() == 0) list_.AddPage("", 0);
  TVellionBackground* master = &list_.Page(0)->background;
  master->MasterPage = nullptr;
  for (int i = 1; i < list_.PageCount(); ++i) list_.Page(i)->background.MasterPage = master;
  // The master page rests in plain white until a page shows it.
  list_.SetPageIndex(0);
  pageChangeAction = pub.settings.pageChangeAction;
  startupAction = pub.settings.startupAction;
  usesStandardPalette = pub.usesStandardPalette;
  publicationColors = pub.settings.screenColors;
}

TVellionBackground* TVLPageNavigator::CurrentBackground() {
  TVLPage* p = CurrentPage();
  return p ? &p->background : nullptr;
}

TVellionBackground* TVLPageNavigator::MasterBackground() {
  TVLPage* p = list_.Page(0);
  return p ? &p->background : nullptr;
}

bool TVLPageNavigator::ShowsMaster(int index) const {
  const TVLPage* p = list_.Page(index);
  return index > 0 && p && p->background.ShowMasterPage;
}

void TVLPageNavigator::ArrangeMasterPage(int index) {
  TVellionBackground* master = MasterBackground();
  if (!master) return;
  if (ShowsMaster(index)) {
    master->CopyLookFrom(list_.Page(index)->background);
    if (masterOn_ != index) {
      masterOn_ = index;
      if (events_.masterArranged) events_.masterArranged(index);
    }
  } else if (masterOn_ != 0) {
    masterOn_ = 0;
    master->ResetLook();
    if (events_.masterArranged) events_.masterArranged(-1);
  }
}

void TVLPageNavigator::PageListPageChange(int index, bool& /*allow*/) {
  const int old = list_.PageIndex();
  if (events_.pageLeave && list_.IsValidIndex(old)) events_.pageLeave(old, ShowsMaster(old));
  ArrangeMasterPage(index);
  if (events_.pageEnter) events_.pageEnter(index, ShowsMaster(index));
}

bool TVLPageNavigator::ApplyPagePalette() {
  return vl::ApplyPagePalette(list_.PageIndex() > 0 ? CurrentBackground() : nullptr, usesStandardPalette,
                              publicationColors);
}

void TVLPageNavigator::MakeStartPageCurrent(int index) {
  if (!list_.IsValidIndex(index)) return;
  list_.SetPageIndex(index);
  ApplyPagePalette();
}

void TVLPageNavigator::ChangePage(int index, bool withActions) {
  if (withActions && !pageChangeAction.empty() && !host_.ShuttingDown()) {
    const TVLPage* target = list_.Page(index);
    SetVariable("[PageChangeName]", target ? std::string_view(target->name) : std::string_view());
    host_.RunPublicationAction(pageChangeAction, "", kFlagNoPageChange, kEventPageChange);
    const AnsiString name = GetVariableValue("PageChangeName", 0);
    GlobalVars().Remove("PageChangeName");
    if (name.empty()) return;
    const int found = list_.FindPage(name);
    if (found < 1) {
      SetLastError(Msg(246));
      return;
    }
    index = found;
  }
  if (!list_.IsValidIndex(index)) return;
  if (withActions) {
    const TVLPage* cur = CurrentPage();
    if (cur && !cur->background.ExitAction.empty())
      host_.RunPublicationAction(cur->background.ExitAction, cur->name, kFlagNoPageChange, kEventPageExit);
  }
  ShowPage(index);
}

void TVLPageNavigator::ShowPage(int index) {
  if (!list_.IsValidIndex(index)) return;
  const int from = list_.PageIndex();
  const bool changes = index != from;
  if (changes && events_.plugInPageChange) events_.plugInPageChange(index);
  host_.BusyCursor(true);
  bool switched = false;
  auto finish = [&] {
    if (events_.afterSwitch) events_.afterSwitch();
    host_.BusyCursor(false);
    if (!startupAction.empty() && !startupRan_) {
      startupRan_ = true;
      host_.RunPublicationAction(startupAction, "", 0, kEventStartup);
    }
    if (switched && list_.PageIndex() == index) {
      const TVLPage* page = list_.Page(index);
      if (page && !page->background.EnterAction.empty())
        host_.RunPublicationAction(page->background.EnterAction, page->name, 0, kEventPageEnter);
    }
    host_.RestartIdleTimer();
  };
  try {
    if (historyEnabled_) {
      if (history_.size() >= static_cast<size_t>(kMaxPageHistory)) history_.pop_front();
      history_.push_back(from);
    }
    if (changes) host_.BeforeSwitch(from, index);
    if (events_.beforeSwitch) events_.beforeSwitch();
    list_.SetPageIndex(index);
    switched = list_.PageIndex() == index;
    ApplyPagePalette();
    if (switched && changes) host_.RepaintPage(from, index, index - from);
    if (switched) {
      TVLPage* page = list_.Page(index);
      if (events_.pageShown) events_.pageShown(index, ShowsMaster(index));
      host_.PageShown(index, page->name);
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

namespace {
// True when every line after the current one is blank, a comment or a label.
bool AtLastCommand(TActionEval& ev) {
  const auto& lines = ev.Lines();
  for (size_t i = static_cast<size_t>(std::max(ev.LineNumber(), 0)); i < lines.size(); ++i) {
    const LineKind k = lines[i].cls.kind;
    if (k != LineKind::Blank && k != LineKind::Comment && k != LineKind::Label) return false;
  }
  return true;
}
}  // namespace

void TVLPageNavigator::GoToPageIndex(TActionEval* running, int index) {
  if (index == list_.PageIndex() || index < 1 || index > list_.PageCount() - 1) return;
  if (running && running->EventCode() == kEventPageEnter && AtLastCommand(*running)) {
    // The enter action finishes (without yielding) before the next page's
    // exit and enter actions run.
    ++running->ownSuspend;
    SetSuspendCount(SuspendCount() + 1);
    host_.PostPageChange(index);
    return;
  }
  ChangePage(index, true);
}

void TVLPageNavigator::ReturnToPage(TActionEval* running) {
  if (history_.empty()) return;
  const int newest = history_.back();
  HistoryOff off(historyEnabled_);
  GoToPageIndex(running, newest);
  if (list_.PageIndex() == newest && !history_.empty() && history_.back() == newest) history_.pop_back();
}

// ---------------------------------------------------------------------------
// The slide show

void TVLPageNavigator::StartSlideShow(std::string_view pages, std::string_view delay, std::string_view mode,
                                      std::string_view subroutine) {
  int64_t ms = kDefaultSlideDelay;
  Extended d = 0;
  if (TextToExtended(TrimView(delay), d)) ms = d > 1e9 ? 1000000000 : d < 0 ? 0 : static_cast<int64_t>(d);
  if (ms < kMinSlideDelay) ms = kMinSlideDelay;
  StopSlideShow();
  auto show = std::make_unique<TSlideShowRec>();
  show->loop = SameTextInvariant(mode, "Loop");
  show->subroutine = AnsiString(subroutine);
  if (SameTextInvariant(pages, "All")) {
    for (int i = 1; i < list_.PageCount(); ++i) show->pages.push_back(list_.Page(i)->name);
  } else {
    size_t pos = 0;
    AnsiString field;
    while (NextField(pages, pos, '|', false, field)) show->pages.push_back(field);
  }
  show_ = std::move(show);
  slideTimer_.SetInterval(0);
  slideDelay_ = ms;
  if (SlideGoto()) {
    if (show_) {
      show_->running = true;
      slideTimer_.SetInterval(slideDelay_);
    }
  } else {
    // Not started: freed without its subroutine.
    slideTimer_.Stop();
    show_.reset();
  }
}

bool TVLPageNavigator::SlideGoto() {
  if (!show_ || show_->position < 0 || show_->position >= static_cast<int>(show_->pages.size())) return false;
  const AnsiString name = show_->pages[static_cast<size_t>(show_->position)];
  const int index = list_.FindPage(name);
  if (index < 1) {
    SetLastError("\"" + name + "\"\r" + Msg(246));
    return false;
  }
  if (index != list_.PageIndex()) ChangePage(index, true);
  return true;
}

void TVLPageNavigator::SlideTick() {
  slideTimer_.Stop();
  if (!show_) return;
  ++show_->position;
  if (show_->loop && show_->position >= static_cast<int>(show_->pages.size())) show_->position = 0;
  if (show_->position >= static_cast<int>(show_->pages.size())) {
    StopSlideShow();
    return;
  }
  if (SlideGoto() && show_) slideTimer_.SetInterval(slideDelay_);
}

void TVLPageNavigator::StopSlideShow() {
  slideTimer_.Stop();
  if (!show_) return;
  AnsiString sub;
  if (show_->running) sub = show_->subroutine;
  show_.reset();
  if (!sub.empty() && !RunSubroutine(sub, 0)) SetLastError(Msg(240));
}

void TVLPageNavigator::PauseSlideShow() {
  if (!show_) return;
  if (show_->running) {
    show_->running = false;
    slideTimer_.Stop();
  } else {
    show_->running = true;
    SlideTick();
  }
}

}  // namespace vl
