#pragma once
// What the page-change benchmarks share: a page host that renders the new
// page off screen (as a transition would need it) and the frame budget.
#include <QImage>
#include <chrono>
#include <string_view>

#include "pages/PageView.h"
#include "pages/VLPageList.h"

namespace vlbench {

using Steady = std::chrono::steady_clock;
constexpr double kFrameMs = 1000.0 / 60.0;

class OffscreenHost : public vl::PageHost {
 public:
  vl::TPageView* view = nullptr;
  QImage last;
  void PostPageChange(int) override {}
  void RepaintPage(int, int to, int) override { last = view->RenderPage(to); }
  void RunPublicationAction(const vl::AnsiString&, std::string_view, uint8_t, uint8_t) override {}
};

}  // namespace vlbench
