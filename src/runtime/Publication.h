#pragma once
// The publication model: what the publication reader makes of RUNTIME.PUB and
// what the main window, pages, objects, menus and dialogs read from it. The
// reader only collects; creating pages, backgrounds, objects and menu items
// from these records belongs to their own subsystems.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Global.h"
#include "runtime/PublicationKeys.h"

namespace vl {

class ByteSource;
class TPackage;

// ---------------------------------------------------------------------------
// Settings: every settings key with its default. Actions hold CR LF where the
// file had "\xB6".
struct TPublicationSettings {
  AnsiString title;
  AnsiString author;
  AnsiString pubVersion;
  int32_t screenWidth = 640;
  int32_t screenHeight = 480;
  // Colour count the publication was made for. The reader starts it at the
  // display's count (Globals().displayColorCount); only 2, 16, 256, 32768,
  // 65536 and 16777216 are taken from the file.
  int32_t screenColors = 16777216;
  bool screenAutoSize = false;
  int32_t minPubWidth = 0;
  int32_t minPubHeight = 0;
  int32_t windowStyle = 0;   // 0 normal, 1 full screen, 2 shaped, 3 work area
  int32_t windowOrder = 0;   // 0 normal, 1 on top, 2 at the bottom
  int32_t windowPos = 0;     // 0..8
  int32_t windowProps = 31;  // property bits
  AnsiString windowRegKey;
  TColor bkndColor = 0;
  AnsiString shapeFile;
  TColor shapeTransColor = kColorDefault;
  int32_t bidiMode = 0;  // 0..3; other values are ignored
  bool allowEsc = true;
  bool allowPageUpDn = true;
  bool mouseExit = false;
  bool noCtrlAltDel = false;
  bool noPrintScrn = false;
  AnsiString startPassword;
  AnsiString exitPassword;
  AnsiString startupAction;
  AnsiString shutdownAction;
  AnsiString activateAction;
  AnsiString deactivateAction;
  AnsiString pageChangeAction;
  AnsiString subroutineAction;
  bool autoReturn = false;
  int32_t returnTime = 60;  // seconds
  AnsiString returnAction;
  bool useUpdateTimer = true;
  bool showErrors = true;
  bool showMarquee = false;
  bool bypassPrintDlg = false;
  AnsiString customFontName = "MS Sans Serif";
  int32_t customFontSize = 8;
  int32_t customFontStyle = 1;  // 1 bold, 2 italic, 4 underline, 8 strike-out
  int32_t customCharset = 1;
  TColor linkColor = 16711680;
  AnsiString alertBoxImage;
  AnsiString msgBoxImage;
  AnsiString exitBoxImage;
  AnsiString appCursor;
  AnsiString hotspotCursor;
  AnsiString dragCursor;
  AnsiString busyCursor;
  AnsiString helpFile;
  int32_t extractOp = 132;
  AnsiString extractDir;
  int32_t cacheSize = 30;  // at least 1
  AnsiString embeddedFiles;  // "\xB6"-separated name=path pairs, as written
};

// ---------------------------------------------------------------------------
// The 35 texts of the player's own dialogs, in key-table order. Empty unless
// the publication gives them.
enum class TLangId : uint8_t {
  Ok, Cancel, Yes, No, Close, ErrorTitle,
  FindTitle, FindPrompt, FindFirst, FindNext, FindError,
  PwordTitle, PwordMsg, PwordPrompt, PwordError,
  MediaError, InternetError, AbortFunction, ExtractError,
  InstDirPrompt, InstFolderPrompt, InstRunPrompt, InstDiskPrompt, InstDiskError,
  InstGenError, InstExitPrompt, InstWinTitle, InstProgTitle, InstSubTitle,
  SendEmail, MailServer, Copy, SelectAll, DonwloadFile, PleaseWait,
  Count
};
constexpr int kLanguageStringCount = static_cast<int>(TLangId::Count);
static_assert(kLanguageStringCount == 35);

struct TLanguageStrings {
  std::array<AnsiString, kLanguageStringCount> text;

