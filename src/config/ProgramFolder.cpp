#include "config/ProgramFolder.h"

#include "core/base/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace wendlecott::config {

namespace {

// True when a file can be created in `dir` (a read-only install folder says no).
bool isWritableFolder(const QString &dir)
{
    if (!QFileInfo(dir).isDir())
        return false;
    QTemporaryFile probe(dir + QStringLiteral("/.wendlecott-write-test-XXXXXX"));
    return probe.open();
}

// Shipped data of an installed copy lies in ../share/wendlecott beside bin/; empty when
// the executable's folder is no bin/ of an installation (a build folder, a copied folder).
QString installedDataFolder(const QString &executableDir)
{
    const QString share = QDir(executableDir).absoluteFilePath(QStringLiteral("../share/wendlecott"));
    return QFileInfo(share).isDir() ? QDir::cleanPath(share) : QString();
}

QString perUserFolder()
{
    QString perUser = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (perUser.isEmpty())
        perUser = QDir::homePath() + QStringLiteral("/.local/share");
    return perUser + QLatin1Char('/') + kCompanyName + QLatin1Char('/') + kProductName;
}

} // namespace

ProgramFolder::ProgramFolder(QString root, QString shippedRoot)
    : m_root(QDir::cleanPath(root))
    , m_shippedRoot(shippedRoot.isEmpty() ? m_root : QDir::cleanPath(shippedRoot))
{
}

ProgramFolder ProgramFolder::locate(const QString &overrideDir, const QString &executableDir)
{
    const QString installedData = installedDataFolder(executableDir);
    const QString shipped = installedData.isEmpty() ? executableDir : installedData;
    QString chosen = overrideDir;
    if (chosen.isEmpty())
        chosen = qEnvironmentVariable(kProgramFolderEnv);
    if (!chosen.isEmpty()) {
        QDir().mkpath(chosen);
        return ProgramFolder(QFileInfo(chosen).absoluteFilePath(), shipped);
    }
    // An installed copy never writes beside its executable, even where it could (root
    // running /usr/bin/wendlecott): bin/ holds programs, and every user gets data of their own.
    if (installedData.isEmpty() && isWritableFolder(executableDir))
        return ProgramFolder(executableDir, shipped);
    const QString perUser = perUserFolder();
    QDir().mkpath(perUser);
    return ProgramFolder(perUser, shipped);
}

QString ProgramFolder::path(const QString &relative) const
{
    return core::resolveUnder(m_root, relative);
}

QString ProgramFolder::shippedPath(const QString &relative) const
{
    const QString own = path(relative);
    if (QFileInfo::exists(own) || m_shippedRoot == m_root)
        return own;
    return core::resolveUnder(m_shippedRoot, relative);
}

} // namespace wendlecott::config
