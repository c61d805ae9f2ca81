// The publication reader: turns RUNTIME.PUB, line by line, into the
// publication model. Lines are dispatched by the key table; a current page,
// a current object and a stack of open group/container levels decide where
// page and object keys go. Menu blocks are read by their own loop.
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "runtime/Package.h"
#include "runtime/Publication.h"
#include "runtime/PublicationLines.h"

namespace vl {
namespace {

AnsiString LineRef(int line) { return " (line " + std::to_string(line) + ")"; }

// Delphi-style identifier: a letter or "_", then letters, digits or "_".
bool IsValidIdent(std::string_view s) {
  if (s.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(s[0])) return false;
  for (char c : s)
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

// Unique page names. A name already in use (page names ignore case) loses
// its trailing blanks and digits, keeps one blank when the rest holds one,
// and takes the first free number from 1. Since names only ever get added
// while reading, the numbers below the last one taken for a base stay used:
// remembering it keeps many same-named pages from costing quadratic time.
class PageNames {
 public:
  explicit PageNames(const std::vector<TPageRecord>& pages) {
    for (const auto& p : pages)
      if (!p.name.empty()) used_.insert(AnsiLower(p.name));
  }

  AnsiString MakeUnique(const AnsiString& name) {
    if (!name.empty() && !used_.count(AnsiLower(name))) return Take(name);
    AnsiString base = name;
    while (!base.empty() && (base.back() == ' ' || (base.back() >= '0' && base.back() <= '9'))) base.pop_back();
    if (base.find(' ') != AnsiString::npos) base.push_back(' ');
    int& next = next_[AnsiLower(base)];
    if (next < 1) next = 1;
    // Among the numbers up to the page count one is always free: the loop
    // ends there at the latest.
    for (int n = next;; ++n) {
      AnsiString candidate = base + std::to_string(n);
      if (!used_.count(AnsiLower(candidate))) {
        next = n + 1;
        return Take(candidate);
      }
    }
  }

 private:
  AnsiString Take(const AnsiString& n) {
    used_.insert(AnsiLower(n));
    return n;
  }
  std::unordered_set<AnsiString> used_;
  std::unordered_map<AnsiString, int> next_;
};

class Reader {
 public:
  Reader(TPublication& pub, TPublicationLines& lines, const TLoadOptions& options)
      : pub_(pub), lines_(lines), options_(options), names_(pub.pages) {}

  bool Run(AnsiString& error) {
    std::string_view line;
    for (;;) {
      const auto r = lines_.Next(line);
      if (r == TPublicationLines::kEnd) break;
      if (r == TPublicationLines::kError) {
        error = ReadError();
        return false;
      }
      if (!Dispatch(line)) {
        error = error_;
        return false;
      }
    }
    EndOfPage();
    return true;
  }

 private:
  struct Level {
    TObjectRecord* holder;  // the object the level was opened on (may be null)
    TObjectRecord* parent;  // where objects of the level go (null: the page)
  };

  AnsiString ReadError() const {
    if (lines_.TooBig())
      return "The publication text is larger than " + std::to_string(kMaxPublicationText >> 20) + " MB";
    return ErrorText(100);
  }

  bool Fail(AnsiString text) {
    error_ = std::move(text) + LineRef(lines_.LineNumber());
    return false;
  }

  // Splits a line into its key and value; false when it has no known key or
  // its value is empty.
  static const TKeyInfo* Parse(std::string_view line, std::string_view& value) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      value = {};
      return FindPublicationKey(TrimView(line));
    }
    value = line.substr(eq + 1);
    if (value.empty()) return nullptr;
    return FindPublicationKey(TrimView(line.substr(0, eq + 1)));
  }

