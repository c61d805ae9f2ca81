#include "platform/RegistryStore.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>

#include "runtime/Global.h"

namespace vl {
namespace {

const char* const kRootNames[] = {"HKEY_CLASSES_ROOT",   "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                  "HKEY_CURRENT_CONFIG", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA"};
constexpr char kHeader[] = "VLREGISTRY 1";

// "A\\B\" -> "A\B": empty components are dropped.
AnsiString NormalKey(std::string_view key) {
  AnsiString out, part;
  size_t pos = 0;
  while (NextField(key, pos, '\\', false, part)) {
    if (part.empty()) continue;
    if (!out.empty()) out.push_back('\\');
    out += part;
  }
  return out;
}

AnsiString FullKey(RegRoot root, std::string_view key) {
  AnsiString k = NormalKey(key);
  AnsiString full = RootName(root);
  if (!k.empty()) full += "\\" + k;
  return full;
}

const char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Value names and strings: \xHH for anything that is not plain printable
// ASCII, for "\" and for the quote.
void EscapeQuoted(std::string_view s, std::string& out) {
  out.push_back('"');
  for (unsigned char c : s) {
    if (c < 0x20 || c >= 0x7F || c == '\\' || c == '"') {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  out.push_back('"');
}

// Reads a quoted text at `pos`; moves `pos` past the closing quote.
bool UnescapeQuoted(std::string_view line, size_t& pos, AnsiString& out) {
  out.clear();
  if (pos >= line.size() || line[pos] != '"') return false;
  for (size_t i = pos + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 3 >= line.size() || line[i + 1] != 'x') return false;
      int h = HexDigit(line[i + 2]), l = HexDigit(line[i + 3]);
      if (h < 0 || l < 0) return false;
      out.push_back(static_cast<char>(h * 16 + l));
      i += 3;
    } else {
      out.push_back(c);
    }
  }
  return false;
}

// Key paths keep "\" as it is; other special bytes become %HH.
std::string EscapeKey(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x20 || c >= 0x7F || c == '%' || c == '[' || c == ']') {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

bool UnescapeKey(std::string_view s, AnsiString& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out.push_back(s[i]);
      continue;
    }
    if (i + 2 >= s.size()) return false;
    int h = HexDigit(s[i + 1]), l = HexDigit(s[i + 2]);
    if (h < 0 || l < 0) return false;
    out.push_back(static_cast<char>(h * 16 + l));
    i += 2;
  }
  return true;
}

bool ParseHexBytes(std::string_view s, AnsiString& out) {
  out.clear();
  s = TrimView(s);
  if (s.empty()) return true;
  size_t pos = 0;
  AnsiString part;
  while (NextField(s, pos, ',', false, part)) {
    std::string_view p = TrimView(part);
    if (p.size() != 2) return false;
    int h = HexDigit(p[0]), l = HexDigit(p[1]);
    if (h < 0 || l < 0) return false;
    out.push_back(static_cast<char>(h * 16 + l));
  }
  return true;
}

bool ParseData(std::string_view s, RegValue& v) {
  auto take = [&](std::string_view p) {
    if (s.substr(0, p.size()) != p) return false;
    s.remove_prefix(p.size());
    return true;
  };
  bool plain = take("sz:");
  if (plain || take("expand:")) {
    v.type = plain ? kRegString : kRegExpandString;
    size_t pos = 0;
    return UnescapeQuoted(s, pos, v.data) && TrimView(s.substr(pos)).empty();
  }
  if (take("dword:")) {
    int32_t n = 0;
    if (!StrToIntStrict(TrimView(s), n)) return false;
    v = RegValue::Integer(n);
    return true;
  }
  if (take("hex:")) {
    v.type = kRegBinary;
    return ParseHexBytes(s, v.data);
  }
  if (take("hex(")) {
    size_t close = s.find("):");
    int32_t t = 0;
    if (close == std::string_view::npos || !StrToIntStrict(s.substr(0, close), t) || t < 0) return false;
    v.type = static_cast<uint32_t>(t);
    return ParseHexBytes(s.substr(close + 2), v.data);
  }
  return false;
}

void FormatData(const RegValue& v, std::string& out) {
  if (v.type == kRegString || v.type == kRegExpandString) {
    out += v.type == kRegString ? "sz:" : "expand:";
    EscapeQuoted(v.data, out);
    return;
  }
  if (v.type == kRegInteger && v.data.size() == 4) {
    out += "dword:" + std::to_string(v.AsInteger());
    return;
  }
  out += v.type == kRegBinary ? std::string("hex:") : "hex(" + std::to_string(v.type) + "):";
  for (size_t i = 0; i < v.data.size(); ++i) {
    if (i) out.push_back(',');
    unsigned char c = static_cast<unsigned char>(v.data[i]);
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 15]);
  }
}

struct FileStamp {
  int64_t ino = -1, mtimeNs = -1, size = -1;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
  return {static_cast<int64_t>(st.st_ino), static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
          static_cast<int64_t>(st.st_size)};
}

}  // namespace

