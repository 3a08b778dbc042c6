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
    m_ownsFd = true;
    acquire(Mode::Exclusive, waitMs);
}

FolderLock::FolderLock(int folderFd, Mode mode, int waitMs) : m_fd(folderFd)
{
    if (m_fd >= 0)
        acquire(mode, waitMs);
}

void FolderLock::acquire(Mode mode, int waitMs)
{
    const int operation = mode == Mode::Exclusive ? LOCK_EX : LOCK_SH;
    // The common case costs one call; only a lock held elsewhere starts the clock.
    if (::flock(m_fd, operation | LOCK_NB) == 0) {
        m_locked = true;
        return;
    }
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (errno != EINTR) {
            if (errno != EWOULDBLOCK || waited.elapsed() >= waitMs)
                return;
            // Another store holds it for the millisecond or so of a rewrite.
            QThread::usleep(500);
        }
        if (::flock(m_fd, operation | LOCK_NB) == 0) {
            m_locked = true;
            return;
        }
    }
}

void FolderLock::unlock()
{
    if (m_locked)
        ::flock(m_fd, LOCK_UN);
    m_locked = false;
}

FolderLock::~FolderLock()
{
    unlock();
    if (m_ownsFd)
        ::close(m_fd);
}

} // namespace wendlecott::platform
