#pragma once

#include "sources/SeenNames.h"

#include <QString>
#include <QStringList>

namespace wendlecott::browse {

// What the browse window knows of the names its extractions found: the names accepted since
// the last flush to the queue file (pageNames), every name accepted since the window opened
// or the Unregistered list was last cleared (seenNames, the duplicate test), and the two
// counts. One per browse window; every extraction of that window reads and updates it, also
// two extractions that run interleaved.
class FoundNames {
public:
    // Names accepted since the window opened: the length of the queue.
    qint32 foundTotal() const { return m_foundTotal; }
    // Names accepted since the last navigation began.
    qint32 foundOnPage() const { return m_foundOnPage; }
    const QStringList &pageNames() const { return m_pageNames; }
    const sources::SeenNames &seenNames() const { return m_seenNames; }

    // True when `name` occurs anywhere in the seen names (without regard to case), so that
    // "ample.com" is seen once "example.com" is.
    bool isSeen(const QString &name) const { return m_seenNames.contains(name); }
    // Takes a name: into pageNames and seenNames, both counts up by one.
    void accept(const QString &name);

    // The web view begins to load a page: foundOnPage starts again from 0.
    void startPage() { m_foundOnPage = 0; }
    // The Unregistered list was cleared: pageNames and seenNames are emptied, so names met
    // before can be queued again. The counts stay.
    void forgetSeenNames();

    // What an extraction appends to the queue file BrowserSearch.txt when it ends: the
    // names of pageNames, each followed by CR LF, then one CR LF more. pageNames is emptied.
    QString takeQueueText();

private:
    QStringList m_pageNames;
    sources::SeenNames m_seenNames;
    qint32 m_foundTotal = 0;
    qint32 m_foundOnPage = 0;
};

} // namespace wendlecott::browse
