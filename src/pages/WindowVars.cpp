// The special variables that belong to the main window and the screen
// ([WindowLeft] ... [ClientHeight], [PubWidth], [PubTitle], [WindowOrder],
// [ScreenWidth] ...), the publication's own ([PubAuthor], [PubVersion] ...)
// and the system ones with a plain meaning here ([Clipboard], [TempDir],
// [MyDocuments], [SystemLanguage], [WindowsPlatform], [WindowsVer]), and the
// window operations behind their writes.
#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLayout>
#include <QLocale>
#include <QMenuBar>
#include <QScreen>
#include <QStandardPaths>

#include "actions/Vars.h"
#include "objects/VellionObj.h"
#include "pages/MenuItems.h"
#include "pages/PageView.h"
#include "pages/RT_Main.h"
#include "pages/VLPageList.h"
#include "platform/PrivateTemp.h"
#include "runtime/Global.h"
#include "runtime/Package.h"
#include "windows/DialogSettings.h"

namespace vl {

// ---------------------------------------------------------------------------
// The window operations

namespace {
// A window without a sizeable border keeps a fixed size: it takes the new one.
void ResizeInner(QWidget& w, const QSize& inner) {
  if (w.minimumSize() == w.maximumSize())
    w.setFixedSize(inner);
  else
    w.resize(inner);
}
}  // namespace

QPoint TWorkForm::PublicationOrigin() const {
  return area_->mapToGlobal(pubRect_.topLeft());
}

QSize TWorkForm::ClientSize() const { return centralWidget()->size(); }

void TWorkForm::SetPublicationSize(int w, int h) {
  w = std::max(1, w);
  h = std::max(1, h);
  if (w == pubRect_.width() && h == pubRect_.height()) return;
  const int style = Settings().windowStyle;
  if (style == 1 || style == 3) {
    LayoutWindow(w, h);
  } else {
    // Only the side that was written changes in the client area too: a
    // client the user or [ClientHeight] made taller than the publication
    // keeps its height when the width is written, and the other way round.
    const QSize client = centralWidget()->size();
    const QSize extra = size() - client;
    QSize newClient = client;
    if (w != pubRect_.width()) newClient.setWidth(w);
    if (h != pubRect_.height()) newClient.setHeight(h);
    pubRect_.setWidth(w);
    pubRect_.setHeight(h);
    // The smaller side first, so the page area never exceeds the client area.
    const bool shrinking = newClient.width() * newClient.height() < client.width() * client.height();
    if (shrinking && !(style == 0 && Settings().screenAutoSize)) {
      area_->setFixedSize(w, h);
      // The window's smallest size follows the page area only once its
      // layout has run: let it run now, or the shrink is refused.
      if (layout()) layout()->activate();
    }
    ResizeInner(*this, newClient + extra);
    if (!shrinking && !(style == 0 && Settings().screenAutoSize)) area_->setFixedSize(w, h);
    area_->SetPublicationRect(pubRect_);
  }
  // Objects lay themselves out again once they exist (OM_RELAYOUT).
  area_->update();
}

void TWorkForm::SetClientSize(int w, int h) {
  const QSize extra = size() - centralWidget()->size();
  ResizeInner(*this, QSize(std::max(1, w) + extra.width(), std::max(1, h) + extra.height()));
}

void TWorkForm::MoveWindowTo(int left, int top) {
  pinnedPos_ = QPoint(left, top);
  move(left, top);
}

void TWorkForm::ResizeWindowTo(int w, int h) {
  // The frame the window manager adds is not ours to size.
  const QSize frame = frameGeometry().size() - size();
  ResizeInner(*this, QSize(std::max(1, w - frame.width()), std::max(1, h - frame.height())));
}

AnsiString TWorkForm::WindowStateText() const {
  if (isMinimized()) return "Minimized";
  if (isMaximized()) return "Maximized";
  return "Normal";
}

void TWorkForm::SetWindowStateText(const AnsiString& value) {
  const std::string_view v = TrimView(value);
  if (SameTextInvariant(v, "MINIMIZED")) {
    showMinimized();
    return;
  }
  if (SameTextInvariant(v, "MAXIMIZED")) {
    if (!isMaximized()) showMaximized();
  } else if (isMinimized()) {
    showNormal();
  } else if (isMaximized()) {
    showNormal();
  } else if (!isVisible() && !closed_) {
    show();  // back from the tray
  }
  if (!TheMenus().TrayIcon()) {
    raise();
    activateWindow();
  }
}

void TWorkForm::SetWindowOrder(int order) {
  if (order == windowOrder_) return;
  windowOrder_ = order;
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, order == 1);
  setWindowFlag(Qt::WindowStaysOnBottomHint, order == 2);
  // Changing the flags hides a shown window: show it again where it was,
  // without taking the focus.
  if (visible) {
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    show();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    if (order == 2)
      lower();
    else
      raise();
  }
}

