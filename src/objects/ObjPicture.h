#pragma once
// TVellionPicture: a still picture in one of seven layouts, zoomed, with a
// transparent colour or its own alpha over what lies below, an opacity, and
// either scroll bars (a scroll box holding the picture box) or panning by
// the mouse. The picture is read through the picture cache when it is first
// painted after a change of file (lazily), never held between paints.
#include <QPoint>
#include <QRect>
#include <string_view>

#include "objects/VellionObj.h"

class QScrollArea;

namespace vl {

enum TPicturePaintModes : uint8_t {
  pNormal = 0,
  pStretch,
  pStretchAspect,
  pTile,
  pTileHorz,
  pTileVert,
  pAuto
};

class TVellionPictureBox;

class TVellionPicture : public TVellionObj {
 public:
  TVellionPicture(QWidget* owner, int objType);
  ~TVellionPicture() override;

  // --- published properties
  bool Showing() const { return showing_; }
  bool FileExists();
  bool HasAlphaMask();
  const AnsiString& ImageFile() const { return imageFile_; }
  // The natural size (loaded first when not known yet).
  int ImageWidth();
  int ImageHeight();
  TPicturePaintModes PaintMode() const { return paintMode_; }
  bool ScrollBars() const { return scrollBars_; }
  bool MouseScrollable() const { return mouseScrollable_; }
  TColor TransColor() const { return transColor_; }
  int Opacity() const { return opacity_; }
  int ZoomFactor() const { return zoom_; }
  bool Centered = false;
  bool ResampleMode = false;
  // The scroll box, present only while the scroll bars are in use.
  QScrollArea* ScrollBox() const { return scrollBox_; }

  // A different name reloads at the next paint (and repaints).
  void SetImageFile(std::string_view name);
  // SetObjectFileName's way in: the picture always takes a file name.
  bool SetFileName(std::string_view name) {
    SetImageFile(name);
    return true;
  }
  // The object commands' ways in.
  bool CommandSetFileName(const AnsiString& file) override { return SetFileName(file); }
  bool CommandInfo(int word, AnsiString& out) const override;
  bool CommandRefresh() override {
    Reload();
    return true;
  }
  // max(10, |v|); the visible scroll positions follow the zoom.
  void SetZoomFactor(int v);
  // Clamped into 1..255.
  void SetOpacity(int v);
  void SetPaintMode(int mode);
  void SetScrollBars(bool on);
  void SetMouseScrollable(bool on);
  void SetTransColor(TColor c);
  // RefreshObject: read the file again at the next paint.
  void Reload();

  // Draws the picture into `r` of `p` (the object's own paint, the picture
  // box, printing with scale factors).
  void DrawPicture(QPainter& p, const QRect& r, bool printing, double sx, double sy);

  // The pan offsets (tests, the picture box).
  QPoint PanOffset() const { return pan_; }

  // --- the object's overrides
  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void SetFillPattern(int pattern) override;
  void SetTransparent(bool on) override;
  bool GetIsTransparent() const override;
  void DrawShape(QPainter& p) override;
  int CursorSlot() const override { return ClickAction.empty() ? 2 : 1; }
  void OnPageEnter() override;
  void OnPageLeave() override;
  void OnPageShown() override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  // The scroll box is a tab stop while the keyboard marquee is on and the
  // object lies at least partly inside its page.
  void OnRelayout() override;

 protected:
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  friend class TVellionPictureBox;
  void LoadNow();
  void LoadIfNeeded() {
    if (reloadNeeded_) LoadNow();
  }
  // Creates, updates or frees the scroll box; `resetPositions` scrolls back
  // to the top-left.
  void UpdateScrollBox(bool resetPositions);
  void FreeScrollBox();
  void UpdateCursor();
  void UpdateTabStop();
  // The picture's size at the current zoom.
  QSize ZoomedSize() const;
  // The rectangle the picture is drawn into on screen (inside the outline).
  QRect PictureArea() const;

  AnsiString imageFile_;
  AnsiString loadedName_;  // the resolved name last loaded
  bool reloadNeeded_ = true;
  bool usesVariables_ = false;
  bool vector_ = false;
  bool fileExists_ = false;
  bool hasAlpha_ = false;
  int naturalW_ = 0, naturalH_ = 0;
  bool showing_ = false;
  TPicturePaintModes paintMode_ = pNormal;
  bool scrollBars_ = false;
  bool mouseScrollable_ = false;
  TColor transColor_ = 0x1FFFFFFF;
  int opacity_ = 255;
  int zoom_ = 100;
  QScrollArea* scrollBox_ = nullptr;
  TVellionPictureBox* pictureBox_ = nullptr;
  QPoint pan_, panMax_;
  bool panning_ = false;
  QPoint lastMouse_;
};

}  // namespace vl