  AnsiString& operator[](TLangId id) { return text[static_cast<size_t>(id)]; }
  const AnsiString& operator[](TLangId id) const { return text[static_cast<size_t>(id)]; }
  AnsiString& operator[](int index) { return text.at(static_cast<size_t>(index)); }
  const AnsiString& operator[](int index) const { return text.at(static_cast<size_t>(index)); }
  // By key name, with or without "L_" and "=", any case ("L_OK", "ok=").
  // An unknown name gives an empty text.
  const AnsiString& ByName(std::string_view name) const;
  // Index of a name as ByName reads it, -1 when unknown.
  static int IndexOf(std::string_view name);
  // "L_OK" ... "L_PLEASEWAIT".
  static const char* Name(int index);
};

// ---------------------------------------------------------------------------
// Object records, kept as the file wrote them for the object model to apply.
// Their values live in the publication's text store (one allocation per block
// of many values, not one per key), so a record is only valid with its
// publication.
struct TObjectKey {
  TPubKey id;
  TKeyType type;
  bool flag = false;    // yes/no keys: ReadPublicationYesNo(raw)
  int32_t number = 0;   // integer keys: ReadPublicationInteger(raw)
  std::string_view raw; // the value exactly as written

  const char* Name() const { return PublicationKeyInfo(id).name; }  // e.g. "X="
  // Action keys: the text with every "\xB6" turned into CR LF.
  AnsiString Action() const { return ExpandLineBreaks(raw); }
};

// Append-only storage for the object records' values.
class TTextStore {
 public:
  TTextStore() = default;
  TTextStore(TTextStore&&) = default;
  TTextStore& operator=(TTextStore&&) = default;
  std::string_view Add(std::string_view text);
  size_t Bytes() const { return bytes_; }

 private:
  static constexpr size_t kBlock = 64 * 1024;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t left_ = 0;  // free bytes at the end of the last small block
  char* next_ = nullptr;
  size_t bytes_ = 0;
};

constexpr int kFirstObjectType = 2;
constexpr int kLastObjectType = 24;
constexpr int kObjectTypeGroup = 20;
constexpr int kObjectTypeContainer = 21;
// Class name of an ObjectType 2..24 ("TVellionPushBtn" for 3), nullptr else.
const char* ObjectClassName(int objectType);

struct TObjectRecord {
  int32_t objectType = 0;
  int pageIndex = 0;
  TObjectRecord* parent = nullptr;  // the group or container, nullptr on the page
  int line = 0;                     // 1-based line of its OBJECTTYPE=
  std::vector<TObjectKey> keys;     // file order; repeated keys all kept
  std::vector<std::unique_ptr<TObjectRecord>> children;

  bool IsHolder() const { return objectType == kObjectTypeGroup || objectType == kObjectTypeContainer; }
  // The last occurrence of a key (the one in force), or nullptr.
  const TObjectKey* Find(TPubKey id) const;
  // The object's NAME=, empty when it has none.
  std::string_view Name() const;
};

// ---------------------------------------------------------------------------
// Pages. Defaults are those of a new page background.
using TPalette = std::array<TColor, 256>;  // 0x00BBGGRR
// The standard 256-colour palette every page starts with.
const TPalette& StandardPalette();

struct TPageRecord {
  AnsiString name;  // unique among the pages; empty for the master page
  bool showMasterPage = true;
  int32_t pageStyle = 0;  // 0 pbSolid, 1 pbGradient, 2 pbWallpaper
  TColor pageColor = 16777215;
  TColor gradient1 = 16711680;
  TColor gradient2 = 255;
  int32_t gradientDir = 1;  // 0 G_Horz, 1 G_Vert
  AnsiString wallpaper;
  int32_t wallpaperStyle = 0;  // 0 wsTile, 1 wsCenter, 2 wsStretched
  // The page's own palette from PAGEPALETTE=, none for the standard one.
  std::unique_ptr<TPalette> ownPalette;
  AnsiString effect;
  AnsiString effectOptions;
  AnsiString enterAction;
  AnsiString exitAction;
  std::vector<std::unique_ptr<TObjectRecord>> objects;  // top level, file order

