#pragma once
// A registry of our own: root keys, keys written as paths with "\", named
// values of a type (string, integer, binary, ...), kept in one text file
// under the user's configuration folder. The main window keeps its placement
// in it and the registry commands of actions read and write it.
//
// Names of keys and values compare without regard to case and keep the case
// they were created with. Every change is written at once, atomically (a
// crash leaves the old file or the new one, never half of one), after
// re-reading the file, so two players running side by side do not undo each
// other's values. A damaged file never stops the player: its readable lines
// are kept, and before the file is first rewritten the original is copied
// beside it with ".damaged" appended, so nothing is lost.
//
// File format (ASCII; bytes outside printable ASCII, "\" and the quote are
// written as \xHH):
//   VLREGISTRY 1
//   [HKEY_CURRENT_USER\Software\Example]
//   @=sz:"default value"
//   "Name"=sz:"text"
//   "Count"=dword:42
//   "Data"=hex:41,42,00,43
//   "Other"=hex(7):61,00
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig, PerformanceData, DynData };

// The root named by "HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
// "HKEY_CURRENT_CONFIG", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA" (any case,
// blanks around ignored); "HKEY_CURRENT_USER" and any other text give the
// current user's root.
RegRoot RootFromName(std::string_view name);
const char* RootName(RegRoot root);

// Value types, numbered as the registry numbers them.
enum RegType : uint32_t {
  kRegNone = 0,
  kRegString = 1,
  kRegExpandString = 2,
  kRegBinary = 3,
  kRegInteger = 4,  // 32 bits
  kRegMultiString = 7,
};

struct RegValue {
  uint32_t type = kRegString;
  AnsiString data;  // strings without their terminating zero; integers as 4 bytes, low byte first

  static RegValue String(std::string_view s) { return {kRegString, AnsiString(s)}; }
  static RegValue Integer(int32_t n);
  static RegValue Binary(std::string_view bytes) { return {kRegBinary, AnsiString(bytes)}; }
  bool IsString() const { return type == kRegString || type == kRegExpandString; }
  // The integer of an integer value (missing bytes read as zero).
  int32_t AsInteger() const;
  bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
};

// Where a value lives: root, key path (components separated by "\"; empty
// components are ignored, so "A\B\" and "A\B" are the same key) and value
// name (empty: the key's default value).
struct RegPath {
  RegRoot root = RegRoot::CurrentUser;
  AnsiString key;
  AnsiString value;
};

// Splits "ROOT\key\path\value": the text before the first "\" names the root
// (RootFromName), the rest up to the last "\" is the key and the last part is
// the value name. Without any "\" the whole text is the value name of the
// current user's root.
RegPath SplitValuePath(std::string_view text);

class RegistryStore {
 public:
  // A store kept in `filePath` (created with its folder on the first write).
  explicit RegistryStore(QString filePath);

  // The user's store: "registry" in $XDG_CONFIG_HOME/vellion (normally
  // ~/.config/vellion).
  static QString DefaultFilePath();

  const QString& FilePath() const { return path_; }

  bool KeyExists(RegRoot root, std::string_view key);
  // Creates the key and its missing parents. False when the file cannot be
  // written (LastError says why).
  bool CreateKey(RegRoot root, std::string_view key);
  // Removes the key with its values and subkeys. False when it did not exist
  // or the file cannot be written.
  bool DeleteKey(RegRoot root, std::string_view key);

  std::optional<RegValue> Read(RegRoot root, std::string_view key, std::string_view name);
  // Writes the value, creating the key when needed.
  bool Write(RegRoot root, std::string_view key, std::string_view name, const RegValue& value);
  bool DeleteValue(RegRoot root, std::string_view key, std::string_view name);

  std::vector<AnsiString> ValueNames(RegRoot root, std::string_view key);
  std::vector<AnsiString> SubKeys(RegRoot root, std::string_view key);

  // Why the last change failed (empty after a success).
  const AnsiString& LastError() const { return lastError_; }
  // True when the file read last had lines that could not be read.
  bool WasDamaged() const { return damaged_; }

  // Limits that keep a hostile or damaged file from taking the memory.
  static constexpr int64_t kMaxFileBytes = 64 << 20;
  static constexpr size_t kMaxValueBytes = 1 << 20;

 private:
  struct Key {
    AnsiString name;  // full path as first created, with the root
    std::map<AnsiString, std::pair<AnsiString, RegValue>> values;  // upper-case name -> (name, value)
  };
  void Refresh();
  bool Save();
  std::map<AnsiString, Key>::iterator Find(RegRoot root, std::string_view key);
  Key& Ensure(RegRoot root, std::string_view key);
  bool Parse(const QByteArray& bytes);

  QString path_;
  std::map<AnsiString, Key> keys_;  // upper-case full path -> key
  // What the file was when it was read last (inode, change time, size); -1
  // forces a new reading.
  int64_t loadedIno_ = -1, loadedMtime_ = -1, loadedSize_ = -1;
  bool stale_ = true;
  bool damaged_ = false;
  bool backupDone_ = false;
  AnsiString lastError_;
};

// The user's store, made on first use.
RegistryStore& UserRegistry();

}  // namespace vl
