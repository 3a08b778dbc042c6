#pragma once

#include <QString>

namespace wendlecott::platform {

// An advisory lock on a folder, held while an INI file in it is read, changed and written
// back, so that two stores (or the two programs) do not lose each other's writes. It takes
// no file of its own and writes nothing. A lock that cannot be had within `waitMs` is not
// waited for any longer: the caller goes ahead without it rather than hang.
class FolderLock {
public:
    explicit FolderLock(const QString &folder, int waitMs = 2000);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    bool isLocked() const { return m_locked; }

private:
    int m_fd = -1;
    bool m_locked = false;
};

} // namespace wendlecott::platform
