// The general object commands: EnableObject, DisableObject, GetObjectInfo,
// MoveObject, SizeObject, ObjectToFront, ObjectToBack, FocusObject,
// RefreshObject, GetObjectHandle, SetObjectCaption, SetObjectFileName, and
// the timer and track bar commands.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVariant>
#include <array>
#include <limits>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "objects/ObjArticle.h"
#include "objects/ObjButtons.h"
#include "objects/ObjCommands.h"
#include "objects/ObjEdit.h"
#include "objects/ObjLists.h"
#include "objects/ObjPolygon.h"
#include "objects/ObjText.h"
#include "objects/ObjTimer.h"
#include "objects/ObjTrackBar.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"

namespace vl {
namespace {

constexpr int kObjTypePushButton = 3;
constexpr int kObjTypeRect = 5;
constexpr int kObjTypeText = 8;
constexpr int kObjTypeCheckBox = 12;
constexpr int kObjTypeRadio = 13;

// The commands of the per-class group clear [LastError] once the object is
// found.
TVellionObj* FoundAndCleared(CommandContext& c) {
  TFoundObject f = CommandObject(c);
  if (f) SetLastError("");
  return f.object;
}

int ClampedInt(int64_t v) {
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(v);
}

// ---------------------------------------------------------------------------

void SetEnabled(CommandContext& c, bool on) {
  TFoundObject f = CommandObject(c);
  if (!f) return;
  f.object->SetEnabledState(on);
  f.object->update();
}

void DoEnableObject(CommandContext& c) { SetEnabled(c, true); }
void DoDisableObject(CommandContext& c) { SetEnabled(c, false); }

// ---------------------------------------------------------------------------
// GetObjectInfo

enum InfoWord {
  kInfoVisible = 1,
  kInfoEnabled,
  kInfoLeft,
  kInfoTop,
  kInfoWidth,
  kInfoHeight,
  kInfoFileName,
  kInfoSelectedText,
  kInfoCursorPosition,
  kInfoImageWidth,
  kInfoImageHeight,
  kInfoMediaLength,
  kInfoCaption,
  kInfoAbsLeft,
  kInfoAbsTop
};

int InfoWordIndex(std::string_view word) {
  static const std::array<const char*, 15> kWords = {
      "Visible",    "Enabled",     "Left",        "Top",         "Width",
      "Height",     "FileName",    "SelectedText", "CursorPosition", "ImageWidth",
      "ImageHeight", "MediaLength", "Caption",     "AbsLeft",     "AbsTop"};
  for (size_t i = 0; i < kWords.size(); ++i)
    if (SameTextInvariant(word, kWords[i])) return static_cast<int>(i) + 1;
  return 0;
}

AnsiString TrueFalse(bool on) { return on ? "True" : "False"; }

AnsiString JoinItems(const std::vector<AnsiString>& items) {
  AnsiString out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += '|';
    out += items[i];
  }
  return out;
}

// The selected text of an edit field, line breaks as CR LF.
AnsiString EditSelectedText(const TVellionEditField& e) {
  if (e.Memo()) {
    QString s = e.Memo()->textCursor().selectedText();
    s.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return QStringToAnsi(s);
  }
  return e.LineEdit() ? QStringToAnsi(e.LineEdit()->selectedText()) : AnsiString();
}

// The 1-based place after the selection (or the caret), each line break
// counted as the two characters it is in the field's value.
int EditCursorPosition(const TVellionEditField& e) {
  if (e.Memo()) {
    const QTextCursor cur = e.Memo()->textCursor();
    QTextCursor end(e.Memo()->document());
    end.setPosition(cur.selectionEnd());
    return cur.selectionEnd() + end.blockNumber() + 1;
  }
  if (const QLineEdit* l = e.LineEdit()) {
    const int at = l->hasSelectedText() ? l->selectionStart() + static_cast<int>(l->selectedText().size())
                                        : l->cursorPosition();
    return at + 1;
  }
  return 1;
}

AnsiString ClassInfo(const TVellionObj* obj, int word) {
  if (AnsiString out; obj->CommandInfo(word, out)) return out;
  switch (word) {
    case kInfoFileName:
      if (auto* p = dynamic_cast<const TVellionPolygon*>(obj)) return p->ImageFile;
      if (auto* a = dynamic_cast<const TBaseArticle*>(obj)) return a->TextFile;
      if (auto* b = dynamic_cast<const TVellionPushBtn*>(obj)) {
        if (b->ImageStyle == vlbsLibrary) return b->LibImage;
        if (b->ImageStyle == vlbsIndividual) return b->UpImage;
      }
      return {};
    case kInfoSelectedText:
      if (auto* e = dynamic_cast<const TVellionEditField*>(obj)) return EditSelectedText(*e);
      if (auto* a = dynamic_cast<const TBaseArticle*>(obj))
        return a->View() ? QStringToAnsi(a->View()->SelectedText()) : AnsiString();
      return {};
    case kInfoCursorPosition:
      if (auto* e = dynamic_cast<const TVellionEditField*>(obj)) return std::to_string(EditCursorPosition(*e));
      return {};
    case kInfoMediaLength: return "0";
    case kInfoCaption:
      if (auto* e = dynamic_cast<const TVellionEditField*>(obj)) return e->Text();
      if (auto* l = dynamic_cast<const TVellionItemsObj*>(obj)) return JoinItems(l->Items());
      switch (obj->ObjType()) {
        case kObjTypePushButton:
        case kObjTypeText:
        case kObjTypeCheckBox:
        case kObjTypeRadio: return obj->Txt;
        default: return {};
      }
    default: return {};
  }
}

AnsiString ObjectInfo(const TVellionObj* obj, int word) {
  const QRect box = ObjectBox(obj);
  auto absolute = [&]() {
    QWidget* surface = ObjectSurface(obj);
    QWidget* parent = obj->parentWidget();
    if (!surface || !parent || parent == surface) return box.topLeft();
    return parent->mapTo(surface, box.topLeft());
  };
  switch (word) {
    case kInfoVisible: return TrueFalse(obj->VisibleState);
    case kInfoEnabled: return TrueFalse(obj->EnabledState);
    case kInfoLeft: return std::to_string(box.left());
    case kInfoTop: return std::to_string(box.top());
    case kInfoWidth: return std::to_string(box.width());
    case kInfoHeight: return std::to_string(box.height());
    case kInfoAbsLeft: return std::to_string(absolute().x());
    case kInfoAbsTop: return std::to_string(absolute().y());
    default: return ClassInfo(obj, word);
  }
}

void DoGetObjectInfo(CommandContext& c) {
  // The word first: a wrong word is reported whether the object exists or
  // not.
  const int word = InfoWordIndex(c.Arg(2));
  if (word == 0) {
    SetLastError(c.Arg(2) + "||" + Msg(252));
    SetVariable(c.Arg(3), "");
    return;
  }
  TFoundObject f = CommandObject(c);
  SetVariable(c.Arg(3), f ? ObjectInfo(f.object, word) : AnsiString());
}

// ---------------------------------------------------------------------------
// Place, size and order

void DoMoveObject(CommandContext& c) {
  TFoundObject f = CommandObject(c);
  if (!f) return;
  // The same offset the record's X and Y were given.
  const QPoint at = TheObjects().AreaOffset();
  MoveAndRedraw(f.object, TMoveMode::Move, ClampedInt(WholeArg(c.Arg(2)) + at.x()),
                ClampedInt(WholeArg(c.Arg(3)) + at.y()), 0, 0);
}

void DoSizeObject(CommandContext& c) {
  TFoundObject f = CommandObject(c);
  if (!f) return;
  MoveAndRedraw(f.object, TMoveMode::Size, 0, 0, ClampedInt(WholeArg(c.Arg(2))), ClampedInt(WholeArg(c.Arg(3))));
}

void DoObjectToFront(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj) return;
  // Qt keeps the children list in stacking order: lookups inside holders
  // follow the raise; the page's own list is told.
  obj->raise();
  TheObjects().BringToFront(obj);
  RedrawObject(obj);
}

