#pragma once

#include "config/ProgramFolder.h"
#include "config/SettingsStore.h"
#include "core/base/Result.h"
#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/lookup/HttpClient.h"
#include "core/tld/TldTable.h"
#include "sources/PageFetch.h"
#include "sources/SearchAddress.h"
#include "sources/SearchExtraction.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace wendlecott::sources {

// What one list-builder run searches for: the main window's txtSearch text as typed, the
// engine from Combo1, the target from Combo2 (searchTarget) and where the engine is asked.
struct ListBuilderRequest {
    QString searchText;
    SearchEngine engine = SearchEngine::Google;
    qint32 target = 100;
    SearchEndpoint endpoint;
};

// The request of the list builder as the main window opens it: txtSearch's text, Combo1's
// caption and Combo2's position, the endpoint from the settings. Nothing when the caption
// names no search engine.
std::optional<ListBuilderRequest> makeListBuilderRequest(const QString &searchText,
                                                         const QString &sourceCaption, int combo2Position,
                                                         const config::SettingsStore &settings);

// How a run ended.
struct ListBuilderResult {
    core::Status written;  // BrowserSearch.txt; a list that was not written is not checked
    qint32 totalFound = 0; // unique names collected over all pages
    qint32 entryCount = 0; // the entries of BrowserSearch.txt, for txtWordMax
    QString listPath;      // BrowserSearch.txt
    QString savedCopyPath; // the copy under "Searches"
    bool savedCopyWritten = false;
};

// Lines of a page handled between returns to the event loop, and the size of the parts a
// large page is prepared in (each is cut at the line end that follows).
inline constexpr qsizetype kListBuilderSliceLines = 256;
inline constexpr qsizetype kListBuilderPartChars = 128 * 1024;
// The bytes of a fetched page turned into text per step.
inline constexpr qsizetype kListBuilderTextStepBytes = 1 << 20;

// One opening of the list builder: fetches an engine's result pages for a query, harvests
// the names they link to (SearchExtraction), writes them to BrowserSearch.txt with a copy
// under "Searches", and reports the count so that the caller starts a check run. Nothing
// blocks: the start ticks, the fetches, the pause between pages and the reading of a page
// (its bytes made text a megabyte at a time, its text prepared in parts, its lines read in
// slices) all return to the event loop in between, and abandon() stops the run wherever it
// is without writing anything.
//
//   idle --start--> waiting --(tick listBuilderStartTicks)--> fetching --page--> extracting
//   extracting --(slices)...--> pausing --(listBuilderPageWaitMs)--> fetching (next page)
//                                      \--(target reached, or the page added nothing)--> finished
//   any state --abandon--> abandoned
//
// The stop rule is checked between pages only, so the last page may take the count past the
// target. A page that cannot be fetched adds nothing and so ends the run.
class ListBuilder : public QObject {
    Q_OBJECT
public:
    enum class Phase { Idle, Waiting, Fetching, Extracting, Pausing, Held, Finished, Abandoned };

    // The text of the status box while the finished list waits for a check run to end.
    static inline const QString kHeldStatus =
        QStringLiteral("Waiting for the check run to end before the list is written...");

    ListBuilder(ListBuilderRequest request, const core::TldTable &table, config::ProgramFolder folder,
                core::HttpClient &http, core::Scheduler &scheduler, const core::Timing &timing,
                QObject *parent = nullptr);
    ~ListBuilder() override;

    // Starts the run: a SearchOutput.txt left by an earlier run is deleted, the count starts
    // at 0 and the start timer ticks; the first page is fetched at its third tick.
    void start();
    // Stops the run wherever it is: the fetch is dropped, no file is written, no result
    // follows. Nothing happens after a finished run.
    void abandon();

    void setSliceLines(qsizetype lines) { m_sliceLines = qMax<qsizetype>(1, lines); }
    // While `listInUse` says so, a finished run does not replace BrowserSearch.txt (a check
    // run may be reading it): it is held, says so with held(), and writes on writeHeldList().
    void setListInUse(std::function<bool()> listInUse) { m_listInUse = std::move(listInUse); }
    // Writes the held list and reports it with finished(); nothing in any other phase.
    void writeHeldList();

    Phase phase() const { return m_phase; }
    const QString &status() const { return m_status; }
    const ListBuilderRequest &request() const { return m_request; }
    // The query as it goes into the page addresses.
    const QString &queryField() const { return m_queryField; }
    // The result index of the page being fetched (or the last one): 1, then 101, 201 ...
    // on Google, 1, 21, 41 ... on Yahoo.
    qint32 startIndex() const { return m_startIndex; }
    int pagesFetched() const { return m_pagesFetched; }
    qint32 totalFound() const;
    // The extraction of this run (its names so far); null before start.
    const SearchExtraction *extraction() const { return m_extraction.get(); }

Q_SIGNALS:
    // Every text for the status box: download progress, the count, the closing text.
    void statusChanged(const QString &text);
    // The run ended; the result tells whether the list was written. Emitted once.
    void finished(const wendlecott::sources::ListBuilderResult &result);
    // The names are all found, and the list waits until writeHeldList().
    void held();

private:
    void onStartTick();
    void fetchCurrentPage();
    void onPageFetched(const QByteArray &body);
    void readPageText();
    void extractSlice();
    void afterPause();
    void finish();
    ListBuilderResult writeList();
    void setStatus(const QString &text);

    ListBuilderRequest m_request;
    core::TldTable m_table;
    config::ProgramFolder m_folder;
    core::Timing m_timing;
    QString m_queryField;
    Phase m_phase = Phase::Idle;
    QString m_status;
    qsizetype m_sliceLines = kListBuilderSliceLines;
    std::function<bool()> m_listInUse;

    std::unique_ptr<SearchExtraction> m_extraction;
    QByteArray m_body;  // the page being turned into text
    QString m_pageText; // its text so far
    qint32 m_startIndex = 1;
    int m_tickCount = 0;
    int m_pagesFetched = 0;

    PageFetch m_fetch;
    core::PeriodicTimer m_startTimer; // Timer1
    core::SingleShot m_nextStep;      // the next extraction slice, or the pause between pages
};

} // namespace wendlecott::sources

Q_DECLARE_METATYPE(wendlecott::sources::ListBuilderResult)
