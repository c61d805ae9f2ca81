#pragma once
// The page objects follow a page navigator: they learn which page is current
// and whether a page shows the master page, and hear of every page switch
// (leave, enter, shown) in the order the navigator makes it. The main window
// joins them with this one call, and so does every other host of pages.
namespace vl {

class TPageObjects;
class TVLPageNavigator;

// Before objects.Build: the objects then always ask `nav`, which must
// outlive the link (the navigator's events and the objects' questions are
// replaced, not added to).
void LinkObjectsToPages(TPageObjects& objects, TVLPageNavigator& nav);

}  // namespace vl