RegRoot RootFromName(std::string_view name) {
  name = TrimView(name);
  for (int i = 0; i < 7; ++i)
    if (SameTextInvariant(name, kRootNames[i])) return static_cast<RegRoot>(i);
  return RegRoot::CurrentUser;
}

const char* RootName(RegRoot root) {
  int i = static_cast<int>(root);
  return i >= 0 && i < 7 ? kRootNames[i] : kRootNames[1];
}

RegValue RegValue::Integer(int32_t n) {
  uint32_t u = static_cast<uint32_t>(n);
  AnsiString d(4, '\0');
  for (int i = 0; i < 4; ++i) d[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
  return {kRegInteger, d};
}

int32_t RegValue::AsInteger() const {
  uint32_t u = 0;
  for (size_t i = 0; i < 4 && i < data.size(); ++i) u |= static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
  return static_cast<int32_t>(u);
}

RegPath SplitValuePath(std::string_view text) {
  RegPath p;
  size_t first = text.find('\\');
  if (first == std::string_view::npos) {
    p.value.assign(text);
    return p;
  }
  p.root = RootFromName(text.substr(0, first));
  std::string_view rest = text.substr(first + 1);
  size_t last = rest.rfind('\\');
  if (last == std::string_view::npos) {
    p.value.assign(rest);
  } else {
    p.key = NormalKey(rest.substr(0, last));
    p.value.assign(rest.substr(last + 1));
  }
  return p;
}

RegistryStore::RegistryStore(QString filePath) : path_(std::move(filePath)) {}

QString RegistryStore::DefaultFilePath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/vellion/registry");
}

void RegistryStore::Refresh() {
  FileStamp now = StampOf(path_);
  if (!stale_ && now.ino == loadedIno_ && now.mtimeNs == loadedMtime_ && now.size == loadedSize_) return;
  loadedIno_ = now.ino;
  loadedMtime_ = now.mtimeNs;
  loadedSize_ = now.size;
  stale_ = false;
  keys_.clear();
  damaged_ = false;
  if (now.size < 0) return;  // no file yet: an empty registry
  if (now.size > kMaxFileBytes) {
    damaged_ = true;
    return;
  }
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly)) {
    // Unreadable now; try again next time rather than rewriting it empty.
    stale_ = true;
    damaged_ = true;
    return;
  }
  damaged_ = !Parse(f.read(kMaxFileBytes));
}

bool RegistryStore::Parse(const QByteArray& bytes) {
  std::string_view text(bytes.constData(), static_cast<size_t>(bytes.size()));
  bool ok = true;
  Key* current = nullptr;
  size_t pos = 0;
  AnsiString line;
  bool first = true;
  while (NextField(text, pos, '\n', false, line)) {
    std::string_view l = TrimRightView(line);
    if (first) {
      first = false;
      if (l == kHeader) continue;
      ok = false;  // read what can be read all the same
    }
    if (l.empty() || l[0] == '#') continue;
    if (l.front() == '[' && l.back() == ']') {
      AnsiString name;
      if (!UnescapeKey(l.substr(1, l.size() - 2), name)) {
        ok = false;
        current = nullptr;
        continue;
      }
      size_t slash = name.find('\\');
      std::string_view rootText = std::string_view(name).substr(0, slash);
      bool knownRoot = false;
      for (const char* r : kRootNames) knownRoot |= SameTextInvariant(rootText, r);
      if (!knownRoot) {
        ok = false;
        current = nullptr;
        continue;
      }
      current = &Ensure(RootFromName(rootText), slash == AnsiString::npos ? std::string_view() : std::string_view(name).substr(slash + 1));
      continue;
    }
    AnsiString valueName;
    size_t p = 0;
    if (l.substr(0, 2) == "@=") {
      p = 1;
    } else if (!UnescapeQuoted(l, p, valueName) || p >= l.size() || l[p] != '=') {
      ok = false;
      continue;
    }
    RegValue v;
    if (!current || !ParseData(l.substr(p + 1), v) || v.data.size() > kMaxValueBytes) {
      ok = false;
      continue;
    }
    current->values[AnsiUpper(valueName)] = {valueName, std::move(v)};
  }
  return ok;
}

