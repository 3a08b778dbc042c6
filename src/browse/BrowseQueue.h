#pragma once

#include "core/base/Result.h"
#include "sources/ListSource.h"

#include <QString>

namespace wendlecott::browse {

// The names waiting to be checked, kept in the queue file: each extraction appends its
// names (each followed by CR LF) and one empty line. The queued name with index i is the
// (i+1)-th line that holds a name. The file is read from the top when it changed, so a
// queue that grows by thousands of names is still read once per change, not once per name.
class BrowseQueue {
public:
    explicit BrowseQueue(QString path) : m_path(std::move(path)) {}

    const QString &path() const { return m_path; }

    // Deletes the file (when the window opens and when it closes): the queue starts empty.
    void remove();
    // Appends an extraction's text; the file is made when missing.
    core::Status append(const QString &text);
    // The queued name with that index (from 0), or core::kEndOfListSentinel when the queue
    // has no such name or the file does not exist.
    QString readQueuedName(qint32 index);

private:
    QString m_path;
    sources::ListReader m_reader;
};

} // namespace wendlecott::browse
