#pragma once
// Our emulation of the media command strings publications send
// ("open ... alias x", "play x from 0 to 500 wait", "status x mode" ...): a
// parser and a table of open devices. Devices play on the one clock: a device
// ends after its decoded length (media/MediaLength.h), whatever the sink, so
// virtual time gives exact, repeatable positions. Error codes are those the
// publications test for (0 is success); every code has its own text.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Clock.h"

namespace vl {

// Result codes of a command string.
enum MciError : uint32_t {
  kMciOk = 0,
  kMciUnrecognizedKeyword = 259,
  kMciUnrecognizedCommand = 261,
  kMciInvalidDeviceName = 263,
  kMciDeviceOpen = 265,
  kMciMissingCommandString = 267,
  kMciBadInteger = 270,
  kMciMissingParameter = 273,
  kMciUnsupportedFunction = 274,
  kMciFileNotFound = 275,
  kMciExtensionNotFound = 281,
  kMciOutOfRange = 282,
  kMciDuplicateAlias = 289,
  kMciMissingDeviceName = 292,
  kMciBadTimeFormat = 293,
  kMciNoClosingQuote = 294,
  kMciInvalidFile = 296,
  kMciDeviceNotInstalled = 306,
};

// Completion codes sent for "notify".
enum MciNotify : int { kMciNotifySuccessful = 1, kMciNotifySuperseded = 2, kMciNotifyAborted = 4, kMciNotifyFailure = 8 };

// The full text for a result code (English; "" for 0).
AnsiString MciErrorText(uint32_t code);

struct MciReply {
  uint32_t code = kMciOk;
  AnsiString text;  // the reply string ("" when the command answers nothing)
};

// One command split into words; double quotes group words with blanks.
// False when a quote is left open.
bool SplitMciCommand(std::string_view command, std::vector<AnsiString>& words);

class TMciDevices {
 public:
  // Turns a file name written in a command into a path to open, "" when
  // there is no such file. By default the name is taken as a path as it is.
  using FileResolver = std::function<std::string(const AnsiString& name)>;
  // Told when a "play ... notify" ends: device id and completion code.
  using NotifyHandler = std::function<void(uint32_t device, int code)>;
  // Told when a device starts to sound (the trace's "sound" record).
  using StartHandler = std::function<void(const AnsiString& element)>;

  TMciDevices();
  ~TMciDevices();
  TMciDevices(const TMciDevices&) = delete;
  TMciDevices& operator=(const TMciDevices&) = delete;

  void SetFileResolver(FileResolver f) { resolve_ = std::move(f); }
  void SetNotifyHandler(NotifyHandler f) { notify_ = std::move(f); }
  void SetStartHandler(StartHandler f) { started_ = std::move(f); }

  // Runs one command string. `stop` ends a "wait" early (the interpreter's
  // stop request); the device keeps playing then.
  MciReply Send(std::string_view command, const std::function<bool()>& stop = {});

  // Closes every device (the player closes).
  void CloseAll();
  int Count() const { return static_cast<int>(devices_.size()); }
  // The id of the device of that alias, 0 when none is open.
  uint32_t IdOf(std::string_view alias) const;
  bool IsPlaying(uint32_t id) const;

  struct Device;

 private:
  Device* Find(std::string_view name) const;
  Device* FindId(uint32_t id) const;
  MciReply Open(const std::vector<AnsiString>& w, size_t deviceWord, bool autoOpen, Device** opened);
  MciReply Play(Device& d, const std::vector<AnsiString>& w, const std::function<bool()>& stop);
  void Halt(Device& d, int notifyCode);
  void Close(Device& d);
  void Finished(uint32_t id);
  int64_t Position(const Device& d) const;

  std::vector<std::unique_ptr<Device>> devices_;
  uint32_t nextId_ = 1;
  FileResolver resolve_;
  NotifyHandler notify_;
  StartHandler started_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The player's device table.
TMciDevices& TheMci();

}  // namespace vl
