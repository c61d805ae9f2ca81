/* Vellion Player plug-in interface.
 *
 * A plug-in is a Linux shared library (.so) carried in a publication's
 * package. The player loads it when the publication starts, lets it register
 * commands of the action language and transition effects, runs its commands,
 * tells it of the player's events and unloads it when the publication closes
 * (or another publication is loaded in its place).
 *
 * Every function uses the platform's C calling convention with C linkage.
 * The player looks each entry point up as "vl..." first, then as "_vl...".
 * Only vlInitPlugIn is required.
 *
 * Texts are zero-terminated Windows-1252. A text that changes owner is
 * allocated with malloc and freed with free by its new owner. All calls in
 * both directions happen on the player's interface thread: a call-back made
 * from any other thread is ignored (and gives no result).
 */
#ifndef VELLION_PLUGIN_H
#define VELLION_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A picture or drawing surface: 32-bit 0xAARRGGBB pixels in native byte
 * order, `stride` bytes from one row to the next. */
typedef struct VlImage {
  int32_t width, height, stride;
  uint8_t *bits;
} VlImage;

/* Argument kinds of a command (how the player prepares an argument). */
enum {
  VL_ARG_NONE = 0,
  VL_ARG_TEXT = 1,      /* variables substituted; a leading "!" keeps it literal */
  VL_ARG_CAPTION = 2,   /* as text */
  VL_ARG_NUMBER = 3,    /* expression evaluated; empty reads as "0" */
  VL_ARG_VALUE = 4,     /* expression evaluated; empty stays empty */
  VL_ARG_FILENAME = 5,  /* a packaged file arrives as the path of a real file */
  VL_ARG_VARIABLE = 6,  /* a variable's name (without brackets) */
  VL_ARG_DATAFILE = 7,  /* as file name */
  VL_ARG_OBJECT = 8,
  VL_ARG_MENUITEM = 9,
  VL_ARG_PLUGINFILE = 10
};

/* Event notices sent with vlMessage, in load order. */
enum {
  VL_MSG_STARTED = 1,      /* first paint of the main window */
  VL_MSG_CLOSING = 2,      /* the publication is closing */
  VL_MSG_DEACTIVATED = 3,
  VL_MSG_ACTIVATED = 4,
  VL_MSG_MOVED = 5,        /* the main window was moved or resized */
  VL_MSG_PAGE_CHANGE = 6,  /* param: index of the new page */
  VL_MSG_MINIMISED = 7,
  VL_MSG_RESTORED = 8,
  VL_MSG_PAGES_LOADED = 9  /* the pages are in the main window (after every plug-in has loaded) */
};

/* Requests of VlInterfaceAccess. */
enum {
  VL_IA_PAGE_TITLES = 3,   /* the page titles, one per line (CR LF) */
  VL_IA_SUBROUTINES = 5,   /* the subroutine labels, sorted, one per line */
  VL_IA_VERSION = 6,       /* "571.0" */
  VL_IA_OBJECT_WINDOW = 7, /* argument: an object's name; the native window id, "0" when none */
  VL_IA_MESSAGE = 9,       /* argument: a message shown in the player's message box */
  VL_IA_PAGE_IMAGE = 11    /* argument: a page title; the address of a VlImage in decimal */
};

/* Call-backs the player hands to the plug-in. */
typedef void (*VlAddAction)(int32_t id, const char *name, const char *hint, const uint8_t *kinds,
                            int32_t kindsHigh, int32_t count);
typedef void (*VlReserved)(intptr_t a, intptr_t b);
typedef void (*VlGetVariable)(const char *name, char **value); /* *value: malloc'ed, the caller frees */
typedef void (*VlSetVariable)(const char *name, const char *value);
typedef void (*VlRunActionText)(const char *action);
/* On entry *text holds the argument (malloc'ed by the caller, freed by the
 * player, may be NULL); on a non-zero result *text is a malloc'ed result the
 * caller frees, else NULL. */
typedef uint8_t (*VlInterfaceAccess)(int32_t code, char **text);
/* Opens a file (packaged or on disk) for reading: *fd is a readable,
 * seekable file descriptor the caller closes. */
typedef uint8_t (*VlStreamAccess)(const char *fileName, int32_t *fd);
typedef void (*VlAddEffect)(int32_t number, const char *name);
typedef void (*VlKeywordList)(char **list); /* words joined by CR LF, freed by the debugger */

/* Entry points a plug-in exports. */
typedef void (*VlInitPlugInFn)(uintptr_t mainWindow, char **name, char **text2, char **text3);
typedef void (*VlRegisterPlugInFn)(VlAddAction addAction, VlReserved reserved, VlGetVariable getVariable,
                                   VlSetVariable setVariable);
typedef void (*VlRegisterScriptProcessorFn)(VlRunActionText runActionText);
typedef void (*VlRegisterInterfaceAccessFn)(VlInterfaceAccess interfaceAccess);
typedef void (*VlRegisterStreamAccessFn)(VlStreamAccess streamAccess);
typedef void (*VlRegisterEffectFn)(VlAddEffect addEffect);
/* args: 10 slots, args[i-1] is argument i, NULL past the command's count;
 * the player frees the copies after the call. */
typedef void (*VlExecActionFn)(int32_t id, char **args);
typedef void (*VlMessageFn)(int32_t code, int32_t param);
typedef uint8_t (*VlRenderEffectExFn)(int32_t effect, VlImage *oldImage, VlImage *newImage, VlImage *target,
                                      int32_t left, int32_t top, int32_t right, int32_t bottom,
                                      int32_t direction, char *options);
typedef uint8_t (*VlRenderEffectFn)(int32_t effect, VlImage *newImage, VlImage *target, int32_t left,
                                    int32_t top, int32_t right, int32_t bottom, char *options);

/* The debugger library ("VLDebug.so") of test runs. */
typedef uint8_t (*VlDebugStartFn)(uintptr_t appWindow, uintptr_t mainWindow, int32_t runMode,
                                  VlKeywordList keywordList, VlInterfaceAccess interfaceAccess,
                                  VlRunActionText runActionText, VlSetVariable setVariable,
                                  VlGetVariable getVariable);
typedef void (*VlDebugActionStartFn)(int32_t depth, const char *source, int32_t originType, int32_t eventCode);
typedef void (*VlDebugAddActionFn)(int32_t depth, const char *text, int32_t kind);
typedef void (*VlDebugActionCompleteFn)(void *interpreter);
typedef void (*VlDebugSetVarFn)(int32_t kind, const char *name, const char *value, int32_t isLocal,
                                const char *typeLetter);
typedef void (*VlDebugMessageFn)(int32_t code, int32_t param);
typedef int32_t (*VlDebugErrorReportFn)(const char *actionText, const char *message, const char *source,
                                        int32_t isBreakpoint, int32_t lineNumber, int32_t eventCode);
typedef void (*VlDebugStopFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* VELLION_PLUGIN_H */
