#pragma once
// The combo box (ObjectType 11) and the list box (10): items from their
// text, one per line (variables substituted), bound to a variable that holds
// the selected item's text or its 1-based number.
#include <QComboBox>
#include <QListWidget>
#include <functional>
#include <vector>

#include "objects/InputObj.h"

namespace vl {

enum TVellionListBoxVariableTypes : uint8_t { vtText = 0, vtIndex = 1 };

// The item list of a text: one item a line (a final line break makes no
// empty item), sorted without regard to case when asked.
std::vector<AnsiString> SplitItems(std::string_view text, bool sorted);

// What the two share: the item list, the value kind, the variable.
class TVellionItemsObj : public TVellionInputObj {
 public:
  using TVellionInputObj::TVellionInputObj;
  TVellionListBoxVariableTypes VariableType = vtText;
  bool Sorted = false;
  bool UseXPTheme = false;

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void OnStart(const TObjectStart& how) override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  bool SelectText(const AnsiString& text, AnsiString& error) override;
  int CursorSlot() const override { return 1; }

  virtual std::vector<AnsiString> Items() const = 0;
  // Replaces the items as the object commands do: the selection is not
  // taken from the variable again and the variable is not written.
  void ReplaceItems(const std::vector<AnsiString>& items) {
    updating_ = true;
    SetItems(items);
    updating_ = false;
  }
  // The value the variable gets for the current selection.
  virtual AnsiString Value() const = 0;

  // What the list commands need: `edit` changes the inner control while
  // neither the change action nor the variable follows it; then the
  // variable is written from the selection when it differs (still without
  // the change action), and the selection may be taken from the variable
  // again.
  void EditQuietly(const std::function<void()>& edit) {
    const bool was = updating_;
    updating_ = true;
    edit();
    updating_ = was;
  }
  void WriteBackValue();
  void RetakeSelection() {
    if (!VarName.empty()) TakeSelection(VarValue());
  }

 protected:
  // Refills the inner control (no change action).
  virtual void SetItems(const std::vector<AnsiString>& items) = 0;
  // Shows the selection a value names (no change action).
  virtual void TakeSelection(const AnsiString& value) = 0;
  // Selects item `index` as the reader would.
  virtual void SelectAsReader(int index) = 0;
  // The value for one item (its text or number).
  AnsiString ItemValue(int index) const;
  // The item a single value names: by number for vtIndex, else the item
  // equal to it without regard to case; -1 for none.
  int ItemForValue(const AnsiString& value, int keep) const;
  void RebuildItems();
  // The reader changed the selection: write the variable when it differs
  // and queue the change action.
  void SelectionChanged();

  bool updating_ = false;
};

class TVellionComboBox : public TVellionItemsObj {
 public:
  TVellionComboBox(QWidget* owner, int objType);
  void Loaded() override;
  std::vector<AnsiString> Items() const override;
  AnsiString Value() const override;
  QComboBox* ComboBox() const { return combo_; }
  void DrawShape(QPainter& p) override;
  void LineChanged() override { Layout(); }
  void FillChanged() override;

 protected:
  void SetItems(const std::vector<AnsiString>& items) override;
  void TakeSelection(const AnsiString& value) override;
  void SelectAsReader(int index) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Layout();
  QComboBox* combo_;
  bool laying_ = false;
};

class TVellionListBox : public TVellionItemsObj {
 public:
  TVellionListBox(QWidget* owner, int objType);
  bool MultiSelect = false;
  AnsiString DblClickAction;

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void OnPageShown() override;
  std::vector<AnsiString> Items() const override;
  AnsiString Value() const override;
  QListWidget* ListBox() const { return list_; }
  void LineChanged() override { Layout(); }

 protected:
  void SetItems(const std::vector<AnsiString>& items) override;
  void TakeSelection(const AnsiString& value) override;
  void SelectAsReader(int index) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Layout();
  QListWidget* list_;
};

}  // namespace vl
