/* A small plug-in for Vellion Player: one command, "Greet", that writes a
 * greeting into a variable, and a note of the player's events.
 *
 *   Greet "World" "Answer"      ->  [Answer] is "Hello, World!"
 *   [HelloEvents]                   the event notices heard so far, as "1 0;9 0;..."
 *
 * Build it as a shared library against include/vellion/plugin.h:
 *
 *   cc -shared -fPIC -I include -o hello.so examples/hello_plugin.c
 *
 * and put hello.so into the publication's folder: `vlpack build` packs a
 * ".so" file as a plug-in. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vellion/plugin.h"

#ifdef __GNUC__
#define VL_EXPORT __attribute__((visibility("default")))
#else
#define VL_EXPORT
#endif

static VlSetVariable setVariable;
static char events[1024];

static char *Copy(const char *s) {
  size_t n = strlen(s) + 1;
  char *p = malloc(n);
  if (p) memcpy(p, s, n);
  return p;
}

VL_EXPORT void vlInitPlugIn(uintptr_t mainWindow, char **name, char **text2, char **text3) {
  (void)mainWindow;
  *name = Copy("Hello");
  *text2 = Copy("A greeting");
  *text3 = Copy("1.0");
}

VL_EXPORT void vlRegisterPlugIn(VlAddAction addAction, VlReserved reserved, VlGetVariable getVariable,
                                VlSetVariable setVar) {
  (void)reserved;
  (void)getVariable;
  static const uint8_t kinds[2] = {VL_ARG_TEXT, VL_ARG_VARIABLE};
  setVariable = setVar;
  addAction(1, "Greet", "Greet NAME VARIABLE", kinds, 1, 2);
}

VL_EXPORT void vlExecAction(int32_t id, char **args) {
  if (id != 1 || !setVariable) return;
  char text[512];
  snprintf(text, sizeof text, "Hello, %s!", args[0] ? args[0] : "");
  setVariable(args[1] ? args[1] : "", text);
}

VL_EXPORT void vlMessage(int32_t code, int32_t param) {
  size_t used = strlen(events);
  snprintf(events + used, sizeof events - used, "%d %d;", (int)code, (int)param);
  if (setVariable) setVariable("HelloEvents", events);
}
