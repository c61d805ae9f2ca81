#include "runtime/PublicationKeys.h"

#include <array>
#include <cstring>

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

// Open addressing over a power-of-two table, filled once.
class KeyTable {
 public:
  KeyTable() {
    slots_.fill(-1);
    for (size_t i = 0; i < kKeyCount; ++i) {
      uint32_t h = KeyHash(kKeys[i].name) & (kSlots - 1);
      while (slots_[h] >= 0) h = (h + 1) & (kSlots - 1);
      slots_[h] = static_cast<int16_t>(i);
    }
  }
  const TKeyInfo* Find(std::string_view key) const {
    uint32_t h = KeyHash(key) & (kSlots - 1);
    for (;;) {
      int16_t i = slots_[h];
      if (i < 0) return nullptr;
      const char* name = kKeys[i].name;
      if (std::strlen(name) == key.size() && Same(name, key)) return &kKeys[i];
      h = (h + 1) & (kSlots - 1);
    }
  }

 private:
  static bool Same(const char* upper, std::string_view key) {
    for (size_t i = 0; i < key.size(); ++i)
      if (static_cast<unsigned char>(upper[i]) != AsciiUpper(static_cast<unsigned char>(key[i]))) return false;
    return true;
  }
  static constexpr size_t kSlots = 1024;
  static_assert(kSlots >= 2 * kKeyCount);
  std::array<int16_t, kSlots> slots_;
};

const KeyTable& Table() {
  static const KeyTable table;
  return table;
}

}  // namespace

const TKeyInfo* FindPublicationKey(std::string_view key) { return Table().Find(key); }

const TKeyInfo& PublicationKeyInfo(TPubKey id) { return kKeys[static_cast<size_t>(id)]; }

}  // namespace vl
