// What all three button kinds share: the caption, press, drag and release,
// hot keys, the keyboard with the marquee, and the drawing of check boxes
// and radio buttons.
#include <QApplication>
#include <QFocusEvent>
#include <QHideEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

#include "actions/Vars.h"
#include "objects/ObjButtons.h"
#include "objects/PageObjects.h"
#include "runtime/Clock.h"

namespace vl {

bool VisualStylesActive() { return true; }

AnsiString DisplayedButtonCaption(std::string_view text) {
  const AnsiString expanded = text.find('[') != std::string_view::npos ? ExpandVariables(text) : AnsiString(text);
  AnsiString out;
  out.reserve(expanded.size() + 8);
  for (char c : expanded) {
    if (c == '&')
      out += "&&";
    else if (c == '^')
      out += '&';
    else
      out += c;
  }
  return out;
}

namespace {
// A caption as the screen takes it: CR LF line breaks become plain ones.
QString ScreenText(const AnsiString& text) {
  QString s = AnsiToQString(text);
  s.remove(QChar('\r'));
  return s;
}
}  // namespace

TVellionButton::TVellionButton(QWidget* owner, int objType) : TVellionObj(owner, objType) {
  // The buttons follow press, drag and release themselves.
  runClickOnRelease_ = false;
}

void TVellionButton::SetAlignment(int a) {
  alignment_ = a & 0xFF;
  update();
}

void TVellionButton::SetUseXPTheme(bool on) {
  useXPTheme_ = on;
  update();
}

void TVellionButton::SetCaption(const AnsiString& text) {
  Txt = text;
  WatchVariablesIn(Txt);
  if (AutoSize) ApplyAutoSize();
  update();
}

void TVellionButton::FontChanged() {
  if (AutoSize) ApplyAutoSize();
  update();
}

bool TVellionButton::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  const int n = key.number;
  switch (key.id) {
    case TPubKey::Text: Txt = TextValue(key); return true;
    case TPubKey::Align: SetAlignment(n); return true;
    case TPubKey::InitState:
      if (n >= 0 && n <= 2) InitialState = static_cast<TVellionBtnStates>(n);
      return true;
    case TPubKey::XpTheme: SetUseXPTheme(key.flag); return true;
    case TPubKey::AutoSize: AutoSize = key.flag; return true;
    case TPubKey::VarName: VarName = key.raw.empty() ? AnsiString() : NormalizeVarName(key.raw); return true;
    default: return TVellionObj::ApplyKey(key, ctx);
  }
}

void TVellionButton::Loaded() {
  WatchVariablesIn(Txt);
  if (!VarName.empty()) WatchVariable(VarName);
  if (AutoSize) ApplyAutoSize();
}

void TVellionButton::SetEnabledState(bool on) {
  const bool wasInside = mouseInside_;
  TVellionObj::SetEnabledState(on);
  if (wasInside != mouseInside_) MouseInsideChanged();
  if (!on && pressed_) {
    // A button disabled while held goes back to how it was.
    pressed_ = false;
    SetVisualState(stateAtPress_);
  }
  update();
}

void TVellionButton::OnStart(const TObjectStart&) { UpdateTabStop(); }
void TVellionButton::OnRelayout() { UpdateTabStop(); }

void TVellionButton::OnVarChanged(const AnsiString& bracketName, const AnsiString&) {
  if (!TextUsesVariable(Txt, bracketName)) return;
  if (AutoSize) ApplyAutoSize();
  update();
}

void TVellionButton::SetVisualState(int state) {
  if (state == visual_) return;
  visual_ = state;
  update();
}

void TVellionButton::DoClick() {
  if (StandAlone && OnClick) {
    OnClick();
    return;
  }
  RunObjectAction(ClickAction, evClick, 0);
}

bool TVellionButton::OfferHotKey(int key) {
  if (HotKey == 0 || key != HotKey || !isVisibleTo(parentWidget()) || !EnabledState) return false;
  // A key held down repeats: the press under way is the one that counts.
  if (!pressed_) PressAndRelease(kHotKeyPressMs);
  return true;
}

