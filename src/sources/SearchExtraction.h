#pragma once

#include "core/tld/TldTable.h"
#include "sources/EnabledExtensions.h"
#include "sources/ExtractionRules.h"
#include "sources/SeenNames.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace wendlecott::sources {

// A fetched page as the list builder reads it: one character per byte.
QString pageTextFromBytes(const QByteArray &body);

// How many names the list builder collects before it stops, from the main window's Combo2
// position: 100, 200, 500 or 1000; nothing selected (or an unknown position) gives 100.
qint32 searchTarget(int combo2Position);

// The status box texts and the closing message of the list builder.
QString extractedStatusText(qint32 totalFound);    // "Extracted N unique domain names"
QString finishedStatusText(qint32 totalFound);     // "Finished! Extracted N domain names."
QString listCreatedMessageText(qint32 totalFound); // "List of N unique domains was created successfully!"

// CR LF CR LF replaced by CR LF, seven passes over the whole text (the list's Finish).
QString collapseEmptyLines(const QString &listText);

// The list builder's extraction over the result pages of one run (one opening of the list
// builder): the names in the order found, with one duplicate test across all the pages.
//
// For each line of a prepared page (normalisePageText), decoded with decodePageLine: a line
// that passes the address test loses its "http://", its first "<b>" and its first "<B>", goes
// through the address path, and its name is taken when the shared tests pass and it occurs
// nowhere in the names taken so far (without regard to case).
//
// A page can be handled whole (addPage) or a few lines at a time (beginPage, then
// processLines until it gives true), so that a window can show the count in between.
// Preparing the text costs time in proportion to its length, so a large page can be prepared
// in parts: cut after a line feed once a part holds `partChars` characters, each part
// prepared when the lines before it are done. No replacement spans a line feed, so the names
// are those of the page prepared whole. A page without line feeds is one part.
//
// One page gives at most kMaxNamesPerPage names (far more than a search asks for, 1000 at
// most); the rest of such a page is passed over, so a hostile page cannot fill the memory
// with the duplicate test.
class SearchExtraction {
public:
    static constexpr qint32 kMaxNamesPerPage = 50000;

    explicit SearchExtraction(const core::TldTable &table);

    // Starts a page: foundOnLastPage goes to 0, the text (or its first part, with
    // `partChars` > 0) is prepared and read from its first line. A page not yet finished is
    // abandoned.
    void beginPage(const QString &pageText, qsizetype partChars = 0);
    // Handles up to `maxLines` more lines of the page, or prepares its next part; true when
    // the page is done.
    bool processLines(qsizetype maxLines);
    bool pageDone() const { return !m_page.has_value() && !m_rest.has_value(); }
    // The whole page at once; gives the number of names it added.
    qint32 addPage(const QString &pageText);

    qint32 totalFound() const { return m_totalFound; }
    qint32 foundOnLastPage() const { return m_foundOnLastPage; }
    const QStringList &names() const { return m_seen.names(); }
    // The names, each followed by CR LF.
    QString listText() const { return m_seen.text(); }
    QString statusText() const { return extractedStatusText(m_totalFound); }

    // The stop rule between pages: another page is fetched while fewer than `target` names
    // are collected and the last page added at least one.
    bool wantsNextPage(qint32 target) const { return m_totalFound < target && m_foundOnLastPage > 0; }

    // What the list file BrowserSearch.txt holds at Finish: the list with its empty lines
    // collapsed, then one CR LF more (a run that found nothing writes one empty line).
    QString finishedListText() const;

private:
    void processLine(QStringView raw);
    void prepareNextPart();

    // The parts of a page not yet prepared.
    struct RestOfPage {
        QString text;
        qsizetype position = 0;
        qsizetype partChars = 0;
    };

    EnabledExtensions m_extensions;
    SeenNames m_seen;
    std::optional<PageLines> m_page;
    std::optional<RestOfPage> m_rest;
    qint32 m_totalFound = 0;
    qint32 m_foundOnLastPage = 0;
};

} // namespace wendlecott::sources
