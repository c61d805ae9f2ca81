#pragma once
// TVellionObj: the base of every page object. An object is a light child
// widget of its page layer (or of the group or container holding it): no
// native window of its own, painted over its parent and the objects below
// it in creation order. It is created once from its record when the
// publication loads and lives until the player closes.
//
// What the rest of the player tells objects arrives as plain virtual calls
// (OnStart, OnPageEnter, ...) in the order TPageObjects sends them; holders
// (groups and containers) pass each on to their children.
#include <QCursor>
#include <QFont>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "actions/EventCodes.h"
#include "runtime/Ansi.h"
#include "runtime/Global.h"
#include "runtime/Publication.h"

class QPainter;

namespace vl {

enum TVellionPenStyle : uint8_t {
  vlpsSolid = 0,
  vlpsDash,
  vlpsDot,
  vlpsDashDot,
  vlpsDashDotDot,
  vlpsRaised,
  vlpsSunken,
  vlpsClear
};

// The default fill: the button face colour of the system palette.
constexpr TColor kButtonFaceColor = 0xFF00000F;

// What the start notice tells the objects (taken from the start hook's
// context by the objects' lifecycle participant).
struct TObjectStart {
  bool chainedStart = false;
};

// Where the record being read puts its coordinates.
struct TObjectReadContext {
  // Added to X, Y, X1, Y1, X2, Y2: the publication area's top-left for an
  // object directly on a page, (0, 0) inside a group or container.
  QPoint offset;
  bool onPage = true;
};

class TVellionObj : public QWidget {
 public:
  TVellionObj(QWidget* owner, int objType);
  ~TVellionObj() override;

  // --- identity
  int ObjType() const { return objType_; }
  const AnsiString& Name() const { return name_; }
  void SetName(std::string_view name);

  // --- published properties
  AnsiString Txt;
  bool VisibleState = true;
  bool EnabledState = true;
  int LineWidth() const { return lineWidth_; }
  TColor LineColor = 0;
  TVellionPenStyle LineStyle = vlpsSolid;
  TColor FillColor = kButtonFaceColor;
  uint8_t FillPattern() const { return fillPattern_; }
  bool Transparent() const { return transparent_; }
  bool IsTransparent() const { return isTransparent_; }
  AnsiString Hint;
  int HotKey = 0;  // virtual key in the low byte; 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt
  int TabOrder = -1;
  int Anchor = 0;  // 0 none, 1 top, 2 bottom, 3 left, 4 right, 5 fill
  // The colour, name, size, style bits and character set of its text, as
  // the record gave them (ObjectFont() makes the screen font of them).
  TColor FontColor = 0;
  AnsiString FontName = "MS Sans Serif";
  int FontSize = 8;
  int FontStyle = 0;
  int FontCharset = 1;
  QFont ObjectFont() const;

  // The common action texts (the families add their own).
  AnsiString ClickAction, RClickAction, EnterAction, ExitAction;

  // --- virtual operations
  virtual void SetEnabledState(bool on);
  virtual void SetVisibleState(bool on);
  virtual void SetLineWidth(int width);
  virtual void SetFillPattern(int pattern);
  virtual void SetTransparent(bool on);
  virtual bool GetIsTransparent() const { return isTransparent_; }
  // Paints the object: PaintShape prepares what DrawShape needs.
  virtual void PaintShape(QPainter& p);
  virtual void DrawShape(QPainter& p);
  virtual void FillChanged() {}
  virtual void LineChanged() {}
  // Paints the object and its visible children into a foreign picture at
  // (x, y): drag images, transitions, composition.
  virtual void PaintTo(QPainter& p, int x, int y);

  // Applies one key of its record; false when the class does not use it
  // (it is then ignored). Subclasses handle theirs and pass the rest on.
  virtual bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx);
  // Called once all keys of the record were applied.
  virtual void Loaded() {}
  bool Reading() const { return reading_; }
  void SetReading(bool on) { reading_ = on; }

