#pragma once
// The objects of all pages: created once from the publication's records,
// found by name, and told of starts, page changes, variable changes, modal
// states, relayouts and the shut-down in the order the player promises.
//
//   objects.Build(pub, layerFor, offset, error);   // when the publication loads
//   objects.PageEnter(start, ...);                 // the start page becomes current
//   objects.Start();                               // once
//   ... first paint: SetObjectEventsSuppressed(false), PageShown ...
//   objects.Shutdown();                            // closing
//
// Every object type has its own file that registers a maker with
// VL_REGISTER_OBJECT; CreateObject uses the maker of the type, and a type
// whose family is not built yet gets a plain object that keeps its name,
// place and size (so commands find it) and says once that it cannot show.
#include <QPoint>
#include <QRect>
#include <functional>
#include <map>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "objects/VellionObj.h"
#include "runtime/Ansi.h"

namespace vl {

struct TPublication;
struct TObjectRecord;

using ObjectMaker = TVellionObj* (*)(QWidget* owner, int objType);
// Registers the maker of an ObjectType (2..24).
void RegisterObjectType(int objType, ObjectMaker maker);
bool ObjectTypeBuilt(int objType);

struct ObjectTypeRegistrar {
  ObjectTypeRegistrar(int objType, ObjectMaker maker) { RegisterObjectType(objType, maker); }
};
#define VL_REGISTER_OBJECT(TYPE, CLASS)                                                        \
  static ::vl::ObjectTypeRegistrar vl_object_registrar_##TYPE(                                 \
      TYPE, [](QWidget* owner, int objType) -> ::vl::TVellionObj* { return new CLASS(owner, objType); })

// Creates the object of ObjectType `objType` as a child of `owner`; nullptr
// for a number outside 2..24.
TVellionObj* CreateObject(int objType, QWidget* owner);

struct TFoundObject {
  TVellionObj* object = nullptr;
  QWidget* holder = nullptr;  // the group, container or page layer holding it
  int page = -1;
  explicit operator bool() const { return object != nullptr; }
};

class TPageObjects {
 public:
  TPageObjects() = default;
  TPageObjects(const TPageObjects&) = delete;
  TPageObjects& operator=(const TPageObjects&) = delete;

  // Creates the objects of every page of `pub` in the layer `layerFor(page)`
  // gives. `offset` is the publication area's top-left in the layer. False
  // with `error` set when a record cannot be applied (an invalid or doubled
  // name): the publication does not start.
  bool Build(const TPublication& pub, const std::function<QWidget*(int page)>& layerFor, QPoint offset,
             AnsiString& error);
  // Destroys every object (the main window closes or another publication
  // replaces this one).
  void Clear();

  int PageCount() const { return static_cast<int>(pages_.size()); }
  // The top-level objects of a page in creation order.
  const std::vector<TVellionObj*>& Roots(int page) const;
  // Every object of a page, holders before their children.
  std::vector<TVellionObj*> AllObjects(int page) const;

  // The pages shown in custom windows, then the current page, then every
  // page in order (the master page first); names compare without regard
  // to case.
  TFoundObject FindObject(std::string_view name) const;
  // The page FindObject treats as current (the navigator's).
  std::function<int()> currentPage;
  // Pages searched before the current one: those shown in custom windows.
  std::function<std::vector<int>()> searchedFirst;
  // Whether a page shows the master page behind it.
  std::function<bool(int page)> showsMaster;
  // Asks the navigator for a page change (an article jumping to the page of
  // the linked member that holds a bookmark).
  std::function<void(int page)> goToPage;

  // --- notifications
  void Start(const TObjectStart& how = {});
  void ModalState(bool ended);
  void VarChanged(const AnsiString& bracketName, const AnsiString& value);
  void PageLeave(int page, bool withMaster);
  void PageEnter(int page, bool withMaster);
  // The page has been shown; then the first tab stop gets the focus.
  void PageShown(int page, bool withMaster);
  void Relayout();
  void Shutdown();
  // The current page's objects, then the master page's when it shows.
  bool OfferHotKey(int page, bool withMaster, int key);
  // The keyboard order of a page: its visible, enabled tab stops, holders
  // entered where they stand. Tab and Shift+Tab move along it (FocusNext).
  std::vector<QWidget*> TabStops(int page) const;
  bool FocusNext(int page, bool backward);
  // Docks the ANCHOR= objects of page `page` (with the master page's first
  // when it shows it) in `client`.
  void AlignPage(int page, const QRect& client);

  // Puts a top-level object last in its page's object order (it was raised
  // to the front of its holder): lookups and hot keys then meet it last.
  void BringToFront(TVellionObj* obj);
  // Puts a top-level object first in its page's object order (it was sent
  // to the back of its holder).
  void SendToBack(TVellionObj* obj);
  // The publication area's top-left in the page layers (what Build added to
  // the objects' X and Y).
  QPoint AreaOffset() const { return areaOffset_; }

  // The change notice reaches the objects that asked for a name.
  void Watch(TVellionObj* obj, const AnsiString& bracketName);
  void Forget(TVellionObj* obj);

 private:
  bool BuildRecords(const std::vector<std::unique_ptr<TObjectRecord>>& records, QWidget* holder, int page,
                    const TObjectReadContext& ctx, std::vector<TVellionObj*>* roots, AnsiString& error);
  template <typename F>
  void ForPages(F&& f);

  std::vector<std::vector<TVellionObj*>> pages_;
  std::unordered_map<AnsiString, std::vector<TVellionObj*>> watchers_;
  bool clearing_ = false;
  QPoint areaOffset_;
};

// The objects of the running publication.
TPageObjects& TheObjects();

// Sets [LastError] to the message for an object that is not there:
// "\"NAME\"||Oggetto inesistente." (message 251).
void ObjectNotFound(std::string_view name);

// Docks those of `objects` whose Anchor is set within `client`, in list
// order; `cause` (or null) goes first among its alignment.
void AlignObjectList(const std::vector<TVellionObj*>& objects, const QRect& client, const TVellionObj* cause);
// The same for the children of `holder`.
void AlignObjectsIn(QWidget* holder, const QRect& client, const TVellionObj* cause);

// The objects of `holder` in keyboard order: by their TabOrder values, equal
// values (and objects without one, last) in creation order.
std::vector<TVellionObj*> TabOrderOf(const QWidget* holder);

}  // namespace vl
