#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>

namespace wendlecott::testing {

// A path inside the build folder. Test programs live in its "tests" folder; finding the
// build folder at run time rather than compiling its path in keeps the test objects the
// same in every build folder, so a second build reuses them from the compiler cache.
inline QString buildPath(const QString &relative = QString())
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../") + relative);
}

} // namespace wendlecott::testing