void DoObjectToBack(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj) return;
  // The page backgrounds are painted by the page view beneath the layers,
  // so the object cannot go behind them.
  obj->lower();
  TheObjects().SendToBack(obj);
  if (obj->parentWidget()) obj->parentWidget()->update(obj->geometry());
}

// ---------------------------------------------------------------------------
// Focus, refresh, handle

void DoFocusObject(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj) return;
  QWidget* window = obj->window();
  window->activateWindow();
  window->setFocus(Qt::OtherFocusReason);
  if (!obj->VisibleState || !obj->isVisible()) return;
  if (auto* in = dynamic_cast<TVellionInputObj*>(obj)) {
    if (in->Inner()) in->Inner()->setFocus(Qt::OtherFocusReason);
    return;
  }
  if (auto* a = dynamic_cast<TVellionArticle*>(obj)) {
    if (a->View()) a->setFocus(Qt::OtherFocusReason);
    return;
  }
  switch (obj->ObjType()) {
    case kObjTypeText:
    case kObjTypeRect:  // it takes the focus only for a program it hosts
    case 15:            // timer
    case 16:            // track bar
    case 19:            // animator
    case 23:            // polygon
      return;
    default: obj->setFocus(Qt::OtherFocusReason);
  }
}

void DoRefreshObject(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj || obj->CommandRefresh()) return;
  if (dynamic_cast<TVellionTimer*>(obj) || dynamic_cast<TVellionTrackBar*>(obj)) return;
  if (auto* a = dynamic_cast<TVellionArticle*>(obj)) return a->Reload(true);
  if (auto* la = dynamic_cast<TVellionLinkedArticle*>(obj)) return la->First()->FlowChain();
  if (auto* p = dynamic_cast<TVellionPolygon*>(obj)) {
    p->SetImageFile(AnsiString(p->ImageFile));
    p->update();
    return;
  }
  if (auto* t = dynamic_cast<TVellionText*>(obj)) return t->ReloadText();
  if (dynamic_cast<TVellionInputObj*>(obj) || obj->ObjType() == kObjTypeRect) return obj->update();
  obj->window()->update();
}

