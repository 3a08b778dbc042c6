#pragma once

#include <QString>

namespace wendlecott::config {

// The file helpers every part uses. They take full paths (program folder + relative name);
// "\" and "/" both separate parts, and folder and file names are matched without regard to
// case, as everywhere under the program folder. None of them ever raises: an error answers
// false.

// The part after the last "\" or "/"; the whole text when it holds neither; empty for an
// empty path or one that ends in a separator.
QString fileNamePart(const QString &path);

// True when the folder of `path` holds an ordinary, visible file (not a folder, device or
// dot-file) whose name equals fileNamePart(path) without regard to case.
bool xfileExists(const QString &path);

// True when `path` names a folder; a trailing separator makes no difference.
bool xdirExists(const QString &path);

// Copies `source` over `destination`. The copy goes to a temporary file that then replaces
// the destination, so a failed copy (missing source, unwritable destination, full disk)
// leaves the destination as it was. Callers may ignore the answer; true when copied.
bool xcopyFile(const QString &source, const QString &destination);

} // namespace wendlecott::config
