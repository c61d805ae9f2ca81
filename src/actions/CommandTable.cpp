#include "actions/CommandTable.h"

#include "actions/ActionText.h"
#include "runtime/Global.h"

namespace vl {
namespace {

struct BuiltinSpec {
  int32_t id;
  const char* name;
  uint8_t minArgs, maxArgs;
  uint8_t kinds[kMaxArgs];
  const char* owner;
};

// Generated from the command list; registration order = keyword-list order.
const BuiltinSpec kBuiltins[] = {
    {17, "GotoPage", 1, 1, {1}, "pages"},
    {193, "GotoPageNum", 1, 1, {3}, "pages"},
    {20, "GotoPrevPage", 0, 0, {}, "pages"},
    {21, "GotoNextPage", 0, 0, {}, "pages"},
    {18, "GotoFirstPage", 0, 0, {}, "pages"},
    {19, "GotoLastPage", 0, 0, {}, "pages"},
    {43, "ReturnToPage", 0, 0, {}, "pages"},
    {161, "StartSlideShow", 4, 4, {1, 1, 1, 1}, "pages"},
    {195, "PauseSlideShow", 0, 0, {}, "pages"},
    {162, "StopSlideShow", 0, 0, {}, "pages"},
    {1, "AlertBox", 2, 2, {2, 2}, "windows"},
    {30, "MessageBox", 4, 4, {2, 2, 2, 6}, "windows"},
    {106, "InputBox", 3, 3, {2, 2, 6}, "windows"},
    {71, "FileOpenBox", 5, 5, {2, 1, 1, 6, 1}, "windows"},
    {72, "FileSaveBox", 4, 4, {2, 1, 1, 6}, "windows"},
    {126, "FolderBox", 2, 2, {2, 6}, "windows"},
    {2, "Balloon", 1, 4, {2, 3, 3, 3}, "windows"},
    {48, "StickyNote", 4, 4, {3, 3, 2, 3}, "windows"},
    {36, "PopUpImage", 6, 6, {3, 3, 5, 3, 1, 3}, "windows"},
    {28, "Menu", 3, 5, {3, 3, 2, 3, 3}, "windows"},
    {29, "MenuEx", 4, 6, {3, 3, 2, 6, 3, 3}, "windows"},
    {16, "Find", 1, 1, {1}, "windows"},
    {110, "FindFirst", 2, 2, {2, 1}, "windows"},
    {111, "FindNext", 0, 0, {}, "windows"},
    {109, "HelpTopic", 1, 1, {1}, "windows"},
    {7, "Exit", 2, 2, {2, 2}, "runtime"},
    {31, "PlayCartoonFile", 8, 8, {3, 3, 3, 3, 5, 3, 3, 1}, "media"},
    {33, "PlaySoundFile", 2, 2, {5, 1}, "media"},
    {35, "PlayVideoFile", 6, 6, {3, 3, 3, 3, 5, 1}, "media"},
    {49, "StopMedia", 1, 1, {1}, "media"},
    {27, "MCICommand", 1, 1, {1}, "media"},
    {34, "PlayTone", 1, 1, {3}, "media"},
    {47, "SoundBuzzer", 0, 0, {}, "media"},
    {114, "SystemSound", 1, 1, {1}, "media"},
    {61, "GetVolume", 2, 2, {1, 6}, "media"},
    {60, "SetVolume", 2, 2, {1, 3}, "media"},
    {8, "FileCopy", 2, 2, {1, 1}, "services"},
    {10, "FileErase", 1, 1, {1}, "services"},
    {202, "FileSize", 2, 2, {1, 6}, "services"},
    {11, "FileExists", 2, 2, {1, 6}, "services"},
    {190, "FolderExists", 2, 2, {1, 6}, "services"},
    {105, "CreateFolder", 1, 1, {1}, "services"},
    {130, "RemoveFolder", 1, 1, {1}, "services"},
    {117, "ExtractFile", 2, 2, {5, 1}, "services"},
    {189, "FileList", 3, 3, {1, 1, 6}, "services"},
    {13, "FileRead", 3, 3, {7, 3, 6}, "services"},
    {15, "FileWrite", 3, 3, {7, 3, 1}, "services"},
    {12, "FileInsLine", 2, 2, {7, 3}, "services"},
    {9, "FileDelLine", 2, 2, {7, 3}, "services"},
    {14, "FileLen", 2, 2, {7, 6}, "services"},
    {196, "FileToVar", 2, 2, {7, 6}, "services"},
    {76, "ExtractFilePath", 2, 2, {1, 6}, "actions"},
    {77, "ExtractFileName", 2, 2, {1, 6}, "actions"},
    {78, "ExtractFileExt", 2, 2, {1, 6}, "actions"},
    {79, "ExtractFileDrive", 2, 2, {1, 6}, "actions"},
    {191, "ChangeFileExt", 3, 3, {1, 1, 6}, "actions"},
    {112, "RegistryRead", 3, 3, {1, 1, 6}, "services"},
    {113, "RegistryWrite", 3, 3, {1, 1, 1}, "services"},
    {39, "PrintPage", 1, 2, {1, 1}, "services"},
    {38, "PrintImageFile", 2, 2, {5, 3}, "services"},
    {133, "PrintImageFileWH", 3, 3, {5, 3, 3}, "services"},
    {41, "PrintTextFile", 3, 3, {2, 2, 5}, "services"},
    {37, "PrintDataFile", 3, 3, {2, 2, 5}, "services"},
    {143, "SetPrinterOrientation", 1, 1, {1}, "services"},
    {40, "PrintSetup", 1, 1, {6}, "services"},
    {51, "StrIns", 4, 4, {1, 1, 3, 6}, "actions"},
    {50, "StrDel", 4, 4, {1, 3, 3, 6}, "actions"},
    {52, "StrLen", 2, 2, {1, 6}, "actions"},
    {53, "SubStr", 4, 4, {1, 3, 3, 6}, "actions"},
    {44, "SearchStr", 3, 4, {1, 1, 6, 1}, "actions"},
    {57, "StrUpper", 2, 2, {1, 6}, "actions"},
    {58, "StrLower", 2, 2, {1, 6}, "actions"},
    {59, "StrReplace", 4, 5, {1, 1, 1, 6, 1}, "actions"},
    {120, "StrParse", 4, 4, {1, 1, 6, 6}, "actions"},
    {62, "ShowObject", 3, 3, {8, 3, 3}, "objects"},
    {63, "HideObject", 3, 3, {8, 3, 3}, "objects"},
    {65, "EnableObject", 1, 1, {8}, "objects"},
    {64, "DisableObject", 1, 1, {8}, "objects"},
    {66, "GetObjectInfo", 3, 3, {8, 1, 6}, "objects"},
    {67, "MoveObject", 3, 3, {8, 3, 3}, "objects"},
    {164, "MoveObjectAlongPath", 4, 5, {8, 1, 1, 1, 1}, "objects"},
    {165, "StopMovingObject", 1, 1, {8}, "objects"},
    {68, "SizeObject", 3, 3, {8, 3, 3}, "objects"},
    {124, "ObjectToFront", 1, 1, {8}, "objects"},
    {125, "ObjectToBack", 1, 1, {8}, "objects"},
    {107, "FocusObject", 1, 1, {8}, "objects"},
    {69, "RefreshObject", 1, 1, {8}, "objects"},
    {108, "GetObjectHandle", 2, 2, {8, 6}, "objects"},
    {156, "SetObjectFill", 4, 4, {8, 1, 1, 1}, "objects"},
    {157, "SetObjectLine", 4, 4, {8, 1, 1, 1}, "objects"},
    {158, "SetObjectFont", 5, 6, {8, 1, 1, 1, 1, 1}, "objects"},
    {159, "SetObjectCaption", 2, 2, {8, 1}, "objects"},
    {160, "SetObjectFileName", 2, 2, {8, 5}, "objects"},
    {87, "GIFPlay", 2, 2, {8, 3}, "objects"},
    {88, "GIFStop", 1, 1, {8}, "objects"},
    {101, "MediaPlayerPlay", 1, 1, {8}, "objects"},
    {102, "MediaPlayerStop", 1, 1, {8}, "objects"},
    {103, "MediaPlayerPause", 1, 1, {8}, "objects"},
    {104, "MediaPlayerRewind", 1, 1, {8}, "objects"},
    {89, "TimerStart", 2, 2, {8, 3}, "objects"},
    {90, "TimerStop", 1, 1, {8}, "objects"},
    {91, "ListBoxGetItem", 3, 3, {8, 3, 6}, "objects"},
    {92, "ListBoxAddItem", 3, 3, {8, 3, 1}, "objects"},
    {98, "ListBoxMoveItem", 3, 3, {8, 3, 3}, "objects"},
    {93, "ListBoxDeleteItem", 2, 2, {8, 3}, "objects"},
    {94, "ListBoxChangeItem", 3, 3, {8, 3, 1}, "objects"},
    {95, "ListBoxSize", 2, 2, {8, 6}, "objects"},
    {96, "ListBoxFindItem", 3, 3, {8, 1, 6}, "objects"},
    {97, "ListBoxSort", 1, 2, {8, 1}, "objects"},
    {99, "TrackBarSetMin", 2, 2, {8, 3}, "objects"},
    {100, "TrackBarSetMax", 2, 2, {8, 3}, "objects"},
    {80, "BrowserGoTo", 2, 2, {8, 5}, "objects"},
    {81, "BrowserBack", 1, 1, {8}, "objects"},
    {82, "BrowserForward", 1, 1, {8}, "objects"},
    {83, "BrowserHome", 1, 1, {8}, "objects"},
    {84, "BrowserSearch", 1, 1, {8}, "objects"},
    {85, "BrowserPrint", 1, 2, {8, 1}, "objects"},
    {86, "BrowserStop", 1, 1, {8}, "objects"},
    {132, "BrowserExport", 2, 2, {8, 6}, "objects"},
    {163, "BrowserFind", 1, 1, {8}, "objects"},
    {187, "BrowserLoadFromStr", 2, 2, {8, 1}, "objects"},
    {199, "BrowserExecScript", 3, 3, {8, 1, 1}, "objects"},
    {200, "BrowserGetElement", 3, 3, {8, 1, 6}, "objects"},
    {201, "BrowserSetElement", 3, 3, {8, 1, 1}, "objects"},
    {116, "ArticleJumpTo", 2, 2, {8, 1}, "objects"},
    {122, "PictureMagnify", 2, 2, {8, 3}, "objects"},
    {138, "FlashPlay", 2, 2, {8, 1}, "objects"},
    {180, "FlashPause", 1, 1, {8}, "objects"},
    {139, "FlashStop", 1, 1, {8}, "objects"},
    {140, "FlashRewind", 1, 1, {8}, "objects"},
    {141, "FlashGotoFrame", 2, 2, {8, 3}, "objects"},
    {170, "FlashForward", 1, 1, {8}, "objects"},
    {171, "FlashBack", 1, 1, {8}, "objects"},
    {172, "FlashGetVar", 3, 3, {8, 1, 6}, "objects"},
    {173, "FlashSetVar", 3, 3, {8, 1, 1}, "objects"},
    {181, "ShowMenuItem", 1, 1, {9}, "pages"},
    {182, "HideMenuItem", 1, 1, {9}, "pages"},
    {183, "EnableMenuItem", 1, 1, {9}, "pages"},
    {184, "DisableMenuItem", 1, 1, {9}, "pages"},
    {174, "CheckInternetConnection", 1, 1, {6}, "services"},
    {175, "ConnectToInternet", 1, 1, {6}, "services"},
    {176, "DisconnectFromInternet", 0, 0, {}, "services"},
    {25, "InternetLink", 1, 1, {1}, "services"},
    {115, "SendMail", 5, 6, {1, 1, 2, 2, 1, 1}, "services"},
    {177, "DownloadFile", 3, 3, {1, 1, 1}, "services"},
    {178, "InternetFileExists", 2, 3, {1, 6, 1}, "services"},
    {179, "InternetFileSize", 2, 3, {1, 6, 1}, "services"},
    {197, "InternetPost", 3, 4, {1, 1, 6, 1}, "services"},
    {198, "InternetGet", 3, 3, {1, 6, 1}, "services"},
    {129, "Run", 3, 5, {1, 1, 1, 1, 6}, "services"},
    {154, "RunInRectangle", 6, 6, {8, 1, 1, 1, 1, 6}, "services"},
    {144, "CloseApp", 2, 2, {1, 1}, "services"},
    {145, "IsAppRunning", 2, 2, {1, 6}, "services"},
    {45, "SendKeys", 2, 2, {1, 1}, "services"},
    {146, "SendMenuCommand", 2, 2, {1, 1}, "services"},
    {147, "DropFile", 2, 2, {1, 1}, "services"},
    {148, "SetWindowPos", 5, 5, {1, 3, 3, 3, 3}, "services"},
    {149, "GetWindowPos", 5, 5, {1, 6, 6, 6, 6}, "services"},
    {150, "BringAppToFront", 1, 1, {1}, "services"},
    {151, "SendAppToBack", 1, 1, {1}, "services"},
    {152, "DisableApp", 1, 1, {1}, "services"},
    {153, "EnableApp", 1, 1, {1}, "services"},
    {137, "RunVellion", 2, 2, {1, 1}, "services"},
    {6, "ExecuteAddOn", 2, 2, {1, 1}, "services"},
    {5, "DOSCommand", 3, 3, {1, 1, 1}, "services"},
    {24, "ImageWindow", 4, 4, {2, 3, 3, 5}, "windows"},
    {55, "TextWindow", 7, 7, {2, 3, 3, 3, 3, 5, 1}, "windows"},
    {3, "CloseWindow", 1, 1, {1}, "windows"},
    {135, "CustomWindow", 5, 5, {2, 3, 3, 8, 1}, "windows"},
    {136, "CloseCustomWindow", 1, 1, {8}, "windows"},
    {23, "If", 3, 3, {4, 1, 4}, "actions"},
    {167, "IfEx", 1, 1, {1}, "actions"},
    {56, "While", 3, 3, {4, 1, 4}, "actions"},
    {155, "WhileEx", 1, 1, {1}, "actions"},
    {169, "ExitWhile", 0, 0, {}, "actions"},
    {123, "Loop", 3, 3, {3, 3, 6}, "actions"},
    {168, "ExitLoop", 0, 0, {}, "actions"},
    {22, "GotoLine", 1, 1, {4}, "actions"},
    {70, "Call", 1, 1, {1}, "actions"},
    {118, "GoSub", 1, 1, {1}, "actions"},
    {119, "Return", 0, 0, {}, "actions"},
    {127, "SetMousePos", 2, 2, {3, 3}, "services"},
    {131, "GetMousePos", 2, 2, {6, 6}, "services"},
    {128, "ClickMouse", 0, 0, {}, "services"},
    {26, "Math", 3, 3, {3, 3, 6}, "actions"},
    {42, "Random", 2, 2, {3, 6}, "actions"},
    {185, "DateToNum", 3, 3, {1, 1, 6}, "actions"},
    {186, "NumToDate", 3, 3, {3, 1, 6}, "actions"},
    {4, "Delay", 1, 1, {3}, "actions"},
    {54, "SystemInfo", 2, 2, {1, 6}, "actions"},
    {134, "Suspend", 1, 1, {1}, "actions"},
    {166, "ShowErrors", 1, 1, {1}, "actions"},
    {192, "LoadIcon", 2, 2, {5, 1}, "pages"},
    {188, "DebugBreakPoint", 1, 1, {1}, "actions"},
    {46, "SetVar", 2, 2, {6, 4}, "actions"},
    {142, "DefineVar", 5, 5, {6, 1, 1, 1, 4}, "actions"},
    {73, "SaveVariables", 1, 1, {1}, "actions"},
    {74, "LoadVariables", 1, 1, {1}, "actions"},
    {75, "ClearVariables", 0, 1, {6}, "actions"},
    {121, "DeleteArray", 2, 2, {6, 3}, "actions"},
    {194, "GetArrayInfo", 4, 4, {6, 6, 6, 6}, "actions"},
};

static_assert(std::size(kBuiltins) == 201);

constexpr int32_t kMaxBuiltinId = 202;

CommandHandler* HandlerSlots() {
  // Filled by static binders before main runs, so it must not depend on the
  // order in which files are initialised.
  static CommandHandler slots[kMaxBuiltinId + 1] = {};
  return slots;
}

bool IsBuiltinId(int32_t id) { return id >= 1 && id <= kMaxBuiltinId && id != 32; }

bool PreparesOwnArgs(int32_t id) {
  return id == cmd::Math || id == cmd::SetVar || id == cmd::Call || id == cmd::DefineVar || id == cmd::WhileEx ||
         id == cmd::IfEx;
}

TCommandTable* gLiveTable = nullptr;

}  // namespace

bool BindCommand(int32_t id, CommandHandler handler) {
  if (!IsBuiltinId(id)) return false;
  HandlerSlots()[id] = handler;
  if (gLiveTable) gLiveTable->UpdateHandler(id, handler);
  return true;
}

CommandHandler BoundHandler(int32_t id) { return IsBuiltinId(id) ? HandlerSlots()[id] : nullptr; }

const char* BuiltinOwner(int32_t id) {
  for (const auto& b : kBuiltins)
    if (b.id == id) return b.owner;
  return "";
}

TCommandTable::TCommandTable() = default;

TCommandTable::~TCommandTable() {
  FreeAllGroups();
  if (gLiveTable == this) gLiveTable = nullptr;
}

void TCommandTable::FreeAllGroups() {
  for (auto& g : groups_)
    if (g->onFree) g->onFree(*g);
  groups_.clear();
  index_.clear();
  indexStale_ = true;
  ++version_;
}

void TCommandTable::BuildBuiltinTable() {
  FreeAllGroups();
  ActionGroup& g = CreateGroup("_VLK", "", nullptr, 0);
  for (const auto& b : kBuiltins) RegisterCommand(g, b.id, b.name, b.kinds, b.minArgs, b.maxArgs);
}

ActionGroup& TCommandTable::CreateGroup(std::string_view name, std::string_view fileName, void* module,
                                        uint8_t kind) {
  auto g = std::make_unique<ActionGroup>();
  g->name = AnsiString(name);
  g->fileName = AnsiString(fileName);
  g->module = module;
  g->kind = kind;
  groups_.push_back(std::move(g));
  indexStale_ = true;
  ++version_;
  return *groups_.back();
}

ActionRecord& TCommandTable::RegisterCommand(ActionGroup& group, int32_t id, std::string_view name,
                                             const uint8_t* kinds, int minArgs, int maxArgs) {
  ActionRecord& r = group.records.emplace_back();
  for (char c : name)
    if (c != ' ') r.name.push_back(c);
  r.id = id;
  if (maxArgs < 0) maxArgs = 0;
  if (maxArgs > kMaxArgs) maxArgs = kMaxArgs;
  if (minArgs < 0) minArgs = 0;
  if (minArgs > maxArgs) minArgs = maxArgs;
  r.minArgs = static_cast<uint8_t>(minArgs);
  r.maxArgs = static_cast<uint8_t>(maxArgs);
  for (int i = 0; i < maxArgs; ++i) r.kinds[i] = (kinds && kinds[i] <= ArgPlugInFile) ? kinds[i] : uint8_t{ArgNone};
  r.hidden = false;
  if (group.kind == 0) {
    r.handler = BoundHandler(id);
    r.preparesOwnArgs = PreparesOwnArgs(id);
  }
  indexStale_ = true;
  ++version_;
  return r;
}

void TCommandTable::RegisterEffect(ActionGroup& group, int32_t number, std::string_view name) {
  group.effects.push_back(EffectEntry{AnsiString(name), number});
}

void TCommandTable::SetHidden(ActionRecord& rec, bool hidden) {
  rec.hidden = hidden;
  indexStale_ = true;
  ++version_;
}

void TCommandTable::UpdateHandler(int32_t id, CommandHandler handler) {
  if (groups_.empty() || groups_.front()->kind != 0) return;
  for (auto& r : groups_.front()->records)
    if (r.id == id) r.handler = handler;
}

void TCommandTable::Reindex() {
  index_.clear();
  for (const auto& g : groups_)
    for (const auto& r : g->records)
      if (!r.hidden) index_.try_emplace(r.name, Hit{g.get(), &r});  // the first one wins
  indexStale_ = false;
}

const ActionRecord* TCommandTable::FindCommand(std::string_view word, const ActionGroup** group) {
  if (indexStale_) Reindex();
  auto it = index_.find(AnsiString(word));
  if (it == index_.end()) return nullptr;
  if (group) *group = it->second.group;
  return it->second.record;
}

ActionGroup* TCommandTable::FindGroupByName(std::string_view name) {
  for (auto& g : groups_)
    if (SameTextInvariant(g->name, name)) return g.get();
  return nullptr;
}

ActionGroup* TCommandTable::FindGroupByFileName(std::string_view fileName) {
  for (auto& g : groups_)
    if (SameTextInvariant(g->fileName, fileName)) return g.get();
  return nullptr;
}

const ActionRecord* TCommandTable::FindBuiltin(int32_t id) const {
  if (groups_.empty() || groups_.front()->kind != 0) return nullptr;
  for (const auto& r : groups_.front()->records)
    if (r.id == id) return &r;
  return nullptr;
}

std::vector<AnsiString> TCommandTable::KeywordList() const {
  std::vector<AnsiString> out(std::begin(kBlockWordNames), std::end(kBlockWordNames));
  for (const auto& g : groups_)
    for (const auto& r : g->records)
      if (!r.hidden) out.push_back(r.name);
  return out;
}

TCommandTable& CommandTable() {
  static TCommandTable table;
  if (!gLiveTable) {
    gLiveTable = &table;
    table.BuildBuiltinTable();
  }
  return table;
}

}  // namespace vl