// Objects are light widgets without native windows of their own (a native
// window would break their transparency), so a handle is a number the
// player gives each widget once: unique for the run, never 0.
AnsiString HandleOf(QWidget* w) {
  if (!w) return "0";
  static uint64_t next = 0x10000;
  QVariant v = w->property("vlHandle");
  if (!v.isValid()) {
    v = QVariant::fromValue<qulonglong>(next);
    next += 4;
    w->setProperty("vlHandle", v);
  }
  return std::to_string(v.toULongLong());
}

void DoGetObjectHandle(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj) return;
  AnsiString h;
  if (auto* in = dynamic_cast<TVellionInputObj*>(obj))
    h = HandleOf(in->Inner());
  else if (auto* a = dynamic_cast<TBaseArticle*>(obj))
    h = a->View() ? HandleOf(a) : AnsiString("0");
  else if (dynamic_cast<TVellionTimer*>(obj))
    h = "0";
  else
    h = HandleOf(obj);
  SetVariable(c.Arg(2), h);
}

// ---------------------------------------------------------------------------
// Caption and file name

void DoSetObjectCaption(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj) return;
  const AnsiString& text = c.Arg(2);
  if (auto* e = dynamic_cast<TVellionEditField*>(obj)) {
    e->SetText(text);
  } else if (auto* t = dynamic_cast<TVellionText*>(obj)) {
    t->Txt = text;
    t->ReloadText();
  } else if (auto* l = dynamic_cast<TVellionItemsObj*>(obj)) {
    // No item stays selected, and the variable is left as it is.
    l->ReplaceItems(SplitItems(BarsToLineBreaks(text), l->Sorted));
  } else if (auto* b = dynamic_cast<TVellionButton*>(obj)) {
    b->SetCaption(text);
  } else {
    SetLastError(Msg(341));
    return;
  }
  RedrawObject(obj);
}

