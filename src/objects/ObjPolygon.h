#pragma once
// TVellionPolygon: a drag object shaped by a list of points, or by the
// non-transparent pixels of a picture. Outside its outline it is not there
// for the mouse: clicks and the cursor reach what lies below.
#include <QPolygon>
#include <QRegion>
#include <string_view>
#include <vector>

#include "objects/VellionObj.h"

namespace vl {

class TVLImageView;

// More points than this in a POINTS= value are ignored.
constexpr int kMaxPolygonPoints = 10000;

class TVellionPolygon : public TVellionDragObj {
 public:
  TVellionPolygon(QWidget* owner, int objType);
  ~TVellionPolygon() override;

  AnsiString ImageFile;
  bool UseImageRgn = false;
  // Read only: the outline is the picture's.
  bool ImageRgnOK() const { return imageRgnOK_; }
  TColor TransColor = 0x20000000;  // none
  int Opacity() const { return opacity_; }
  // Read only: the picture of ImageFile was found and read.
  bool FileExists() const { return fileExists_; }

  void SetImageFile(std::string_view name);
  void SetTransColor(TColor c);
  void SetUseImageRgn(bool on);
  void SetOpacity(int opacity);

  // The POINTS= value: a count n, then n pairs of x, y relative to the
  // object. Missing or bad numbers read as 0; the count is capped at
  // kMaxPolygonPoints; a count of 0 or less gives no points.
  static std::vector<QPoint> ParsePoints(std::string_view text);
  const std::vector<QPoint>& Points() const { return points_; }
  void SetPoints(std::vector<QPoint> points);
  // The outline in the object's coordinates.
  const QRegion& Outline() const { return outline_; }

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void OnPageEnter() override;
  void OnPageLeave() override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  void DrawShape(QPainter& p) override;

 private:
  // Builds the outline (and loads the picture) from the current settings;
  // the picture is kept while the page shows.
  void RebuildShape();
  void ReleasePicture();

  std::vector<QPoint> points_;
  QPolygon polygon_;  // the points the outline was made of
  QRegion outline_;
  const TVLImageView* picture_ = nullptr;  // pinned in the picture cache
  bool imageRgnOK_ = false;
  bool fileExists_ = false;
  bool shown_ = false;  // between page enter and page leave
  int opacity_ = 255;
};

}  // namespace vl
