// The list of playing media, over the device table.
#include "media/MediaList.h"

#include <filesystem>
#include <list>
#include <string>

#include "actions/Vars.h"
#include "media/Mci.h"
#include "media/MediaLength.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"
#include "runtime/Trace.h"

namespace vl {
namespace {

std::list<MediaEntry>& Entries() {
  static std::list<MediaEntry> list;
  return list;
}

AnsiString& ExtractErrorText() {
  static AnsiString text;
  return text;
}

// A loop's restarts are one start, traced once.
bool g_restarting = false;

bool NativeFileExists(const AnsiString& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(NativePath(path), ec);
}

// The device table opens names as the publication wrote them: a disk path,
// else a file of the package (extracted on first use).
std::string ResolveForDevice(const AnsiString& name) {
  if (NativeFileExists(name)) return NativePath(name);
  AnsiString path;
  int err = 0;
  int rc = ThePackage().ResolveFile(name, path, err);
  if ((rc == kExtractWritten || rc == kExtractExisting) && NativeFileExists(path)) return NativePath(path);
  return {};
}

}  // namespace

// Hooks the device table up to the player once, before the first command.
void PrepareMediaDevices() {
  static bool wired = false;
  if (wired) return;
  wired = true;
  TMciDevices& mci = TheMci();
  mci.SetFileResolver(ResolveForDevice);
  mci.SetNotifyHandler(OnMciNotify);
  mci.SetStartHandler([](const AnsiString& element) {
    if (!g_restarting) trace::Record({"sound", MediaNamePart(element)});
  });
}

namespace {

std::list<MediaEntry>::iterator FindById(uint32_t id) {
  auto& l = Entries();
  for (auto it = l.begin(); it != l.end(); ++it)
    if (it->mciId == id) return it;
  return l.end();
}

// Removes the entry first (so a notice on the way finds nothing), then
// silences and closes its device.
void StopEntry(std::list<MediaEntry>::iterator it) {
  AnsiString alias = it->alias;
  Entries().erase(it);
  if (!alias.empty()) TheMci().Send("close " + alias);
}

}  // namespace

void OnMciNotify(uint32_t id, int code) {
  auto it = FindById(id);
  if (it == Entries().end()) return;
  if (code == kMciNotifyAborted) return;
  // A medium of no length would restart for ever without time passing: its
  // loop ends instead.
  if (code == kMciNotifySuccessful && it->mode == kMediaLoop &&
      TheMci().Send("status " + it->alias + " length").text != "0") {
    g_restarting = true;
    MciReply r = TheMci().Send("play " + it->alias + " from 0 notify");
    g_restarting = false;
    if (r.code == kMciOk) return;
  }
  StopEntry(it);
}

namespace {

// The extension in upper case occurs within `set` (".WAV", ".MID.RMI"), so
// ".WA" and ".MI" count too; a name without an extension is in no set.
bool ExtIn(const AnsiString& upperExt, std::string_view set) {
  return !upperExt.empty() && set.find(upperExt) != std::string_view::npos;
}

AnsiString UpperExt(const AnsiString& path) {
  AnsiString name = MediaNamePart(path);
  size_t dot = name.find_last_of('.');
  return dot == AnsiString::npos ? AnsiString() : AnsiUpper(name.substr(dot));
}

AnsiString NextAlias() {
  // The tick count names the device; two starts in one millisecond get a
  // serial so the second does not fail as a duplicate.
  static int serial = 0;
  AnsiString base = "VLMedia" + std::to_string(TheClock().NowMs());
  AnsiString alias = base;
  while (TheMci().IdOf(alias)) alias = base + "_" + std::to_string(++serial);
  return alias;
}

// The device's error text without its first word.
AnsiString ErrorWithoutFirstWord(uint32_t code) {
  AnsiString t = MciErrorText(code);
  size_t sp = t.find(' ');
  return sp == AnsiString::npos ? AnsiString() : t.substr(sp + 1);
}

}  // namespace

AnsiString MediaNamePart(std::string_view path) {
  size_t p = path.find_last_of("\\/:");
  return AnsiString(p == std::string_view::npos ? path : path.substr(p + 1));
}

void SetMediaExtractErrorText(const AnsiString& text) { ExtractErrorText() = text; }

uint8_t MediaModeFromOptions(std::string_view options) {
  if (ContainsText(options, "Loop")) return kMediaLoop;
  if (ContainsText(options, "Wait")) return kMediaWait;
  return kMediaNormal;
}

int MediaCount() { return static_cast<int>(Entries().size()); }

const MediaEntry* FindMediaByName(std::string_view name) {
  AnsiString part = MediaNamePart(name);
  for (const MediaEntry& e : Entries())
    if (SameTextInvariant(MediaNamePart(e.fileName), part)) return &e;
  return nullptr;
}

void WaitForMedia(std::string_view name, const std::function<bool()>& stop) {
  AnsiString n(name);
  TheClock().RunUntil([&] { return !FindMediaByName(n) || (stop && stop()); }, -1);
}

int StartMedia(const AnsiString& file, uint8_t mode, bool literal, const std::function<bool()>& stop) {
  PrepareMediaDevices();
  AnsiString path;
  if (literal && NativeFileExists(file)) {
    path = file;
  } else {
    int err = 0;
    int rc = ThePackage().ResolveFile(file, path, err);
    if (!(rc == kExtractWritten || rc == kExtractExisting) || !NativeFileExists(path)) {
      SetLastError(MediaNamePart(file) + "|" + ExtractErrorText());
      return 0;
    }
  }
  if (FindMediaByName(path)) return 0;

  AnsiString ext = UpperExt(path);
  auto stopWhere = [](std::string_view set) {
    auto& l = Entries();
    for (auto it = l.begin(); it != l.end();) {
      auto next = std::next(it);
      if (ExtIn(UpperExt(it->fileName), set)) StopEntry(it);
      it = next;
    }
  };
  if (ExtIn(ext, ".WAV"))
    stopWhere(".WAV");
  else if (ExtIn(ext, ".MID.RMI"))
    stopWhere(".MID.RMI");

  MediaEntry entry;
  entry.mode = mode;
  entry.fileName = AnsiUpper(path);
  entry.alias = NextAlias();
  Entries().push_front(entry);
  auto it = Entries().begin();
  AnsiString fileName = it->fileName;

  MciReply r = TheMci().Send("open \"" + path + "\" alias " + it->alias + " wait");
  if (r.code == kMciOk) {
    it->mciId = TheMci().IdOf(it->alias);
    // Videos are what StopMedia "VIDEO" stops.
    if (ext != ".MP3") it->hasVideo = IsVideoFormat(MediaFileLength(NativePath(path)).format);
    MciReply p = TheMci().Send("play " + it->alias + " notify");
    if (p.code != kMciOk) r = p;
  }
  if (r.code != kMciOk) {
    SetLastError(ErrorWithoutFirstWord(r.code));
    StopEntry(it);  // closes the device when it was opened
    return 0;
  }
  // A looping wave is the system's wave sound, not a numbered device.
  int result;
  if (mode == kMediaLoop && ExtIn(ext, ".WAV")) {
    it->kind = kMediaLoopingWave;
    result = 1;
  } else {
    it->device = static_cast<uint16_t>(it->mciId);
    result = it->device;
  }
  if (mode == kMediaWait) WaitForMedia(fileName, stop);
  return result;
}

void StopMedia(std::string_view which) {
  auto& l = Entries();
  bool sound = SameTextInvariant(which, "SOUND"), video = SameTextInvariant(which, "VIDEO");
  AnsiString part = MediaNamePart(which);
  for (auto it = l.begin(); it != l.end();) {
    auto next = std::next(it);
    bool hit = which.empty() || (sound && !it->hasVideo) || (video && it->hasVideo) ||
               (!sound && !video && SameTextInvariant(MediaNamePart(it->fileName), part));
    if (hit) StopEntry(it);
    it = next;
  }
}

void StopAllMedia() {
  while (!Entries().empty()) StopEntry(Entries().begin());
  TheMci().CloseAll();
}

}  // namespace vl
