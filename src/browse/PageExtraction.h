#pragma once

#include "browse/FoundNames.h"
#include "core/tld/TldTable.h"
#include "sources/EnabledExtensions.h"
#include "sources/ExtractionRules.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace wendlecott::browse {

// Status panel 2 texts of the browse window that the extraction sets.
inline const QString kDomainsFoundText = QStringLiteral("Domains Found, Checking Status");
inline const QString kNoDomainsFoundText = QStringLiteral("No Domains Found");
inline const QString kFollowingFrameText = QStringLiteral("Following Frame: ");

// Walks the TLD table in order; for the first row that is enabled, is not "proxy" and whose
// "." + extension occurs in `text` (without regard to case), the position (from 1) just after
// the first such occurrence of the extension. 0 when there is none.
qsizetype positionAfterExtension(const QString &text, const core::TldTable &table);

// A name accepted or a frame to follow, in the order the document gave them.
struct PageFinding {
    enum class Kind { Name, Frame };
    Kind kind = Kind::Name;
    QString text; // the name, or the frame's address without its scheme
};

// What one extraction gave.
struct ExtractedPage {
    QList<PageFinding> findings;
    // Text to append to the queue file BrowserSearch.txt (FoundNames::takeQueueText), set
    // when the extraction ends.
    QString queueText;
    // Status panel 2 as the extraction left it.
    QString statusText;

    QStringList names() const;
    // The addresses the second web view is sent to, in turn.
    QStringList frames() const;
};

// One extraction of names from the body markup of a loaded document, for the browse window.
//
// The markup is prepared (normalisePageText) and read line by line; each line is decoded
// (decodePageLine). A line holding "<Frame" and "src=" announces a frame: the next line and
// the raw line after it give the frame's address. A line that passes the address test goes
// through the address path; another line that holds an enabled extension goes through the
// plain-text path, which cuts the candidate out of running text (an e-mail address gives its
// domain). A name is taken when the shared tests pass and it is not among the seen names.
//
// The extraction runs whole (run) or a few lines at a time (step), so a window can return to
// its event loop in between; two extractions over one FoundNames may interleave.
class PageExtraction {
public:
    PageExtraction(FoundNames &found, const core::TldTable &table, const QString &markup);

    // Handles up to `maxLines` more lines; true when the extraction has ended. At the end the
    // names gathered in FoundNames are flushed into result().queueText and the status is
    // "No Domains Found" or "Domains Found, Checking Status" by the page's count.
    bool step(qsizetype maxLines);
    // All remaining lines.
    const ExtractedPage &run();
    bool isFinished() const { return m_finished; }
    const ExtractedPage &result() const { return m_result; }

private:
    void processLine(QStringView raw);
    void followFrame(const QString &line);
    void takeAddress(QString line);
    void takePlainText(const QString &line);
    void offer(const sources::Candidate &candidate, bool testTargetBlank);
    void finish();

    FoundNames &m_found;
    sources::EnabledExtensions m_extensions;
    sources::PageLines m_lines;
    bool m_framePending = false;
    bool m_finished = false;
    ExtractedPage m_result;
};

// The whole extraction at once.
ExtractedPage extractPageNames(FoundNames &found, const core::TldTable &table, const QString &markup);

} // namespace wendlecott::browse
