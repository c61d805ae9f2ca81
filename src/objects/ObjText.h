#pragma once
// TVellionText (ObjectType 8): a block of rich text stored in the
// publication, drawn over what lies beneath it, showing the current values
// of the variables written in it and turning its links into actions. It
// can be dragged like the other drag objects.
#include <memory>

#include "objects/VellionObj.h"
#include "richtext/RichText.h"

namespace vl {

class TVellionText : public TVellionDragObj {
 public:
  TVellionText(QWidget* owner, int objType);
  ~TVellionText() override;

  bool WordWrap = true;
  int VertMargin = 0;
  int HorzMargin = 0;

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void OnStart(const TObjectStart& how) override;
  void OnPageEnter() override;
  void OnPageLeave() override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  void DrawShape(QPainter& p) override;

  // The font change of SetObjectFont: the object's font on every character,
  // styles replaced (mode 2) or added; remembered while there is no view.
  void ChangeFont(int mode);
  // Shows Txt again (a new text set by SetObjectCaption).
  void ReloadText();
  // The view while the page is shown (null otherwise).
  TVelRichText* View() const { return view_.get(); }
  // The area the text is laid out in: the client area less the outline and
  // the margins.
  QRect TextRect() const;
  // Whether a merge field of the text shows the variable (directly, or as
  // the index of an array element: [a[i]] shows [a2] while [i] is 2).
  bool FieldShows(const AnsiString& bracketName) const;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void LoadView();
  void WatchFields();
  bool LinkUnder(QPoint at, TRichLink* link = nullptr) const;
  void FollowLink(const TRichLink& link);

  std::unique_ptr<TVelRichText> view_;
  int pendingFontMode_ = 0;
  int savedScroll_ = 0;
  bool pressedOnLink_ = false;
  bool overLink_ = false;
};

// What a link click runs: the target with its line marks made line breaks.
AnsiString LinkActionText(const QString& target);

// What text objects and articles share about the variables their text shows:
// whether a change of `bracketName` alters what `view` shows (an indexed
// reference such as [a[i]] shows the element its index names now), and
// watching every variable the fields name, that element included.
bool RichTextShowsVariable(const TVelRichText& view, const AnsiString& bracketName);
void WatchRichTextFields(TVellionObj& obj, const TVelRichText& view);
// The link of `view`, laid out in `textRect`, under the point `at` (both
// in the object's coordinates); false when there is none.
bool RichLinkUnder(const TVelRichText& view, const QRect& textRect, QPoint at, TRichLink* link);

}  // namespace vl
