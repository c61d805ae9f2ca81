// The single-instance hand-over and the macros channel of the main window:
// a second copy of a single-instance publication hands its command line to
// the running one and ends; the running one listens for command lines and
// macro lines under the application's name.
#include <QCoreApplication>
#include <string>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "pages/RT_Main.h"
#include "pages/WorkFormEvents.h"
#include "platform/InstanceChannel.h"
#include "runtime/Global.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vl {

// True when a running copy took this copy's command line: this one ends
// without showing anything. Otherwise this copy listens (windowed runs, and
// headless runs that ask for the channel), once per process.
bool TWorkForm::HandedOver(bool singleInstance) {
  if (!options_.channel || chained_ || channel_) return false;
  const AnsiString appName = ApplicationNameOf(options_.packagePath);
  if (singleInstance && TInstanceChannel::HandOver(appName, Globals().commandLineText,
                                                   static_cast<int>(options_.args.size())))
    return true;
  OpenChannel(appName, singleInstance);
  return false;
}


AnsiString ApplicationNameOf(const AnsiString& packagePath) {
  AnsiString name(FileNamePart(WithSlashes(packagePath)));
  const size_t dot = name.rfind('.');
  if (dot != AnsiString::npos && dot > 0) name.resize(dot);
  return name;
}

void TWorkForm::OpenChannel(const AnsiString& appName, bool singleInstance) {
  channel_ = std::make_unique<TInstanceChannel>();
  channel_->onCommandLine = [this](const AnsiString& text, int) { CommandLineHandedOver(text); };
  channel_->onMacroLine = [this](const AnsiString& line) {
    if (!shuttingDown_ && !closed_) PostAction(this, line, kEventDdeMacro, 0);
  };
  channel_->expand = [](const AnsiString& ref) { return ExpandVariables(ref); };
  if (channel_->Listen(appName)) return;
  // Another copy of a publication that allows several keeps the name: this
  // one answers under a name of its own.
  if (singleInstance || !channel_->Listen(appName + "-" + std::to_string(QCoreApplication::applicationPid())))
    channel_.reset();
}

void TWorkForm::CommandLineHandedOver(const AnsiString& text) {
  Globals().commandLineText = text;
  if (isMinimized() || !isVisible()) showNormal();
  raise();
  activateWindow();
  if (!shuttingDown_ && SubroutineExists("CommandLine_OnChange"))
    PostAction(this, "CommandLine_OnChange", kEventSubroutine, 0);
}

}  // namespace vl
