/* The plug-in of bench_plugin_call: one command, "Nothing", that does
 * nothing with its one argument. */
#include <stdlib.h>
#include <string.h>

#include "vellion/plugin.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT void vlInitPlugIn(uintptr_t window, char **name, char **text2, char **text3) {
  (void)window;
  *name = strdup("Nop");
  *text2 = NULL;
  *text3 = NULL;
}

EXPORT void vlRegisterPlugIn(VlAddAction add, VlReserved reserved, VlGetVariable get, VlSetVariable set) {
  (void)reserved;
  (void)get;
  (void)set;
  static const uint8_t kinds[1] = {VL_ARG_TEXT};
  add(1, "Nothing", NULL, kinds, 0, 1);
}

EXPORT void vlExecAction(int32_t id, char **args) {
  (void)id;
  (void)args;
}
