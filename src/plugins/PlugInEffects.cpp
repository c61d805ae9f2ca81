#include "plugins/PlugInEffects.h"

#include <algorithm>

#include "runtime/Global.h"

namespace vl {
namespace {
std::vector<PlugInEffect>& Registry() {
  static std::vector<PlugInEffect> list;
  return list;
}
}  // namespace

void AddPlugInEffect(PlugInEffect effect) { Registry().push_back(std::move(effect)); }

void RemovePlugInEffects(std::string_view plugIn) {
  auto& r = Registry();
  r.erase(std::remove_if(r.begin(), r.end(), [&](const PlugInEffect& e) { return SameTextInvariant(e.plugIn, plugIn); }),
          r.end());
}

const std::vector<PlugInEffect>& PlugInEffects() { return Registry(); }

const PlugInEffect* FindPlugInEffect(std::string_view name) {
  for (const auto& e : Registry())
    if (SameTextInvariant(e.name, name)) return &e;
  return nullptr;
}

}  // namespace vl
