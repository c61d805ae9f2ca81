#pragma once
// A publication read from its text, with its pages, page view and objects
// built the way the main window builds them, on the virtual clock.
#include <QApplication>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "objects/PageObjects.h"
#include "pages/PageObjectsLink.h"
#include "pages/PageView.h"
#include "pages/PagesTestSupport.h"
#include "runtime/Stream.h"

namespace vltest {

class ObjectsTest : public PagesTest {
 protected:
  void TearDown() override {
    vl::TheObjects().Clear();
    view.reset();
    vl::SetObjectEventsSuppressed(true);
    PagesTest::TearDown();
  }
  // Reads `text` (lines separated by "\n") as a publication and builds its
  // objects; the start page becomes current and the objects are started and
  // shown as at the first paint. False when the objects cannot be built.
  bool Load(const std::string& text, int start = 1) {
    std::string data;
    for (char ch : text) {
      if (ch == '\n') data += "\r\n";
      else data += ch;
    }
    vl::MemorySource src(data);
    vl::AnsiString error;
    if (!vl::LoadPublication(src, static_cast<int64_t>(data.size()), pub, {}, error)) {
      ADD_FAILURE() << "publication: " << error;
      return false;
    }
    nav.Build(pub);
    vl::SetActivePages(&nav);
    view = std::make_unique<vl::TPageView>(nav);
    view->resize(640, 480);
    auto& objects = vl::TheObjects();
    vl::LinkObjectsToPages(objects, nav);
    vl::SetObjectEventsSuppressed(true);
    if (!objects.Build(pub, [this](int page) { return view->ObjectLayer(page); }, QPoint(0, 0), buildError))
      return false;
    nav.MakeStartPageCurrent(start);
    objects.PageEnter(start, nav.ShowsMaster(start));
    objects.Start({.chainedStart = startChained});
    view->show();
    vl::SetObjectEventsSuppressed(false);
    nav.ChangePage(nav.PageIndex(), false);
    return true;
  }
  vl::TVellionObj* Obj(std::string_view name) {
    vl::TFoundObject f = vl::TheObjects().FindObject(name);
    return f.object;
  }
  template <typename T>
  T* As(std::string_view name) {
    return dynamic_cast<T*>(Obj(name));
  }
  // Lets posted object actions run.
  static void Drain() {
    for (int i = 0; i < 5; ++i) QCoreApplication::sendPostedEvents();
  }
  void RunFor(int64_t ms) { vl::TheClock().RunUntil([] { return false; }, vl::TheClock().NowMs() + ms); }

  std::unique_ptr<vl::TPageView> view;
  // Load starts the objects as in place of another publication.
  bool startChained = false;
  vl::AnsiString buildError;
};

}  // namespace vltest
