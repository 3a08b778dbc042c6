#pragma once

#include "core/base/Result.h"

#include <QString>

#include <functional>

namespace wendlecott::core {

struct LookupEvidence;

// Stands for the end of the list wherever a list entry is expected.
inline const QString kEndOfListSentinel = QStringLiteral("endoffileffile");

// How a run gets its names: entry p of the list (or the end-of-list sentinel, or an error
// when the list cannot be read), the domain a run looks up for an entry, and where the
// position of the next entry is stored as each name is taken.
// What both programs say when a list cannot be read: the cause where the list was refused
// (not a regular file, an entry over the length limit), else "File " + path + " not found.".
inline QString unreadableListText(ErrorCode code, const QString &cause, const QString &shownPath)
{
    return code == ErrorCode::InvalidInput ? cause : QStringLiteral("File %1 not found.").arg(shownPath);
}

struct RunSource {
    std::function<Result<QString>(qint32 position)> readEntry;
    std::function<QString(const QString &entry)> domainFor;
    // The domain for an entry with `extension` (no dot) in place of the chosen one, for a run
    // over several extensions; empty: the entry gives the one domain of domainFor.
    std::function<QString(const QString &entry, const QString &extension)> domainForExtension;
    std::function<void(qint32 nextPosition)> storePosition;
    QString listPath; // named in the message when the list cannot be read
    // Entries are appended while the run goes (the browse window's queue): at the end of the
    // list the run waits for more (CheckRun::sourceGrew, or its next tick) instead of ending.
    bool grows = false;
    // Whether a verdict is filed; empty: every one. A verdict not filed finishes its name.
    std::function<bool(const LookupEvidence &evidence)> filesVerdict;
};

} // namespace wendlecott::core
