#pragma once
// Every reach from the core to the machine: small abstract interfaces, each
// with an accessor that always answers and a setter. The player installs the
// real implementations; nullptr restores the headless one, which does nothing
// a publication could notice, or writes a trace record where there is
// something to observe. The core calls them through the accessors and never
// includes widget headers.
//
//   Dialogs()          DialogService       message, input and file dialogs
//   Errors()           ErrorDisplay        the error box
//   Fonts()            FontRegistry        fonts packaged with the publication
//   PlugIns()          PlugInLoader        plug-in libraries
//   CursorsAndIcons()  CursorIconLoader    cursor and icon files
//   PackageOpening()   PackageOpenHost     single instance, display switch
//   Interp()           InterpreterHost     the main window, as running actions need it
//   VarWatch()         VariableWatcher     the notice of a changed variable
//
// The last two are called on every line and every assignment: their
// accessors live beside their callers (actions/Interpreter.cpp,
// actions/Vars.cpp), where the store can tell that no watcher is installed
// and skip building the notice.
//
// Interfaces of the same shape whose only callers are in the player library
// stay beside them, named here:
//
//   Media()            MediaHost           sounds, tones and mixer volumes (media/MediaHost.h)
//
// A subsystem that needs the machine adds its interface here in the same
// shape when its first command needs it (video; HTTP, FTP and SMTP;
// printing; other programs and input simulation; the clipboard), with its headless implementation, and installs
// the real one from its own folder. The rich-text document interface is the
// rich-text engine's own, in src/richtext. The clock is runtime/Clock.h.
#include <cstdint>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

struct PackageHeader;
class TActionEval;

// A message dialog: title, text (in which "|" breaks lines; the dialog turns it
// into line breaks, the trace keeps it), buttons by caption, optional picture
// file name.
struct QueryRequest {
  AnsiString kind;   // for traces: "alert", "message", "error", "exit", ...
  AnsiString title;
  AnsiString text;
  std::vector<AnsiString> buttons;
  AnsiString picture;  // file name as the publication wrote it, may be empty
  int defaultButton = 0;
  int cancelButton = -1;  // button chosen by Esc / the close box, -1 none
};

// A text input dialog (InputBox, the password form).
struct InputRequest {
  AnsiString kind;  // "input", "password"
  AnsiString title;
  AnsiString message;  // the password form's text above the entry ("|" breaks lines)
  AnsiString prompt;   // the text before (password) or above (input) the entry
  AnsiString initial;
  bool password = false;
  std::vector<AnsiString> buttons;  // normally L_OK and L_CANCEL
};

// File and folder choosers. Filters are in the Windows form
// "Text files|*.txt|All|*.*".
struct FileRequest {
  AnsiString kind;  // "fileopen", "filesave", "folder"
  AnsiString title;
  AnsiString filter;
  AnsiString initialDir;
  AnsiString initialName;
  // "." : the extension of the chosen file type is added to a name typed
  // without one.
  AnsiString defaultExt;
  bool multiple = false;  // file-open: several files, returned joined by ";"
};

class DialogService {
 public:
  virtual ~DialogService() = default;
  // Index of the chosen button, or -1 when the dialog was closed otherwise.
  virtual int Query(const QueryRequest& req) = 0;
  // True for OK; `value` holds the typed text.
  virtual bool Input(const InputRequest& req, AnsiString& value) = 0;
  // True when a path was chosen.
  virtual bool ChooseFile(const FileRequest& req, AnsiString& path) = 0;
};

// The service in force; a headless one that answers with the first button
// (and cancels input and file dialogs) until the player installs another.
DialogService& Dialogs();
void SetDialogService(DialogService* service);  // nullptr restores the default

// Answers every dialog by itself and records it in the trace: the default
// service of runs without a window (vellion --eval).
class AutoAnswerDialogs : public DialogService {
 public:
  int Query(const QueryRequest& req) override;
  bool Input(const InputRequest& req, AnsiString& value) override;
  bool ChooseFile(const FileRequest& req, AnsiString& path) override;
};

// ---------------------------------------------------------------------------
// The error box. Headless: errors are not shown (the variable store traces
// every [LastError] text itself).
class ErrorDisplay {
 public:
  virtual ~ErrorDisplay() = default;
  virtual void ShowError(const AnsiString& text) = 0;
};
ErrorDisplay& Errors();
void SetErrorDisplay(ErrorDisplay* display);  // nullptr restores the default

