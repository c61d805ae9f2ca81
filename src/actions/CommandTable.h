#pragma once
// The command table: an ordered list of groups (the built-in "_VLK" group
// first, then one per plug-in), each an ordered list of commands. Lookup goes
// through a hashed index that keeps the first-match rule of the ordered scan.
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "actions/CommandApi.h"

namespace vl {

class TCommandTable {
 public:
  TCommandTable();
  ~TCommandTable();
  TCommandTable(const TCommandTable&) = delete;
  TCommandTable& operator=(const TCommandTable&) = delete;

  // Frees every group and registers the 201 built-in commands again.
  void BuildBuiltinTable();
  // Frees every group (plug-in groups unload their libraries).
  void FreeAllGroups();

  ActionGroup& CreateGroup(std::string_view name, std::string_view fileName, void* module, uint8_t kind);
  // Appends a command to `group`; blanks are removed from the name and the
  // hidden flag is cleared. Built-ins take their bound handler.
  ActionRecord& RegisterCommand(ActionGroup& group, int32_t id, std::string_view name, const uint8_t* kinds,
                                int minArgs, int maxArgs);
  void RegisterEffect(ActionGroup& group, int32_t number, std::string_view name);
  void SetHidden(ActionRecord& rec, bool hidden);

  // The first visible command named `word` (letter case ignored), groups in
  // list order, commands in registration order. Null when there is none.
  const ActionRecord* FindCommand(std::string_view word, const ActionGroup** group = nullptr);
  ActionGroup* FindGroupByName(std::string_view name);
  ActionGroup* FindGroupByFileName(std::string_view fileName);
  // The built-in record with `id`, or null.
  const ActionRecord* FindBuiltin(int32_t id) const;

  // The block words, then every visible command name in table order.
  std::vector<AnsiString> KeywordList() const;

  const std::vector<std::unique_ptr<ActionGroup>>& Groups() const { return groups_; }
  // Changes whenever a lookup may give another answer (for line caches).
  uint64_t Version() const { return version_; }

  // Called by BindCommand: patches the live built-in record.
  void UpdateHandler(int32_t id, CommandHandler handler);

 private:
  struct Hit {
    const ActionGroup* group;
    const ActionRecord* record;
  };
  void Reindex();

  std::vector<std::unique_ptr<ActionGroup>> groups_;
  std::unordered_map<AnsiString, Hit, AnsiCaseHash, AnsiCaseEqual> index_;
  bool indexStale_ = true;
  uint64_t version_ = 1;
};

// The table of the running player, built on first use.
TCommandTable& CommandTable();

// The subsystem folder that owns built-in command `id` (for listings), or "".
const char* BuiltinOwner(int32_t id);

}  // namespace vl
