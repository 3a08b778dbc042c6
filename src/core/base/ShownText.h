#pragma once

#include <QString>
#include <QStringView>

namespace wendlecott::core {

// Text from servers and files made safe to show: on a terminal an escape sequence clears the
// screen or retitles the window, a BEL rings, and a right-to-left override turns what follows
// around. Such characters are shown as escapes ("\x1B", "\u202E") instead.

// Control characters (C0, DEL, C1) and the bidirectional overrides and isolates escaped;
// tab and line ends (CR, LF) kept when `keepLineBreaks`, escaped otherwise.
QString escapeControls(QStringView text, bool keepLineBreaks = true);

// The most of a quoted line a message shows.
inline constexpr qsizetype kMaxQuotedChars = 120;

// One line of a file or answer as a message quotes it: every control character escaped
// (tab and line ends too), cut after `maxChars` characters with "..." and how long it was.
QString quotedLine(QStringView text, qsizetype maxChars = kMaxQuotedChars);

} // namespace wendlecott::core
