#include "config/FolderLock.h"

#include <QDir>

namespace wendlecott::config {

FolderLock::FolderLock(const QString &folder)
    : m_folder(folder)
    , m_lock(std::make_unique<QLockFile>(QDir(folder).filePath(QLatin1String(kLockFileName))))
{
    // Never stale by age: a long run holds the lock for hours. A lock of a process that no
    // longer runs on this machine is still taken over.
    m_lock->setStaleLockTime(0);
}

FolderLock::~FolderLock() = default;

core::Status FolderLock::acquire()
{
    if (m_lock->isLocked() || m_lock->tryLock(0))
        return core::Status::success();
    const QString folder = QDir::toNativeSeparators(m_folder);
    if (m_lock->error() != QLockFile::LockFailedError) {
        return core::Status::failure(core::ErrorCode::WriteFailed,
                                     QStringLiteral("Could not lock the program folder %1 (%2).")
                                         .arg(folder, QDir::toNativeSeparators(QDir(m_folder).filePath(
                                                          QLatin1String(kLockFileName)))));
    }
    qint64 pid = 0;
    QString host;
    QString program;
    if (!m_lock->getLockInfo(&pid, &host, &program))
        return core::Status::failure(
            core::ErrorCode::PermissionDenied,
            QStringLiteral("The program folder %1 is in use by another process.").arg(folder));
    return core::Status::failure(core::ErrorCode::PermissionDenied,
                                 QStringLiteral("The program folder %1 is in use by process %2 (%3%4).")
                                     .arg(folder, QString::number(pid),
                                          program.isEmpty() ? QStringLiteral("unknown program") : program,
                                          host.isEmpty() ? QString() : QStringLiteral(" on ") + host));
}

} // namespace wendlecott::config
