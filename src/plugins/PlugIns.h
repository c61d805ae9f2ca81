#pragma once
// Plug-in libraries: shared libraries carried in the package that add
// commands (and transition effects) to the action language. The interface
// a plug-in sees is the public C header include/vellion/plugin.h.
//
// The manager is the player's PlugInLoader (runtime/Host.h): the package
// hands it each plug-in file at start (PreparePlugIns); it loads the library,
// registers it as a command group of its own and tells it of the player's
// events. A group's library is unloaded when the group is freed (the close,
// a chained load).
#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Host.h"

namespace vl {

// Results of loading one plug-in.
enum PlugInResult : int {
  kPlugInLoaded = 0,
  kPlugInNoFile = 1,         // message 232
  kPlugInInvalid = 2,        // no init entry: message 231
  kPlugInAlreadyLoaded = 3,  // the same file: message 230
  kPlugInNameTaken = 4,      // message 234
  kPlugInCannotOpen = 5      // message 233
};

// The message id shown for a load result.
int PlugInResultMessage(int result);

class TPlugInManager : public PlugInLoader {
 public:
  // Loads and reports a failure in the error box (file name, CR, message).
  void LoadPlugIn(const AnsiString& path) override;

  // Loads without the final report. `loaderText` receives the system
  // loader's text when the library could not be opened.
  int Load(const AnsiString& path, AnsiString* loaderText = nullptr);

  // Sends an event notice (code, parameter) to every loaded plug-in, in
  // load order.
  void Broadcast(int32_t code, int32_t param);
  // The plug-ins loaded now, in load order.
  int LoadedCount() const;
};

TPlugInManager& ThePlugIns();

// The native id of the main window handed to plug-ins (0 while it has
// none).
uintptr_t PlugInMainWindow();

// The call-backs' implementations, shared with the debugger (which gets the
// same functions): run on the interface thread only.
namespace plugin_callbacks {
void GetVariable(const char* name, char** value);
void SetVariable(const char* name, const char* value);
void RunActionText(const char* action);
uint8_t InterfaceAccess(int32_t code, char** text);
uint8_t StreamAccess(const char* fileName, int32_t* fd);
}  // namespace plugin_callbacks

// A malloc'ed copy of `s` for a plug-in to own (never null).
char* PlugInText(std::string_view s);

}  // namespace vl