  bool Dispatch(std::string_view line) {
    std::string_view value;
    const TKeyInfo* key = Parse(line, value);
    if (!key) return true;
    switch (key->group) {
      case TKeyGroup::Setting: Setting(key->id, value); return true;
      case TKeyGroup::Language:
        pub_.lang[static_cast<int>(key->id) - static_cast<int>(TPubKey::L_Ok)] = AnsiString(value);
        return true;
      case TKeyGroup::NoEffect: return true;
      case TKeyGroup::Page: return PageKey(key->id, value);
      case TKeyGroup::Menu: return MenuKey(key->id);
      case TKeyGroup::Object: return ObjectKey(*key, value);
    }
    return true;
  }

  // --- settings ----------------------------------------------------------
  void Setting(TPubKey id, std::string_view v) {
    TPublicationSettings& s = pub_.settings;
    auto num = [&] { return ReadPublicationInteger(v); };
    auto colour = [&] { return static_cast<TColor>(ReadPublicationInteger(v)); };
    auto yes = [&] { return ReadPublicationYesNo(v); };
    auto text = [&] { return AnsiString(v); };
    auto action = [&] { return ExpandLineBreaks(v); };
    switch (id) {
      case TPubKey::Title: s.title = text(); break;
      case TPubKey::Author: s.author = text(); break;
      case TPubKey::PubVersion: s.pubVersion = text(); break;
      case TPubKey::ScreenWidth: s.screenWidth = num(); break;
      case TPubKey::ScreenHeight: s.screenHeight = num(); break;
      case TPubKey::ScreenColors: {
        const int32_t n = num();
        if (n == 2 || n == 16 || n == 256 || n == 32768 || n == 65536 || n == 16777216) s.screenColors = n;
        break;
      }
      case TPubKey::ScreenAutoSize: s.screenAutoSize = yes(); break;
      case TPubKey::MinPubWidth: s.minPubWidth = num(); break;
      case TPubKey::MinPubHeight: s.minPubHeight = num(); break;
      case TPubKey::WindowStyle: s.windowStyle = num(); break;
      case TPubKey::WindowOrder: s.windowOrder = num(); break;
      case TPubKey::WindowPos: s.windowPos = num(); break;
      case TPubKey::WindowProps: s.windowProps = num(); break;
      case TPubKey::WindowRegKey: s.windowRegKey = text(); break;
      case TPubKey::BkndColor: s.bkndColor = colour(); break;
      case TPubKey::ShapeFile: s.shapeFile = text(); break;
      case TPubKey::ShapeTransColor: s.shapeTransColor = colour(); break;
      case TPubKey::BiDiMode: {
        // The reading order is an enumeration: a value outside it is dropped.
        const int32_t n = num();
        if (n >= 0 && n <= 3) s.bidiMode = n;
        break;
      }
      case TPubKey::AllowEsc: s.allowEsc = yes(); break;
      case TPubKey::AllowPageUpDn: s.allowPageUpDn = yes(); break;
      case TPubKey::MouseExit: s.mouseExit = yes(); break;
      case TPubKey::NoCtrlAltDel: s.noCtrlAltDel = yes(); break;
      case TPubKey::NoPrintScrn: s.noPrintScrn = yes(); break;
      case TPubKey::StartPassword: s.startPassword = text(); break;
      case TPubKey::ExitPassword: s.exitPassword = text(); break;
      case TPubKey::StartupAction: s.startupAction = action(); break;
      case TPubKey::ShutdownAction: s.shutdownAction = action(); break;
      case TPubKey::ActivateAction: s.activateAction = action(); break;
      case TPubKey::DeactivateAction: s.deactivateAction = action(); break;
      case TPubKey::PageChangeAction: s.pageChangeAction = action(); break;
      case TPubKey::SubroutineAction: s.subroutineAction = action(); break;
      case TPubKey::AutoReturn: s.autoReturn = yes(); break;
      case TPubKey::ReturnTime: s.returnTime = num(); break;
      case TPubKey::ReturnAction: s.returnAction = action(); break;
      case TPubKey::UseUpdateTimer: s.useUpdateTimer = yes(); break;
      case TPubKey::ShowErrors: s.showErrors = yes(); break;
      case TPubKey::ShowMarquee: s.showMarquee = yes(); break;
      case TPubKey::BypassPrintDlg: s.bypassPrintDlg = yes(); break;
      case TPubKey::CustomFontName: s.customFontName = text(); break;
      case TPubKey::CustomFontSize: s.customFontSize = num(); break;
      case TPubKey::CustomFontStyle: s.customFontStyle = num() & 15; break;
      case TPubKey::CustomCharset: s.customCharset = num(); break;
      case TPubKey::LinkColor: s.linkColor = colour(); break;
      case TPubKey::AlertBoxImage: s.alertBoxImage = text(); break;
      case TPubKey::MsgBoxImage: s.msgBoxImage = text(); break;
      case TPubKey::ExitBoxImage: s.exitBoxImage = text(); break;
      case TPubKey::AppCursor: s.appCursor = text(); break;
      case TPubKey::HotspotCursor: s.hotspotCursor = text(); break;
      case TPubKey::DragCursor: s.dragCursor = text(); break;
      case TPubKey::BusyCursor: s.busyCursor = text(); break;
      case TPubKey::HelpFile: s.helpFile = text(); break;
      case TPubKey::ExtractOp: s.extractOp = num(); break;
      case TPubKey::ExtractDir: s.extractDir = text(); break;
      case TPubKey::CacheSize: {
        const int32_t n = num();
        s.cacheSize = n < 1 ? 1 : n;
        break;
      }
      case TPubKey::EmbeddedFiles: s.embeddedFiles = text(); break;
      default: break;
    }
  }

