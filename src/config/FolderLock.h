#pragma once

#include "core/base/Result.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace wendlecott::config {

// The lock a program takes on its program folder while it may write there (lists, the
// unanswered names, TLDs.txt): two runs filing into one folder would lose each other's
// names. The lock is a file in the folder that names the process holding it; one left by a
// process that has died is taken over. The lock is released when the object goes.
class FolderLock {
public:
    static constexpr char kLockFileName[] = ".wendlecott.lock";

    explicit FolderLock(const QString &folder);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Takes the lock without waiting. When another process holds it: a failure whose
    // message names the folder and that process (its id, program and machine).
    core::Status acquire();
    bool isHeld() const { return m_lock->isLocked(); }

private:
    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace wendlecott::config