void TWorkForm::SetCaption(const AnsiString& caption) {
  setWindowTitle(AnsiToQString(caption));
  if (TVelTrayIcon* tray = TheMenus().TrayIcon()) tray->SetHint(caption);
}

namespace {

// ---------------------------------------------------------------------------
// Reading the system

bool HaveGui() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

QScreen* MainScreen() {
  if (!HaveGui()) return nullptr;
  if (TWorkForm* f = WorkForm(); f && f->screen()) return f->screen();
  return QGuiApplication::primaryScreen();
}

AnsiString Num(int64_t n) { return AnsiString(std::to_string(n)); }

int ToInt(const AnsiString& text) {
  int32_t n = 0;
  return StrToIntStrict(TrimView(text), n) ? n : 0;
}

// A window side written by a publication. A text that is not a whole number
// leaves the side as it is (taking it as 0 would shrink the window to
// nothing), and a side is capped so that no publication can make the window
// take more memory than a large screen's worth of pixels.
constexpr int kMaxWindowSide = 8192;
bool SideArg(const AnsiString& text, int& side) {
  int32_t n = 0;
  if (!StrToIntStrict(TrimView(text), n)) return false;
  side = std::clamp(n, 0, kMaxWindowSide);
  return true;
}

AnsiString WithTrailingSlash(AnsiString path) {
  if (!path.empty() && path.back() != '/') path.push_back('/');
  return path;
}

// The three-letter language abbreviations Windows gives for the languages
// whose code differs from ISO 639-2; the rest are that code in capitals.
AnsiString LanguageAbbreviation(const QLocale& l) {
  struct Special {
    QLocale::Language language;
    QLocale::Territory territory;  // AnyTerritory: every country
    const char* abbr;
  };
  static const Special kSpecial[] = {
      {QLocale::English, QLocale::UnitedStates, "ENU"}, {QLocale::English, QLocale::UnitedKingdom, "ENG"},
      {QLocale::English, QLocale::Australia, "ENA"},    {QLocale::English, QLocale::Canada, "ENC"},
      {QLocale::English, QLocale::AnyTerritory, "ENU"}, {QLocale::French, QLocale::Canada, "FRC"},
      {QLocale::French, QLocale::Switzerland, "FRS"},   {QLocale::German, QLocale::Switzerland, "DES"},
      {QLocale::German, QLocale::Austria, "DEA"},       {QLocale::Italian, QLocale::Switzerland, "ITS"},
      {QLocale::Portuguese, QLocale::Brazil, "PTB"},    {QLocale::Portuguese, QLocale::AnyTerritory, "PTG"},
      {QLocale::Spanish, QLocale::AnyTerritory, "ESN"}, {QLocale::Dutch, QLocale::Belgium, "NLB"},
      {QLocale::Chinese, QLocale::Taiwan, "CHT"},       {QLocale::Chinese, QLocale::AnyTerritory, "CHS"},
      {QLocale::Japanese, QLocale::AnyTerritory, "JPN"}, {QLocale::Korean, QLocale::AnyTerritory, "KOR"},
  };
  for (const Special& s : kSpecial)
    if (s.language == l.language() && (s.territory == QLocale::AnyTerritory || s.territory == l.territory()))
      return s.abbr;
  const QString code = QLocale::languageToCode(l.language(), QLocale::ISO639Part2);
  return code.size() == 3 ? QStringToAnsi(code.toUpper()) : AnsiString("<unknown>");
}

bool KnownLanguage(const QLocale& l) { return l.language() != QLocale::C && l.language() != QLocale::AnyLanguage; }

// The window while a publication is in it.
TWorkForm* Form() {
  TWorkForm* f = WorkForm();
  return f && !f->Closed() ? f : nullptr;
}

struct WindowVarsRegistration {
  WindowVarsRegistration() {
    // --- the window
    RegisterSpecialVar(
        "WindowLeft", [](TDateTime) { return Form() ? Num(Form()->frameGeometry().left()) : AnsiString(); },
        [](const AnsiString& v) {
          if (TWorkForm* f = Form()) f->MoveWindowTo(ToInt(v), f->frameGeometry().top());
        });
    RegisterSpecialVar(
        "WindowTop", [](TDateTime) { return Form() ? Num(Form()->frameGeometry().top()) : AnsiString(); },
        [](const AnsiString& v) {
          if (TWorkForm* f = Form()) f->MoveWindowTo(f->frameGeometry().left(), ToInt(v));
        });
    RegisterSpecialVar(
        "WindowWidth", [](TDateTime) { return Form() ? Num(Form()->frameGeometry().width()) : AnsiString(); },
        [](const AnsiString& v) {
          TWorkForm* f = Form();
          if (int n = 0; f && SideArg(v, n)) f->ResizeWindowTo(n, f->frameGeometry().height());
        });
    RegisterSpecialVar(
        "WindowHeight", [](TDateTime) { return Form() ? Num(Form()->frameGeometry().height()) : AnsiString(); },
        [](const AnsiString& v) {
          TWorkForm* f = Form();
          if (int n = 0; f && SideArg(v, n)) f->ResizeWindowTo(f->frameGeometry().width(), n);
        });
    RegisterSpecialVar(
        "ClientWidth", [](TDateTime) { return Form() ? Num(Form()->ClientSize().width()) : AnsiString(); },
        [](const AnsiString& v) {
          TWorkForm* f = Form();
          if (int n = 0; f && SideArg(v, n)) f->SetClientSize(n, f->ClientSize().height());
        });
    RegisterSpecialVar(
        "ClientHeight", [](TDateTime) { return Form() ? Num(Form()->ClientSize().height()) : AnsiString(); },
        [](const AnsiString& v) {
          TWorkForm* f = Form();
          if (int n = 0; f && SideArg(v, n)) f->SetClientSize(f->ClientSize().width(), n);
        });
    RegisterSpecialVar(
        "WindowState", [](TDateTime) { return Form() ? Form()->WindowStateText() : AnsiString("Normal"); },
        [](const AnsiString& v) {
          if (TWorkForm* f = Form()) f->SetWindowStateText(v);
        });
    RegisterSpecialVar(
        "PubWidth", [](TDateTime) { return Form() ? Num(Form()->PublicationRect().width()) : AnsiString(); },
        [](const AnsiString& v) {
          TWorkForm* f = Form();
          if (int n = 0; f && SideArg(v, n)) f->SetPublicationSize(n, f->PublicationRect().height());
        });
    RegisterSpecialVar(
        "PubHeight", [](TDateTime) { return Form() ? Num(Form()->PublicationRect().height()) : AnsiString(); },
        [](const AnsiString& v) {
          TWorkForm* f = Form();
          if (int n = 0; f && SideArg(v, n)) f->SetPublicationSize(f->PublicationRect().width(), n);
        });
    RegisterSpecialVar("PubLeft", [](TDateTime) {
      return Form() ? Num(Form()->centralWidget()->mapToGlobal(QPoint(0, 0)).x()) : AnsiString();
    });
    RegisterSpecialVar("PubTop", [](TDateTime) {
      return Form() ? Num(Form()->centralWidget()->mapToGlobal(QPoint(0, 0)).y()) : AnsiString();
    });
    RegisterSpecialVar(
        "PubTitle", [](TDateTime) { return Form() ? QStringToAnsi(Form()->windowTitle()) : AnsiString(); },
        [](const AnsiString& v) {
          if (TWorkForm* f = Form()) f->SetCaption(v);
        });
    RegisterSpecialVar(
        "AppTitle", [](TDateTime) { return TheDialogSettings().appTitle; },
        [](const AnsiString& v) { TheDialogSettings().appTitle = v; });
    RegisterSpecialVar(
        "WindowOrder",
        [](TDateTime) -> AnsiString {
          switch (Form() ? Form()->WindowOrder() : 0) {
            case 1: return "OnTop";
            case 2: return "OnBottom";
            default: return "Normal";
          }
        },
        [](const AnsiString& v) {
          const std::string_view t = TrimView(v);
          const int order = SameTextInvariant(t, "ONTOP") ? 1 : SameTextInvariant(t, "ONBOTTOM") ? 2 : 0;
          if (TWorkForm* f = Form()) f->SetWindowOrder(order);
        });
    // The page object holding the keyboard focus: the focus may sit in a
    // control inside it (an edit field's editor), so the parents are asked.
    // While no window of ours is active, the main window's focus widget
    // (the one that gets the focus back) answers.
    RegisterSpecialVar("FocusedObject", [](TDateTime) -> AnsiString {
      if (!HaveGui()) return {};
      QWidget* focus = QApplication::focusWidget();
      if (!focus && Form()) focus = Form()->focusWidget();
      for (QWidget* w = focus; w; w = w->parentWidget())
        if (auto* obj = dynamic_cast<TVellionObj*>(w)) return obj->Name();
      return {};
    });
    RegisterSpecialVar("WinHandle", [](TDateTime) {
      TWorkForm* f = Form();
      return f && f->isVisible() ? Num(static_cast<int64_t>(f->winId())) : AnsiString("0");
    });

    // --- the publication
    RegisterSpecialVar("PubAuthor", [](TDateTime) { return Form() ? Form()->Settings().author : AnsiString(); });
    RegisterSpecialVar("PubVersion",
                       [](TDateTime) { return Form() ? Form()->Settings().pubVersion : AnsiString(); });
    RegisterSpecialVar("PubColors",
                       [](TDateTime) { return Form() ? Num(Form()->Settings().screenColors) : AnsiString(); });
    RegisterSpecialVar("PubDir", [](TDateTime) {
      return ThePackage().IsOpen() ? WithTrailingSlash(ThePackage().HostFolder()) : AnsiString();
    });
    RegisterSpecialVar("VLType", [](TDateTime) -> AnsiString {
      static const char kLetters[] = "ASTW";
      const int kind = ThePackage().Header().PublicationKind;
      return AnsiString(1, kind >= 0 && kind <= 3 ? kLetters[kind] : 'A');
    });

    // --- the screen
    RegisterSpecialVar("ScreenWidth", [](TDateTime) {
      QScreen* s = MainScreen();
      return s ? Num(s->geometry().width()) : AnsiString("0");
    });
    RegisterSpecialVar("ScreenHeight", [](TDateTime) {
      QScreen* s = MainScreen();
      return s ? Num(s->geometry().height()) : AnsiString("0");
    });
    RegisterSpecialVar("ScreenColors", [](TDateTime) { return Num(Globals().displayColorCount); });

    // --- the system
    RegisterSpecialVar(
        "Clipboard",
        [](TDateTime) { return HaveGui() ? QStringToAnsi(QGuiApplication::clipboard()->text()) : AnsiString(); },
        [](const AnsiString& v) {
          if (!HaveGui()) return;
          QClipboard* c = QGuiApplication::clipboard();
          c->clear();
          c->setText(AnsiToQString(v));
        });
    RegisterSpecialVar("TempDir", [](TDateTime) { return WithTrailingSlash(Utf8ToAnsi(PrivateTempFolder())); });
    RegisterSpecialVar("MyDocuments", [](TDateTime) {
      QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
      if (docs.isEmpty()) docs = QDir::homePath();
      return WithTrailingSlash(QStringToAnsi(docs));
    });
    RegisterSpecialVar("SystemLanguage", [](TDateTime) -> AnsiString {
      const QLocale l = QLocale::system();
      if (!KnownLanguage(l)) return "<unknown>";
      AnsiString name = QStringToAnsi(QLocale::languageToString(l.language()));
      if (l.territory() != QLocale::AnyTerritory)
        name += " (" + QStringToAnsi(QLocale::territoryToString(l.territory())) + ")";
      return name;
    });
    RegisterSpecialVar("SystemLanguageExt", [](TDateTime) -> AnsiString {
      const QLocale l = QLocale::system();
      return KnownLanguage(l) ? LanguageAbbreviation(l) : AnsiString("<unknown>");
    });
    // What a current Windows reports to a program of this kind: the NT
    // platform (2) and version 6.2, so publications that test for a modern
    // system take that path.
    RegisterSpecialVar("WindowsPlatform", [](TDateTime) { return AnsiString("2"); });
    RegisterSpecialVar("WindowsVer", [](TDateTime) { return AnsiString("6.2"); });
  }
};
const WindowVarsRegistration kRegistration;

}  // namespace
}  // namespace vl
