#include "sources/ListBuilder.h"

#include "core/base/TextFile.h"
#include "sources/ListSource.h"

#include <QDir>
#include <QFile>

#include <utility>

namespace wendlecott::sources {

std::optional<ListBuilderRequest> makeListBuilderRequest(const QString &searchText,
                                                         const QString &sourceCaption, int combo2Position,
                                                         const config::SettingsStore &settings)
{
    const std::optional<SearchEngine> engine = searchEngineFor(sourceCaption);
    if (!engine)
        return std::nullopt;
    return ListBuilderRequest{searchText, *engine, searchTarget(combo2Position),
                              searchEndpoint(settings, *engine)};
}

ListBuilder::ListBuilder(ListBuilderRequest request, const core::TldTable &table,
                         config::ProgramFolder folder, core::HttpClient &http, core::Scheduler &scheduler,
                         const core::Timing &timing, QObject *parent)
    : QObject(parent)
    , m_request(std::move(request))
    , m_table(table)
    , m_folder(std::move(folder))
    , m_timing(timing)
    , m_queryField(searchQueryField(m_request.searchText))
    , m_fetch(http)
    , m_startTimer(scheduler, [this] { onStartTick(); })
    , m_nextStep(scheduler)
{
    qRegisterMetaType<ListBuilderResult>();
    connect(&m_fetch, &PageFetch::statusChanged, this, &ListBuilder::setStatus);
    connect(&m_fetch, &PageFetch::pageFetched, this, &ListBuilder::onPageFetched);
}

ListBuilder::~ListBuilder()
{
    abandon();
}

qint32 ListBuilder::totalFound() const
{
    return m_extraction ? m_extraction->totalFound() : 0;
}

void ListBuilder::start()
{
    if (m_phase != Phase::Idle)
        return;
    // The extraction works in memory; a scratch file left behind by an earlier version or a
    // crash holds another query's text and must not reach this list.
    const QString scratch = m_folder.path(kSearchOutputFile);
    if (QFile::exists(scratch))
        (void)QFile::remove(scratch);
    m_extraction = std::make_unique<SearchExtraction>(m_table);
    m_startIndex = 1;
    m_tickCount = 0;
    m_phase = Phase::Waiting;
    m_startTimer.start(m_timing.tickMs);
}

void ListBuilder::abandon()
{
    if (m_phase == Phase::Finished || m_phase == Phase::Abandoned)
        return;
    m_phase = Phase::Abandoned;
    m_startTimer.stop();
    m_nextStep.cancel();
    m_fetch.abort();
    m_body = QByteArray();
    m_pageText = QString();
}

void ListBuilder::onStartTick()
{
    if (m_phase != Phase::Waiting)
        return;
    if (++m_tickCount < m_timing.listBuilderStartTicks)
        return;
    m_startTimer.stop();
    fetchCurrentPage();
}

void ListBuilder::fetchCurrentPage()
{
    m_phase = Phase::Fetching;
    ++m_pagesFetched;
    m_fetch.fetchPage(searchPageAddress(m_request.engine, m_request.endpoint, m_queryField, m_startIndex));
}

void ListBuilder::onPageFetched(const QByteArray &body)
{
    if (m_phase != Phase::Fetching)
        return;
    m_phase = Phase::Extracting;
    m_body = body;
    m_pageText.clear();
    m_pageText.reserve(m_body.size());
    // The page is read after the window has had its turn.
    m_nextStep.start(0, [this] { readPageText(); });
}

// The page's bytes become text a piece at a time, then its lines are read.
void ListBuilder::readPageText()
{
    const qsizetype done = m_pageText.size();
    appendPageText(m_pageText, QByteArrayView(m_body).sliced(
                                   done, qMin(kListBuilderTextStepBytes, m_body.size() - done)));
    if (m_pageText.size() < m_body.size()) {
        m_nextStep.start(0, [this] { readPageText(); });
        return;
    }
    m_body = QByteArray();
    m_extraction->beginPage(std::exchange(m_pageText, QString()), kListBuilderPartChars);
    m_nextStep.start(0, [this] { extractSlice(); });
}

void ListBuilder::extractSlice()
{
    const bool done = m_extraction->processLines(m_sliceLines);
    setStatus(m_extraction->statusText());
    if (m_phase != Phase::Extracting)
        return; // abandoned by whoever heard the status
    if (!done) {
        m_nextStep.start(0, [this] { extractSlice(); });
        return;
    }
    m_phase = Phase::Pausing;
    m_nextStep.start(m_timing.listBuilderPageWaitMs, [this] { afterPause(); });
}

void ListBuilder::afterPause()
{
    if (m_extraction->wantsNextPage(m_request.target)) {
        m_startIndex = nextStartIndex(m_request.engine, m_startIndex);
        fetchCurrentPage();
        return;
    }
    finish();
}

void ListBuilder::finish()
{
    if (m_listInUse && m_listInUse()) {
        m_phase = Phase::Held;
        setStatus(kHeldStatus);
        Q_EMIT held();
        return;
    }
    m_phase = Phase::Finished;
    const ListBuilderResult result = writeList();
    setStatus(result.written ? finishedStatusText(result.totalFound) : result.written.message());
    Q_EMIT finished(result);
}

void ListBuilder::writeHeldList()
{
    if (m_phase != Phase::Held)
        return;
    m_listInUse = nullptr; // asked to write now: written whatever runs
    finish();
}

// BrowserSearch.txt replaced whole, then its copy under "Searches"; a copy that cannot be
// made is left out without a word, the list itself is checked all the same.
ListBuilderResult ListBuilder::writeList()
{
    ListBuilderResult result;
    result.totalFound = m_extraction->totalFound();
    result.listPath = m_folder.path(kBrowserSearchFile);
    const QByteArray bytes = core::encodeText(m_extraction->finishedListText());
    result.written = core::writeFileAtomically(result.listPath, bytes);
    if (!result.written)
        return result;
    result.entryCount = countEntries(result.listPath);
    const QString searches = m_folder.path(kSearchesFolder);
    result.savedCopyPath = m_folder.path(kSearchesFolder + QLatin1Char('\\') +
                                         savedSearchFileName(m_request.engine, m_request.searchText));
    if (QDir().mkpath(searches))
        result.savedCopyWritten = core::writeFileAtomically(result.savedCopyPath, bytes).ok();
    return result;
}

void ListBuilder::setStatus(const QString &text)
{
    if (text == m_status)
        return;
    m_status = text;
    Q_EMIT statusChanged(m_status);
}

} // namespace wendlecott::sources
