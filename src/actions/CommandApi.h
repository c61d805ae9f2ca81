#pragma once
// What a command handler sees. Every subsystem that owns commands includes
// this header, binds its handlers to the built-in ids from its own files and
// reads its prepared arguments through CommandContext.
//
//   // src/actions/cmd_vars.cpp
//   static void DoSetVar(vl::CommandContext& c) { ... c.Arg(1) ... }
//   static const vl::CommandBinder kBind{{vl::cmd::SetVar, DoSetVar}};
//
// A command that is in the table but has no handler bound is reported when an
// action runs it: "<Name> is not available in this build." through the normal
// error path (the action stops, [LastError] names the command).
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

class TActionEval;
class CommandContext;

// How an argument is prepared before the command runs.
enum ArgKind : uint8_t {
  ArgNone = 0,        // placeholder of commands without arguments
  ArgText = 1,        // expanded; "!" marks it literal
  ArgCaption = 2,     // as ArgText (titles and message texts)
  ArgNumber = 3,      // expanded, empty values read as "0"; maths evaluated
  ArgValue = 4,       // as ArgNumber, but empty values stay empty
  ArgFileName = 5,    // expanded; bare names resolved among the packaged files
  ArgVariable = 6,    // expanded names-only: [a[x]] -> a3
  ArgDataFile = 7,    // expanded; a plain written path is cut to its file name
  ArgObject = 8,      // expanded (object names)
  ArgMenuItem = 9,    // expanded (menu item names)
  ArgPlugInFile = 10  // as ArgFileName
};

constexpr int kMaxArgs = 10;

using CommandHandler = void (*)(CommandContext& ctx);

// One command of the table.
struct ActionRecord {
  AnsiString name;  // as registered, blanks removed
  int32_t id = 0;   // built-in id, or the plug-in's own number
  uint8_t kinds[kMaxArgs] = {};
  uint8_t minArgs = 0;
  uint8_t maxArgs = 0;  // also the number of kinds stored
  bool hidden = false;  // skipped by lookup and the keyword list
  // Built-ins: the bound handler, or nullptr while its subsystem is not built.
  CommandHandler handler = nullptr;
  // Math, SetVar, Call, DefineVar, WhileEx and IfEx read their raw arguments
  // and prepare them themselves.
  bool preparesOwnArgs = false;
};

// A transition effect registered by a plug-in.
struct EffectEntry {
  AnsiString name;
  int32_t number = 0;
};

// The entry points a plug-in exports (each null when it does not); kept as
// plain addresses here, the plug-in loader knows their signatures.
struct PlugInEntryPoints {
  void* editAction = nullptr;
  void* executeAction = nullptr;
  void* message = nullptr;
  void* about = nullptr;
  void* renderEffect = nullptr;
  void* renderEffect2 = nullptr;
  void* editEffect = nullptr;
};

// A group of commands: the built-in "_VLK" group, or one plug-in.
struct ActionGroup {
  AnsiString name;
  AnsiString fileName;  // empty for the built-in group
  void* module = nullptr;
  uint8_t kind = 0;  // 0 built-in, 1 plug-in library
  // Records keep their addresses while the group grows.
  std::deque<ActionRecord> records;
  std::vector<EffectEntry> effects;
  PlugInEntryPoints entries;
  // Runs the plug-in command `rec` with the prepared arguments (set by the
  // plug-in loader).
  std::function<void(CommandContext&, const ActionRecord& rec)> runPlugIn;
  // Called when the group is freed (unloads the plug-in library).
  std::function<void(ActionGroup&)> onFree;
  int CommandCount() const { return static_cast<int>(records.size()); }
};

// Binds `handler` to built-in command `id`; the binding survives rebuilds of
// the table. Returns false for an id that is not a built-in command.
bool BindCommand(int32_t id, CommandHandler handler);
// The handler bound to `id`, or nullptr.
CommandHandler BoundHandler(int32_t id);

