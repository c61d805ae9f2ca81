#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>

#include "actions/MathExpr.h"
#include "actions/SpecialVarCheck.h"
#include "actions/Vars.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"

namespace vl {
namespace {

constexpr SpecialVarDef kSpecial[kSpecialVarCount] = {
    {"PageTitle", false},       {"PageNumber", false},      {"P", false},
    {"Time", false},            {"Time24", false},          {"Hour", false},
    {"Minute", false},          {"Second", false},          {"DateShort", false},
    {"DateLong", false},        {"Month", false},           {"MonthNum", false},
    {"Day", false},             {"DayNum", false},          {"Year", false},
    {"Clipboard", true},        {"WindowLeft", true},       {"WindowTop", true},
    {"WindowWidth", true},      {"WindowHeight", true},     {"WindowState", true},
    {"PubWidth", true},         {"PubHeight", true},        {"PubTitle", true},
    {"MailServer", true},       {"CDRomDrive", false},      {"CommandLine", false},
    {"CurrentDir", true},       {"NetworkDrive", false},    {"PubAuthor", false},
    {"PubColors", false},       {"PubDir", false},          {"PubDrive", false},
    {"ScreenColors", false},    {"ScreenHeight", false},    {"ScreenWidth", false},
    {"SystemDir", false},       {"TempDir", false},         {"UserName", false},
    {"WinHandle", false},       {"WindowsDir", false},      {"WindowsPlatform", false},
    {"WindowsVer", false},      {"ClientWidth", true},      {"ClientHeight", true},
    {"VLMode", false},          {"Self", false},            {"SystemLanguage", false},
    {"HDSerialNum", false},     {"VellionVersion", false},  {"Embedded", false},
    {"MyDocuments", false},     {"ProgramFiles", false},    {"VLType", false},
    {"WindowOrder", true},      {"FocusedObject", false},   {"AppTitle", true},
    {"SystemLanguageExt", false}, {"PubVersion", false},    {"PageNumberLeft", false},
    {"PageNumberRight", false}, {"PageNumberOffset", true}, {"PageCount", false},
    {"DecimalSymbol", true},    {"PubLeft", false},         {"PubTop", false},
};

struct Provider {
  SpecialGetter get;
  SpecialSetter set;
};

struct Registry {
  Provider providers[kSpecialVarCount];
  std::unordered_map<std::string_view, int, AnsiCaseHash, AnsiCaseEqual> index;
  Registry();
};

Registry& Reg() {
  static Registry r;
  return r;
}

// [MailServer]: the outgoing mail server, kept for the mail commands.
AnsiString& MailServerStore() {
  static AnsiString server;
  return server;
}

AnsiString ProgramPath() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? AnsiString() : Utf8ToAnsi(p.string());
}

void Provide(Registry& r, const char* name, SpecialGetter get, SpecialSetter set = {}) {
  int i = r.index.at(name);
  r.providers[i] = {std::move(get), std::move(set)};
}

void ProvideNowAs(Registry& r, const char* name, const char* format) {
  std::string f = format;
  Provide(r, name, [f](TDateTime now) { return FormatDateTime(f, now); });
}

// The values the language itself can give. The rest come from the
// subsystems that own them (pages, main window, system services).
Registry::Registry() {
  for (int i = 0; i < kSpecialVarCount; ++i) index.emplace(kSpecial[i].name, i);
  ProvideNowAs(*this, "Time", "h:nn:ss ampm");
  ProvideNowAs(*this, "Time24", "h:nn:ss");
  ProvideNowAs(*this, "Hour", "h");
  ProvideNowAs(*this, "Minute", "nn");
  ProvideNowAs(*this, "Second", "ss");
  ProvideNowAs(*this, "DateShort", "ddddd");
  ProvideNowAs(*this, "DateLong", "dddddd");
  ProvideNowAs(*this, "Month", "mmmm");
  ProvideNowAs(*this, "MonthNum", "m");
  ProvideNowAs(*this, "Day", "dddd");
  ProvideNowAs(*this, "DayNum", "d");
  ProvideNowAs(*this, "Year", "yyyy");
  Provide(*this, "CommandLine", [](TDateTime) {
    AnsiString s = ProgramPath();
    if (!Globals().commandLineText.empty()) s += "\r" + Globals().commandLineText;
    return s;
  });
  Provide(
      *this, "CurrentDir",
      [](TDateTime) {
        std::error_code ec;
        auto p = std::filesystem::current_path(ec);
        if (ec) return AnsiString();
        AnsiString s = Utf8ToAnsi(p.string());
        if (s.empty() || s.back() != '/') s.push_back('/');
        return s;
      },
      [](const AnsiString& v) {
        if (v.empty()) return;  // "not set": nothing to change on this host
        auto& env = VarsEnv();
        std::string path = env.hostPath ? env.hostPath(v) : AnsiToUtf8(v);
        if (::chdir(path.c_str()) != 0) SetLastError(Msg(304));
      });
  Provide(*this, "UserName", [](TDateTime) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name && *pw->pw_name)
      return Utf8ToAnsi(pw->pw_name);
    if (const char* u = std::getenv("USER"); u && *u) return Utf8ToAnsi(u);
    return Msg(228);
  });
  Provide(*this, "VLMode", [](TDateTime) { return AnsiString(VarsEnv().runMode != 0 ? "D" : "R"); });
  Provide(*this, "VellionVersion", [](TDateTime) { return AnsiString("571.0"); });
  Provide(*this, "Embedded", [](TDateTime) { return AnsiString("embedded:\\\\\\"); });
  Provide(
      *this, "DecimalSymbol", [](TDateTime) { return AnsiString(1, DecimalSymbol()); },
      [](const AnsiString& v) { SetDecimalSymbolText(v); });
  Provide(
      *this, "MailServer", [](TDateTime) { return MailServerStore(); },
      [](const AnsiString& v) {
        MailServerStore() = v;
        if (!v.empty()) MailServerKnown() = true;
      });

  // What a program of the core alone answers (the language tests, a build
  // without the player). The player's path layer replaces these with its
  // drives and folders (platform/HostVars.cpp). Here there are no drive
  // letters: the drive searches find nothing, which publications are told by
  // "Error", and the publication's drive is empty (its folder, [PubDir], is a
  // whole path already).
  Provide(*this, "CDRomDrive", [](TDateTime) { return AnsiString("Error"); });
  Provide(*this, "NetworkDrive", [](TDateTime) { return AnsiString("Error"); });
  Provide(*this, "PubDrive", [](TDateTime) { return AnsiString(); });
  // The host's own places for what the Windows folders hold: the system's
  // libraries, the system itself, and programs added to it.
  Provide(*this, "SystemDir", [](TDateTime) { return AnsiString("/usr/lib/"); });
  Provide(*this, "WindowsDir", [](TDateTime) { return AnsiString("/usr/"); });
  Provide(*this, "ProgramFiles", [](TDateTime) { return AnsiString("/opt/"); });
  // The identifier of the root file system stands for the volume serial
  // number of the system drive: as stable, and as unsigned 32 bits.
  Provide(*this, "HDSerialNum", [](TDateTime) {
    struct statvfs st {};
    if (::statvfs("/", &st) != 0) return AnsiString("0");
    return AnsiString(std::to_string(static_cast<uint32_t>(st.f_fsid)));
  });
}

}  // namespace

