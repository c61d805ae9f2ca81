// The list-box and combo-box commands: ListBoxGetItem, ListBoxAddItem,
// ListBoxDeleteItem, ListBoxChangeItem, ListBoxSize, ListBoxFindItem,
// ListBoxSort and ListBoxMoveItem. None runs the change action; afterwards
// the bound variable is written from the selection when it differs.
#include <QComboBox>
#include <QListWidget>
#include <algorithm>
#include <unordered_set>

#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "objects/ObjCommands.h"
#include "objects/ObjLists.h"

namespace vl {
namespace {

// A combo box item holds at most this many characters.
constexpr size_t kMaxComboItem = 255;

TVellionItemsObj* FoundList(CommandContext& c) {
  TFoundObject f = CommandObject(c);
  if (!f) return nullptr;
  SetLastError("");
  return dynamic_cast<TVellionItemsObj*>(f.object);
}

int ItemCount(const TVellionItemsObj* l) {
  if (auto* combo = dynamic_cast<const TVellionComboBox*>(l)) return combo->ComboBox()->count();
  return static_cast<const TVellionListBox*>(l)->ListBox()->count();
}

// The 0-based item an index argument names: a whole number from 1 to the
// number of items; -1 otherwise.
int ValidIndex(const TVellionItemsObj* l, std::string_view text) {
  const int n = WholeNumberOr(text, 0);
  return n >= 1 && n <= ItemCount(l) ? n - 1 : -1;
}

bool IsAll(std::string_view text) { return SameTextInvariant(text, "ALL"); }

// After adding or deleting, a list box writes its variable and then shows
// what the variable names again; a combo box only writes.
void AfterListChange(TVellionItemsObj* l, bool retake) {
  l->WriteBackValue();
  if (retake && dynamic_cast<TVellionListBox*>(l)) l->RetakeSelection();
}

// --- the list box: edits keep the selection of the items that stay (the
// items keep their selected flag however they move).

class ListSelection {
 public:
  explicit ListSelection(QListWidget* list) : list_(list) {
    for (QListWidgetItem* item : list->selectedItems()) selected_.insert(item);
  }
  void Restore() {
    for (int i = 0; i < list_->count(); ++i) {
      QListWidgetItem* item = list_->item(i);
      const bool on = selected_.count(item) != 0;
      if (item->isSelected() != on) item->setSelected(on);
    }
  }
  void Forget(QListWidgetItem* item) { selected_.erase(item); }

