#pragma once
// The track bar (ObjectType 16): a slider drawn by itself, bound to a
// variable, with a changing action while the thumb is dragged and a changed
// action when the value settles.
#include <functional>

#include "objects/VellionObj.h"

namespace vl {

enum TTrackBarOrientation : uint8_t { slHoriz = 0, slVertical = 1 };

class TVellionTrackBar : public TVellionObj {
 public:
  TVellionTrackBar(QWidget* owner, int objType);

  int TrackWidth = 3, TrackHeight = 3;
  int ThumbWidth = 10, ThumbHeight = 10;
  AnsiString ThumbImageFile, TrackImageFile;
  TColor ThumbTransColor = kColorDefault, TrackTransColor = kColorDefault;
  TTrackBarOrientation Orientation = slHoriz;
  AnsiString VarName;
  int InitialValue = 0;
  AnsiString ChangeAction, ChangingAction;
  // When set (the media player's position bar), the changed notification
  // calls only this.
  std::function<void()> OnChange;

  int Minimum() const { return min_; }
  int Maximum() const { return max_; }
  int Value() const { return value_; }
  // Clamps, stores and (unless `silent` or dragging) repaints and runs the
  // changed notification.
  void SetValue(int v, bool silent = false);
  void SetMinimum(int v);
  void SetMaximum(int v);
  void SetTrackWidth(int v) { TrackWidth = TrackHeight = v; update(); }
  void SetThumbHeight(int v) { ThumbHeight = ThumbWidth = v; update(); }
  QRect TrackRect() const;
  QRect ThumbRect() const;
  bool Dragging() const { return dragging_; }

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void OnStart(const TObjectStart& how) override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  void DrawShape(QPainter& p) override;
  bool SelectText(const AnsiString& text, AnsiString& error) override;
  int CursorSlot() const override { return 1; }

  // The notifications (the media player hooks the changed one).
  virtual void Changing();
  virtual void Changed();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void DrawPicture(QPainter& p, const AnsiString& file, const QRect& r) const;
  bool PictureSize(const AnsiString& file, QSize& size) const;

  int min_ = 0, max_ = 100, value_ = 0;
  bool dragging_ = false;
  bool busy_ = false;
  int pressValue_ = 0;
  int grabOffset_ = 0;
};

}  // namespace vl
