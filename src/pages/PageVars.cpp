// The special variables that report the current page: [PageTitle],
// [PageNumber], [P], [PageNumberLeft], [PageNumberRight], [PageNumberOffset]
// and [PageCount].
#include <string>

#include "actions/Vars.h"
#include "pages/VLPageList.h"
#include "runtime/Global.h"

namespace vl {
namespace {

int gPageNumberOffset = 0;

// Empty while there are no pages to report.
AnsiString Number(int64_t n, bool onlyPositive) {
  if (!ActivePages() || (onlyPositive && n <= 0)) return {};
  return std::to_string(n);
}

struct PageVarsRegistration {
  PageVarsRegistration() {
    RegisterSpecialVar("PageTitle", [](TDateTime) -> AnsiString {
      TVLPageNavigator* nav = ActivePages();
      if (!nav) return {};
      // During a change the title already names the target.
      const TVLPage* page = nav->Pages().Page(nav->Pages().NextPageIndex());
      return page ? page->name : AnsiString();
    });
    auto number = [](TDateTime) -> AnsiString {
      TVLPageNavigator* nav = ActivePages();
      return nav ? Number(int64_t{nav->PageIndex()} - gPageNumberOffset, false) : AnsiString();
    };
    RegisterSpecialVar("PageNumber", number);
    RegisterSpecialVar("P", number);
    RegisterSpecialVar("PageNumberLeft", [](TDateTime) -> AnsiString {
      TVLPageNavigator* nav = ActivePages();
      return nav ? Number(2 * int64_t{nav->PageIndex()} - gPageNumberOffset - 1, true) : AnsiString();
    });
    RegisterSpecialVar("PageNumberRight", [](TDateTime) -> AnsiString {
      TVLPageNavigator* nav = ActivePages();
      return nav ? Number(2 * int64_t{nav->PageIndex()} - gPageNumberOffset, true) : AnsiString();
    });
    RegisterSpecialVar(
        "PageNumberOffset", [](TDateTime) { return AnsiString(std::to_string(gPageNumberOffset)); },
        [](const AnsiString& value) {
          int32_t n = 0;
          if (!StrToIntStrict(TrimView(value), n)) n = 0;
          gPageNumberOffset = n;
          for (const char* name : {"PAGENUMBER", "P", "PAGENUMBERLEFT", "PAGENUMBERRIGHT"})
            NotifyVariableChanged(name, GetVariableValue(name, 0));
        });
    RegisterSpecialVar("PageCount", [](TDateTime) -> AnsiString {
      TVLPageNavigator* nav = ActivePages();
      return nav ? AnsiString(std::to_string(std::max(nav->PageCount() - 1, 0))) : AnsiString();
    });
  }
};
const PageVarsRegistration kRegistration;

}  // namespace
}  // namespace vl