 private:
  QListWidget* list_;
  std::unordered_set<QListWidgetItem*> selected_;
};

// Where an appended item goes: the end, or its place in a kept-sorted list.
int AppendRow(const TVellionListBox* l, const AnsiString& text) {
  QListWidget* list = l->ListBox();
  if (!l->Sorted) return list->count();
  int row = 0;
  while (row < list->count() && CompareTextAnsi(QStringToAnsi(list->item(row)->text()), text) <= 0) ++row;
  return row;
}

void ListInsert(TVellionListBox* l, int row, const AnsiString& text) {
  l->EditQuietly([&] {
    ListSelection keep(l->ListBox());
    l->ListBox()->insertItem(row, AnsiToQString(text));
    keep.Restore();
  });
}

void ListDeleteRows(TVellionListBox* l, const std::vector<int>& rowsDescending) {
  l->EditQuietly([&] {
    QListWidget* list = l->ListBox();
    ListSelection keep(list);
    for (int row : rowsDescending) {
      QListWidgetItem* item = list->item(row);
      keep.Forget(item);
      delete list->takeItem(row);
    }
    keep.Restore();
  });
}

void SortList(TVellionListBox* l) {
  l->EditQuietly([&] {
    QListWidget* list = l->ListBox();
    ListSelection keep(list);
    std::vector<QListWidgetItem*> items;
    while (list->count() > 0) items.push_back(list->takeItem(0));
    std::stable_sort(items.begin(), items.end(), [](QListWidgetItem* a, QListWidgetItem* b) {
      return CompareTextAnsi(QStringToAnsi(a->text()), QStringToAnsi(b->text())) < 0;
    });
    for (QListWidgetItem* item : items) list->addItem(item);
    keep.Restore();
  });
}

// --- the combo box: the current item stays current wherever it goes, and
// none is current once it is deleted.

template <typename F>
void ComboEdit(TVellionComboBox* cb, F&& edit) {
  cb->EditQuietly([&] {
    QComboBox* combo = cb->ComboBox();
    constexpr int kMark = Qt::UserRole + 1;
    const int cur = combo->currentIndex();
    if (cur >= 0) combo->setItemData(cur, true, kMark);
    edit(combo);
    const int now = combo->findData(true, kMark);
    if (now >= 0) combo->setItemData(now, QVariant(), kMark);
    if (combo->currentIndex() != now) combo->setCurrentIndex(now);
  });
}

AnsiString ComboItemText(std::string_view text) {
  return AnsiString(text.substr(0, std::min(text.size(), kMaxComboItem)));
}

// ---------------------------------------------------------------------------

void DoListBoxGetItem(CommandContext& c) {
  TVellionItemsObj* l = FoundList(c);
  if (!l) return;
  const std::vector<AnsiString> items = l->Items();
  AnsiString out;
  if (int i = ValidIndex(l, c.Arg(2)); i >= 0) {
    out = items[static_cast<size_t>(i)];
  } else if (IsAll(c.Arg(2))) {
    for (const AnsiString& s : items) out += s + "|";
  }
  SetVariable(c.Arg(3), out);
}

void DoListBoxAddItem(CommandContext& c) {
  TVellionItemsObj* l = FoundList(c);
  if (!l) return;
  const AnsiString& text = c.Arg(3);
  const int at = ValidIndex(l, c.Arg(2));
  if (auto* cb = dynamic_cast<TVellionComboBox*>(l)) {
    const QString item = AnsiToQString(ComboItemText(text));
    ComboEdit(cb, [&](QComboBox* combo) { combo->insertItem(at >= 0 ? at : combo->count(), item); });
  } else {
    auto* lb = static_cast<TVellionListBox*>(l);
    if (at >= 0) {
      ListInsert(lb, at, text);
    } else if (IsAll(c.Arg(2))) {
      for (const AnsiString& line : SplitItems(BarsToLineBreaks(ReplaceAll(text, "\r\n", "|")), false))
        ListInsert(lb, AppendRow(lb, line), line);
    } else {
      ListInsert(lb, AppendRow(lb, text), text);
    }
  }
  AfterListChange(l, true);
}

void DoListBoxDeleteItem(CommandContext& c) {
  TVellionItemsObj* l = FoundList(c);
  if (!l) return;
  const AnsiString& index = c.Arg(2);
  const int at = ValidIndex(l, index);
  if (auto* cb = dynamic_cast<TVellionComboBox*>(l)) {
    if (at >= 0)
      ComboEdit(cb, [&](QComboBox* combo) { combo->removeItem(at); });
    else if (IsAll(index))
      ComboEdit(cb, [&](QComboBox* combo) { combo->clear(); });
    else
      return;
  } else {
    auto* lb = static_cast<TVellionListBox*>(l);
    std::vector<int> rows;
    if (at >= 0) {
      rows.push_back(at);
    } else if (IsAll(index)) {
      for (int i = lb->ListBox()->count() - 1; i >= 0; --i) rows.push_back(i);
    } else if (SameTextInvariant(index, "SELECTED") && lb->MultiSelect) {
      for (int i = lb->ListBox()->count() - 1; i >= 0; --i)
        if (lb->ListBox()->item(i)->isSelected()) rows.push_back(i);
    }
    if (rows.empty()) return;
    ListDeleteRows(lb, rows);
  }
  AfterListChange(l, true);
}

void DoListBoxChangeItem(CommandContext& c) {
  TVellionItemsObj* l = FoundList(c);
  if (!l) return;
  const int at = ValidIndex(l, c.Arg(2));
  if (at < 0) return;
  if (auto* cb = dynamic_cast<TVellionComboBox*>(l)) {
    const QString item = AnsiToQString(ComboItemText(c.Arg(3)));
    ComboEdit(cb, [&](QComboBox* combo) { combo->setItemText(at, item); });
  } else {
    auto* lb = static_cast<TVellionListBox*>(l);
    lb->EditQuietly([&] { lb->ListBox()->item(at)->setText(AnsiToQString(c.Arg(3))); });
  }
  AfterListChange(l, true);
}

void DoListBoxSize(CommandContext& c) {
  if (TVellionItemsObj* l = FoundList(c)) SetVariable(c.Arg(2), std::to_string(ItemCount(l)));
}

void DoListBoxFindItem(CommandContext& c) {
  TVellionItemsObj* l = FoundList(c);
  if (!l) return;
  const std::vector<AnsiString> items = l->Items();
  size_t found = 0;
  for (size_t i = 0; i < items.size() && found == 0; ++i)
    if (SameTextAnsi(items[i], c.Arg(2))) found = i + 1;
  SetVariable(c.Arg(3), std::to_string(found));
}

void SortCombo(TVellionComboBox* cb) {
  ComboEdit(cb, [](QComboBox* combo) {
    struct Item {
      QString text;
      QVariant mark;
    };
    std::vector<Item> items;
    for (int i = 0; i < combo->count(); ++i) items.push_back({combo->itemText(i), combo->itemData(i, Qt::UserRole + 1)});
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
      return CompareTextAnsi(QStringToAnsi(a.text), QStringToAnsi(b.text)) < 0;
    });
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
      combo->setItemText(i, items[static_cast<size_t>(i)].text);
      combo->setItemData(i, items[static_cast<size_t>(i)].mark, Qt::UserRole + 1);
    }
  });
}

