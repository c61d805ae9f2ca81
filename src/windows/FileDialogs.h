#pragma once
// File and folder choosers on Qt's own (non-native) file dialog, which looks
// the same on every desktop and also works without a display. Filters come
// in the Windows form: description and patterns in pairs, all separated by
// "|", several patterns of one pair separated by ";".
#include <QString>
#include <QStringList>
#include <string_view>

#include "runtime/Ansi.h"
#include "runtime/Host.h"

namespace vl {

// "Text|*.txt;*.log|All|*.*" -> {"Text (*.txt *.log)", "All (*)"}: "*.*"
// means every file (also names without a dot); a pair without patterns is
// dropped; a missing description shows the patterns. Matching is without
// regard to case, as on Windows.
QStringList TranslateFilter(std::string_view windowsFilter);

// The extension a file type adds to a name typed without one: the first
// pattern's, "" when it has none ("Text (*.txt *.log)" -> "txt", "All (*)"
// -> "").
QString DefaultSuffixOf(const QString& nameFilter);

// Shows the chooser for `req` (kinds "fileopen", "filesave", "folder")
// modally, records it in the trace and gives the chosen path (several joined
// by ";"). False after Cancel. For the dialog driver the chooser has the
// buttons "OK" (also "Open", "Save", "Choose") and "Cancel"; typing gives the
// path to choose (relative to the folder shown; several separated by ";").
bool RunFileDialog(const FileRequest& req, AnsiString& path);

}  // namespace vl
