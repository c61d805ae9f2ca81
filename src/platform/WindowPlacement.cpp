#include "platform/WindowPlacement.h"

#include <algorithm>

#include "platform/RegistryStore.h"
#include "runtime/Global.h"

namespace vl {

AnsiString FormatPlacement(const QRect& r, bool maximised) {
  return std::to_string(r.left()) + "," + std::to_string(r.top()) + "," + std::to_string(r.width()) + "," +
         std::to_string(r.height()) + "," + (maximised ? "1" : "0");
}

std::optional<RestoredPlacement> ParsePlacement(std::string_view text, const QRect& current, const QSize& desktop,
                                                bool withSize) {
  if (text.empty()) return std::nullopt;
  int32_t f[5];
  bool has[5];
  for (int i = 0; i < 5; ++i) has[i] = StrToIntStrict(TrimView(FieldOf(ReplaceAll(text, ",", "|"), i + 1)), f[i]);
  RestoredPlacement p;
  p.rect = current;
  int left = has[0] ? f[0] : current.left();
  int top = has[1] ? f[1] : current.top();
  if (withSize) {
    if (has[2] && f[2] > 0) p.rect.setWidth(std::min(f[2], 100000));
    if (has[3] && f[3] > 0) p.rect.setHeight(std::min(f[3], 100000));
  }
  if (left > desktop.width()) left = std::max(0, desktop.width() - p.rect.width());
  if (top > desktop.height()) top = std::max(0, desktop.height() - p.rect.height());
  p.rect.moveTo(left, top);
  p.maximise = has[4] && f[4] == 1;
  return p;
}

void SavePlacement(RegistryStore& store, std::string_view windowRegKey, const QRect& normal, bool maximised) {
  if (windowRegKey.empty()) return;
  RegPath path = SplitValuePath(windowRegKey);
  store.Write(path.root, path.key, path.value, RegValue::String(FormatPlacement(normal, maximised)));
}

std::optional<RestoredPlacement> RestorePlacement(RegistryStore& store, std::string_view windowRegKey,
                                                  const QRect& current, const QSize& desktop, bool withSize) {
  if (windowRegKey.empty()) return std::nullopt;
  RegPath path = SplitValuePath(windowRegKey);
  auto v = store.Read(path.root, path.key, path.value);
  if (!v || !v->IsString()) return std::nullopt;
  return ParsePlacement(v->data, current, desktop, withSize);
}

}  // namespace vl