void TVellionButton::PressAndRelease(int64_t holdMs) {
  QPointer<TVellionButton> self(this);
  const QPointF middle(width() / 2, height() / 2);
  const QPointF global = mapToGlobal(middle);
  QMouseEvent down(QEvent::MouseButtonPress, middle, middle, global, Qt::LeftButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(this, &down);
  // The event loop runs while the button is held: timers and queued actions
  // go on, and the button shows pressed.
  TheClock().Sleep(holdMs);
  if (!self) return;
  QMouseEvent up(QEvent::MouseButtonRelease, middle, middle, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(this, &up);
}

void TVellionButton::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !EnabledState || pressed_) {
    QWidget::mousePressEvent(e);
    return;
  }
  if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
  pressed_ = true;
  stateAtPress_ = visual_;
  SetVisualState(HeldState());
}

void TVellionButton::mouseMoveEvent(QMouseEvent* e) {
  if (!pressed_) {
    QWidget::mouseMoveEvent(e);
    return;
  }
  const bool inside = rect().contains(e->position().toPoint());
  SetVisualState(inside ? HeldState() : stateAtPress_);
}

void TVellionButton::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !pressed_) {
    QWidget::mouseReleaseEvent(e);
    return;
  }
  pressed_ = false;
  const bool inside = rect().contains(e->position().toPoint());
  int state = stateAtPress_;
  bool click = inside;
  switch (ButtonStyle) {
    case bsStandard:
    case bsStandardBknd: state = inside ? stateAtPress_ : kVisualUp; break;
    case bsToggle:
      if (inside) state = 1 - (stateAtPress_ == kVisualHot ? kVisualDown : stateAtPress_);
      break;
    case bsRadio:
      if (inside) {
        state = kVisualDown;
        click = stateAtPress_ == kVisualUp;
      }
      break;
  }
  SetVisualState(state);
  if (click) DoClick();
}

void TVellionButton::keyPressEvent(QKeyEvent* e) {
  const int k = e->key();
  if (ShowsFocus() && EnabledState && !e->isAutoRepeat() &&
      (k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space) &&
      !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    e->accept();
    PressAndRelease(kKeyboardPressMs);
    return;
  }
  QWidget::keyPressEvent(e);
}

void TVellionButton::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  update();
}

void TVellionButton::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  update();
}

void TVellionButton::enterEvent(QEnterEvent* e) {
  const bool was = mouseInside_;
  TVellionObj::enterEvent(e);
  if (was != mouseInside_) MouseInsideChanged();
}

void TVellionButton::leaveEvent(QEvent* e) {
  const bool was = mouseInside_;
  TVellionObj::leaveEvent(e);
  if (was != mouseInside_) MouseInsideChanged();
}

void TVellionButton::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  // Hidden while held (by the action of a hot key, say): the release will
  // not come, so the button lets go now.
  if (pressed_) {
    pressed_ = false;
    SetVisualState(stateAtPress_);
  }
}

bool TVellionButton::ShowsFocus() const {
  // The window's focus widget counts while the window is not active, too
  // (headless runs).
  return Globals().showMarquee && (hasFocus() || (window() && window()->focusWidget() == this));
}

void TVellionButton::UpdateTabStop() {
  bool stop = false;
  if (Globals().showMarquee) {
    // At least partly inside the page: the first holder that is no object.
    QWidget* page = parentWidget();
    while (page && dynamic_cast<TVellionObj*>(page)) page = page->parentWidget();
    if (page) stop = QRect(mapTo(page, QPoint(0, 0)), size()).intersects(page->rect());
  }
  setFocusPolicy(stop ? Qt::StrongFocus : Qt::NoFocus);
  if (!stop && hasFocus()) clearFocus();
}

QSize TVellionButton::CaptionSize(const QString& text) const {
  const QFontMetrics fm(ObjectFont());
  return fm.size(Qt::TextShowMnemonic, text);
}

void TVellionButton::ApplyAutoSize() {
  const QString t = ScreenText(DisplayedCaption());
  int tw = 13, th = 0;
  if (t.isEmpty()) {
    th = QFontMetrics(ObjectFont()).size(0, QStringLiteral("X")).height();
  } else {
    const QSize s = CaptionSize(t);
    tw = s.width();
    th = s.height();
  }
  if (Alignment() == 2)
    th += 17;
  else
    tw += 17;
  resize(std::max(tw + 3, 13), std::max(th + 3, 13));
}

void TVellionButton::DrawCaption(QPainter& p, const QRect& r, int flags, const QString& text, const QColor& colour) {
  p.setFont(ObjectFont());
  p.setPen(colour);
  p.drawText(r, flags | Qt::TextShowMnemonic, text);
}