const SpecialVarDef* SpecialVarTable() { return kSpecial; }

int SpecialVarIndex(std::string_view name) {
  auto& idx = Reg().index;
  auto it = idx.find(name);
  return it == idx.end() ? -1 : it->second;
}

bool RegisterSpecialVar(std::string_view name, SpecialGetter get, SpecialSetter set) {
  int i = SpecialVarIndex(name);
  if (i < 0) return false;
  Reg().providers[i] = {std::move(get), std::move(set)};
  return true;
}

bool SpecialVarHasProvider(int index) {
  return index >= 0 && index < kSpecialVarCount && static_cast<bool>(Reg().providers[index].get);
}

std::vector<AnsiString> SpecialVarsWithoutProvider() {
  std::vector<AnsiString> r;
  for (int i = 0; i < kSpecialVarCount; ++i)
    if (!SpecialVarHasProvider(i)) r.emplace_back(kSpecial[i].name);
  return r;
}

bool SpecialVarHasSetter(int index) {
  return index >= 0 && index < kSpecialVarCount && static_cast<bool>(Reg().providers[index].set);
}

std::vector<AnsiString> SpecialVarProblems() {
  std::vector<AnsiString> r;
  for (int i = 0; i < kSpecialVarCount; ++i) {
    const AnsiString name = kSpecial[i].name;
    if (!SpecialVarHasProvider(i)) r.push_back(name + ": no provider, reads as empty");
    if (kSpecial[i].writable && !SpecialVarHasSetter(i)) r.push_back(name + ": writable, but writes are lost");
    if (!kSpecial[i].writable && SpecialVarHasSetter(i)) r.push_back(name + ": read-only, but has a setter");
  }
  return r;
}

void CheckSpecialVarsAtStart() {
#ifndef NDEBUG
  // Every subsystem has registered its providers by now (static objects of
  // the linked libraries). A name left without one would read as empty
  // without notice, so a development build stops here instead.
  const std::vector<AnsiString> problems = SpecialVarProblems();
  if (problems.empty()) return;
  std::fprintf(stderr, "vellion: special variables not provided for:\n");
  for (const auto& p : problems) std::fprintf(stderr, "  %s\n", p.c_str());
  std::abort();
#endif
}

const AnsiString& MailServerName() { return MailServerStore(); }
AnsiString& MailServerSetting() { return MailServerStore(); }
bool& MailServerKnown() {
  static bool known = false;
  return known;
}

AnsiString GetSpecialValue(int index, TDateTime now) {
  const auto& p = Reg().providers[index];
  return p.get ? p.get(now) : AnsiString();
}

bool SetSpecialValue(int index, const AnsiString& value) {
  const auto& p = Reg().providers[index];
  if (!p.set) return false;
  p.set(value);
  return true;
}

}  // namespace vl