void SetArticleFile(TVellionArticle* a, const AnsiString& file) {
  a->TextFile = file;
  a->WatchVariablesIn(file);
  a->Reload(true);
}

void SetLinkedArticleFile(TVellionLinkedArticle* a, const AnsiString& file) {
  if (a->TextFile == file) return;
  TVellionLinkedArticle* first = a->First();
  int guard = 0;
  for (TVellionLinkedArticle* m = first; m && guard < 100000; m = m->LinkNext, ++guard) {
    m->TextFile = file;
    m->WatchVariablesIn(file);
  }
  first->FlowChain();
}

void DoSetObjectFileName(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj) return;
  const AnsiString& file = c.Arg(2);
  if (obj->CommandSetFileName(file)) {
    // the class took it
  } else if (auto* p = dynamic_cast<TVellionPolygon*>(obj)) {
    p->SetImageFile(file);
  } else if (auto* a = dynamic_cast<TVellionArticle*>(obj)) {
    SetArticleFile(a, file);
  } else if (auto* la = dynamic_cast<TVellionLinkedArticle*>(obj)) {
    SetLinkedArticleFile(la, file);
  } else if (auto* b = dynamic_cast<TVellionPushBtn*>(obj)) {
    if (b->ImageStyle == vlbsLibrary)
      b->LibImage = file;
    else if (b->ImageStyle == vlbsIndividual)
      b->UpImage = file;
    else
      return;
    b->WatchVariablesIn(file);
    b->FillChanged();  // forgets the pictures that failed before
  } else {
    SetLastError(Msg(342));
    return;
  }
  RedrawObject(obj);
}

// ---------------------------------------------------------------------------
// Timers and track bars

void DoTimerStart(CommandContext& c) {
  if (auto* t = dynamic_cast<TVellionTimer*>(FoundAndCleared(c))) t->Start(WholeArg(c.Arg(2)));
}

void DoTimerStop(CommandContext& c) {
  if (auto* t = dynamic_cast<TVellionTimer*>(FoundAndCleared(c))) t->Stop();
}

// The track bar's limits are kept within what its arithmetic can hold.
constexpr int64_t kTrackLimit = 1000000000;

int TrackLimit(const AnsiString& text) {
  return static_cast<int>(std::clamp<int64_t>(WholeArg(text), -kTrackLimit, kTrackLimit));
}

void DoTrackBarSetMin(CommandContext& c) {
  if (auto* t = dynamic_cast<TVellionTrackBar*>(FoundAndCleared(c))) t->SetMinimum(TrackLimit(c.Arg(2)));
}

void DoTrackBarSetMax(CommandContext& c) {
  if (auto* t = dynamic_cast<TVellionTrackBar*>(FoundAndCleared(c))) t->SetMaximum(TrackLimit(c.Arg(2)));
}

const CommandBinder kBind{{cmd::EnableObject, DoEnableObject},
                          {cmd::DisableObject, DoDisableObject},
                          {cmd::GetObjectInfo, DoGetObjectInfo},
                          {cmd::MoveObject, DoMoveObject},
                          {cmd::SizeObject, DoSizeObject},
                          {cmd::ObjectToFront, DoObjectToFront},
                          {cmd::ObjectToBack, DoObjectToBack},
                          {cmd::FocusObject, DoFocusObject},
                          {cmd::RefreshObject, DoRefreshObject},
                          {cmd::GetObjectHandle, DoGetObjectHandle},
                          {cmd::SetObjectCaption, DoSetObjectCaption},
                          {cmd::SetObjectFileName, DoSetObjectFileName},
                          {cmd::TimerStart, DoTimerStart},
                          {cmd::TimerStop, DoTimerStop},
                          {cmd::TrackBarSetMin, DoTrackBarSetMin},
                          {cmd::TrackBarSetMax, DoTrackBarSetMax}};

}  // namespace
}  // namespace vl