void TVellionButton::DrawEmbossed(QPainter& p, const QRect& r, int flags, const QString& text) {
  DrawCaption(p, r, flags, text, QColor(255, 255, 255));
  DrawCaption(p, r.translated(-1, -1), flags, text, QColor(0x80, 0x80, 0x80));
}

// ---------------------------------------------------------------------------
// Check boxes and radio buttons

namespace {

constexpr int kBoxSize = 13;
constexpr int kBoxGap = 4;

// The classic frame: a white well (button face when pushed or inactive)
// with a sunken two-pixel edge; the mark in black, grey when inactive.
void DrawClassicBox(QPainter& p, const QRect& box, bool radio, int state, bool enabled) {
  const QColor dark(0x80, 0x80, 0x80), darker(0x40, 0x40, 0x40), light(0xC0, 0xC0, 0xC0), white(255, 255, 255);
  const QColor well = state == kVisualHot || !enabled ? DisplayColor(kButtonFaceColor) : white;
  const QColor mark = enabled ? QColor(0, 0, 0) : dark;
  p.save();
  p.translate(box.topLeft());
  if (radio) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(dark);
    p.setBrush(well);
    p.drawEllipse(QRect(0, 0, kBoxSize - 1, kBoxSize - 1));
    p.setPen(darker);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(1, 1, kBoxSize - 3, kBoxSize - 3), 45 * 16, 180 * 16);
    if (state == kVisualDown) p.fillRect(QRect(5, 5, 4, 4), mark);
  } else {
    p.fillRect(QRect(0, 0, kBoxSize, kBoxSize), white);
    p.fillRect(QRect(2, 2, kBoxSize - 4, kBoxSize - 4), well);
    p.fillRect(QRect(0, 0, kBoxSize - 1, 1), dark);
    p.fillRect(QRect(0, 0, 1, kBoxSize - 1), dark);
    p.fillRect(QRect(1, 1, kBoxSize - 3, 1), darker);
    p.fillRect(QRect(1, 1, 1, kBoxSize - 3), darker);
    p.fillRect(QRect(1, kBoxSize - 2, kBoxSize - 2, 1), light);
    p.fillRect(QRect(kBoxSize - 2, 1, 1, kBoxSize - 2), light);
    if (state == kVisualDown) {
      // A tick three pixels thick through the middle.
      for (int x = 3; x <= 9; ++x) {
        const int y = x <= 5 ? 5 + (x - 3) : 7 - (x - 5);
        p.fillRect(QRect(x, y, 1, 3), mark);
      }
    }
  }
  p.restore();
}

}  // namespace

void TVellionButton::DrawToggle(QPainter& p, bool radio) {
  const QRect r = rect();
  const QString text = ScreenText(DisplayedCaption());
  const QSize ts = text.isEmpty() ? QSize(0, 0) : CaptionSize(text);
  const int gap = text.isEmpty() ? 0 : kBoxGap;
  QRect box, caption;
  if (Alignment() == 2) {
    const int top = (r.height() - (kBoxSize + gap + ts.height())) / 2;
    box = QRect((r.width() - kBoxSize) / 2, top, kBoxSize, kBoxSize);
    caption = QRect((r.width() - ts.width()) / 2, top + kBoxSize + gap, ts.width(), ts.height());
  } else if (Alignment() == 4) {
    box = QRect(r.width() - kBoxSize, (r.height() - kBoxSize) / 2, kBoxSize, kBoxSize);
    caption = QRect(box.left() - gap - ts.width(), (r.height() - ts.height()) / 2, ts.width(), ts.height());
  } else {
    box = QRect(0, (r.height() - kBoxSize) / 2, kBoxSize, kBoxSize);
    caption = QRect(kBoxSize + gap, (r.height() - ts.height()) / 2, ts.width(), ts.height());
  }

  if (Themed()) {
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.rect = box;
    opt.state = QStyle::State_None;
    if (EnabledState) opt.state |= QStyle::State_Enabled;
    opt.state |= visual_ == kVisualDown ? QStyle::State_On : QStyle::State_Off;
    if (visual_ == kVisualHot)
      opt.state |= QStyle::State_Sunken;
    else if (mouseInside_ && EnabledState)
      opt.state |= QStyle::State_MouseOver;
    style()->drawPrimitive(radio ? QStyle::PE_IndicatorRadioButton : QStyle::PE_IndicatorCheckBox, &opt, &p, this);
  } else {
    DrawClassicBox(p, box, radio, visual_, EnabledState);
  }

  if (!text.isEmpty()) {
    const int flags = Qt::AlignLeft | Qt::AlignTop;
    if (EnabledState)
      DrawCaption(p, caption, flags, text, DisplayColor(FontColor));
    else
      DrawEmbossed(p, caption, flags, text);
  }
  if (ShowsFocus()) {
    QPen pen(QColor(0, 0, 0));
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(caption.adjusted(-1, -1, 0, 0));
  }
}

