// The media command strings: parser and device table on the one clock.
#include "media/Mci.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "media/MediaHost.h"
#include "media/MediaLength.h"
#include "runtime/Global.h"

namespace vl {

struct TMciDevices::Device {
  uint32_t id = 0;
  AnsiString alias;    // the name commands use
  AnsiString type;     // "waveaudio", "sequencer", "mpegvideo", "avivideo"
  AnsiString element;  // the file as written
  std::string path;
  int64_t lengthMs = 0;
  enum Mode { Stopped, Playing, Paused } mode = Stopped;
  int64_t pos = 0;        // position when the mode last changed
  int64_t startedAt = 0;  // clock time the current play started
  int64_t playTo = 0;     // where the current play ends
  Clock::TimerId timer = 0;
  bool notify = false;    // a completion notice is owed
  bool autoOpened = false;
  int sound = 0;          // the sink's handle
};

namespace {

bool Is(const AnsiString& a, std::string_view b) { return SameTextInvariant(a, b); }

// Non-negative decimal integers only, as the device drivers read them.
bool ParseCount(const AnsiString& s, int64_t& v) {
  if (s.empty() || s.size() > 12) return false;
  v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  return true;
}

AnsiString Extension(const AnsiString& name) {
  size_t dot = name.find_last_of('.');
  size_t sep = name.find_last_of("\\/");
  if (dot == AnsiString::npos || (sep != AnsiString::npos && dot < sep)) return {};
  return AnsiUpper(name.substr(dot));
}

// The device type a file opens as, from its extension; "" when none plays it.
AnsiString TypeForExtension(const AnsiString& ext) {
  if (ext == ".WAV") return "waveaudio";
  if (ext == ".MID" || ext == ".MIDI" || ext == ".RMI") return "sequencer";
  if (ext == ".AVI") return "avivideo";
  for (const char* e : {".MP3", ".MP2", ".MPA", ".OGG", ".OGA", ".OPUS", ".WMA", ".MPG", ".MPEG", ".WMV", ".ASF"})
    if (ext == e) return "mpegvideo";
  return {};
}

bool KnownType(const AnsiString& t) {
  for (const char* k : {"waveaudio", "sequencer", "mpegvideo", "avivideo", "digitalvideo"})
    if (Is(t, k)) return true;
  return false;
}

// Device types that exist on other machines but have no emulation here.
bool HardwareType(const AnsiString& t) {
  for (const char* k : {"cdaudio", "videodisc", "vcr", "overlay", "scanner", "dat", "other"})
    if (Is(t, k)) return true;
  return false;
}

MciReply Err(uint32_t code) { return {code, {}}; }

}  // namespace

namespace {
const char* MciErrorSentence(uint32_t code) {
  switch (code) {
    case kMciUnrecognizedKeyword: return "The command contains a word the device does not know.";
    case kMciUnrecognizedCommand: return "The command word is not one the media system knows.";
    case kMciInvalidDeviceName: return "No device of that name is open, and no file of that name exists.";
    case kMciDeviceOpen: return "A device of that name is already open; give another with \"alias\".";
    case kMciMissingCommandString: return "The command string is empty.";
    case kMciBadInteger: return "A number in the command is not a whole number of 0 or more.";
    case kMciMissingParameter: return "The command lacks a value it needs.";
    case kMciUnsupportedFunction: return "The device cannot do what the command asks.";
    case kMciFileNotFound: return "The file named in the command cannot be found.";
    case kMciExtensionNotFound: return "No device type plays files with that extension; name one with \"type\".";
    case kMciOutOfRange: return "A position in the command lies outside the medium.";
    case kMciDuplicateAlias: return "That alias is already given to an open device.";
    case kMciMissingDeviceName: return "The command names no device.";
    case kMciBadTimeFormat: return "The device does not know that time format.";
    case kMciNoClosingQuote: return "A quoted word in the command is not closed.";
    case kMciInvalidFile: return "The file is damaged or is not one the device can play.";
    case kMciDeviceNotInstalled: return "No such device is installed on this machine.";
    default: return nullptr;
  }
}
}  // namespace

// Every text starts with the word "Media:", which the sound commands leave
// out when they report a failure of their own.
AnsiString MciErrorText(uint32_t code) {
  if (code == kMciOk) return {};
  const char* s = MciErrorSentence(code);
  return s ? AnsiString("Media: ") + s : "Media: The command failed (error " + std::to_string(code) + ").";
}

bool SplitMciCommand(std::string_view s, std::vector<AnsiString>& words) {
  words.clear();
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = s[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    AnsiString w;
    if (c == '"') {
      size_t end = s.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      w.assign(s.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      while (i < s.size() && s[i] != ' ' && s[i] != '\t' && s[i] != '\r' && s[i] != '\n') w += s[i++];
    }
    words.push_back(std::move(w));
  }
  return true;
}

TMciDevices::TMciDevices() = default;

// The clock and the sink may be gone when the program's statics go: the
// player closes its devices with CloseAll before that.
TMciDevices::~TMciDevices() { *alive_ = false; }

TMciDevices::Device* TMciDevices::Find(std::string_view name) const {
  for (const auto& d : devices_)
    if (SameTextInvariant(d->alias, name)) return d.get();
  return nullptr;
}

TMciDevices::Device* TMciDevices::FindId(uint32_t id) const {
  for (const auto& d : devices_)
    if (d->id == id) return d.get();
  return nullptr;
}

uint32_t TMciDevices::IdOf(std::string_view alias) const {
  Device* d = Find(alias);
  return d ? d->id : 0;
}

bool TMciDevices::IsPlaying(uint32_t id) const {
  Device* d = FindId(id);
  return d && d->mode == Device::Playing;
}

int64_t TMciDevices::Position(const Device& d) const {
  if (d.mode != Device::Playing) return d.pos;
  return std::min(d.playTo, d.pos + (TheClock().NowMs() - d.startedAt));
}

// Stops a playing or paused device where it is; a pending notice is sent
// with `notifyCode` (0 drops it silently).
void TMciDevices::Halt(Device& d, int notifyCode) {
  d.pos = Position(d);
  if (d.timer) TheClock().CancelTimer(d.timer);
  d.timer = 0;
  if (d.sound) Media().StopSound(d.sound);
  d.sound = 0;
  d.mode = Device::Stopped;
  if (d.notify) {
    d.notify = false;
    if (notifyCode && notify_) notify_(d.id, notifyCode);
  }
}

void TMciDevices::Close(Device& d) {
  Halt(d, kMciNotifyAborted);
  uint32_t id = d.id;
  devices_.erase(std::remove_if(devices_.begin(), devices_.end(), [id](const auto& p) { return p->id == id; }),
                 devices_.end());
}

void TMciDevices::CloseAll() {
  while (!devices_.empty()) Close(*devices_.back());
}

// The play of device `id` reached its end.
void TMciDevices::Finished(uint32_t id) {
  Device* d = FindId(id);
  if (!d) return;
  d->timer = 0;
  d->pos = d->playTo;
  if (d->sound) Media().SoundEnded(d->sound);
  d->sound = 0;
  d->mode = Device::Stopped;
  bool notify = d->notify;
  d->notify = false;
  // A device opened by the play itself closes when it ends.
  if (d->autoOpened) Close(*d);
  if (notify && notify_) notify_(id, kMciNotifySuccessful);
}

MciReply TMciDevices::Open(const std::vector<AnsiString>& w, size_t at, bool autoOpen, Device** opened) {
  if (at >= w.size()) return Err(kMciMissingDeviceName);
  AnsiString element = w[at], type, alias;
  // "type!element" names both at once.
  size_t bang = element.find('!');
  if (bang != AnsiString::npos) {
    type = element.substr(0, bang);
    element = element.substr(bang + 1);
  }
  if (!autoOpen) {
    for (size_t i = at + 1; i < w.size(); ++i) {
      if (Is(w[i], "type") || Is(w[i], "alias")) {
        if (i + 1 >= w.size()) return Err(kMciMissingParameter);
        (Is(w[i], "type") ? type : alias) = w[i + 1];
        ++i;
      } else if (!Is(w[i], "wait") && !Is(w[i], "notify") && !Is(w[i], "shareable")) {
        return Err(kMciUnrecognizedKeyword);
      }
    }
  }
  if (Is(element, "new")) return Err(kMciUnsupportedFunction);  // recording
  // "open waveaudio" and the like name a device without a file.
  if (type.empty() && (KnownType(element) || HardwareType(element))) {
    return Err(HardwareType(element) ? kMciDeviceNotInstalled : kMciMissingParameter);
  }
  if (!type.empty() && HardwareType(type)) return Err(kMciDeviceNotInstalled);
  if (!type.empty() && !KnownType(type)) return Err(kMciInvalidDeviceName);
  if (element.empty()) return Err(kMciMissingDeviceName);
  if (alias.empty()) alias = element;
  if (Find(alias)) return Err(alias == element ? kMciDeviceOpen : kMciDuplicateAlias);
  if (type.empty()) type = TypeForExtension(Extension(element));
  std::string path = resolve_ ? resolve_(element) : std::string(element);
  if (path.empty()) return Err(kMciFileNotFound);
  MediaLengthResult len = MediaFileLength(path);
  if (!len.ok) {
    if (len.error == "cannot open the file") return Err(kMciFileNotFound);
    return Err(type.empty() ? kMciExtensionNotFound : kMciInvalidFile);
  }
  if (type.empty()) type = len.format == MediaFormat::Wave ? "waveaudio"
                          : len.format == MediaFormat::Midi ? "sequencer"
                          : len.format == MediaFormat::Avi  ? "avivideo" : "mpegvideo";
  auto d = std::make_unique<Device>();
  d->id = nextId_++;
  d->alias = alias;
  d->type = type;
  d->element = element;
  d->path = path;
  d->lengthMs = len.ms;
  d->autoOpened = autoOpen;
  *opened = d.get();
  devices_.push_back(std::move(d));
  return {kMciOk, std::to_string((*opened)->id)};
}

MciReply TMciDevices::Play(Device& d, const std::vector<AnsiString>& w, const std::function<bool()>& stop) {
  int64_t from = -1, to = -1;
  bool wait = false, notify = false;
  for (size_t i = 2; i < w.size(); ++i) {
    if (Is(w[i], "from") || Is(w[i], "to")) {
      if (i + 1 >= w.size()) return Err(kMciMissingParameter);
      int64_t v;
      if (!ParseCount(w[i + 1], v)) return Err(kMciBadInteger);
      (Is(w[i], "from") ? from : to) = v;
      ++i;
    } else if (Is(w[i], "wait")) {
      wait = true;
    } else if (Is(w[i], "notify")) {
      notify = true;
    } else {
      return Err(kMciUnrecognizedKeyword);
    }
  }
  int64_t start = from >= 0 ? from : (d.mode == Device::Stopped ? d.pos : Position(d));
  int64_t end = to >= 0 ? to : d.lengthMs;
  if (start > d.lengthMs || end > d.lengthMs || start > end) return Err(kMciOutOfRange);
  // A new play supersedes the one under way.
  if (d.mode != Device::Stopped) Halt(d, kMciNotifySuperseded);
  AnsiString error;
  d.sound = Media().StartSound(d.path, start, error);
  d.mode = Device::Playing;
  d.pos = start;
  d.startedAt = TheClock().NowMs();
  d.playTo = end;
  d.notify = notify;
  if (started_) started_(d.element);
  uint32_t id = d.id;
  std::weak_ptr<bool> alive = alive_;
  d.timer = TheClock().StartTimer(end - start, [this, id, alive] {
    if (auto a = alive.lock(); a && *a) Finished(id);
  });
  if (wait) {
    TheClock().RunUntil([&] { return !IsPlaying(id) || (stop && stop()); }, -1);
  }
  return {};
}

MciReply TMciDevices::Send(std::string_view command, const std::function<bool()>& stop) {
  std::vector<AnsiString> w;
  if (!SplitMciCommand(command, w)) return Err(kMciNoClosingQuote);
  if (w.empty()) return Err(kMciMissingCommandString);
  const AnsiString& verb = w[0];
  static const char* const kVerbs[] = {"open", "close", "play", "stop", "pause", "resume", "seek", "status", "set"};
  bool known = false;
  for (const char* v : kVerbs) known = known || Is(verb, v);
  if (!known) return Err(kMciUnrecognizedCommand);
  if (Is(verb, "open")) {
    Device* opened = nullptr;
    return Open(w, 1, false, &opened);
  }
  if (w.size() < 2) return Err(kMciMissingDeviceName);
  if (Is(verb, "close") && Is(w[1], "all")) {
    CloseAll();
    return {};
  }
  Device* d = Find(w[1]);
  if (!d) {
    // Playing a file by its name opens it for that play.
    if (!Is(verb, "play") || TypeForExtension(Extension(w[1])).empty()) return Err(kMciInvalidDeviceName);
    MciReply r = Open(w, 1, true, &d);
    if (r.code == kMciFileNotFound) return Err(kMciInvalidDeviceName);
    if (r.code) return r;
  }
  auto noMoreWords = [&](size_t from) {
    for (size_t i = from; i < w.size(); ++i)
      if (!Is(w[i], "wait") && !Is(w[i], "notify")) return false;
    return true;
  };

  if (Is(verb, "play")) {
    MciReply r = Play(*d, w, stop);
    if (r.code && d->autoOpened && d->mode == Device::Stopped) Close(*d);
    return r;
  }
  if (Is(verb, "close")) {
    if (!noMoreWords(2)) return Err(kMciUnrecognizedKeyword);
    Close(*d);
    return {};
  }
  if (Is(verb, "stop")) {
    if (!noMoreWords(2)) return Err(kMciUnrecognizedKeyword);
    if (d->mode != Device::Stopped) Halt(*d, kMciNotifyAborted);
    return {};
  }
  if (Is(verb, "pause")) {
    if (!noMoreWords(2)) return Err(kMciUnrecognizedKeyword);
    if (d->mode == Device::Playing) {
      d->pos = Position(*d);
      if (d->timer) TheClock().CancelTimer(d->timer);
      d->timer = 0;
      if (d->sound) Media().StopSound(d->sound);
      d->sound = 0;
      d->mode = Device::Paused;
    }
    return {};
  }
  if (Is(verb, "resume")) {
    if (!noMoreWords(2)) return Err(kMciUnrecognizedKeyword);
    if (d->mode == Device::Paused) {
      AnsiString error;
      d->sound = Media().StartSound(d->path, d->pos, error);
      d->mode = Device::Playing;
      d->startedAt = TheClock().NowMs();
      uint32_t id = d->id;
      std::weak_ptr<bool> alive = alive_;
      d->timer = TheClock().StartTimer(d->playTo - d->pos, [this, id, alive] {
        if (auto a = alive.lock(); a && *a) Finished(id);
      });
    }
    return {};
  }
  if (Is(verb, "seek")) {
    if (w.size() < 4 || !Is(w[2], "to")) return Err(w.size() < 3 ? kMciMissingParameter : kMciUnrecognizedKeyword);
    if (!noMoreWords(4)) return Err(kMciUnrecognizedKeyword);
    int64_t to;
    if (Is(w[3], "start")) {
      to = 0;
    } else if (Is(w[3], "end")) {
      to = d->lengthMs;
    } else if (!ParseCount(w[3], to)) {
      return Err(kMciBadInteger);
    }
    if (to > d->lengthMs) return Err(kMciOutOfRange);
    Halt(*d, kMciNotifyAborted);
    d->pos = to;
    return {};
  }
  if (Is(verb, "status")) {
    // The item may be several words ("time format", "number of tracks").
    AnsiString item;
    size_t i = 2;
    for (; i < w.size() && !Is(w[i], "wait") && !Is(w[i], "notify"); ++i) item += (item.empty() ? "" : " ") + w[i];
    if (!noMoreWords(i)) return Err(kMciUnrecognizedKeyword);
    if (item.empty()) return Err(kMciMissingParameter);
    if (Is(item, "length")) return {kMciOk, std::to_string(d->lengthMs)};
    if (Is(item, "position")) return {kMciOk, std::to_string(Position(*d))};
    if (Is(item, "mode")) {
      // A play that reached its end is "stopped" even before its timer ran.
      const char* words[] = {"stopped", "playing", "paused"};
      if (d->mode == Device::Playing && Position(*d) >= d->playTo) return {kMciOk, "stopped"};
      return {kMciOk, words[d->mode]};
    }
    if (Is(item, "ready") || Is(item, "media present")) return {kMciOk, "true"};
    if (Is(item, "time format")) return {kMciOk, "milliseconds"};
    if (Is(item, "number of tracks") || Is(item, "current track")) return {kMciOk, "1"};
    if (Is(item, "start position")) return {kMciOk, "0"};
    return Err(kMciUnrecognizedKeyword);
  }
  // set
  if (w.size() >= 4 && Is(w[2], "time") && Is(w[3], "format")) {
    if (w.size() < 5) return Err(kMciMissingParameter);
    if (!noMoreWords(5)) return Err(kMciUnrecognizedKeyword);
    if (Is(w[4], "milliseconds") || Is(w[4], "ms")) return {};
    return Err(kMciBadTimeFormat);
  }
  if (w.size() >= 5 && Is(w[2], "audio") && Is(w[3], "all") && (Is(w[4], "on") || Is(w[4], "off"))) return {};
  if (w.size() < 3) return Err(kMciMissingParameter);
  return Err(kMciUnrecognizedKeyword);
}

TMciDevices& TheMci() {
  static TMciDevices devices;
  return devices;
}

}  // namespace vl
