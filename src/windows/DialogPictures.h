#pragma once
// The pictures the standard dialogs carry: a warning sign (dialogs with one
// button or none), a question mark (two or more buttons), each in a smooth
// version for displays of more than 256 colours and a 16-colour one, and the
// padlock of the password form. All 32 by 32, drawn here rather than stored.
#include <QImage>

namespace vl {

enum class StandardIcon { Alert, Ask };

QImage StandardIconImage(StandardIcon which, bool manyColors);
QImage PadlockImage();

}  // namespace vl