void DoListBoxSort(CommandContext& c) {
  TVellionItemsObj* l = FoundList(c);
  if (!l) return;
  if (auto* cb = dynamic_cast<TVellionComboBox*>(l)) {
    SortCombo(cb);
  } else {
    auto* lb = static_cast<TVellionListBox*>(l);
    const AnsiString& flag = c.Arg(2);
    if (flag.empty()) {
      SortList(lb);
    } else {
      // "Yes+..." keeps it sorted from now on (sorted at once); any other
      // word stops keeping it sorted and leaves the order as it is.
      lb->Sorted = IsTrueWord(flag.substr(0, flag.find('+')));
      if (!lb->Sorted) return;
      SortList(lb);
    }
  }
  AfterListChange(l, false);
}

void DoListBoxMoveItem(CommandContext& c) {
  TVellionItemsObj* l = FoundList(c);
  if (!l) return;
  const int from = ValidIndex(l, c.Arg(2)), to = ValidIndex(l, c.Arg(3));
  if (from < 0 || to < 0 || from == to) return;
  if (auto* cb = dynamic_cast<TVellionComboBox*>(l)) {
    ComboEdit(cb, [&](QComboBox* combo) {
      const QString text = combo->itemText(from);
      const QVariant mark = combo->itemData(from, Qt::UserRole + 1);
      combo->removeItem(from);
      combo->insertItem(to, text);
      combo->setItemData(to, mark, Qt::UserRole + 1);
    });
  } else {
    auto* lb = static_cast<TVellionListBox*>(l);
    lb->EditQuietly([&] {
      QListWidget* list = lb->ListBox();
      ListSelection keep(list);
      QListWidgetItem* item = list->takeItem(from);
      list->insertItem(to, item);
      keep.Restore();
    });
  }
  AfterListChange(l, false);
}

const CommandBinder kBind{{cmd::ListBoxGetItem, DoListBoxGetItem},       {cmd::ListBoxAddItem, DoListBoxAddItem},
                          {cmd::ListBoxDeleteItem, DoListBoxDeleteItem}, {cmd::ListBoxChangeItem, DoListBoxChangeItem},
                          {cmd::ListBoxSize, DoListBoxSize},             {cmd::ListBoxFindItem, DoListBoxFindItem},
                          {cmd::ListBoxSort, DoListBoxSort},             {cmd::ListBoxMoveItem, DoListBoxMoveItem}};

}  // namespace
}  // namespace vl
