#include "config/FileUtils.h"

#include "core/base/Paths.h"
#include "core/base/TextFile.h"

#include <QDir>
#include <QFileInfo>

namespace wendlecott::config {

namespace {

// A NUL cannot be part of a file name; Qt would warn about it, so such a path is refused first.
bool isUsable(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

// `path` with "/" separators, each existing part matched without regard to case (an exact
// match wins), so "…/Wordlists" finds the folder "wordlists".
QString resolvePath(const QString &path)
{
    QString normal = path;
    normal.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QFileInfo::exists(normal))
        return normal;
    const bool absolute = normal.startsWith(QLatin1Char('/'));
    return QDir::cleanPath(core::resolveUnder(absolute ? QStringLiteral("/") : QStringLiteral("."), normal));
}

// The folder part of `path` (without its last part), resolved; "." when there is none.
QString folderPart(const QString &path)
{
    qsizetype last = path.size() - 1;
    while (last >= 0 && !isSeparator(path.at(last)))
        --last;
    if (last < 0)
        return QStringLiteral(".");
    if (last == 0)
        return QStringLiteral("/");
    return resolvePath(path.left(last));
}

} // namespace

QString fileNamePart(const QString &path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isSeparator(path.at(i)))
            return path.mid(i + 1);
    }
    return path;
}

bool xfileExists(const QString &path)
{
    const QString name = fileNamePart(path);
    if (name.isEmpty() || !isUsable(path))
        return false;
    const QDir folder(folderPart(path));
    // An exact hit needs no listing; the listing is for names in another case.
    const QFileInfo exact(folder.filePath(name));
    if (exact.isFile() && !exact.isHidden())
        return true;
    const QStringList files = folder.entryList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QString &file : files) {
        if (file.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool xdirExists(const QString &path)
{
    if (!isUsable(path))
        return false;
    QString trimmed = path;
    while (trimmed.size() > 1 && isSeparator(trimmed.back()))
        trimmed.chop(1);
    return QFileInfo(resolvePath(trimmed)).isDir();
}

bool xcopyFile(const QString &source, const QString &destination)
{
    if (fileNamePart(destination).isEmpty() || !isUsable(source) || !isUsable(destination))
        return false;
    const QString from = resolvePath(source);
    if (!QFileInfo(from).isFile())
        return false;
    const core::Result<QByteArray> bytes = core::readBytes(from);
    if (!bytes)
        return false;
    return core::writeFileAtomically(resolvePath(destination), bytes.value()).ok();
}

} // namespace wendlecott::config
