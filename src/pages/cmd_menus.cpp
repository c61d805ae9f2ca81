// ShowMenuItem, HideMenuItem, EnableMenuItem, DisableMenuItem and LoadIcon.
#include <QGuiApplication>
#include <exception>

#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "pages/MenuItems.h"
#include "runtime/Messages.h"
#include "runtime/Package.h"

namespace vl {
namespace {

constexpr int kMsgNoMenuItem = 343;

enum class ItemChange { Show, Hide, Enable, Disable };

void ChangeItem(CommandContext& c, ItemChange change) {
  SetLastError("");
  const AnsiString& name = c.Arg(1);
  TVelMenuItem* item = TheMenus().FindMenuItem(name);
  if (!item) {
    SetLastError("\"" + name + "\"||" + Msg(kMsgNoMenuItem));
    return;
  }
  if (item->IsSeparator()) return;
  switch (change) {
    case ItemChange::Show: item->setVisible(true); break;
    case ItemChange::Hide: item->setVisible(false); break;
    case ItemChange::Enable: item->setEnabled(true); break;
    case ItemChange::Disable: item->setEnabled(false); break;
  }
}

void DoShowMenuItem(CommandContext& c) { ChangeItem(c, ItemChange::Show); }
void DoHideMenuItem(CommandContext& c) { ChangeItem(c, ItemChange::Hide); }
void DoEnableMenuItem(CommandContext& c) { ChangeItem(c, ItemChange::Enable); }
void DoDisableMenuItem(CommandContext& c) { ChangeItem(c, ItemChange::Disable); }

void DoLoadIcon(CommandContext& c) {
  SetLastError("");
  const AnsiString& file = c.Arg(1);
  TVelMenus& menus = TheMenus();
  const bool tray = SameTextInvariant(c.Arg(2), "TRAYICON");
  if (tray && !menus.TrayIcon()) return;
  // Runs without a GUI (--eval) have no icon to change.
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  try {
    QIcon icon;
    if (file.empty()) {
      icon = menus.ProgramIcon();
    } else {
      AnsiString path;
      int err = 0;
      const int rc = ThePackage().ResolveFile(file, path, err);
      // A file that cannot be had leaves the icon as it was.
      if (rc == kExtractIncomplete || rc == kExtractWriteError) return;
      // A file without icons leaves the icon empty.
      icon = LoadIconFromFile(path);
    }
    if (tray)
      menus.TrayIcon()->SetIcon(icon);
    else
      menus.SetApplicationIcon(icon);
  } catch (const std::exception& e) {
    SetLastError(ExceptionText(e));
  }
}

const CommandBinder kBind{{cmd::ShowMenuItem, DoShowMenuItem},
                          {cmd::HideMenuItem, DoHideMenuItem},
                          {cmd::EnableMenuItem, DoEnableMenuItem},
                          {cmd::DisableMenuItem, DoDisableMenuItem},
                          {cmd::LoadIcon, DoLoadIcon}};

}  // namespace
}  // namespace vl
