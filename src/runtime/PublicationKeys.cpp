#include "runtime/PublicationKeys.h"

#include <array>

namespace vl {
namespace {

constexpr TKeyInfo kKeys[] = {
#define VL_KEY_INFO(id, name, type, group) {TPubKey::id, name, TKeyType::type, TKeyGroup::group},
    VL_PUBLICATION_KEYS(VL_KEY_INFO)
#undef VL_KEY_INFO
};
constexpr size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];
static_assert(kKeyCount == static_cast<size_t>(TPubKey::Count));

inline unsigned char AsciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// Keys are ASCII, so folding A-Z is the whole of the case rule for them: a
// line whose key holds any other byte cannot match one.
uint32_t KeyHash(std::string_view s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ AsciiUpper(c)) * 16777619u;
  return h;
}

// Open addressing over a power-of-two table, filled once. Each slot keeps
// the full hash and the length so that a miss rarely compares bytes.
class KeyTable {
 public:
  KeyTable() {
    for (size_t i = 0; i < kKeyCount; ++i) {
      const std::string_view name = kKeys[i].name;
      const uint32_t full = KeyHash(name);
      uint32_t h = full & (kSlots - 1);
      while (slots_[h].index >= 0) h = (h + 1) & (kSlots - 1);
      slots_[h] = {full, static_cast<int16_t>(i), static_cast<uint16_t>(name.size())};
    }
  }
  const TKeyInfo* Find(std::string_view key) const {
    const uint32_t full = KeyHash(key);
    for (uint32_t h = full & (kSlots - 1);; h = (h + 1) & (kSlots - 1)) {
      const Slot& s = slots_[h];
      if (s.index < 0) return nullptr;
      if (s.hash == full && s.length == key.size() && Same(kKeys[s.index].name, key)) return &kKeys[s.index];
    }
  }

 private:
  struct Slot {
    uint32_t hash = 0;
    int16_t index = -1;
    uint16_t length = 0;
  };
  static bool Same(const char* upper, std::string_view key) {
    for (size_t i = 0; i < key.size(); ++i)
      if (static_cast<unsigned char>(upper[i]) != AsciiUpper(static_cast<unsigned char>(key[i]))) return false;
    return true;
  }
  static constexpr size_t kSlots = 1024;
  static_assert(kSlots >= 2 * kKeyCount);
  std::array<Slot, kSlots> slots_{};
};

const KeyTable& Table() {
  static const KeyTable table;
  return table;
}

}  // namespace

const TKeyInfo* FindPublicationKey(std::string_view key) { return Table().Find(key); }

const TKeyInfo& PublicationKeyInfo(TPubKey id) { return kKeys[static_cast<size_t>(id)]; }

}  // namespace vl
