#pragma once

#include <QString>

namespace wendlecott::platform {

// An advisory lock on a folder (flock on the folder itself), so that two stores (or the two
// programs) do not lose each other's writes. It takes no file of its own and writes nothing.
// Exclusive holders change files in the folder; shared holders read them or append to a
// journal, which many may do at once. A lock that cannot be had within `waitMs` is not
// waited for any longer: the caller goes ahead without it rather than hang.
class FolderLock {
public:
    enum class Mode { Exclusive, Shared };

    // Opens `folder` and holds an exclusive lock on it until destroyed.
    explicit FolderLock(const QString &folder, int waitMs = 2000);
    // Locks a folder that the caller keeps open as `folderFd`; the descriptor stays open.
    FolderLock(int folderFd, Mode mode, int waitMs = 2000);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    bool isLocked() const { return m_locked; }
    // Gives the lock up before the end of the scope.
    void unlock();

private:
    void acquire(Mode mode, int waitMs);

    int m_fd = -1;
    bool m_ownsFd = false;
    bool m_locked = false;
};

} // namespace wendlecott::platform
