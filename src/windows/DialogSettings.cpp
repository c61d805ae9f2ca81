#include "windows/DialogSettings.h"

namespace vl {

DialogSettings& TheDialogSettings() {
  static DialogSettings s;
  return s;
}

}  // namespace vl