  // --- notifications (holders pass them on to their children)
  // `how.chainedStart`: started in place of another publication; unchecked
  // boxes, raised radio buttons, empty fields and lists then clear their
  // variables.
  virtual void OnStart(const TObjectStart& how) { (void)how; }
  virtual void OnModalState(bool ended) { (void)ended; }
  // `bracketName` is upper case and bracketed ("[SCORE]").
  virtual void OnVarChanged(const AnsiString& bracketName, const AnsiString& value);
  virtual void OnPageLeave() {}
  virtual void OnPageEnter() {}
  virtual void OnPageShown() {}
  virtual void OnRelayout() {}
  virtual void OnParentSized() {}
  virtual void OnShutdown() {}

  // A key offered by the main window (a shortcut value with the Shift, Ctrl
  // and Alt bits); true when this object took it.
  virtual bool OfferHotKey(int key);
  // Buttons, check boxes, radio buttons: what a click does (the headless
  // click reaches it through real mouse events; this is for hot keys).
  virtual void DoClick() {}

  // --- what the object commands ask of a class beyond the common
  // properties. The families built in src/objects are handled by the
  // commands themselves; a family with a file, a picture or a medium of its
  // own (pictures, animators, media players, browsers, Flash) overrides
  // these.
  // SetObjectFileName: takes `file` (and reloads); false when the class has
  // no file (the command then reports it).
  virtual bool CommandSetFileName(const AnsiString& file) {
    (void)file;
    return false;
  }
  // GetObjectInfo's words of a class: 7 FileName, 8 SelectedText,
  // 9 CursorPosition, 10 ImageWidth, 11 ImageHeight, 12 MediaLength,
  // 13 Caption. True with `out` set when the class answers the word.
  virtual bool CommandInfo(int word, AnsiString& out) const {
    (void)word;
    (void)out;
    return false;
  }
  // RefreshObject: redraws or reloads what the class shows; false when it
  // has nothing of its own to refresh (the whole window is repainted).
  virtual bool CommandRefresh() { return false; }

  // The headless steps beyond the mouse: "select" picks an item by its text,
  // "type" types into the object. False with `error` set when the object
  // cannot.
  virtual bool SelectText(const AnsiString& text, AnsiString& error);
  virtual QWidget* TypingTarget() { return nullptr; }

  // Runs `text` for event `code`: at once with flag 4, else queued on this
  // object. An empty text runs nothing. Nothing runs while object events are
  // suppressed (before the first paint, while closing).
  void RunObjectAction(const AnsiString& text, uint8_t code, uint8_t flags);

  // The variables the object's texts refer to; the object hears of their
  // changes (OnVarChanged) only when it asked.
  void WatchVariablesIn(std::string_view text);
  void WatchVariable(std::string_view bracketName);
  // Whether `text` refers to the variable `bracketName` (upper case).
  static bool TextUsesVariable(std::string_view text, std::string_view bracketName);

  // The cursor slot of the object: 1 hot spot, 2 application, 3 drag (the
  // cursor table of platform/Cursors.h), 0 the text cursor.
  virtual int CursorSlot() const { return ClickAction.empty() ? 2 : 1; }
  void ApplyCursor();

  // Buttons and rectangles hosting programs: tab stops on keyboard
  // navigation.
  bool MouseInside() const { return mouseInside_; }

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

  // Mouse enter and leave as the objects see them (the polygon calls these
  // for its outline).
  void MouseEntered();
  void MouseLeft();
  // Whether the click and right-click actions run on mouse release; classes
  // with their own mouse handling turn it off.
  bool runClickOnRelease_ = true;
  // Set by classes that are always composed over what lies behind them.
  void SetFixedTransparency(bool transparent);

  // Reading helpers for ApplyKey.
  static int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }
  // The record's text with "\xB6" turned into CR LF.
  static AnsiString TextValue(const TObjectKey& key) { return ExpandLineBreaks(key.raw); }

  int objType_;
  AnsiString name_;
  int lineWidth_ = 1;
  uint8_t fillPattern_ = 0;
  bool transparent_ = false;
  bool isTransparent_ = false;
  bool fixedTransparency_ = false;
  bool mouseInside_ = false;
  bool reading_ = false;

 private:
  void UpdateTransparency();
};