  // --- pages -------------------------------------------------------------
  // The records of the current page end: open levels close, and the page's
  // tab order is due.
  void EndOfPage() {
    while (!levels_.empty()) CloseLevel();
    if (page_ >= 0) pub_.tabOrderFixups.push_back({page_, nullptr});
  }

  bool PageKey(TPubKey id, std::string_view v) {
    if (id == TPubKey::MasterPage) {
      EndOfPage();
      page_ = 0;
      object_ = nullptr;
      return true;
    }
    if (id == TPubKey::NewPage) {
      if (pub_.pages.size() >= static_cast<size_t>(kMaxPages))
        return Fail("The publication has more than " + std::to_string(kMaxPages - 1) + " pages");
      EndOfPage();
      TPageRecord page;
      page.name = names_.MakeUnique(AnsiString(v));
      pub_.pages.push_back(std::move(page));
      page_ = static_cast<int>(pub_.pages.size()) - 1;
      object_ = nullptr;
      return true;
    }
    if (page_ < 0) return true;
    TPageRecord& p = pub_.pages[static_cast<size_t>(page_)];
    switch (id) {
      case TPubKey::ShowMasterPage: p.showMasterPage = ReadPublicationYesNo(v); break;
      case TPubKey::PageStyle: p.pageStyle = ReadPublicationInteger(v); break;
      case TPubKey::PageColor: p.pageColor = static_cast<TColor>(ReadPublicationInteger(v)); break;
      case TPubKey::PageGradient1: p.gradient1 = static_cast<TColor>(ReadPublicationInteger(v)); break;
      case TPubKey::PageGradient2: p.gradient2 = static_cast<TColor>(ReadPublicationInteger(v)); break;
      case TPubKey::PageGradientDir: p.gradientDir = ReadPublicationInteger(v); break;
      case TPubKey::PageWallpaper: p.wallpaper = AnsiString(v); break;
      case TPubKey::WallpaperStyle: p.wallpaperStyle = ReadPublicationInteger(v); break;
      case TPubKey::PagePalette:
        if (!p.ownPalette) p.ownPalette = std::make_unique<TPalette>();
        ReadPagePalette(v, *p.ownPalette);
        pub_.usesStandardPalette = false;
        break;
      case TPubKey::PageEffect: p.effect = AnsiString(v); break;
      case TPubKey::EffectSpeed: p.effectOptions = AnsiString(v); break;
      case TPubKey::PgEnterAction: p.enterAction = ExpandLineBreaks(v); break;
      case TPubKey::PgExitAction: p.exitAction = ExpandLineBreaks(v); break;
      default: break;
    }
    return true;
  }

