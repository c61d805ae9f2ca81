#include "windows/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>

#include "runtime/Global.h"
#include "windows/DialogDriver.h"
#include "windows/UserDialog.h"

namespace vl {

QStringList TranslateFilter(std::string_view windowsFilter) {
  QStringList out;
  size_t pos = 0;
  AnsiString desc, patterns;
  while (NextField(windowsFilter, pos, '|', false, desc)) {
    if (!NextField(windowsFilter, pos, '|', false, patterns)) break;
    QStringList pats;
    size_t p = 0;
    AnsiString one;
    while (NextField(patterns, p, ';', false, one)) {
      QString q = AnsiToQString(TrimView(one));
      if (q.isEmpty()) continue;
      if (q == QLatin1String("*.*")) q = QStringLiteral("*");
      if (!pats.contains(q)) pats << q;
    }
    if (pats.isEmpty()) continue;
    QString d = AnsiToQString(TrimView(desc));
    if (d.isEmpty()) d = AnsiToQString(TrimView(patterns));
    out << d + QStringLiteral(" (") + pats.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

QString DefaultSuffixOf(const QString& nameFilter) {
  static const QRegularExpression kPatterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
  auto m = kPatterns.match(nameFilter);
  QString first = (m.hasMatch() ? m.captured(1) : nameFilter).trimmed().section(QLatin1Char(' '), 0, 0);
  if (!first.startsWith(QLatin1String("*."))) return {};
  QString ext = first.mid(2);
  if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?'))) return {};
  return ext;
}

bool RunFileDialog(const FileRequest& req, AnsiString& path) {
  path.clear();
  // On the heap for its owner window, which may take it along (see the
  // message dialog).
  QPointer<QFileDialog> holder = new QFileDialog(DialogOwner(), AnsiToQString(req.title));
  QFileDialog& dlg = *holder;
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setOption(QFileDialog::HideNameFilterDetails);
  const bool folder = req.kind == "folder";
  const bool save = req.kind == "filesave";
  if (folder) {
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    // The folder browser opens in the middle of the screen.
    dlg.resize(dlg.sizeHint());
    CentreOnScreen(&dlg);
  } else if (save) {
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
  } else {
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(req.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  }
  const QStringList filters = folder ? QStringList() : TranslateFilter(req.filter);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    dlg.selectNameFilter(filters.first());
  }
  if (save && req.defaultExt == ".") {
    if (!filters.isEmpty()) dlg.setDefaultSuffix(DefaultSuffixOf(filters.first()));
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg,
                     [&dlg](const QString& f) { dlg.setDefaultSuffix(DefaultSuffixOf(f)); });
  }
  if (!req.initialDir.empty()) dlg.setDirectory(AnsiToQString(req.initialDir));
  if (!req.initialName.empty()) dlg.selectFile(AnsiToQString(req.initialName));

  // What the driver typed: chosen as it is, without the dialog's checks.
  QStringList typed;
  bool useTyped = false;
  DialogHooks hooks;
  hooks.type = [&](std::string_view text, AnsiString&) {
    typed.clear();
    size_t p = 0;
    AnsiString one;
    while (NextField(text, p, ';', false, one))
      if (!TrimView(one).empty()) typed << AnsiToQString(TrimView(one));
    if (auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(typed.join(QLatin1Char(' ')));
    return true;
  };
  hooks.press = [&](std::string_view caption, AnsiString& why) {
    if (DialogDriver::SameCaption(caption, "Cancel")) {
      dlg.reject();
      return true;
    }
    bool accept = false;
    for (const char* c : {"OK", "Open", "Save", "Choose"}) accept |= DialogDriver::SameCaption(caption, c);
    if (!accept) {
      why = "the file dialog has no button \"" + AnsiString(caption) + "\"";
      return false;
    }
    if (!typed.isEmpty()) {
      useTyped = true;
      static_cast<QDialog&>(dlg).done(QDialog::Accepted);
      return true;
    }
    if (folder || !dlg.selectedFiles().isEmpty()) {
      static_cast<QDialog&>(dlg).accept();
      return true;
    }
    why = "no file is chosen";
    return false;
  };

  DialogInfo info{req.kind, req.title, req.filter, {}};
  const int result = DialogDriver::RunModal(dlg, info, std::move(hooks));
  QStringList chosen;
  if (result == QDialog::Accepted && holder) {
    if (useTyped) {
      const QDir base = dlg.directory();
      for (const QString& t : typed) chosen << QDir::cleanPath(base.absoluteFilePath(t));
    } else {
      chosen = dlg.selectedFiles();
    }
  }
  if (folder && chosen.size() > 1) chosen = chosen.mid(0, 1);
  for (QString& c : chosen) c = QDir::toNativeSeparators(c);
  delete holder.data();
  path = QStringToAnsi(chosen.join(QLatin1Char(';')));
  DialogDriver::Record(info, path);
  return !chosen.isEmpty();
}

}  // namespace vl
