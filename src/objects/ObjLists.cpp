// Combo and list boxes: their items, their selection and the variable that
// follows it both ways.
#include "objects/ObjLists.h"

#include "objects/ObjButtons.h"

#include <QPainter>
#include <algorithm>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/PageObjects.h"

namespace vl {

std::vector<AnsiString> SplitItems(std::string_view text, bool sorted) {
  std::vector<AnsiString> items;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size()) {
      if (start < text.size()) items.emplace_back(text.substr(start));
      break;
    }
    if (text[i] == '\r' || text[i] == '\n') {
      items.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (sorted)
    std::stable_sort(items.begin(), items.end(),
                     [](const AnsiString& a, const AnsiString& b) { return CompareTextAnsi(a, b) < 0; });
  return items;
}

// ---------------------------------------------------------------------------

bool TVellionItemsObj::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::Text: Txt = TextValue(key); return true;
    case TPubKey::VarType:
      if (key.number == 0 || key.number == 1) VariableType = static_cast<TVellionListBoxVariableTypes>(key.number);
      return true;
    case TPubKey::Sorted: Sorted = key.flag; return true;
    case TPubKey::XpTheme: UseXPTheme = key.flag; return true;
    default: return TVellionInputObj::ApplyKey(key, ctx);
  }
}

void TVellionItemsObj::Loaded() {
  TVellionInputObj::Loaded();
  // The items show variables: their changes rebuild the list.
  WatchVariablesIn(Txt);
}

void TVellionItemsObj::RebuildItems() {
  updating_ = true;
  SetItems(SplitItems(ExpandVariables(Txt), Sorted));
  updating_ = false;
}

void TVellionItemsObj::OnStart(const TObjectStart& how) {
  TVellionInputObj::OnStart(how);
  RebuildItems();
  // Started in place of another publication: no choice of the old one stays.
  if (how.chainedStart && !VarName.empty()) SetVariable(VarName, "");
  if (!VarName.empty()) TakeSelection(VarValue());
}

void TVellionItemsObj::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  if (TextUsesVariable(Txt, bracketName)) {
    RebuildItems();
    if (!VarName.empty()) TakeSelection(VarValue());
  }
  if (IsVarName(bracketName) && !updating_) TakeSelection(value);
}

AnsiString TVellionItemsObj::ItemValue(int index) const {
  if (index < 0) return {};
  if (VariableType == vtIndex) return std::to_string(index + 1);
  const std::vector<AnsiString> items = Items();
  return index < static_cast<int>(items.size()) ? items[static_cast<size_t>(index)] : AnsiString();
}

int TVellionItemsObj::ItemForValue(const AnsiString& value, int keep) const {
  const std::vector<AnsiString> items = Items();
  const int n = static_cast<int>(items.size());
  if (VariableType == vtIndex) {
    int32_t v = 0;
    if (!StrToIntStrict(TrimView(value), v) || v < 1 || v > n) return -1;
    return v - 1;
  }
  if (keep >= 0 && keep < n && SameTextAnsi(items[static_cast<size_t>(keep)], value)) return keep;
  for (int i = 0; i < n; ++i)
    if (SameTextAnsi(items[static_cast<size_t>(i)], value)) return i;
  return -1;
}

void TVellionItemsObj::SelectionChanged() {
  if (updating_ || VarName.empty()) return;
  const AnsiString value = Value();
  if (value == VarValue()) return;
  updating_ = true;
  SetVariable(VarName, value);
  updating_ = false;
  RunObjectAction(ChangeAction, evSelectionChanged, 0);
}

void TVellionItemsObj::WriteBackValue() {
  if (VarName.empty()) return;
  const AnsiString value = Value();
  if (value == VarValue()) return;
  EditQuietly([&] { SetVariable(VarName, value); });
}