  // --- objects -----------------------------------------------------------
  void CloseLevel() {
    const Level level = levels_.back();
    levels_.pop_back();
    if (level.holder && level.holder->IsHolder() && page_ >= 0)
      pub_.tabOrderFixups.push_back({page_, level.holder});
    // Keys after the end of a level belong to the group or container again.
    object_ = level.holder;
  }

  bool ObjectKey(const TKeyInfo& key, std::string_view v) {
    switch (key.id) {
      case TPubKey::GroupBegin:
      case TPubKey::ContainerBegin: {
        if (static_cast<int>(levels_.size()) >= kMaxNestingDepth)
          return Fail("Groups and containers are nested deeper than " + std::to_string(kMaxNestingDepth) +
                      " levels");
        TObjectRecord* parent = object_ ? object_ : (levels_.empty() ? nullptr : levels_.back().parent);
        levels_.push_back({object_, parent});
        return true;
      }
      case TPubKey::GroupEnd:
      case TPubKey::ContainerEnd:
        // An end without a begin closes nothing (it must not end the reading).
        if (!levels_.empty()) CloseLevel();
        return true;
      case TPubKey::ObjectType: {
        const int32_t type = ReadPublicationInteger(v);
        // An unknown type creates nothing, and its keys are dropped with it
        // rather than overwriting the object before.
        object_ = nullptr;
        if (type < kFirstObjectType || type > kLastObjectType || page_ < 0) return true;
        if (++objects_ > kMaxObjects)
          return Fail("The publication has more than " + std::to_string(kMaxObjects) + " objects");
        auto rec = std::make_unique<TObjectRecord>();
        rec->objectType = type;
        rec->pageIndex = page_;
        rec->parent = levels_.empty() ? nullptr : levels_.back().parent;
        rec->line = lines_.LineNumber();
        object_ = rec.get();
        if (rec->parent)
          rec->parent->children.push_back(std::move(rec));
        else
          pub_.pages[static_cast<size_t>(page_)].objects.push_back(std::move(rec));
        return true;
      }
      default: break;
    }
    if (!object_) return true;
    if (++objectKeys_ > kMaxObjectKeys)
      return Fail("The publication has more than " + std::to_string(kMaxObjectKeys) + " object keys");
    TObjectKey k{key.id, key.type, false, 0, {}};
    k.raw = pub_.texts.Add(v);
    switch (key.type) {
      case TKeyType::Integer:
      case TKeyType::Colour: k.number = ReadPublicationInteger(v); break;
      case TKeyType::YesNo: k.flag = ReadPublicationYesNo(v); break;
      default: break;
    }
    if (object_->keys.empty()) object_->keys.reserve(16);
    object_->keys.push_back(k);
    return true;
  }

  // --- menus -------------------------------------------------------------
  bool MenuKey(TPubKey id) {
    if (id == TPubKey::MenuBegin) {
      pub_.mainMenu = TMenuRecord{};
      pub_.mainMenu.present = true;
      return ReadMenu(pub_.mainMenu, true);
    }
    if (id == TPubKey::TrayMenuBegin) {
      if (options_.publicationKind == kPublicationKindTray) {
        pub_.trayMenu = TMenuRecord{};
        pub_.trayMenu.present = true;
        return ReadMenu(pub_.trayMenu, true);
      }
      // Not a tray publication: the block is read the same way and dropped.
      TMenuRecord skipped;
      return ReadMenu(skipped, false);
    }
    return true;  // item keys outside a menu block
  }

