#pragma once
// The life of a publication as every subsystem hears it. The main window
// (pages/RT_Main.cpp) runs the steps that are its own (opening the package,
// reading the publication, laying out the window, the start password, the
// start page, the first paint) and calls the registry below for everything
// else; a subsystem takes part from its own folder with a static
// `LifecycleRegistrar`, the way commands bind with `CommandBinder`:
//
//   static const vl::LifecycleRegistrar kLife("menus", vl::kLifeMenus, [](vl::LifecycleParticipant& p) {
//     p.start = [](vl::LifecycleContext&) { ... };
//     p.varChanged = [](const vl::AnsiString& name, const vl::AnsiString& value) { ... };
//   });
//
// Every hook runs over the participants in ascending `order` (then by name);
// the orders below place the steps where the start-up and shut-down sequence
// needs them. A subsystem that takes part at two different moments registers
// two participants ("package" and "package.close", say).
//
// The hooks, and when the main window calls them:
//   load        FormCreate, once the publication is read and before the page
//               objects are built (extraction folder, cursors, fonts, the
//               picture cache, the dialogs' and the variables' settings)
//   start       FormCreate, once the start page is current (plug-ins, the
//               start notice to the objects, menus and tray)
//   started     the first paint, before the first page is shown
//   closeQuery  FormCloseQuery: any participant may refuse the close (mail
//               in progress, the exit password, the shut-down action); the
//               first refusal ends the query
//   shutdown    FormCloseQuery accepted (slide show stopped, the page's exit
//               action run): shutting down is set, no new action starts
//   close       FormClose: timers, media, movements stopped
//   destroy     FormDestroy: what the publication holds is freed
//   varChanged  after every variable change (NotifyVariableChanged)
//   modalState  a modal dialog or a blocking report begins (false) or ends
//               (true)
//   inputBlock  user input is blocked (true) or free again (false): only the
//               first take and the last release of InputLock reach it
//   pageLeave / pageEnter / pageShown   the page switch
//
// The registry is in the core and knows no widgets: a participant that needs
// the main window lives in the player library and reaches it there.
#include <functional>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

class TPackage;
struct TPublication;

// What the main window tells the participants. Plain values: the core may
// read them, nothing here needs a widget.
struct LifecycleContext {
  TPackage* package = nullptr;
  TPublication* publication = nullptr;
  bool headless = false;
  // A chained load: the publication starts (or closes) in place of another
  // in the same window.
  bool chained = false;
  // The chained load's options: clear the variables, close the floating
  // windows.
  bool clearVariables = false;
  bool closeWindows = false;
  // The close: already shutting down (the shut-down action runs once), and
  // who asked ([ShutdownSource]: 0 "Windows", 1 "Vellion", 2 "CloseButton";
  // the shut-down action sets it back to 0 once it has run).
  bool shuttingDown = false;
  int shutdownSource = 0;
  // A participant that refuses the close may say why (for traces and tests).
  AnsiString refusedBy;
};

struct LifecycleParticipant {
  const char* name = "";
  int order = 0;
  std::function<void(LifecycleContext&)> load;
  std::function<void(LifecycleContext&)> start;
  std::function<void(LifecycleContext&)> started;
  std::function<bool(LifecycleContext&)> closeQuery;  // false refuses the close
  std::function<void(LifecycleContext&)> shutdown;
  std::function<void(LifecycleContext&)> close;
  std::function<void(LifecycleContext&)> destroy;
  std::function<void(const AnsiString& bracketName, const AnsiString& value)> varChanged;
  std::function<void(bool ended)> modalState;
  std::function<void(bool blocked)> inputBlock;
  std::function<void(int page, bool withMaster)> pageLeave;
  std::function<void(int page, bool withMaster)> pageEnter;
  std::function<void(int page, bool withMaster)> pageShown;
};

