#pragma once
// What the edit field, combo box and list box share: an inner Qt control
// that fills (part of) the object, has no border of its own, takes the
// object's fill colour and font, is enabled with the object, gets the focus
// for the object's hot key and is a tab stop only while the object lies at
// least partly inside the publication area; and the bound variable.
#include "objects/VellionObj.h"

namespace vl {

class TVellionInputObj : public TVellionObj {
 public:
  TVellionInputObj(QWidget* owner, int objType);

  AnsiString VarName;  // bracketed, empty when unbound
  AnsiString ChangeAction;

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void SetEnabledState(bool on) override;
  bool OfferHotKey(int key) override;
  void OnStart(const TObjectStart& how) override;
  void OnRelayout() override;
  void FillChanged() override { StyleInner(); }
  // Restyles the inner control first when the fill, the text colour or the
  // font changed since it was styled (commands set them directly).
  void PaintShape(QPainter& p) override;
  QWidget* Inner() const { return inner_; }

  // Whether `bracketName` (upper case) is the bound variable.
  bool IsVarName(const AnsiString& bracketName) const;

 protected:
  // Makes `w` the inner control (a child of this object).
  void SetInner(QWidget* w);
  // Colours and font of the inner control from the object's.
  virtual void StyleInner();
  // The tab stop follows the object's place.
  void UpdateTabStop();
  // Whether the object is on the current page (or on the master page it
  // shows).
  bool OnCurrentPage() const;
  // The current value of the bound variable.
  AnsiString VarValue() const;

  QWidget* inner_ = nullptr;

 private:
  struct TStyled {
    TColor fill = 0, text = 0;
    AnsiString font;
    int size = 0, style = 0;
    bool operator==(const TStyled&) const = default;
  };
  TStyled StyleNow() const { return {FillColor, FontColor, FontName, FontSize, FontStyle}; }
  TStyled styled_;
};

}  // namespace vl