  bool HasPalette() const { return ownPalette != nullptr; }
  const TPalette& Palette() const { return ownPalette ? *ownPalette : StandardPalette(); }
};

// The points at which the tab order must be fixed up, in the order the file
// reached them: a page whose records ended (holder == nullptr), or a group or
// container whose level closed.
struct TTabOrderFixup {
  int pageIndex = 0;
  TObjectRecord* holder = nullptr;
};

// ---------------------------------------------------------------------------
// Menus.
struct TMenuItemRecord {
  AnsiString name;     // MENUNAME=: a valid identifier, unique within its menu
  AnsiString caption;  // MENUTEXT= as written; the name until one is given
  AnsiString action;   // MENUACTION=, CR LF for "\xB6"
  int32_t state = 3;   // 1 visible, 2 enabled, 8 toggles its check, 4 checked
  int32_t key = 0;     // virtual key + 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt
  AnsiString var;      // MENUVAR=, as written
  AnsiString image;    // MENUIMAGE=
  TColor imageTransColor = kColorDefault;
  std::vector<TMenuItemRecord> items;  // its submenu
};

struct TMenuRecord {
  bool present = false;  // a block was read (an empty menu is still a menu)
  std::vector<TMenuItemRecord> items;
};

// ---------------------------------------------------------------------------
struct TPublication {
  TPublicationSettings settings;
  TLanguageStrings lang;
  std::vector<TPageRecord> pages;  // [0] the master page, then file order
  TMenuRecord mainMenu;
  TMenuRecord trayMenu;  // only in a tray publication (PublicationKind 2)
  // False once any page has its own palette: pages without one then no
  // longer use the standard palette.
  bool usesStandardPalette = true;
  std::vector<TTabOrderFixup> tabOrderFixups;
  TTextStore texts;  // the values of the object records

  TPublication() { pages.emplace_back(); }
  TPublication(const TPublication&) = delete;
  TPublication& operator=(const TPublication&) = delete;
  TPublication(TPublication&&) = default;
  TPublication& operator=(TPublication&&) = default;
  // Index of the page named so (case ignored as page names are), or -1.
  int FindPage(std::string_view name) const;
};

// ---------------------------------------------------------------------------
// Value readers of the publication text.
// Decimal, or hexadecimal after "$", "x", "X", "0x", "0X"; leading blanks and
// one sign allowed; reading stops at the first non-digit, and a minus counts
// only when the digits run to the end. 32-bit, wrapping like the original.
int32_t ReadPublicationInteger(std::string_view value);
bool ReadPublicationYesNo(std::string_view value);
// PAGEPALETTE=: 256 numbers, each followed by one blank.
void ReadPagePalette(std::string_view value, TPalette& palette);

constexpr int kPublicationKindTray = 2;
// Limits against hostile publications (a small package can inflate to a
// huge text, and a short line can make a large record). Real publications
// stay far below them; beyond them loading fails.
// Nesting of groups and containers (and of submenus).
constexpr int kMaxNestingDepth = 64;
constexpr int64_t kMaxPublicationText = int64_t{256} << 20;  // bytes
constexpr int kMaxPages = 32768;
constexpr int kMaxObjects = 1 << 20;
constexpr int kMaxObjectKeys = 1 << 23;
constexpr int kMaxMenuItems = 1 << 16;
constexpr int kPublicationChunk = 2048;

struct TLoadOptions {
  // The package's PublicationKind: a tray menu is read only for 2. The
  // package form of LoadPublication takes it from the package itself.
  int publicationKind = 0;
  // Called after every chunk with (bytes read so far ÷ total) × 100.
  std::function<void(int percent)> progress;
};

// Reads a publication text from `src`, which delivers `total` bytes (used for
// the progress only). `pub` should be fresh (master page only). False with
// `error` set on a read failure or a refused publication; `pub` then holds what
// was read up to the failure.
bool LoadPublication(ByteSource& src, int64_t total, TPublication& pub, const TLoadOptions& options,
                     AnsiString& error);

// The start-up form: looks the entry up while the package still offers it,
// marks the publication as loaded, reads it and, on success, stores the
// dialog font, link colour, marquee flag and colour count in Globals().
bool LoadPublication(TPackage& package, TPublication& pub, const TLoadOptions& options,
                     AnsiString& error, std::string_view entryName = "RUNTIME.PUB");

// Stores the publication-wide values the shared helpers read (Globals()).
void ApplyPublicationGlobals(const TPublicationSettings& settings);

}  // namespace vl