  // Reads items up to the MENUEND that closes the block. Inside a block only
  // menu keys count.
  bool ReadMenu(TMenuRecord& menu, bool validate) {
    std::vector<std::vector<TMenuItemRecord>*> levels{&menu.items};
    std::unordered_set<AnsiString> names;
    std::string_view line;
    for (;;) {
      const auto r = lines_.Next(line);
      if (r == TPublicationLines::kEnd) return true;
      if (r == TPublicationLines::kError) {
        error_ = ReadError();
        return false;
      }
      std::string_view v;
      const TKeyInfo* key = Parse(line, v);
      if (!key || key->group != TKeyGroup::Menu) continue;
      auto& level = *levels.back();
      TMenuItemRecord* item = level.empty() ? nullptr : &level.back();
      switch (key->id) {
        case TPubKey::MenuBegin:
          if (!item) break;  // no item to hang a submenu on at this level
          if (static_cast<int>(levels.size()) > kMaxNestingDepth)
            return Fail("Menus are nested deeper than " + std::to_string(kMaxNestingDepth) + " levels");
          levels.push_back(&item->items);
          break;
        case TPubKey::MenuEnd:
          levels.pop_back();
          if (levels.empty()) return true;
          break;
        case TPubKey::MenuName: {
          if (validate) {
            if (!IsValidIdent(v)) return Fail("\"" + AnsiString(v) + "\" is not a valid menu item name");
            if (!names.insert(AnsiUpper(v)).second)
              return Fail("A menu item named \"" + AnsiString(v) + "\" already exists");
          }
          if (++menuItems_ > kMaxMenuItems)
            return Fail("The publication has more than " + std::to_string(kMaxMenuItems) + " menu items");
          TMenuItemRecord rec;
          rec.name = AnsiString(v);
          rec.caption = rec.name;
          level.push_back(std::move(rec));
          break;
        }
        case TPubKey::MenuText:
          if (item) item->caption = AnsiString(v);
          break;
        case TPubKey::MenuAction:
          if (item) item->action = ExpandLineBreaks(v);
          break;
        case TPubKey::MenuState:
          if (item) item->state = ReadPublicationInteger(v);
          break;
        case TPubKey::MenuKey:
          if (item) item->key = ReadPublicationInteger(v);
          break;
        case TPubKey::MenuVar:
          if (item) item->var = AnsiString(v);
          break;
        case TPubKey::MenuImage:
          if (item) item->image = AnsiString(v);
          break;
        case TPubKey::MenuImTransClr:
          if (item) item->imageTransColor = static_cast<TColor>(ReadPublicationInteger(v));
          break;
        default: break;  // TRAYMENUBEGIN inside a block
      }
    }
  }

  TPublication& pub_;
  TPublicationLines& lines_;
  const TLoadOptions& options_;
  PageNames names_;
  int page_ = -1;  // no page before the first page marker
  TObjectRecord* object_ = nullptr;
  std::vector<Level> levels_;
  AnsiString error_;
  int objects_ = 0;
  int objectKeys_ = 0;
  int menuItems_ = 0;
};

}  // namespace

bool LoadPublication(ByteSource& src, int64_t total, TPublication& pub, const TLoadOptions& options,
                     AnsiString& error) {
  error.clear();
  pub.settings.screenWidth = 640;
  pub.settings.screenHeight = 480;
  pub.settings.screenColors = Globals().displayColorCount;
  pub.usesStandardPalette = true;
  TPublicationLines lines(src, total, options.progress, kPublicationChunk, kMaxPublicationText);
  Reader reader(pub, lines, options);
  try {
    return reader.Run(error);
  } catch (const std::exception& e) {  // out of memory, mostly
    error = ExceptionText(e);
    return false;
  }
}

bool LoadPublication(TPackage& package, TPublication& pub, const TLoadOptions& options, AnsiString& error,
                     std::string_view entryName) {
  error.clear();
  LibRec* entry = package.FindEntry(entryName);
  package.SetPublicationLoaded(true);
  if (!entry) {
    error = "The package holds no " + AnsiString(entryName);
    return false;
  }
  std::unique_ptr<ByteSource> src = package.OpenEntryReader(*entry);
  if (!src) {
    error = ErrorText(100);
    return false;
  }
  TLoadOptions opts = options;
  opts.publicationKind = package.Header().PublicationKind;
  if (!LoadPublication(*src, entry->DataSize(), pub, opts, error)) return false;
  ApplyPublicationGlobals(pub.settings);
  return true;
}

}  // namespace vl
