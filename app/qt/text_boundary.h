// The one place where the window's Unicode meets the program's code-page Text.
//
// The window side uses GB18030: it writes every code-page-936 character with the same bytes as
// 936 and everything else without loss, so a long address typed with characters outside 936
// reaches the jobs unchanged instead of with "?" in their place.
#pragma once

#include <QString>
#include <string_view>

#include "text/values.h"

namespace tarnwick {

// Text ends at a zero byte, so a zero character ends the result; an unpaired surrogate, which
// is no character at all, becomes "?".
Text TextFromQString(const QString& text);
// Bytes that are no GB18030 character show as U+FFFD.
QString QStringFromText(std::string_view text);

}  // namespace tarnwick