// Binds a list of handlers when the program starts (a static object in the
// file that owns the commands).
struct CommandBinder {
  CommandBinder(std::initializer_list<std::pair<int32_t, CommandHandler>> list) {
    for (auto& [id, h] : list) BindCommand(id, h);
  }
};

// Prepares one argument text by its kind. `maths` asks for expressions of
// kinds 3 and 4 to be evaluated (results in general format, 18 digits),
// `currency` for currency signs to be removed before that. `literal` is set
// when a leading "!" was removed.
AnsiString PrepareArgument(std::string_view raw, ArgKind kind, bool maths, bool currency, bool& literal);

// Interpreter error codes (the stop code of the action).
enum ActionError : int {
  ErrQuoteOpen = -1,
  ErrArgCount = -2,
  ErrLoopVariable = -3,
  ErrUnknownCommand = -4,
  ErrPageChangeRefused = -5,
  ErrPageNotFound = -6,
  ErrBrowserRestricted = -7,
  ErrLabelNotFound = -8,
  ErrSubroutineNotFound = -9,
  ErrMathSyntax = -10,
  ErrPictureNotFound = -11,
  ErrFunctionNotFound = -12,
  ErrBadKeyName = -13,
  ErrKeyBraceOpen = -14,
  ErrBadOperator = -15,
  ErrNoOperator = -16,
  ErrNoOperand = -17,
  ErrPageChangeTestMode = -18,
  ErrExitOutsideBlock = -19,
  ErrScriptStopped = -20,   // stops the action without a message of its own
  ErrNotBuilt = -100,       // the command's subsystem is not in this build
  ErrNestingTooDeep = -101  // too many actions running inside each other
};

// The running command as its handler sees it: the prepared arguments of the
// current line and the interpreter that runs it.
class CommandContext {
 public:
  // The command being run and the command word as written on the line.
  const ActionRecord& Record() const { return *record_; }
  const AnsiString& CommandWord() const { return *word_; }

  // Arguments 1..10: prepared by kind, or as split from the line for the
  // commands that prepare their own (see RawArg). Empty past the count.
  int ArgCount() const { return argc_; }
  const AnsiString& Arg(int i) const { return args_[Index(i)]; }
  AnsiString& MutableArg(int i) { return args_[Index(i)]; }
  bool Literal(int i) const { return literal_[Index(i)]; }
  // The argument text as split from the line, before any preparation.
  const AnsiString& RawArg(int i) const { return *raw_[Index(i)]; }
  // Prepares RawArg(i) by `kind` (for commands that prepare their own
  // arguments) and records the literal mark.
  AnsiString PrepareArg(int i, ArgKind kind, bool maths, bool currency);

  // Where the action comes from.
  uint8_t ActionFlags() const { return flags_; }
  uint8_t EventCode() const { return event_; }
  const AnsiString& SourceName() const { return source_; }

  // Stops the action with interpreter error `code` (-1..-19): [LastError]
  // gets the command word, CR CR and the message, completed by `text` where
  // the message takes one. Other negative codes stop it with message 242.
  void Fail(int code, std::string_view text = {});
  // Stops the action with `code` without reporting anything.
  void Stop(int code) { stop_ = code; }
  int StopCode() const { return stop_; }
  // True when a waiting command should give up: the action was stopped, the
  // player is closing, or another publication was opened.
  bool ShouldStop() const;

  // The line position, for commands that move it (GotoLine, Menu).
  int LineNumber() const { return line_; }
  void SetLineNumber(int n) { line_ = n; }  // the line after `n` runs next
  int LineCount() const;
  void SetSkipAfter(int n) { skipAfter_ = n; }

  TActionEval& Eval();

 protected:
  static int Index(int i) { return (i >= 1 && i <= kMaxArgs) ? i : 0; }

  static const AnsiString& NoText() {
    static const AnsiString empty;
    return empty;
  }