bool TVellionItemsObj::SelectText(const AnsiString& text, AnsiString& error) {
  if (!isVisible() || !EnabledState) {
    error = "object \"" + name_ + "\" is hidden or disabled";
    return false;
  }
  const std::vector<AnsiString> items = Items();
  int found = -1;
  for (size_t i = 0; i < items.size() && found < 0; ++i)
    if (items[i] == text) found = static_cast<int>(i);
  for (size_t i = 0; i < items.size() && found < 0; ++i)
    if (SameTextAnsi(items[i], text)) found = static_cast<int>(i);
  if (found < 0) {
    error = "object \"" + name_ + "\" has no item \"" + text + "\"";
    return false;
  }
  SelectAsReader(found);
  return true;
}

// ---------------------------------------------------------------------------
// Combo box

TVellionComboBox::TVellionComboBox(QWidget* owner, int objType) : TVellionItemsObj(owner, objType) {
  combo_ = new QComboBox(this);
  combo_->setEditable(false);
  combo_->setFrame(false);
  combo_->setInsertPolicy(QComboBox::NoInsert);
  SetInner(combo_);
  QObject::connect(combo_, &QComboBox::currentIndexChanged, this, [this](int) { SelectionChanged(); });
}

void TVellionComboBox::Loaded() {
  TVellionItemsObj::Loaded();
  Layout();
}

void TVellionComboBox::Layout() {
  if (laying_) return;
  laying_ = true;
  const int L = LineWidth();
  combo_->setFont(ObjectFont());
  const int h = combo_->sizeHint().height();
  combo_->setGeometry(L, L, std::max(0, width() - 2 * L), h);
  // The object's height follows the inner combo.
  if (height() != h + 2 * L) resize(width(), h + 2 * L);
  laying_ = false;
}

void TVellionComboBox::resizeEvent(QResizeEvent* e) {
  TVellionItemsObj::resizeEvent(e);
  Layout();
}

void TVellionComboBox::FillChanged() { StyleInner(); }

void TVellionComboBox::DrawShape(QPainter& p) {
  // The outline only: the inner combo covers the rest.
  if (LineWidth() <= 0 || LineStyle == vlpsClear) return;
  const int L = LineWidth();
  const QColor c = DisplayColor(LineColor);
  const QRect r = rect();
  p.fillRect(QRect(0, 0, r.width(), L), c);
  p.fillRect(QRect(0, r.height() - L, r.width(), L), c);
  p.fillRect(QRect(0, 0, L, r.height()), c);
  p.fillRect(QRect(r.width() - L, 0, L, r.height()), c);
}

std::vector<AnsiString> TVellionComboBox::Items() const {
  std::vector<AnsiString> out;
  out.reserve(static_cast<size_t>(combo_->count()));
  for (int i = 0; i < combo_->count(); ++i) out.push_back(QStringToAnsi(combo_->itemText(i)));
  return out;
}

AnsiString TVellionComboBox::Value() const { return ItemValue(combo_->currentIndex()); }

void TVellionComboBox::SetItems(const std::vector<AnsiString>& items) {
  combo_->clear();
  for (const AnsiString& s : items) combo_->addItem(AnsiToQString(s));
  combo_->setCurrentIndex(-1);
}

void TVellionComboBox::TakeSelection(const AnsiString& value) {
  const int want = ItemForValue(value, combo_->currentIndex());
  if (want == combo_->currentIndex()) return;
  updating_ = true;
  combo_->setCurrentIndex(want);
  updating_ = false;
}

void TVellionComboBox::SelectAsReader(int index) {
  if (index == combo_->currentIndex())
    SelectionChanged();  // the same item again: written only if the variable differs
  else
    combo_->setCurrentIndex(index);
}

// ---------------------------------------------------------------------------
// List box

