#pragma once
// The main menu, the tray menu and the tray icon.
//
// Every item of both menus is a TVelMenuItem (a QAction) built from the
// publication's menu records. The menus are drawn by our own style (pictures
// beside captions with their transparent colour, a picture column as wide as
// the largest picture of the level, check marks, shortcut texts), clicking an
// item keeps its MENUVAR= variable in step with its check mark and runs its
// action at once with event code 23 (main menu) or 24 (tray menu).
//
// The main window uses it like this:
//
//   TVelMenus& m = TheMenus();
//   m.SetHost({...});                               // RunPublicationAction etc.
//   m.CreateMainMenu(pub.mainMenu, mainWindow);     // a QMenuBar, or nullptr
//   if (kind == kPublicationKindTray)
//     m.CreateTray(pub.trayMenu, pub.settings.title);
//   m.PrepareMenuItems(chainedLoad);                // start-up step
//   ... NotifyVariableChanged -> m.MenuVariableChanged(name, value)
//   ... InputLock             -> m.SetInputBlocked(on)
//   ... closing               -> m.Clear()
//
// The headless runner's "menu ITEM" step calls ClickMenuItem(name), which
// writes the trace record "menu<TAB>NAME" before the item's click runs.
#include <QAction>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "actions/EventCodes.h"
#include "runtime/Ansi.h"
#include "runtime/Global.h"
#include "runtime/Publication.h"

class QSystemTrayIcon;
class QWidget;

namespace vl {

// MENUSTATE= bits.
constexpr int kMenuStateVisible = 1;
constexpr int kMenuStateEnabled = 2;
constexpr int kMenuStateChecked = 4;  // with kMenuStateToggles only
constexpr int kMenuStateToggles = 8;

// MENUKEY= modifier bits over a Windows virtual-key code.
constexpr int kMenuKeyShift = 0x2000;
constexpr int kMenuKeyCtrl = 0x4000;
constexpr int kMenuKeyAlt = 0x8000;

// Largest size a menu picture is shown at.
constexpr int kMenuPictureMax = 64;

// MENUKEY= as a Qt key sequence: the virtual key mapped to a Qt key, the
// modifier bits to Shift, Ctrl and Alt. Empty for 0 and for keys without a
// Qt counterpart.
QKeySequence MenuKeyToSequence(int32_t menuKey);
// The Qt key of a Windows virtual-key code (0..255), 0 when there is none.
// Keypad keys come with Qt::KeypadModifier.
int VirtualKeyToQtKey(int virtualKey);
// A key press as a shortcut value (virtual key in the low byte, the Shift,
// Ctrl and Alt bits above); 0 for a key without a virtual key.
int QtKeyToShortcut(int qtKey, Qt::KeyboardModifiers mods);

class TVelMenuItem : public QAction {
 public:
  TVelMenuItem(const TMenuItemRecord& rec, uint8_t eventCode, TVelMenuItem* parentItem, QObject* parent);
  ~TVelMenuItem() override;

  // The component name (MENUNAME=).
  const AnsiString& Name() const { return name_; }
  uint8_t EventCode() const { return eventCode_; }
  // A caption of "-": drawn as a separator, never clicked, never changed by
  // the menu commands.
  bool IsSeparator() const { return separator_; }
  bool Toggles() const { return toggles_; }
  TVelMenuItem* ParentItem() const { return parentItem_; }
  // Sub-items in order, and the submenu that shows them (null without).
  const std::vector<TVelMenuItem*>& Items() const { return items_; }
  QMenu* Submenu() const { return submenu_; }

  const AnsiString& PictureFile() const { return pictureFile_; }
  const AnsiString& ActionText() const { return actionText_; }
  const AnsiString& VarName() const { return varName_; }
  // MENUTEXT= as written, kept when it holds "[".
  const AnsiString& WrittenCaption() const { return writtenCaption_; }
  bool CaptionHasVariables() const { return captionHasVars_; }
  TColor TransparentColor() const { return transColor_; }
  // The caption shown, as player text.
  AnsiString Caption() const;

  // The prepared picture (with its alpha), null when none; its displayed size.
  const QImage& Picture() const { return picture_; }
  QSize DisplaySize() const { return displaySize_; }
  // The largest picture among the sub-items (the submenu's picture column).
  QSize LargestChildPicture() const { return largestChild_; }

  // Loads the picture and sets the variable from the initial check state.
  // `trayLevel` is the tray menu's record of its top level's largest picture.
  void Prepare(bool chainedLoad, QSize* trayLevel);
  // The click: the variable follows the check mark (already toggled), then
  // the action runs.
  void MenuItemClick();
  // A variable changed (bracketed, upper-case name): the check mark and the
  // caption follow it; the same for every sub-item.
  void MenuVariableChanged(const AnsiString& bracketName, const AnsiString& value);

  // Adds a sub-item (the submenu is made on first use).
  void AddItem(TVelMenuItem* item);

 private:
  void SetCaptionText(const AnsiString& text);

  AnsiString name_;
  AnsiString pictureFile_;
  AnsiString actionText_;
  AnsiString varName_;
  AnsiString writtenCaption_;
  bool captionHasVars_ = false;
  bool separator_ = false;
  bool toggles_ = false;
  TColor transColor_ = kColorDefault;
  uint8_t eventCode_ = kEventMainMenu;
  QImage picture_;
  QSize displaySize_;
  QSize largestChild_;
  TVelMenuItem* parentItem_ = nullptr;
  std::vector<TVelMenuItem*> items_;
  // Ours, but parented to the menu holding this item for its look; the
  // pointer clears itself should that menu go first.
  QPointer<QMenu> submenu_;
};

// The tray icon: a QSystemTrayIcon where the desktop has a tray.
class TVelTrayIcon : public QObject {
 public:
  explicit TVelTrayIcon(QObject* parent = nullptr);
  ~TVelTrayIcon() override;

