// Creating the objects of every page from their records, finding them by
// name, and telling them what happens to their pages.
#include "objects/PageObjects.h"

#include <QApplication>
#include <algorithm>
#include <array>
#include <cstdio>

#include "actions/Vars.h"
#include "platform/AlignLayout.h"
#include "runtime/Messages.h"
#include "runtime/Publication.h"

namespace vl {

namespace {

std::array<ObjectMaker, kLastObjectType + 1>& Makers() {
  static std::array<ObjectMaker, kLastObjectType + 1> makers{};
  return makers;
}

// An object of a family this build cannot show yet: it keeps its name,
// place, size and state, so commands that address it work, and paints
// nothing.
class TUnbuiltObject : public TVellionObj {
 public:
  TUnbuiltObject(QWidget* owner, int objType) : TVellionObj(owner, objType) {
    static std::array<bool, kLastObjectType + 1> told{};
    if (!told[objType]) {
      told[objType] = true;
      std::fprintf(stderr, "vellion: objects of type %d (%s) are not available in this build and are not shown\n",
                   objType, ObjectClassName(objType));
    }
    SetFixedTransparency(true);
  }
  void DrawShape(QPainter&) override {}
};

bool ValidIdentifier(std::string_view s) {
  if (s.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(s[0])) return false;
  for (char c : s)
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

}  // namespace

void RegisterObjectType(int objType, ObjectMaker maker) {
  if (objType >= kFirstObjectType && objType <= kLastObjectType) Makers()[objType] = maker;
}

bool ObjectTypeBuilt(int objType) {
  return objType >= kFirstObjectType && objType <= kLastObjectType && Makers()[objType] != nullptr;
}

TVellionObj* CreateObject(int objType, QWidget* owner) {
  if (objType < kFirstObjectType || objType > kLastObjectType) return nullptr;
  if (ObjectMaker m = Makers()[objType]) return m(owner, objType);
  return new TUnbuiltObject(owner, objType);
}

TPageObjects& TheObjects() {
  static TPageObjects objects;
  return objects;
}

void ObjectNotFound(std::string_view name) {
  SetLastError("\"" + AnsiString(name) + "\"||" + Msg(251));
}

// ---------------------------------------------------------------------------
// Building

bool TPageObjects::Build(const TPublication& pub, const std::function<QWidget*(int page)>& layerFor, QPoint offset,
                         AnsiString& error) {
  Clear();
  areaOffset_ = offset;
  pages_.resize(pub.pages.size());
  TObjectReadContext ctx;
  ctx.offset = offset;
  ctx.onPage = true;
  for (size_t i = 0; i < pub.pages.size(); ++i) {
    const auto& records = pub.pages[i].objects;
    if (records.empty()) continue;
    QWidget* layer = layerFor(static_cast<int>(i));
    if (!layer) continue;
    if (!BuildRecords(records, layer, static_cast<int>(i), ctx, &pages_[i], error)) {
      error = "Page " + std::to_string(i) + ": " + error;
      return false;
    }
  }
  return true;
}

bool TPageObjects::BuildRecords(const std::vector<std::unique_ptr<TObjectRecord>>& records, QWidget* holder,
                                int page, const TObjectReadContext& ctx, std::vector<TVellionObj*>* roots,
                                AnsiString& error) {
  std::vector<std::string_view> names;
  for (const auto& rec : records) {
    TVellionObj* obj = CreateObject(rec->objectType, holder);
    if (!obj) continue;
    obj->SetReading(true);
    for (const TObjectKey& key : rec->keys) obj->ApplyKey(key, ctx);
    const std::string_view name = rec->Name();
    if (!name.empty()) {
      if (!ValidIdentifier(name)) {
        error = "line " + std::to_string(rec->line) + ": \"" + AnsiString(name) + "\" is not a valid object name.";
        return false;
      }
      for (std::string_view other : names)
        if (SameTextInvariant(other, name)) {
          error = "line " + std::to_string(rec->line) + ": an object named \"" + AnsiString(name) +
                  "\" already exists.";
          return false;
        }
      names.push_back(name);
    }
    if (roots) roots->push_back(obj);
    if (!rec->children.empty()) {
      TObjectReadContext inner;
      inner.offset = QPoint(0, 0);
      inner.onPage = false;
      if (!BuildRecords(rec->children, obj, page, inner, nullptr, error)) return false;
    }
    obj->SetReading(false);
    obj->Loaded();
    // A holder's own state must not overwrite what its children's records
    // said (passing the state on is for later changes).
    if (dynamic_cast<TVellionRepositor*>(obj))
      obj->TVellionObj::SetEnabledState(obj->EnabledState);
    else
      obj->SetEnabledState(obj->EnabledState);
    obj->setVisible(obj->VisibleState);
    obj->ApplyCursor();
  }
  return true;
}

void TPageObjects::Clear() {
  clearing_ = true;
  for (auto& roots : pages_)
    for (TVellionObj* o : roots) delete o;
  pages_.clear();
  watchers_.clear();
  clearing_ = false;
}

void TPageObjects::BringToFront(TVellionObj* obj) {
  for (auto& roots : pages_) {
    auto it = std::find(roots.begin(), roots.end(), obj);
    if (it == roots.end()) continue;
    roots.erase(it);
    roots.push_back(obj);
    return;
  }
}

void TPageObjects::SendToBack(TVellionObj* obj) {
  for (auto& roots : pages_) {
    auto it = std::find(roots.begin(), roots.end(), obj);
    if (it == roots.end()) continue;
    roots.erase(it);
    roots.insert(roots.begin(), obj);
    return;
  }
}

const std::vector<TVellionObj*>& TPageObjects::Roots(int page) const {
  static const std::vector<TVellionObj*> none;
  return page >= 0 && page < PageCount() ? pages_[page] : none;
}

namespace {
void Collect(TVellionObj* o, std::vector<TVellionObj*>& out) {
  out.push_back(o);
  if (auto* holder = dynamic_cast<TVellionRepositor*>(o))
    for (TVellionObj* c : holder->ChildObjects()) Collect(c, out);
}
}  // namespace

std::vector<TVellionObj*> TPageObjects::AllObjects(int page) const {
  std::vector<TVellionObj*> out;
  for (TVellionObj* o : Roots(page)) Collect(o, out);
  return out;
}

TFoundObject TPageObjects::FindObject(std::string_view name) const {
  auto search = [&](int page) -> TFoundObject {
    for (TVellionObj* o : AllObjects(page))
      if (SameTextInvariant(o->Name(), name)) return {o, o->parentWidget(), page};
    return {};
  };
  if (searchedFirst)
    for (int page : searchedFirst())
      if (TFoundObject f = search(page)) return f;
  const int cur = currentPage ? currentPage() : -1;
  if (cur >= 0)
    if (TFoundObject f = search(cur)) return f;
  for (int i = 0; i < PageCount(); ++i)
    if (i != cur)
      if (TFoundObject f = search(i)) return f;
  return {};
}

// ---------------------------------------------------------------------------
// Notifications

template <typename F>
void TPageObjects::ForPages(F&& f) {
  for (int i = 1; i < PageCount(); ++i)
    for (TVellionObj* o : pages_[i]) f(o);
  if (PageCount() > 0)
    for (TVellionObj* o : pages_[0]) f(o);
}

void TPageObjects::Start(const TObjectStart& how) {
  ForPages([&how](TVellionObj* o) { o->OnStart(how); });
}

void TPageObjects::ModalState(bool ended) {
  ForPages([ended](TVellionObj* o) { o->OnModalState(ended); });
}

void TPageObjects::Relayout() {
  ForPages([](TVellionObj* o) { o->OnRelayout(); });
}

void TPageObjects::Shutdown() {
  SetObjectEventsSuppressed(true);
  ForPages([](TVellionObj* o) { o->OnShutdown(); });
}

void TPageObjects::VarChanged(const AnsiString& bracketName, const AnsiString& value) {
  auto it = watchers_.find(bracketName);
  if (it == watchers_.end()) return;
  // A copy: an object's handler may set variables that others watch.
  const std::vector<TVellionObj*> list = it->second;
  for (TVellionObj* o : list) o->OnVarChanged(bracketName, value);
}

void TPageObjects::PageLeave(int page, bool withMaster) {
  for (TVellionObj* o : Roots(page)) o->OnPageLeave();
  if (withMaster && page != 0)
    for (TVellionObj* o : Roots(0)) o->OnPageLeave();
}

void TPageObjects::PageEnter(int page, bool withMaster) {
  for (TVellionObj* o : Roots(page)) o->OnPageEnter();
  if (withMaster && page != 0)
    for (TVellionObj* o : Roots(0)) o->OnPageEnter();
}

void TPageObjects::PageShown(int page, bool withMaster) {
  for (TVellionObj* o : Roots(page)) o->OnPageShown();
  if (withMaster && page != 0)
    for (TVellionObj* o : Roots(0)) o->OnPageShown();
  // The first tab stop of the page takes the focus.
  const std::vector<QWidget*> stops = TabStops(page);
  if (!stops.empty()) stops.front()->setFocus(Qt::TabFocusReason);
}

bool TPageObjects::OfferHotKey(int page, bool withMaster, int key) {
  for (TVellionObj* o : Roots(page))
    if (o->OfferHotKey(key)) return true;
  if (withMaster && page != 0)
    for (TVellionObj* o : Roots(0))
      if (o->OfferHotKey(key)) return true;
  return false;
}

void TPageObjects::AlignPage(int page, const QRect& client) {
  std::vector<TVellionObj*> objs;
  if (page != 0 && showsMaster && showsMaster(page))
    for (TVellionObj* o : Roots(0)) objs.push_back(o);
  for (TVellionObj* o : Roots(page)) objs.push_back(o);
  AlignObjectList(objs, client, nullptr);
}

void TPageObjects::Watch(TVellionObj* obj, const AnsiString& bracketName) {
  auto& list = watchers_[bracketName];
  if (std::find(list.begin(), list.end(), obj) == list.end()) list.push_back(obj);
}

void TPageObjects::Forget(TVellionObj* obj) {
  if (clearing_) return;
  for (auto& [name, list] : watchers_) list.erase(std::remove(list.begin(), list.end(), obj), list.end());
  for (auto& roots : pages_) roots.erase(std::remove(roots.begin(), roots.end(), obj), roots.end());
}

// ---------------------------------------------------------------------------

void AlignObjectList(const std::vector<TVellionObj*>& objects, const QRect& client, const TVellionObj* cause) {
  std::vector<TVellionObj*> objs;
  for (TVellionObj* o : objects)
    if (o->Anchor != 0) objs.push_back(o);
  if (objs.empty()) return;
  std::vector<TAlignItem> items(objs.size());
  std::vector<TAlignItem*> ptrs;
  const TAlignItem* causeItem = nullptr;
  for (size_t i = 0; i < objs.size(); ++i) {
    items[i].align = objs[i]->Anchor;
    items[i].bounds = objs[i]->geometry();
    items[i].visible = objs[i]->VisibleState;
    if (objs[i] == cause) causeItem = &items[i];
    ptrs.push_back(&items[i]);
  }
  AlignObjects(client, ptrs, causeItem);
  for (size_t i = 0; i < objs.size(); ++i)
    if (items[i].changed) objs[i]->setGeometry(items[i].bounds);
}

void AlignObjectsIn(QWidget* holder, const QRect& client, const TVellionObj* cause) {
  std::vector<TVellionObj*> objs;
  for (QObject* c : holder->children())
    if (auto* o = dynamic_cast<TVellionObj*>(c)) objs.push_back(o);
  AlignObjectList(objs, client, cause);
}

std::vector<TVellionObj*> TabOrderOf(const QWidget* holder) {
  std::vector<TVellionObj*> objs;
  for (QObject* c : holder->children())
    if (auto* o = dynamic_cast<TVellionObj*>(c)) objs.push_back(o);
  std::stable_sort(objs.begin(), objs.end(), [](const TVellionObj* a, const TVellionObj* b) {
    // Objects without a TabOrder value come after those with one.
    const unsigned ka = a->TabOrder < 0 ? 0x10000u : static_cast<unsigned>(a->TabOrder);
    const unsigned kb = b->TabOrder < 0 ? 0x10000u : static_cast<unsigned>(b->TabOrder);
    return ka < kb;
  });
  return objs;
}

namespace {
void CollectTabStops(const QWidget* holder, std::vector<QWidget*>& out) {
  for (TVellionObj* o : TabOrderOf(holder)) {
    if (!o->isVisible() || !o->isEnabled()) continue;
    if (dynamic_cast<TVellionRepositor*>(o)) {
      CollectTabStops(o, out);
      continue;
    }
    QWidget* target = o->focusProxy() ? o->focusProxy() : o;
    if ((target->focusPolicy() & Qt::TabFocus) && target->isEnabled()) out.push_back(target);
  }
}
}  // namespace

std::vector<QWidget*> TPageObjects::TabStops(int page) const {
  std::vector<QWidget*> out;
  const auto& roots = Roots(page);
  if (!roots.empty() && roots.front()->parentWidget()) CollectTabStops(roots.front()->parentWidget(), out);
  return out;
}

bool TPageObjects::FocusNext(int page, bool backward) {
  const std::vector<QWidget*> stops = TabStops(page);
  if (stops.empty()) return false;
  // The window's focus widget: set also while the window is not active.
  QWidget* focus = stops.front()->window()->focusWidget();
  int at = -1;
  for (size_t i = 0; i < stops.size(); ++i)
    if (focus && (stops[i] == focus || stops[i]->isAncestorOf(focus))) at = static_cast<int>(i);
  const int n = static_cast<int>(stops.size());
  const int next = at < 0 ? (backward ? n - 1 : 0) : (at + (backward ? n - 1 : 1)) % n;
  stops[next]->setFocus(backward ? Qt::BacktabFocusReason : Qt::TabFocusReason);
  return true;
}

}  // namespace vl
