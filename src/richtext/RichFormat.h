#pragma once
// The engine's own marks on Qt's text formats, shared by the RTF reader,
// the writer and the document.
#include <QTextFormat>

namespace vl::rich {

// Character formats.
constexpr int kPropUnderlineKind = QTextFormat::UserProperty + 1;  // int, TUnderlineKind
constexpr int kPropHiddenBefore = QTextFormat::UserProperty + 2;   // QString: hidden text before the run
constexpr int kPropFieldName = QTextFormat::UserProperty + 3;      // QString: merge field name
constexpr int kPropStrikeDouble = QTextFormat::UserProperty + 4;   // bool
constexpr int kPropFontCharset = QTextFormat::UserProperty + 5;    // int, RTF \fcharset of the run's font
constexpr int kPropFieldId = QTextFormat::UserProperty + 6;        // int: runs of one merge field share it
// Block formats.
constexpr int kPropHiddenAtEnd = QTextFormat::UserProperty + 10;   // QString
constexpr int kPropBookmarksAtEnd = QTextFormat::UserProperty + 11;  // QStringList

// A merge field is a run of text (its current value) carrying its name and
// id; an empty value is shown as one zero-width space so the field is kept.
constexpr char16_t kEmptyFieldChar = 0x200B;

enum TUnderlineKind { ulNone = 0, ulSingle, ulDouble, ulDotted, ulDash, ulWave, ulWord, ulThick };

}  // namespace vl::rich