// Geometry keys: positions outside this range are clamped (a hostile record
// cannot make a widget of absurd size).
constexpr int kMaxObjectCoordinate = 32000;
constexpr int kMaxObjectExtent = 16384;

// TVellionRepositor: objects that hold other objects (groups, containers).
class TVellionRepositor : public TVellionObj {
 public:
  using TVellionObj::TVellionObj;
  // The child objects in creation order.
  std::vector<TVellionObj*> ChildObjects() const;

  void SetEnabledState(bool on) override;
  void OnStart(const TObjectStart& how) override;
  void OnModalState(bool ended) override;
  void OnPageLeave() override;
  void OnPageEnter() override;
  void OnPageShown() override;
  void OnRelayout() override;
  void OnParentSized() override;
  void OnShutdown() override;
  bool OfferHotKey(int key) override;
  // Re-docks the children (ANCHOR=) in the client area.
  virtual void AlignChildren();
  // The client area children dock in.
  virtual QRect ChildArea() const { return rect(); }

 protected:
  void resizeEvent(QResizeEvent* e) override;
};

// TVellionDragObj: the base of objects that can be dragged and dropped.
// The drag shows the object's picture over its holder (the object stays
// where it is until the drop); the drop may go to named target objects and
// runs DropAction, which can accept, reject or move it through [DropAccept],
// [DropX], [DropY] and [DropTarget]. A press and release without a drag is a
// click (ClickAction, RClickAction).
class TVellionDragObj : public TVellionObj {
 public:
  using TVellionObj::TVellionObj;
  ~TVellionDragObj() override;
  // Bits: 0x1 draggable anywhere, 0x2 draggable onto DropTargets, 0x4 to
  // the front after an accepted drop, 0x8 hidden while its image moves.
  int DragMode = 0;
  AnsiString DropAction;
  AnsiString DropTargets;  // object names separated by "|"
  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  int CursorSlot() const override {
    return !ClickAction.empty() ? 1 : Draggable() ? 3 : 2;
  }
  virtual void UpdateCursor() { ApplyCursor(); }
  void SetDragMode(int mode);

  bool Draggable() const { return (DragMode & 0x3) != 0; }
  bool Dragging() const { return image_ != nullptr; }
  // The object whose image is being dragged, if any.
  static TVellionDragObj* DraggedObject();
  // Ends a drag without dropping (the page is left).
  void CancelDrag();
  void OnPageLeave() override;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  bool BeginDrag(QPoint at);
  void Drop(QPoint mouseInParent);
  QPoint ClampToBounds(QPoint p) const;
  void EndDragImage();

  QPoint downPos_;        // where the left button went down
  bool armed_ = false;    // the left button is down on a draggable object
  bool busy_ = false;     // a drop is being handled
  bool hiddenForDrag_ = false;
  QRect dragBounds_;      // where the mouse may go, in the holder's coordinates
  QPoint hotSpot_;
  QPointer<QWidget> image_;
};

// The colour the display shows for a publication colour (system colours
// resolved, the palette applied on a 256-colour display).
QColor DisplayColor(TColor c);

// Whether shapes are drawn by the smooth (antialiased) renderer: the display
// shows more than 256 colours (Globals().displayColorCount).
bool UseSmoothRenderer();

// Object events are suppressed from the creation of the main window until
// its first paint and again from the close request on.
bool ObjectEventsSuppressed();
void SetObjectEventsSuppressed(bool on);

// The object file name as the objects use it: trimmed, variables
// substituted when it has "[", embedded names mapped, a leading "!" removed.
AnsiString ResolveObjectFileName(std::string_view name);

// The cursor for a slot: 1 hot spot, 2 application, 3 drag (the cursor table
// of platform/Cursors.h), 0 the text cursor.
QCursor ObjectCursor(int slot);

}  // namespace vl
