#include "pages/PageObjectsLink.h"

#include "objects/PageObjects.h"
#include "pages/VLPageList.h"

namespace vl {

void LinkObjectsToPages(TPageObjects& objects, TVLPageNavigator& nav) {
  objects.currentPage = [&nav] { return nav.PageIndex(); };
  objects.showsMaster = [&nav](int page) { return nav.ShowsMaster(page); };
  objects.goToPage = [&nav](int page) { nav.GoToPageIndex(nullptr, page); };
  TPageEvents& ev = nav.Events();
  ev.pageLeave = [&objects](int page, bool master) { objects.PageLeave(page, master); };
  ev.pageEnter = [&objects](int page, bool master) { objects.PageEnter(page, master); };
  ev.pageShown = [&objects](int page, bool master) { objects.PageShown(page, master); };
}

}  // namespace vl
