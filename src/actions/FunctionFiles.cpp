#include "actions/FunctionFiles.h"

#include <fstream>
#include <sstream>

#include "actions/ArgPrep.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "runtime/Global.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vl {
namespace {

// A function file is a short text; anything far larger is not one.
constexpr int64_t kMaxFunctionFile = 16 << 20;

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    pos = end + 1;
  }
  return lines;
}

uint8_t KindFromName(std::string_view name) {
  static const struct {
    const char* name;
    uint8_t kind;
  } kKinds[] = {{"Number", ArgNumber}, {"Mixed", ArgValue}, {"FileName", ArgFileName},
                {"Variable", ArgVariable}, {"DataFile", ArgDataFile}};
  for (const auto& k : kKinds)
    if (SameTextInvariant(name, k.name)) return k.kind;
  return ArgText;
}

bool ReadDiskFile(const AnsiString& name, std::string& out) {
  auto& env = VarsEnv();
  const std::string path = env.hostPath ? env.hostPath(name) : NativePath(name);
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxFunctionFile) return false;
  in.seekg(0);
  out.resize(static_cast<size_t>(size));
  return static_cast<bool>(in.read(out.data(), size)) || size == 0;
}

class NoScriptEngine : public ScriptEngine {
 public:
  ScriptOutcome Run(const ScriptCall& call) override {
    ScriptOutcome o;
    o.ok = false;
    o.description = NoScriptEngineMessage(call.language);
    return o;
  }
};

ScriptEngine* gEngine = nullptr;

}  // namespace

void TFunctionLoader::Reset() {
  fileName_.clear();
  language_ = "Vellion";
  paramNames_.clear();
  paramKinds_.clear();
  lines_.clear();
}

void TFunctionLoader::Parse(std::string_view text) {
  language_ = "Vellion";
  paramNames_.clear();
  paramKinds_.clear();
  lines_.clear();
  const std::vector<std::string_view> lines = SplitLines(text);
  size_t bodyStart = 0;
  if (!lines.empty() && SameTextInvariant(TrimView(lines[0]), "{Vellion Function}")) {
    // Header lines up to the first whose value is {End}; without one the
    // whole file is header.
    bodyStart = lines.size();
    for (size_t i = 1; i < lines.size(); ++i) {
      std::string_view l = lines[i];
      std::string_view key, value;
      const size_t eq = l.find('=');
      if (eq == std::string_view::npos) {
        value = TrimView(l);
      } else {
        key = TrimView(l.substr(0, eq));
        value = TrimView(l.substr(eq + 1));
      }
      if (SameTextInvariant(value, "{End}")) {
        bodyStart = i + 1;
        break;
      }
      if (SameTextInvariant(key, "Language")) {
        language_ = AnsiString(value);
      } else if (SameTextInvariant(key, "Param") && paramNames_.size() < kMaxFunctionParams) {
        paramNames_.push_back(AnsiString(TrimView(FieldOf(value, 1))));
        paramKinds_.push_back(KindFromName(TrimView(FieldOf(value, 2))));
      }
    }
  }
  for (size_t i = bodyStart; i < lines.size(); ++i) lines_.emplace_back(lines[i]);
}

bool TFunctionLoader::LoadFunction(std::string_view fileName) {
  if (!fileName_.empty() && SameTextInvariant(fileName, fileName_)) return true;
  Reset();
  if (fileName.empty()) return false;
  std::string data;
  TPackage& pkg = ThePackage();
  bool read = false;
  if (pkg.IsOpen() && pkg.FindEntry(fileName)) {
    read = pkg.LoadEntryToMemory(fileName, data) == kLoadOk;
  } else {
    AnsiString name(fileName);
    // In a test run a name without a drive is the authoring tool's
    // functions folder's.
    if (VarsEnv().runMode != 0 && !HasDrive(name) && name[0] != '\\' && name[0] != '/' && pkg.IsOpen() &&
        !pkg.Header().FunctionFileFolder.empty()) {
      AnsiString folder = pkg.Header().FunctionFileFolder;
      if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
      name = folder + name;
    }
    read = ReadDiskFile(name, data);
  }
  if (!read) return false;
  ++reads_;
  Parse(data);
  fileName_ = AnsiString(fileName);
  return true;
}

AnsiString TFunctionLoader::Body() const {
  AnsiString body;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i) body += "\r\n";
    body += lines_[i];
  }
  return body;
}

bool TFunctionLoader::IsActionLanguage() const { return SameTextInvariant(language_, "Vellion"); }

TFunctionLoader& FunctionLoader() {
  static TFunctionLoader loader;
  return loader;
}

ScriptEngine& ScriptEngines() {
  static NoScriptEngine fallback;
  return gEngine ? *gEngine : fallback;
}

void SetScriptEngine(ScriptEngine* engine) { gEngine = engine; }

AnsiString NoScriptEngineMessage(std::string_view language) {
  if (SameTextInvariant(language, "VBScript"))
    return "VBScript function files cannot run on this player: it has no VBScript engine.";
  return AnsiString(language) + " function files cannot run on this player: it has no engine for that language.";
}

}  // namespace vl
