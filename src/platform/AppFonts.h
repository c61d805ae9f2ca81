#pragma once
// Fonts packaged with the publication become application fonts for the life
// of the run: registered when they are extracted, removed when the package
// closes.
#include <map>

#include "runtime/Package.h"

namespace vl {

class TAppFontRegistry : public FontRegistry {
 public:
  bool RegisterFont(const AnsiString& path) override;
  void UnregisterFont(const AnsiString& path) override;
  int Count() const { return static_cast<int>(ids_.size()); }

 private:
  std::map<AnsiString, int> ids_;
};

}  // namespace vl
