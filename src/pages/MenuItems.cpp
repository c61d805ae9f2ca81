// Menu items: built from the publication's records, prepared at start-up,
// clicked, and kept in step with the variables they show.
#include "pages/MenuItems.h"

#include <QMenu>
#include <QMenuBar>
#include <QMainWindow>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "images/VL_ImageLib.h"
#include "pages/MenuStyle.h"
#include "runtime/Package.h"
#include "runtime/Trace.h"

namespace vl {

namespace {

// Upper case as variable names compare (ASCII letters; other bytes as they are).
AnsiString UpperAscii(std::string_view s) {
  AnsiString out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// The picture with its alpha as one ARGB image: the picture's own alpha
// channel, else the item's transparent colour made clear.
QImage PictureWithAlpha(TVLImageView& view, TColor transColor) {
  if (!view.HasAlpha()) view.AlphaFromColor(transColor);
  return ViewToArgb(view);
}

// Loads a menu picture: the packaged file of that name, else the disk file.
// False when neither gives a real picture.
bool LoadMenuPicture(const AnsiString& file, TVLImageView& view) {
  std::string bytes;
  if (ThePackage().LoadEntryToMemory(file, bytes) == kLoadOk)
    view.LoadFromMemory(bytes);
  else
    view.LoadFromFile(file);
  return !view.BadImage() && !view.IsEmpty();
}

}  // namespace

// ---------------------------------------------------------------------------

TVelMenuItem::TVelMenuItem(const TMenuItemRecord& rec, uint8_t eventCode, TVelMenuItem* parentItem,
                           QObject* parent)
    : QAction(parent),
      name_(rec.name),
      pictureFile_(rec.image),
      actionText_(rec.action),
      varName_(rec.var),
      transColor_(rec.imageTransColor),
      eventCode_(eventCode),
      parentItem_(parentItem) {
  setObjectName(AnsiToQString(name_));
  separator_ = rec.caption == "-";
  if (rec.caption.find('[') != AnsiString::npos) {
    writtenCaption_ = rec.caption;
    captionHasVars_ = true;
    SetCaptionText(ExpandVariables(rec.caption));
  } else {
    SetCaptionText(rec.caption);
  }
  setSeparator(separator_);
  toggles_ = (rec.state & kMenuStateToggles) != 0;
  setCheckable(toggles_);
  setChecked(toggles_ && (rec.state & kMenuStateChecked));
  setVisible(rec.state & kMenuStateVisible);
  setEnabled(rec.state & kMenuStateEnabled);
  setShortcut(MenuKeyToSequence(rec.key));
  // The platform toggles the check mark before it reports the click.
  if (!separator_) connect(this, &QAction::triggered, this, [this] { MenuItemClick(); });
}

TVelMenuItem::~TVelMenuItem() {
  // The submenu is ours; its items go with it.
  delete submenu_.data();
}

AnsiString TVelMenuItem::Caption() const { return QStringToAnsi(text()); }

void TVelMenuItem::SetCaptionText(const AnsiString& text) { setText(AnsiToQString(text)); }

void TVelMenuItem::AddItem(TVelMenuItem* item) {
  if (!submenu_) {
    submenu_ = new QMenu(qobject_cast<QWidget*>(parent()));
    submenu_->setStyle(MenuStyle());
    setMenu(submenu_);
  }
  item->setParent(submenu_);
  submenu_->addAction(item);
  items_.push_back(item);
}

void TVelMenuItem::Prepare(bool chainedLoad, QSize* trayLevel) {
  if (!varName_.empty() && toggles_) {
    if (isChecked())
      SetVariable(varName_, "Checked");
    else if (chainedLoad)
      SetVariable(varName_, "");
  }
  picture_ = QImage();
  displaySize_ = QSize();
  setIcon(QIcon());
  if (!pictureFile_.empty()) {
    TVLImageView view;
    // Items of the menu bar itself never show a picture.
    QSize* level = parentItem_ ? &parentItem_->largestChild_ : trayLevel;
    if (LoadMenuPicture(pictureFile_, view) && level) {
      int w = view.ImageWidth(), h = view.ImageHeight();
      if (w > kMenuPictureMax || h > kMenuPictureMax) FitInside(kMenuPictureMax, kMenuPictureMax, w, h);
      w = std::max(w, 1), h = std::max(h, 1);
      displaySize_ = QSize(w, h);
      *level = level->expandedTo(displaySize_);
      picture_ = PictureWithAlpha(view, transColor_);
      QImage shown = picture_.size() == displaySize_
                         ? picture_
                         : picture_.scaled(displaySize_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      setIcon(QIcon(QPixmap::fromImage(shown)));
    }
  }
  largestChild_ = QSize();
  for (TVelMenuItem* child : items_) child->Prepare(chainedLoad, nullptr);
  if (submenu_) submenu_->setProperty(kPictureColumnProperty, largestChild_);
}

void TVelMenuItem::MenuItemClick() {
  if (!varName_.empty()) SetVariable(varName_, isChecked() ? "Checked" : "");
  if (!actionText_.empty()) TheMenus().RunItemAction(*this);
}

void TVelMenuItem::MenuVariableChanged(const AnsiString& bracketName, const AnsiString& value) {
  // The author may leave the brackets off MENUVAR=; the notice always has them.
  if (!varName_.empty() && SameTextInvariant(NormalizeVarName(varName_), bracketName))
    setChecked(IsTrueWord(value));
  if (captionHasVars_ && UpperAscii(writtenCaption_).find(UpperAscii(bracketName)) != AnsiString::npos)
    SetCaptionText(ExpandVariables(writtenCaption_));
  for (TVelMenuItem* child : items_) child->MenuVariableChanged(bracketName, value);
}

// ---------------------------------------------------------------------------

namespace {

// Sub-items nest at most as deep as the reader allows; deeper levels of a
// model built by other means are left out rather than recursed into.
void AddItems(TVelMenuItem* parent, const std::vector<TMenuItemRecord>& recs, uint8_t code, int depth) {
  if (depth > kMaxNestingDepth) return;
  for (const TMenuItemRecord& rec : recs) {
    auto* item = new TVelMenuItem(rec, code, parent, nullptr);
    parent->AddItem(item);
    AddItems(item, rec.items, code, depth + 1);
  }
}

TVelMenuItem* FindIn(const std::vector<TVelMenuItem*>& items, std::string_view name) {
  for (TVelMenuItem* item : items) {
    if (SameTextInvariant(item->Name(), name)) return item;
    if (TVelMenuItem* found = FindIn(item->Items(), name)) return found;
  }
  return nullptr;
}

}  // namespace

TVelMenus::TVelMenus() = default;

TVelMenus::~TVelMenus() { Clear(); }

QMenuBar* TVelMenus::CreateMainMenu(const TMenuRecord& menu, QWidget* window) {
  if (mainMenu_) {
    delete mainMenu_.data();
    mainItems_.clear();
  }
  if (!menu.present) return nullptr;
  auto* bar = new QMenuBar(window);
  bar->setObjectName("MainMenu");
  bar->setNativeMenuBar(false);
  bar->setStyle(MenuStyle());
  for (const TMenuItemRecord& rec : menu.items) {
    auto* item = new TVelMenuItem(rec, kEventMainMenu, nullptr, bar);
    AddItems(item, rec.items, kEventMainMenu, 1);
    bar->addAction(item);
    mainItems_.push_back(item);
  }
  if (auto* mw = qobject_cast<QMainWindow*>(window)) mw->setMenuBar(bar);
  mainMenu_ = bar;
  return bar;
}

void TVelMenus::CreateTray(const TMenuRecord& menu, const AnsiString& title) {
  trayIcon_.reset();
  trayItems_.clear();
  trayMenu_.reset();
  if (menu.present) {
    trayMenu_ = std::make_unique<QMenu>();
    trayMenu_->setObjectName("TrayMenu");
    trayMenu_->setStyle(MenuStyle());
    for (const TMenuItemRecord& rec : menu.items) {
      auto* item = new TVelMenuItem(rec, kEventTrayMenu, nullptr, trayMenu_.get());
      AddItems(item, rec.items, kEventTrayMenu, 1);
      trayMenu_->addAction(item);
      trayItems_.push_back(item);
    }
  }
  if (!TVelTrayIcon::Available()) return;
  trayIcon_ = std::make_unique<TVelTrayIcon>();
  trayIcon_->SetIcon(ApplicationIcon());
  trayIcon_->SetHint(title);
  trayIcon_->onClick = [this] { TrayIconClick(); };
  trayIcon_->onDblClick = [this] { TrayIconClick(); };
  trayIcon_->onPopup = [this] {
    if (host_.bringToFront) host_.bringToFront();
  };
  if (trayMenu_) trayIcon_->SetPopupMenu(trayMenu_.get());
  trayIcon_->SetActive(true);
}

void TVelMenus::PrepareMenuItems(bool chainedLoad) {
  for (TVelMenuItem* item : mainItems_) item->Prepare(chainedLoad, nullptr);
  trayLargest_ = QSize();
  for (TVelMenuItem* item : trayItems_) item->Prepare(chainedLoad, &trayLargest_);
  if (trayMenu_) trayMenu_->setProperty(kPictureColumnProperty, trayLargest_);
}

void TVelMenus::MenuVariableChanged(const AnsiString& bracketName, const AnsiString& value) {
  for (TVelMenuItem* item : mainItems_) item->MenuVariableChanged(bracketName, value);
  for (TVelMenuItem* item : trayItems_) item->MenuVariableChanged(bracketName, value);
}

void TVelMenus::SetInputBlocked(bool on) {
  if (on == blockedOn_) return;
  blockedOn_ = on;
  if (on) {
    blocked_.clear();
    for (auto* list : {&mainItems_, &trayItems_})
      for (TVelMenuItem* item : *list)
        if (item->isEnabled()) {
          item->setEnabled(false);
          blocked_.push_back(item);
        }
  } else {
    for (TVelMenuItem* item : blocked_) item->setEnabled(true);
    blocked_.clear();
  }
  if (mainMenu_) mainMenu_->update();
}

TVelMenuItem* TVelMenus::FindMenuItem(std::string_view name) const {
  if (TVelMenuItem* item = FindIn(mainItems_, name)) return item;
  return FindIn(trayItems_, name);
}

TMenuClick TVelMenus::ClickMenuItem(std::string_view name) {
  TVelMenuItem* item = FindMenuItem(name);
  if (!item) return TMenuClick::NotFound;
  for (TVelMenuItem* i = item; i; i = i->ParentItem())
    if (!i->isEnabled() || !i->isVisible()) return TMenuClick::Disabled;
  if (item->IsSeparator()) return TMenuClick::Disabled;
  trace::Record({"menu", item->Name()});
  // The item may be freed by its own action (a chained load): trigger last.
  item->trigger();
  return TMenuClick::Clicked;
}

void TVelMenus::Clear() {
  blocked_.clear();
  blockedOn_ = false;
  trayIcon_.reset();
  trayItems_.clear();
  trayMenu_.reset();
  mainItems_.clear();
  if (mainMenu_) delete mainMenu_.data();
}

void TVelMenus::RunItemAction(const TVelMenuItem& item) {
  // Copies: the action may free the item (a chained load of another
  // publication clears the menus).
  const AnsiString text = item.ActionText();
  const AnsiString source = item.Name();
  const uint8_t code = item.EventCode();
  if (host_.runPublicationAction)
    host_.runPublicationAction(text, source, 0, code);
  else
    RunAction(text, 0, code, kOriginPublication, source);
}

void TVelMenus::TrayIconClick() {
  if (host_.showApplication) host_.showApplication();
}

TVelMenus& TheMenus() {
  // Never destroyed: its widgets must not outlive the application, so the
  // main window clears it when it closes.
  static TVelMenus* menus = new TVelMenus;
  return *menus;
}

}  // namespace vl