  // False where the desktop offers no tray: then nothing shows and the
  // publication runs with its window shown.
  static bool Available();

  void SetActive(bool on);
  bool Active() const { return active_; }
  void SetHint(const AnsiString& hint);
  const AnsiString& Hint() const { return hint_; }
  // The tip shown: the hint before any "|", at most 63 characters.
  AnsiString Tip() const;
  void SetIcon(const QIcon& icon);
  QIcon Icon() const { return icon_; }
  void SetPopupMenu(QMenu* menu);
  QMenu* PopupMenu() const { return popup_; }
  // No task list to hide from on this system: kept, with no effect.
  void SetVisibleInTaskList(bool on) { visibleInTaskList_ = on; }
  bool VisibleInTaskList() const { return visibleInTaskList_; }

  std::function<void()> onClick;
  std::function<void()> onDblClick;
  // The tray's own menu is about to open (right button).
  std::function<void()> onPopup;

 private:
  void Update();

  bool active_ = false;
  bool visibleInTaskList_ = true;
  AnsiString hint_;
  QIcon icon_;
  QPointer<QMenu> popup_;
  QSystemTrayIcon* tray_ = nullptr;  // null without a system tray
};

// What the menus need from the main window. Each may stay empty.
struct TMenuHost {
  // RunPublicationAction (text, source name, flags, event code). Empty: the
  // interpreter's RunAction with the publication's origin type.
  std::function<void(const AnsiString& text, const AnsiString& source, uint8_t flags, uint8_t eventCode)>
      runPublicationAction;
  // TrayIconClick: show, restore and activate the main window.
  std::function<void()> showApplication;
  // Before the tray menu opens: bring the main window to the foreground.
  std::function<void()> bringToFront;
  // The application icon changed (LoadIcon): the main window shows it.
  std::function<void(const QIcon& icon)> applicationIconChanged;
};

// Result of ClickMenuItem.
enum class TMenuClick { Clicked, NotFound, Disabled };

// Both menus and the tray icon of the running publication.
class TVelMenus {
 public:
  TVelMenus();
  ~TVelMenus();
  TVelMenus(const TVelMenus&) = delete;
  TVelMenus& operator=(const TVelMenus&) = delete;

  void SetHost(TMenuHost host) { host_ = std::move(host); }
  const TMenuHost& Host() const { return host_; }

  // Builds the menu bar from the record when the publication has one and
  // gives it to `window` (QMainWindow::setMenuBar when it is one, else it
  // becomes a child the window places itself). Null without a main menu.
  QMenuBar* CreateMainMenu(const TMenuRecord& menu, QWidget* window);
  // Tray publications: the tray menu (kept even without a system tray, so
  // its items can be found and clicked) and the tray icon with the title as
  // its hint, TrayIconClick on click and double click, activated. The icon
  // exists only where a system tray does.
  void CreateTray(const TMenuRecord& menu, const AnsiString& title);
  // Start-up: prepares every item of both menus.
  void PrepareMenuItems(bool chainedLoad);
  // NotifyVariableChanged for OM_VARCHANGED.
  void MenuVariableChanged(const AnsiString& bracketName, const AnsiString& value);
  // InputLock: the enabled top-level items of both menus are disabled while
  // input is blocked and enabled again afterwards.
  void SetInputBlocked(bool on);
  // Main menu first, then tray menu; depth first in item order; name case
  // ignored. Null when none.
  TVelMenuItem* FindMenuItem(std::string_view name) const;
  // The headless "menu ITEM" step: records "menu<TAB>NAME" and clicks an
  // item that is visible and enabled (with its parents).
  TMenuClick ClickMenuItem(std::string_view name);
  // Frees both menus and the tray icon (closing, chained load).
  void Clear();

  QMenuBar* MainMenu() const { return mainMenu_; }
  QMenu* TrayMenu() const { return trayMenu_.get(); }
  // Null without a tray publication or without a system tray.
  TVelTrayIcon* TrayIcon() const { return trayIcon_.get(); }
  const std::vector<TVelMenuItem*>& MainItems() const { return mainItems_; }
  const std::vector<TVelMenuItem*>& TrayItems() const { return trayItems_; }

  // LoadIcon: the application icon, and the program's own icon that an
  // empty file name restores.
  void SetApplicationIcon(const QIcon& icon);
  QIcon ApplicationIcon() const;
  QIcon ProgramIcon() const;

  // The tray icon was clicked.
  void TrayIconClick();

  // Runs an item's action (the host's RunPublicationAction).
  void RunItemAction(const TVelMenuItem& item);

 private:
  TMenuHost host_;
  QPointer<QMenuBar> mainMenu_;
  std::unique_ptr<QMenu> trayMenu_;
  std::unique_ptr<TVelTrayIcon> trayIcon_;
  std::vector<TVelMenuItem*> mainItems_;
  std::vector<TVelMenuItem*> trayItems_;
  QSize trayLargest_;  // the tray menu's top level
  std::vector<TVelMenuItem*> blocked_;
  bool blockedOn_ = false;
  mutable bool programIconKept_ = false;
  mutable QIcon programIcon_;
};

// The process's menus (main thread only).
TVelMenus& TheMenus();

// Loads the first icon of an icon file on disk; a null icon when the file
// holds none.
QIcon LoadIconFromFile(const AnsiString& path);

// Installs the package's cursor and icon loader (LoadCursorFile, LoadIcon):
// cursors go to the cursor table, the application icon to the menus.
void InstallCursorIconLoader();

}  // namespace vl