// ---------------------------------------------------------------------------

TVellionCheckBox::TVellionCheckBox(QWidget* owner, int objType) : TVellionButton(owner, objType) {
  ButtonStyle = bsToggle;
  SetAlignment(1);
  SetFixedTransparency(true);
}

void TVellionCheckBox::OnStart(const TObjectStart& how) {
  TVellionButton::OnStart(how);
  SetVisualState(InitialState);
  if (VarName.empty()) return;
  if (InitialState == vlbsDown)
    SetVariable(VarName, "Checked");
  else if (how.chainedStart)
    SetVariable(VarName, "");
}

void TVellionCheckBox::DoClick() {
  if (!VarName.empty()) SetVariable(VarName, visual_ == kVisualDown ? "Checked" : "");
  TVellionButton::DoClick();
}

void TVellionCheckBox::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  TVellionButton::OnVarChanged(bracketName, value);
  if (!VarName.empty() && SameTextInvariant(bracketName, VarName))
    SetVisualState(SwitchIsOn(value) ? kVisualDown : kVisualUp);
}

void TVellionCheckBox::MouseInsideChanged() {
  if (Themed()) update();
}

// ---------------------------------------------------------------------------

namespace {

std::vector<TVellionRadioBtn*>& Radios() {
  static std::vector<TVellionRadioBtn*> all;
  return all;
}

// Radio buttons writing each other's variables through their captions could
// go on for ever; a chain this deep is cut.
int gRadioDepth = 0;
constexpr int kMaxRadioDepth = 16;

}  // namespace

TVellionRadioBtn::TVellionRadioBtn(QWidget* owner, int objType) : TVellionButton(owner, objType) {
  ButtonStyle = bsRadio;
  SetAlignment(1);
  SetFixedTransparency(true);
  Radios().push_back(this);
}

TVellionRadioBtn::~TVellionRadioBtn() {
  auto& all = Radios();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void TVellionRadioBtn::OnStart(const TObjectStart& how) {
  TVellionButton::OnStart(how);
  SetVisualState(InitialState);
  if (VarName.empty()) return;
  if (InitialState == vlbsDown) {
    SetVariable(VarName, DisplayedCaption());
  } else if (how.chainedStart) {
    // A raised button clears the group's variable only when no button of
    // the group starts down, so the selection is not lost to the order in
    // which the buttons start.
    for (const TVellionRadioBtn* r : Radios())
      if (r->InitialState == vlbsDown && SameTextInvariant(r->VarName, VarName)) return;
    SetVariable(VarName, "");
  }
}

void TVellionRadioBtn::DoClick() {
  if (visual_ == kVisualDown && !VarName.empty()) SetVariable(VarName, DisplayedCaption());
  TVellionButton::DoClick();
}

void TVellionRadioBtn::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  TVellionButton::OnVarChanged(bracketName, value);
  if (VarName.empty()) return;
  if (SameTextInvariant(bracketName, VarName)) {
    SetVisualState(SameTextInvariant(DisplayedCaption(), value) ? kVisualDown : kVisualUp);
    return;
  }
  if (visual_ != kVisualDown || !TextUsesVariable(Txt, bracketName) || gRadioDepth >= kMaxRadioDepth) return;
  // The caption of the chosen button changed: the group's value follows.
  const AnsiString caption = DisplayedCaption();
  if (ExpandReference(VarName) == caption) return;
  ++gRadioDepth;
  SetVariable(VarName, caption);
  --gRadioDepth;
}

void TVellionRadioBtn::MouseInsideChanged() {
  if (Themed()) update();
}

VL_REGISTER_OBJECT(12, TVellionCheckBox);
VL_REGISTER_OBJECT(13, TVellionRadioBtn);

}  // namespace vl