// The orders of the participants of this player, in one place so that the
// sequence can be read at a glance. Leave gaps: a new subsystem takes a
// number between those it must follow and precede. A participant named
// "x.free" is the part of "x" that must run later than "x" itself.
inline constexpr int kLifeDriveMap = 50;           // load: the package's drive, names to host paths
inline constexpr int kLifeExtraction = 100;        // load: the extraction folder
inline constexpr int kLifeSafeMode = 110;          // load: safe mode's confinement (after the extraction folder)
inline constexpr int kLifeMailInProgress = 150;    // load: network texts; closeQuery: mail being sent
inline constexpr int kLifeCursors = 200;           // load: the cursor table
inline constexpr int kLifeExitPassword = 250;      // closeQuery: EXITPASSWORD=
inline constexpr int kLifeFonts = 300;             // load: embedded fonts
inline constexpr int kLifeShutdownAction = 350;    // closeQuery: SHUTDOWNACTION=, may veto
inline constexpr int kLifePictures = 400;          // load: the picture cache's size
inline constexpr int kLifeDialogs = 500;           // load: dialog texts and pictures
inline constexpr int kLifeVariables = 600;         // load: the error display's settings
inline constexpr int kLifeFunctions = 610;         // load: the function file loaded last forgotten
inline constexpr int kLifePlugInLoader = 640;      // load: the plug-in loader and its folder
inline constexpr int kLifePlugIns = 650;           // start: PreparePlugIns
inline constexpr int kLifePlugInEvents = 660;      // started, shutdown, pageEnter: notices to plug-ins
inline constexpr int kLifeFloating = 680;          // shutdown, close: floating windows and popups closed
inline constexpr int kLifeMenus = 690;             // varChanged, inputBlock: menu items
inline constexpr int kLifeMovers = 695;            // pageLeave, close: path movements stopped; close: transitions ended
inline constexpr int kLifeObjects = 700;           // start: OM_START; shutdown; varChanged; pages
inline constexpr int kLifeObjectsFreed = 710;      // destroy: every object freed
inline constexpr int kLifeVariablesCleared = 720;  // destroy: the variables cleared
inline constexpr int kLifePlugInsFreed = 725;      // destroy: plug-ins unloaded
inline constexpr int kLifeMenusFreed = 730;        // destroy: main menu, tray menu, tray icon
inline constexpr int kLifeDialogsFreed = 735;      // destroy: dialog pictures no longer loaded
inline constexpr int kLifePicturesFreed = 740;     // destroy: the picture cache emptied
inline constexpr int kLifeMedia = 800;            // load: media texts; close: every medium stopped
inline constexpr int kLifeDisplay = 900;           // close: the black display cover freed
inline constexpr int kLifePackage = 950;           // close: embedded files; destroy: package closed
inline constexpr int kLifeFontsFreed = 990;        // destroy: the font registry released

class LifecycleRegistry {
 public:
  // Adds a participant; one with the same name replaces the earlier one.
  void Register(LifecycleParticipant participant);
  // Removes the participant of that name (tests, plug-ins going away).
  void Unregister(std::string_view name);

  void Load(LifecycleContext& ctx);
  void Start(LifecycleContext& ctx);
  void Started(LifecycleContext& ctx);
  // True when every participant accepted the close.
  bool CloseQuery(LifecycleContext& ctx);
  void Shutdown(LifecycleContext& ctx);
  void Close(LifecycleContext& ctx);
  void Destroy(LifecycleContext& ctx);
  void VarChanged(const AnsiString& bracketName, const AnsiString& value);
  void ModalState(bool ended);
  void InputBlock(bool blocked);
  void PageLeave(int page, bool withMaster);
  void PageEnter(int page, bool withMaster);
  void PageShown(int page, bool withMaster);

  // The participants in calling order (for --list and tests).
  const std::vector<LifecycleParticipant>& Participants() const { return list_; }

 private:
  template <typename M, typename F>
  bool Walk(M member, F&& invoke);
  template <typename M, typename... A>
  void Each(M member, A&&... args);

  std::vector<LifecycleParticipant> list_;
  // Bumped by every change of the list: a pass over the participants finds
  // its place again when a hook changed the list under it.
  unsigned version_ = 0;
};

LifecycleRegistry& Lifecycle();

// Registers from a static object in the subsystem's own file: `fill` sets
// the hooks the participant has.
struct LifecycleRegistrar {
  template <typename Fill>
  LifecycleRegistrar(const char* name, int order, Fill fill) {
    LifecycleParticipant p;
    p.name = name;
    p.order = order;
    fill(p);
    Lifecycle().Register(std::move(p));
  }
};

}  // namespace vl
