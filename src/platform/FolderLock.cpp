#include "platform/FolderLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace wendlecott::platform {

FolderLock::FolderLock(const QString &folder, int waitMs)
{
    const QByteArray path = QFile::encodeName(folder);
    do {
        m_fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        return;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || waited.elapsed() >= waitMs)
            return;
        // Another writer holds it for the few milliseconds of its write.
        QThread::msleep(2);
    }
}

FolderLock::~FolderLock()
{
    if (m_fd < 0)
        return;
    if (m_locked)
        ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
}

} // namespace wendlecott::platform
