#pragma once
// Every event code an action can run under, in one place. The code goes with
// the action text to the interpreter and on to the debugger and plug-ins, so
// the numbers are fixed: objects use 1..26, the main window and the pages
// 50..61.
#include <cstdint>

namespace vl {

// Event codes objects hand to the interpreter with their action texts.
enum TObjectEvent : uint8_t {
  evClick = 1,
  evRClick = 2,
  evMouseEnter = 3,
  evMouseLeave = 4,
  evContainerSized = 5,
  evEditChanged = 6,
  evDone = 7,
  evBrowserBefore = 8,
  evBrowserAfter = 9,
  evDownloadBegin = 10,
  evDownloadComplete = 11,
  evLinkClicked = 12,
  evTimer = 13,
  evMediaPlay = 14,
  evCancel = 15,
  evMovieLoaded = 16,
  evTrackChanged = 17,
  evSelectionChanged = 18,
  evMovieCommand = 19,
  evBrowserLink = 20,
  evDropped = 21,
  evTrackChanging = 22,
  evListDblClick = 25,
  evFocus = 26,
};

// The menus' own actions.
constexpr uint8_t kEventMainMenu = 23;
constexpr uint8_t kEventTrayMenu = 24;

// The pages' and the main window's own actions.
constexpr uint8_t kEventPageEnter = 50;
constexpr uint8_t kEventPageExit = 51;
constexpr uint8_t kEventStartup = 52;
constexpr uint8_t kEventShutdown = 53;
constexpr uint8_t kEventActivate = 54;
constexpr uint8_t kEventDeactivate = 55;
constexpr uint8_t kEventPageChange = 56;  // the publication's page-change action
constexpr uint8_t kEventIdle = 57;
constexpr uint8_t kEventSubroutine = 58;  // ':'
constexpr uint8_t kEventDdeMacro = 59;
constexpr uint8_t kEventCall = 60;
constexpr uint8_t kEventPlugInRequest = 61;

}  // namespace vl