// ---------------------------------------------------------------------------
// Fonts packaged with the publication become application fonts while it
// runs. Headless: none is registered.
class FontRegistry {
 public:
  virtual ~FontRegistry() = default;
  virtual bool RegisterFont(const AnsiString& path) = 0;
  virtual void UnregisterFont(const AnsiString& path) = 0;
  // Called once after fonts were added or removed.
  virtual void FontsChanged() {}
};
FontRegistry& Fonts();
void SetFontRegistry(FontRegistry* registry);  // nullptr restores the default

// Hands a plug-in library to the plug-in subsystem. Headless: plug-ins are
// prepared (extracted) but not loaded.
class PlugInLoader {
 public:
  virtual ~PlugInLoader() = default;
  // The plug-in finds the main window through the player, not through here.
  virtual void LoadPlugIn(const AnsiString& path) = 0;
};
PlugInLoader& PlugIns();
void SetPlugInLoader(PlugInLoader* loader);  // nullptr restores the default

// Cursor and icon files (the player decodes .cur/.ani/.ico with its GUI).
// Headless: nothing can be loaded.
class CursorIconLoader {
 public:
  virtual ~CursorIconLoader() = default;
  // True when the slot of the application's cursor table now holds a cursor.
  virtual bool LoadCursor(const AnsiString& path, int slot) = 0;
  // True when the file holds an icon the player can show.
  virtual bool LoadIcon(const AnsiString& path) = 0;
  // The application icon from the test strings' icon file.
  virtual void SetApplicationIcon(const AnsiString& path) { (void)path; }
};
CursorIconLoader& CursorsAndIcons();
void SetCursorIconLoader(CursorIconLoader* loader);  // nullptr restores the default

// What happens while the package is being opened, as soon as the fields
// that ask for it have been read. Headless: nothing (the display is never
// switched).
class PackageOpenHost {
 public:
  virtual ~PackageOpenHost() = default;
  // SingleInstance is 1 and this is not a chained load: the player hands its
  // command line to a running copy and may end the process.
  virtual void SingleInstance(const PackageHeader& header) { (void)header; }
  // ChangeDisplay is 1: switch the display. True when the mode was changed
  // (ClosePackage then calls RestoreDisplay).
  virtual bool ChangeDisplay(uint32_t width, uint32_t height, uint8_t bits) {
    (void)width, (void)height, (void)bits;
    return false;
  }
  virtual void RestoreDisplay() {}
};
PackageOpenHost& PackageOpening();
void SetPackageOpenHost(PackageOpenHost* host);  // nullptr restores the default

// ---------------------------------------------------------------------------
// What a running action needs from the main window. Headless: no idle timer,
// no queued input, no debugger, nothing to close.
class InterpreterHost {
 public:
  virtual ~InterpreterHost() = default;
  // An action's line counts as user activity for the idle timer.
  virtual void RestartIdleTimer() {}
  // While suspended: true when an Esc key-down waits for the main window and
  // the publication lets Esc through (then the host queue is processed).
  virtual bool EscapePending() { return false; }
  // Suspend "False": throws away queued mouse, key and menu input.
  virtual void DiscardQueuedInput() {}
  // A positive Delay while suspended: the main window refuses input.
  virtual void BlockingState(bool on) { (void)on; }
  // The application is ending: running actions stop at their next line.
  virtual bool ApplicationEnding() { return false; }
  // True when a debugger takes interpreter errors (while the publication
  // has one attached); then DebuggerError is asked instead of the report.
  virtual bool HasDebugger() { return false; }
  // The message, the action and where it stopped; answer 1 stops the
  // action, 3 ends the run, anything else goes on with the next line.
  virtual int DebuggerError(const AnsiString& message, TActionEval& ev) {
    (void)message, (void)ev;
    return 0;
  }
  // Closes the main window (after answer 3 outside the shutdown action).
  virtual void CloseMainWindow() {}
  // The outermost running action has returned (called from the end of
  // RunAction, before it returns to its caller: only post work from here).
  virtual void OutermostReturned() {}
};
InterpreterHost& Interp();
void SetInterpreterHost(InterpreterHost* host);  // nullptr restores the default

// ---------------------------------------------------------------------------
// The notice of a changed variable: the bracketed, upper-cased name and the
// new value. The main window hands it to the lifecycle's varChanged pass.
// Headless: nobody listens (and the store builds no notice).
class VariableWatcher {
 public:
  virtual ~VariableWatcher() = default;
  virtual void VarChanged(const AnsiString& bracketName, const AnsiString& value) = 0;
};
VariableWatcher& VarWatch();
void SetVariableWatcher(VariableWatcher* watcher);  // nullptr restores the default

}  // namespace vl
