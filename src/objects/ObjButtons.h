#pragma once
// The three clickable objects: push buttons (ObjectType 3), check boxes (12)
// and radio buttons (13). They draw themselves (no native button), follow the
// mouse through press, drag and release, take hot keys and, when the
// publication shows the marquee, the keyboard focus.
#include <QPointer>
#include <functional>
#include <vector>

#include "objects/VellionObj.h"

class QFontMetrics;

namespace vl {

struct TCachedPicture;
class TVLImageView;

enum TVellionBtnStates : uint8_t { vlbsUp = 0, vlbsDown = 1, vlbsGrayed = 2 };
enum TVellionBtnStyles : uint8_t { bsStandard = 0, bsStandardBknd, bsToggle, bsRadio };
enum TVellionButtonImageStyles : uint8_t { vlbsNone = 0, vlbsLibrary, vlbsIndividual };

// Visual states: up, down, and (by style) hot or pressed.
constexpr int kVisualUp = 0;
constexpr int kVisualDown = 1;
constexpr int kVisualHot = 2;

// How long a hot key or the keyboard holds a button down.
constexpr int64_t kHotKeyPressMs = 150;
constexpr int64_t kKeyboardPressMs = 100;

// Whether themed drawing is available (the style of the platform draws the
// parts); always so with Qt's styles.
bool VisualStylesActive();

// The caption as a button shows it: variables substituted when it has "[",
// every "&" doubled, every "^" turned into "&" (the underlined letter).
AnsiString DisplayedButtonCaption(std::string_view text);

class TVellionButton : public TVellionObj {
 public:
  TVellionButton(QWidget* owner, int objType);

  bool StandAlone = false;
  bool AutoSize = false;
  TVellionBtnStates InitialState = vlbsUp;
  TVellionBtnStyles ButtonStyle = bsStandard;
  AnsiString VarName;  // bracketed
  // A stand-alone button (the player's dialogs) calls this instead of running
  // its click action.
  std::function<void()> OnClick;

  int Alignment() const { return alignment_; }  // 1 left, 2 centre, 4 right
  void SetAlignment(int a);
  bool UseXPTheme() const { return useXPTheme_; }
  virtual void SetUseXPTheme(bool on);
  bool Themed() const { return useXPTheme_ && VisualStylesActive(); }

  int VisualState() const { return visual_; }
  bool Pressed() const { return pressed_; }
  AnsiString DisplayedCaption() const { return DisplayedButtonCaption(Txt); }
  // A new caption: watched for its variables, sized again with AutoSize.
  void SetCaption(const AnsiString& text);
  // A new font: sized again with AutoSize.
  void FontChanged();

  // Runs the click action (event code 1, queued); a stand-alone button
  // calls OnClick.
  void DoClick() override;
  // A hot key presses the button as a click would: down, a pause, up.
  bool OfferHotKey(int key) override;
  // Presses and releases the left button at the middle, `holdMs` apart on
  // the clock (the event loop runs meanwhile).
  void PressAndRelease(int64_t holdMs);

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void SetEnabledState(bool on) override;
  void OnStart(const TObjectStart& how) override;
  void OnRelayout() override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  int CursorSlot() const override { return 1; }

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void hideEvent(QHideEvent* e) override;

  void SetVisualState(int state);
  // The visual state while the left button is held inside.
  int HeldState() const { return ButtonStyle == bsToggle || ButtonStyle == bsRadio ? kVisualHot : kVisualDown; }
  // Hooks of the families.
  virtual void MouseInsideChanged() {}
  virtual void ApplyAutoSize();
  // Whether a focus rectangle shows (focused, with the marquee on).
  bool ShowsFocus() const;
  // Keyboard focus follows SHOWMARQUEE= and the place on the page.
  void UpdateTabStop();
  // Draws `text` (already in the displayed form) with the access letter
  // underlined.
  void DrawCaption(QPainter& p, const QRect& r, int flags, const QString& text, const QColor& colour);
  // Draws the caption embossed (disabled): white, then grey up and left.
  void DrawEmbossed(QPainter& p, const QRect& r, int flags, const QString& text);
  QSize CaptionSize(const QString& text) const;
  // The box (or circle) and caption of check boxes and radio buttons.
  void DrawToggle(QPainter& p, bool radio);

  int visual_ = kVisualUp;
  int stateAtPress_ = kVisualUp;
  bool pressed_ = false;

 private:
  int alignment_ = 2;
  bool useXPTheme_ = true;
};

class TVellionPushBtn : public TVellionButton {
 public:
  TVellionPushBtn(QWidget* owner, int objType);

  AnsiString LibImage, UpImage, DownImage, OverImage;
  bool OverlayText = false;
  bool DepressEffect = true;
  TColor UpTransparentColor = kColorDefault;
  TColor DownTransparentColor = kColorDefault;
  TColor OverTransparentColor = kColorDefault;
  TVellionButtonImageStyles ImageStyle = vlbsNone;
  int BevelWidth = 2;

  bool GetIsTransparent() const override;
  void SetUseXPTheme(bool on) override;
  void FillChanged() override;
  void DrawShape(QPainter& p) override;
  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  // Whether the style has a picture it can show (library picture, or an
  // up, down or over picture of its own).
  bool HasPictureForStyle() const;
  // The picture file and transparent colour shown for a visual state, with
  // the frame of a library picture (-1 for individual pictures); false when
  // none loads.
  bool FaceFor(int state, AnsiString& file, TColor& key, int& frame) const;

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
  void MouseInsideChanged() override;

 private:
  void Recompute();
  bool Loads(const AnsiString& file) const;
  mutable std::vector<AnsiString> missing_;
};

class TVellionCheckBox : public TVellionButton {
 public:
  TVellionCheckBox(QWidget* owner, int objType);
  void DoClick() override;
  void OnStart(const TObjectStart& how) override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  void DrawShape(QPainter& p) override { DrawToggle(p, false); }

 protected:
  void MouseInsideChanged() override;
};

class TVellionRadioBtn : public TVellionButton {
 public:
  TVellionRadioBtn(QWidget* owner, int objType);
  ~TVellionRadioBtn() override;
  void DoClick() override;
  void OnStart(const TObjectStart& how) override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  void DrawShape(QPainter& p) override { DrawToggle(p, true); }

 protected:
  void MouseInsideChanged() override;
};

}  // namespace vl
