// Groups (an invisible holder of grouped objects) and containers (a framed
// holder with margins and a size action).
#include <QResizeEvent>

#include "actions/Interpreter.h"
#include "objects/PageObjects.h"

namespace vl {

class TVellionGroup : public TVellionRepositor {
 public:
  TVellionGroup(QWidget* owner, int objType) : TVellionRepositor(owner, objType) { SetFixedTransparency(true); }
  void DrawShape(QPainter&) override {}
};

class TVellionContainer : public TVellionRepositor {
 public:
  using TVellionRepositor::TVellionRepositor;
  int VertMargin = 0;
  int HorzMargin = 0;
  AnsiString SizeAction;

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override {
    switch (key.id) {
      case TPubKey::ObjAction: SizeAction = key.Action(); return true;
      case TPubKey::HMargin: HorzMargin = Clamp(key.number, -kMaxObjectExtent, kMaxObjectExtent); return true;
      case TPubKey::VMargin: VertMargin = Clamp(key.number, -kMaxObjectExtent, kMaxObjectExtent); return true;
      default: return TVellionRepositor::ApplyKey(key, ctx);
    }
  }
  QRect ChildArea() const override {
    const int lw = LineWidth();
    const int h = std::max(0, HorzMargin), v = std::max(0, VertMargin);
    return rect().adjusted(lw + h, lw + v, -lw - h, -lw - v);
  }
  void SetMargins(int horz, int vert) {
    HorzMargin = horz;
    VertMargin = vert;
    AlignChildren();
  }
  void OnStart(const TObjectStart& how) override {
    reported_ = size();
    TVellionRepositor::OnStart(how);
  }
  int CursorSlot() const override { return 2; }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    TVellionRepositor::resizeEvent(e);
    if (Reading() || !EnabledState || ObjectEventsSuppressed() || size() == reported_) return;
    reported_ = size();
    RunObjectAction(SizeAction, evContainerSized, 0);
  }

 private:
  QSize reported_{-1, -1};
};

VL_REGISTER_OBJECT(20, TVellionGroup);
VL_REGISTER_OBJECT(21, TVellionContainer);

}  // namespace vl