TVellionListBox::TVellionListBox(QWidget* owner, int objType) : TVellionItemsObj(owner, objType) {
  list_ = new QListWidget(this);
  list_->setFrameShape(QFrame::NoFrame);
  list_->setUniformItemSizes(true);
  SetInner(list_);
  QObject::connect(list_, &QListWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
  QObject::connect(list_, &QListWidget::itemDoubleClicked, this,
                   [this](QListWidgetItem*) { RunObjectAction(DblClickAction, evListDblClick, 0); });
}

bool TVellionListBox::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::MultiSelect: MultiSelect = key.flag; return true;
    case TPubKey::DblClick: DblClickAction = key.Action(); return true;
    default: return TVellionItemsObj::ApplyKey(key, ctx);
  }
}

void TVellionListBox::Loaded() {
  list_->setSelectionMode(MultiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  TVellionItemsObj::Loaded();
  // The list fills its list at once.
  RebuildItems();
  Layout();
}

void TVellionListBox::Layout() {
  const int L = LineWidth();
  list_->setGeometry(rect().adjusted(L, L, -L, -L));
}

void TVellionListBox::resizeEvent(QResizeEvent* e) {
  TVellionItemsObj::resizeEvent(e);
  Layout();
}

void TVellionListBox::OnPageShown() {
  if (!VarName.empty()) TakeSelection(VarValue());
  update();
}

std::vector<AnsiString> TVellionListBox::Items() const {
  std::vector<AnsiString> out;
  out.reserve(static_cast<size_t>(list_->count()));
  for (int i = 0; i < list_->count(); ++i) out.push_back(QStringToAnsi(list_->item(i)->text()));
  return out;
}

AnsiString TVellionListBox::Value() const {
  if (!MultiSelect) {
    const QList<QListWidgetItem*> sel = list_->selectedItems();
    return sel.isEmpty() ? AnsiString() : ItemValue(list_->row(sel.front()));
  }
  AnsiString out;
  bool first = true;
  for (int i = 0; i < list_->count(); ++i) {
    if (!list_->item(i)->isSelected()) continue;
    if (!first) out += '\r';
    out += ItemValue(i);
    first = false;
  }
  return out;
}

void TVellionListBox::SetItems(const std::vector<AnsiString>& items) {
  list_->clear();
  for (const AnsiString& s : items) list_->addItem(AnsiToQString(s));
}

void TVellionListBox::TakeSelection(const AnsiString& value) {
  updating_ = true;
  if (!MultiSelect) {
    const QList<QListWidgetItem*> sel = list_->selectedItems();
    const int cur = sel.isEmpty() ? -1 : list_->row(sel.front());
    const int want = ItemForValue(value, cur);
    if (want != cur) {
      list_->clearSelection();
      if (want >= 0) list_->setCurrentRow(want, QItemSelectionModel::ClearAndSelect);
    }
    updating_ = false;
    return;
  }
  // Several values: CR LF or CR between them, "|" once read.
  AnsiString bars = ReplaceAll(ReplaceAll(value, "\r\n", "|"), "\r", "|");
  AnsiString current = ReplaceAll(Value(), "\r", "|");
  if (!SameTextAnsi(bars, current)) {
    list_->clearSelection();
    size_t pos = 0;
    while (pos <= bars.size()) {
      size_t bar = bars.find('|', pos);
      if (bar == AnsiString::npos) bar = bars.size();
      const int at = ItemForValue(bars.substr(pos, bar - pos), -1);
      if (at >= 0) list_->item(at)->setSelected(true);
      pos = bar + 1;
    }
  }
  updating_ = false;
}

void TVellionListBox::SelectAsReader(int index) {
  QListWidgetItem* item = list_->item(index);
  if (!item) return;
  if (MultiSelect) {
    if (!item->isSelected())
      item->setSelected(true);
    else
      SelectionChanged();
    list_->setCurrentItem(item, QItemSelectionModel::NoUpdate);
  } else if (!item->isSelected()) {
    list_->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
  } else {
    SelectionChanged();
  }
}

VL_REGISTER_OBJECT(11, TVellionComboBox);
VL_REGISTER_OBJECT(10, TVellionListBox);

}  // namespace vl
