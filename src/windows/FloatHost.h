#pragma once
// What the floating windows and the popups need from the main window and its
// pages. The windows never include the pages' headers: the pages fill this
// table when a publication starts (pages/FloatingWindowsLink.cpp) and empty
// it when it goes, and every entry may be missing (a test without a main
// window, a run between two publications), so callers check it.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>
#include <functional>
#include <string_view>

class QWidget;

namespace vl {

struct TFloatingHost {
  // The main window: the owner of every floating window and popup.
  std::function<QWidget*()> mainWindow;
  // The main window's client area: fixed-position windows are its children.
  std::function<QWidget*()> clientArea;
  // The publication area's top-left corner in screen coordinates, and its
  // rectangle inside the client area.
  std::function<QPoint()> pageOrigin;
  std::function<QRect()> pageRect;
  // WINDOWSTYLE= (1 and 3 are the full-screen styles).
  std::function<int()> windowStyle;
  // The page of that name (case ignored), -1 when none.
  std::function<int(std::string_view name)> findPage;
  // The widget holding page `index`'s objects, and where the publication's
  // top-left lies inside it.
  std::function<QWidget*(int index)> pageLayer;
  std::function<QPoint()> layerOffset;
  // A borrowed layer came back: the page view shows the current page's
  // layers again.
  std::function<void()> layersChanged;
  std::function<int()> currentPage;
  std::function<bool(int index)> showsMaster;
  // A key as the objects' hot keys are written (0 when it cannot be one).
  std::function<int(int qtKey, Qt::KeyboardModifiers mods)> keyToShortcut;
};

TFloatingHost& FloatingHost();

}  // namespace vl