  const ActionRecord* record_ = nullptr;
  // The word and the raw arguments point into the running line (the lines
  // of an action stay as they are while it runs), or at NoText().
  const AnsiString* word_ = &NoText();
  int argc_ = 0;
  AnsiString args_[kMaxArgs + 1];  // [0] is always empty
  const AnsiString* raw_[kMaxArgs + 1] = {&NoText(), &NoText(), &NoText(), &NoText(), &NoText(), &NoText(),
                                          &NoText(), &NoText(), &NoText(), &NoText(), &NoText()};
  bool literal_[kMaxArgs + 1] = {};
  uint8_t flags_ = 0;
  uint8_t event_ = 0;
  AnsiString source_;
  int stop_ = 0;
  int line_ = 0;
  int skipAfter_ = 0;
};

// Ids of the built-in commands.
namespace cmd {
inline constexpr int32_t AlertBox = 1;
inline constexpr int32_t Balloon = 2;
inline constexpr int32_t CloseWindow = 3;
inline constexpr int32_t Delay = 4;
inline constexpr int32_t DOSCommand = 5;
inline constexpr int32_t ExecuteAddOn = 6;
inline constexpr int32_t Exit = 7;
inline constexpr int32_t FileCopy = 8;
inline constexpr int32_t FileDelLine = 9;
inline constexpr int32_t FileErase = 10;
inline constexpr int32_t FileExists = 11;
inline constexpr int32_t FileInsLine = 12;
inline constexpr int32_t FileRead = 13;
inline constexpr int32_t FileLen = 14;
inline constexpr int32_t FileWrite = 15;
inline constexpr int32_t Find = 16;
inline constexpr int32_t GotoPage = 17;
inline constexpr int32_t GotoFirstPage = 18;
inline constexpr int32_t GotoLastPage = 19;
inline constexpr int32_t GotoPrevPage = 20;
inline constexpr int32_t GotoNextPage = 21;
inline constexpr int32_t GotoLine = 22;
inline constexpr int32_t If = 23;
inline constexpr int32_t ImageWindow = 24;
inline constexpr int32_t InternetLink = 25;
inline constexpr int32_t Math = 26;
inline constexpr int32_t MCICommand = 27;
inline constexpr int32_t Menu = 28;
inline constexpr int32_t MenuEx = 29;
inline constexpr int32_t MessageBox = 30;
inline constexpr int32_t PlayCartoonFile = 31;
inline constexpr int32_t PlaySoundFile = 33;
inline constexpr int32_t PlayTone = 34;
inline constexpr int32_t PlayVideoFile = 35;
inline constexpr int32_t PopUpImage = 36;
inline constexpr int32_t PrintDataFile = 37;
inline constexpr int32_t PrintImageFile = 38;
inline constexpr int32_t PrintPage = 39;
inline constexpr int32_t PrintSetup = 40;
inline constexpr int32_t PrintTextFile = 41;
inline constexpr int32_t Random = 42;
inline constexpr int32_t ReturnToPage = 43;
inline constexpr int32_t SearchStr = 44;
inline constexpr int32_t SendKeys = 45;
inline constexpr int32_t SetVar = 46;
inline constexpr int32_t SoundBuzzer = 47;
inline constexpr int32_t StickyNote = 48;
inline constexpr int32_t StopMedia = 49;
inline constexpr int32_t StrDel = 50;
inline constexpr int32_t StrIns = 51;
inline constexpr int32_t StrLen = 52;
inline constexpr int32_t SubStr = 53;
inline constexpr int32_t SystemInfo = 54;
inline constexpr int32_t TextWindow = 55;
inline constexpr int32_t While = 56;
inline constexpr int32_t StrUpper = 57;
inline constexpr int32_t StrLower = 58;
inline constexpr int32_t StrReplace = 59;
inline constexpr int32_t SetVolume = 60;
inline constexpr int32_t GetVolume = 61;
inline constexpr int32_t ShowObject = 62;
inline constexpr int32_t HideObject = 63;
inline constexpr int32_t DisableObject = 64;
inline constexpr int32_t EnableObject = 65;
inline constexpr int32_t GetObjectInfo = 66;
inline constexpr int32_t MoveObject = 67;
inline constexpr int32_t SizeObject = 68;
inline constexpr int32_t RefreshObject = 69;
inline constexpr int32_t Call = 70;
inline constexpr int32_t FileOpenBox = 71;
inline constexpr int32_t FileSaveBox = 72;
inline constexpr int32_t SaveVariables = 73;
inline constexpr int32_t LoadVariables = 74;
inline constexpr int32_t ClearVariables = 75;
inline constexpr int32_t ExtractFilePath = 76;
inline constexpr int32_t ExtractFileName = 77;
inline constexpr int32_t ExtractFileExt = 78;
inline constexpr int32_t ExtractFileDrive = 79;
inline constexpr int32_t BrowserGoTo = 80;
inline constexpr int32_t BrowserBack = 81;
inline constexpr int32_t BrowserForward = 82;
inline constexpr int32_t BrowserHome = 83;
inline constexpr int32_t BrowserSearch = 84;
inline constexpr int32_t BrowserPrint = 85;
inline constexpr int32_t BrowserStop = 86;
inline constexpr int32_t GIFPlay = 87;
inline constexpr int32_t GIFStop = 88;
inline constexpr int32_t TimerStart = 89;
inline constexpr int32_t TimerStop = 90;
inline constexpr int32_t ListBoxGetItem = 91;
inline constexpr int32_t ListBoxAddItem = 92;
inline constexpr int32_t ListBoxDeleteItem = 93;
inline constexpr int32_t ListBoxChangeItem = 94;
inline constexpr int32_t ListBoxSize = 95;
inline constexpr int32_t ListBoxFindItem = 96;
inline constexpr int32_t ListBoxSort = 97;
inline constexpr int32_t ListBoxMoveItem = 98;
inline constexpr int32_t TrackBarSetMin = 99;
inline constexpr int32_t TrackBarSetMax = 100;
inline constexpr int32_t MediaPlayerPlay = 101;
inline constexpr int32_t MediaPlayerStop = 102;
inline constexpr int32_t MediaPlayerPause = 103;
inline constexpr int32_t MediaPlayerRewind = 104;
inline constexpr int32_t CreateFolder = 105;
inline constexpr int32_t InputBox = 106;
inline constexpr int32_t FocusObject = 107;
inline constexpr int32_t GetObjectHandle = 108;
inline constexpr int32_t HelpTopic = 109;
inline constexpr int32_t FindFirst = 110;
inline constexpr int32_t FindNext = 111;
inline constexpr int32_t RegistryRead = 112;
inline constexpr int32_t RegistryWrite = 113;
inline constexpr int32_t SystemSound = 114;
inline constexpr int32_t SendMail = 115;
inline constexpr int32_t ArticleJumpTo = 116;
inline constexpr int32_t ExtractFile = 117;
inline constexpr int32_t GoSub = 118;
inline constexpr int32_t Return = 119;
inline constexpr int32_t StrParse = 120;
inline constexpr int32_t DeleteArray = 121;
inline constexpr int32_t PictureMagnify = 122;
inline constexpr int32_t Loop = 123;
inline constexpr int32_t ObjectToFront = 124;
inline constexpr int32_t ObjectToBack = 125;
inline constexpr int32_t FolderBox = 126;
inline constexpr int32_t SetMousePos = 127;
inline constexpr int32_t ClickMouse = 128;
inline constexpr int32_t Run = 129;
inline constexpr int32_t RemoveFolder = 130;
inline constexpr int32_t GetMousePos = 131;
inline constexpr int32_t BrowserExport = 132;
inline constexpr int32_t PrintImageFileWH = 133;
inline constexpr int32_t Suspend = 134;
inline constexpr int32_t CustomWindow = 135;
inline constexpr int32_t CloseCustomWindow = 136;
inline constexpr int32_t RunVellion = 137;
inline constexpr int32_t FlashPlay = 138;
inline constexpr int32_t FlashStop = 139;
inline constexpr int32_t FlashRewind = 140;
inline constexpr int32_t FlashGotoFrame = 141;
inline constexpr int32_t DefineVar = 142;
inline constexpr int32_t SetPrinterOrientation = 143;
inline constexpr int32_t CloseApp = 144;
inline constexpr int32_t IsAppRunning = 145;
inline constexpr int32_t SendMenuCommand = 146;
inline constexpr int32_t DropFile = 147;
inline constexpr int32_t SetWindowPos = 148;
inline constexpr int32_t GetWindowPos = 149;
inline constexpr int32_t BringAppToFront = 150;
inline constexpr int32_t SendAppToBack = 151;
inline constexpr int32_t DisableApp = 152;
inline constexpr int32_t EnableApp = 153;
inline constexpr int32_t RunInRectangle = 154;
inline constexpr int32_t WhileEx = 155;
inline constexpr int32_t SetObjectFill = 156;
inline constexpr int32_t SetObjectLine = 157;
inline constexpr int32_t SetObjectFont = 158;
inline constexpr int32_t SetObjectCaption = 159;
inline constexpr int32_t SetObjectFileName = 160;
inline constexpr int32_t StartSlideShow = 161;
inline constexpr int32_t StopSlideShow = 162;
inline constexpr int32_t BrowserFind = 163;
inline constexpr int32_t MoveObjectAlongPath = 164;
inline constexpr int32_t StopMovingObject = 165;
inline constexpr int32_t ShowErrors = 166;
inline constexpr int32_t IfEx = 167;
inline constexpr int32_t ExitLoop = 168;
inline constexpr int32_t ExitWhile = 169;
inline constexpr int32_t FlashForward = 170;
inline constexpr int32_t FlashBack = 171;
inline constexpr int32_t FlashGetVar = 172;
inline constexpr int32_t FlashSetVar = 173;
inline constexpr int32_t CheckInternetConnection = 174;
inline constexpr int32_t ConnectToInternet = 175;
inline constexpr int32_t DisconnectFromInternet = 176;
inline constexpr int32_t DownloadFile = 177;
inline constexpr int32_t InternetFileExists = 178;
inline constexpr int32_t InternetFileSize = 179;
inline constexpr int32_t FlashPause = 180;
inline constexpr int32_t ShowMenuItem = 181;
inline constexpr int32_t HideMenuItem = 182;
inline constexpr int32_t EnableMenuItem = 183;
inline constexpr int32_t DisableMenuItem = 184;
inline constexpr int32_t DateToNum = 185;
inline constexpr int32_t NumToDate = 186;
inline constexpr int32_t BrowserLoadFromStr = 187;
inline constexpr int32_t DebugBreakPoint = 188;
inline constexpr int32_t FileList = 189;
inline constexpr int32_t FolderExists = 190;
inline constexpr int32_t ChangeFileExt = 191;
inline constexpr int32_t LoadIcon = 192;
inline constexpr int32_t GotoPageNum = 193;
inline constexpr int32_t GetArrayInfo = 194;
inline constexpr int32_t PauseSlideShow = 195;
inline constexpr int32_t FileToVar = 196;
inline constexpr int32_t InternetPost = 197;
inline constexpr int32_t InternetGet = 198;
inline constexpr int32_t BrowserExecScript = 199;
inline constexpr int32_t BrowserGetElement = 200;
inline constexpr int32_t BrowserSetElement = 201;
inline constexpr int32_t FileSize = 202;
}  // namespace cmd

}  // namespace vl