bool RegistryStore::Save() {
  std::string out = kHeader;
  out += "\n";
  for (const auto& [upper, key] : keys_) {
    out += "[" + EscapeKey(key.name) + "]\n";
    for (const auto& [vu, nv] : key.values) {
      if (nv.first.empty())
        out.push_back('@');
      else
        EscapeQuoted(nv.first, out);
      out.push_back('=');
      FormatData(nv.second, out);
      out.push_back('\n');
    }
  }
  auto fail = [&](const QString& why) {
    lastError_ = QStringToAnsi(why);
    stale_ = true;  // forget the change that was not stored
    return false;
  };
  QFileInfo info(path_);
  if (!QDir().mkpath(info.absolutePath())) return fail(QStringLiteral("cannot create the folder ") + info.absolutePath());
  if (damaged_ && !backupDone_ && info.exists()) {
    // Keep the damaged original: lines this reader could not read are not lost.
    const QString backup = path_ + QStringLiteral(".damaged");
    QFile::remove(backup);
    if (!QFile::copy(path_, backup)) return fail(QStringLiteral("cannot keep a copy of the damaged file ") + path_);
    backupDone_ = true;
  }
  QSaveFile f(path_);
  if (!f.open(QIODevice::WriteOnly)) return fail(f.errorString());
  if (f.write(out.data(), static_cast<qint64>(out.size())) != static_cast<qint64>(out.size()) || !f.commit())
    return fail(f.errorString());
  FileStamp now = StampOf(path_);
  loadedIno_ = now.ino;
  loadedMtime_ = now.mtimeNs;
  loadedSize_ = now.size;
  damaged_ = false;
  lastError_.clear();
  return true;
}

std::map<AnsiString, RegistryStore::Key>::iterator RegistryStore::Find(RegRoot root, std::string_view key) {
  return keys_.find(AnsiUpper(FullKey(root, key)));
}

RegistryStore::Key& RegistryStore::Ensure(RegRoot root, std::string_view key) {
  AnsiString full = FullKey(root, key);
  // Parents first, so every key of a path can be listed and opened.
  size_t slash = full.rfind('\\');
  if (slash != AnsiString::npos) {
    size_t rootEnd = full.find('\\');
    if (slash > rootEnd) Ensure(root, std::string_view(full).substr(rootEnd + 1, slash - rootEnd - 1));
  }
  auto [it, added] = keys_.try_emplace(AnsiUpper(full));
  if (added) it->second.name = full;
  return it->second;
}

bool RegistryStore::KeyExists(RegRoot root, std::string_view key) {
  if (NormalKey(key).empty()) return true;
  Refresh();
  return Find(root, key) != keys_.end();
}

bool RegistryStore::CreateKey(RegRoot root, std::string_view key) {
  Refresh();
  if (NormalKey(key).empty() || Find(root, key) != keys_.end()) return true;
  Ensure(root, key);
  return Save();
}

bool RegistryStore::DeleteKey(RegRoot root, std::string_view key) {
  Refresh();
  if (NormalKey(key).empty()) return false;  // a root key cannot go
  AnsiString upper = AnsiUpper(FullKey(root, key));
  auto it = keys_.find(upper);
  if (it == keys_.end()) return false;
  const AnsiString prefix = upper + "\\";
  for (auto i = keys_.begin(); i != keys_.end();) {
    if (i->first == upper || i->first.compare(0, prefix.size(), prefix) == 0)
      i = keys_.erase(i);
    else
      ++i;
  }
  return Save();
}

std::optional<RegValue> RegistryStore::Read(RegRoot root, std::string_view key, std::string_view name) {
  Refresh();
  auto it = Find(root, key);
  if (it == keys_.end()) return std::nullopt;
  auto v = it->second.values.find(AnsiUpper(name));
  if (v == it->second.values.end()) return std::nullopt;
  return v->second.second;
}

bool RegistryStore::Write(RegRoot root, std::string_view key, std::string_view name, const RegValue& value) {
  if (value.data.size() > kMaxValueBytes) {
    lastError_ = "value too large";
    return false;
  }
  Refresh();
  Key& k = Ensure(root, key);
  auto& slot = k.values[AnsiUpper(name)];
  if (slot.first.empty()) slot.first.assign(name);
  slot.second = value;
  return Save();
}

bool RegistryStore::DeleteValue(RegRoot root, std::string_view key, std::string_view name) {
  Refresh();
  auto it = Find(root, key);
  if (it == keys_.end() || it->second.values.erase(AnsiUpper(name)) == 0) return false;
  return Save();
}

std::vector<AnsiString> RegistryStore::ValueNames(RegRoot root, std::string_view key) {
  Refresh();
  std::vector<AnsiString> r;
  auto it = Find(root, key);
  if (it != keys_.end())
    for (const auto& [u, nv] : it->second.values) r.push_back(nv.first);
  return r;
}

std::vector<AnsiString> RegistryStore::SubKeys(RegRoot root, std::string_view key) {
  Refresh();
  std::vector<AnsiString> r;
  const AnsiString prefix = AnsiUpper(FullKey(root, key)) + "\\";
  for (const auto& [u, k] : keys_) {
    if (u.compare(0, prefix.size(), prefix) != 0) continue;
    if (u.find('\\', prefix.size()) != AnsiString::npos) continue;  // deeper
    r.push_back(k.name.substr(prefix.size()));
  }
  return r;
}

RegistryStore& UserRegistry() {
  static RegistryStore store(RegistryStore::DefaultFilePath());
  return store;
}

}  // namespace vl
