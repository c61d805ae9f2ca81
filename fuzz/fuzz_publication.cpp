// The publication reader over arbitrary text. Besides the sanitizers, the
// model it leaves behind must hang together: every object on an existing
// page, every child pointing back at its holder, nesting within the cap.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/Publication.h"
#include "runtime/Stream.h"

using namespace vl;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckObject(const TObjectRecord& o, const TObjectRecord* parent, size_t pages, int depth) {
  Check(depth <= kMaxNestingDepth + 1);
  Check(o.parent == parent);
  Check(o.pageIndex >= 0 && static_cast<size_t>(o.pageIndex) < pages);
  Check(o.objectType >= kFirstObjectType && o.objectType <= kLastObjectType);
  for (const auto& k : o.keys) Check(PublicationKeyInfo(k.id).type == k.type);
  for (const auto& c : o.children) CheckObject(*c, &o, pages, depth + 1);
}

void CheckMenu(const std::vector<TMenuItemRecord>& items, int depth) {
  Check(depth <= kMaxNestingDepth + 1);
  for (const auto& i : items) {
    Check(!i.name.empty());
    CheckMenu(i.items, depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  MemorySource src(text);
  TLoadOptions options;
  // Let the first byte decide whether tray menus are read.
  options.publicationKind = size > 0 && (data[0] & 1) ? kPublicationKindTray : 0;
  int last = -1;
  options.progress = [&](int pct) {
    Check(pct >= last && pct <= 100);
    last = pct;
  };
  TPublication pub;
  AnsiString error;
  const bool ok = LoadPublication(src, static_cast<int64_t>(size), pub, options, error);
  Check(ok || !error.empty());
  Check(!pub.pages.empty() && pub.pages[0].name.empty());
  for (size_t i = 0; i < pub.pages.size(); ++i) {
    for (size_t j = 0; j < i && pub.pages.size() < 64; ++j)
      Check(!SameTextAnsi(pub.pages[i].name, pub.pages[j].name));
    for (const auto& o : pub.pages[i].objects) {
      Check(o->pageIndex == static_cast<int>(i));
      CheckObject(*o, nullptr, pub.pages.size(), 1);
    }
  }
  for (const auto& f : pub.tabOrderFixups)
    Check(f.pageIndex >= 0 && static_cast<size_t>(f.pageIndex) < pub.pages.size());
  CheckMenu(pub.mainMenu.items, 1);
  CheckMenu(pub.trayMenu.items, 1);
  return 0;
}
