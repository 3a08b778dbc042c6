#include "browse/BrowseSession.h"

#include "core/base/Paths.h"

#include <QFile>

namespace wendlecott::browse {

BrowseSession::BrowseSession(BrowseEnvironment environment, const QString &programFolder,
                             core::Scheduler &scheduler, const core::Timing &timing,
                             std::unique_ptr<core::WhoisConnection> connection, QObject *parent)
    : QObject(parent)
    , m_env(environment)
    , m_programFolder(programFolder)
    , m_scheduler(scheduler)
    , m_checker(environment, m_found, core::resolveUnder(programFolder, core::kBrowserSearchFile), scheduler,
                timing, std::move(connection))
    , m_slice(scheduler)
    , m_frameWait(scheduler)
{
}

BrowseSession::~BrowseSession()
{
    m_slice.cancel();
    m_frameWait.cancel();
}

void BrowseSession::open()
{
    m_open = true;
    m_checker.open();
}

void BrowseSession::close()
{
    m_open = false;
    m_slice.cancel();
    m_frameWait.cancel();
    m_extractions.clear();
    m_frames.clear();
    m_frameViewBusy = false;
    m_checker.close();
}

void BrowseSession::pageLoadStarted()
{
    m_found.startPage();
    m_checker.setPanel(BrowsePanel::Page, QStringLiteral("Waiting for page to load"));
    // Frames of the page being left are not followed any more.
    m_frames.clear();
    m_followedThisPage.clear();
}

void BrowseSession::documentComplete(View view, QString markup)
{
    if (!m_open)
        return;
    if (markup.size() > kMaxMarkupChars)
        markup.truncate(kMaxMarkupChars);
    if (m_found.seenNames().size() >= m_maxSeenNames)
        markup.clear(); // nothing more is taken: the document ends at once
    if (m_extractions.size() >= kMaxPendingExtractions)
        abandonOldest();
    Extraction pending;
    pending.view = view;
    pending.extraction = std::make_unique<PageExtraction>(m_found, m_env.run.table, markup);
    m_extractions.push_back(std::move(pending));
    if (view == View::Frames)
        frameLoaded();
    if (!m_slice.isActive())
        m_slice.start(0, [this] { runSlice(); });
}

void BrowseSession::runSlice()
{
    const qint64 start = m_scheduler.now();
    qsizetype lines = 0;
    constexpr qsizetype kLinesPerStep = 64;
    while (!m_extractions.empty() && lines < kLinesPerSlice && m_scheduler.now() - start < kSliceMs) {
        if (m_found.seenNames().size() >= m_maxSeenNames) {
            abandonAll();
            return;
        }
        Extraction &pending = m_extractions.front();
        const bool done = pending.extraction->step(kLinesPerStep);
        lines += kLinesPerStep;
        takeFindings(pending);
        if (done) {
            Extraction finished = std::move(pending);
            m_extractions.pop_front();
            finishExtraction(finished);
        }
    }
    if (!m_extractions.empty())
        m_slice.start(0, [this] { runSlice(); });
}

void BrowseSession::takeFindings(Extraction &pending)
{
    const ExtractedPage &result = pending.extraction->result();
    for (; pending.findingsSeen < result.findings.size(); ++pending.findingsSeen) {
        const PageFinding &finding = result.findings.at(pending.findingsSeen);
        if (finding.kind == PageFinding::Kind::Frame)
            followFrame(finding.text);
        else
            ++pending.names;
    }
    if (!result.statusText.isEmpty())
        m_checker.setPanel(BrowsePanel::Page, result.statusText);
}

void BrowseSession::finishExtraction(Extraction &pending)
{
    m_checker.appendToQueue(pending.extraction->result().queueText);
    Q_EMIT extractionFinished(pending.view, pending.names);
    m_checker.dispatchNextName();
}

// Too many documents wait: the oldest ends where it is. What it found so far is queued now
// (with the names of any other extraction not yet flushed).
void BrowseSession::abandonOldest()
{
    Extraction oldest = std::move(m_extractions.front());
    m_extractions.pop_front();
    m_checker.appendToQueue(m_found.takeQueueText());
    Q_EMIT extractionFinished(oldest.view, oldest.names);
}

QUrl BrowseSession::frameUrl(const QString &address)
{
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return {};
    return url;
}

void BrowseSession::abandonAll()
{
    while (!m_extractions.empty())
        abandonOldest();
    m_checker.dispatchNextName();
}

void BrowseSession::followFrame(const QString &address)
{
    const QUrl url = frameUrl(address);
    if (url.isEmpty() || m_followedThisPage.size() >= kMaxFramesPerPage || m_followedThisPage.contains(url))
        return;
    m_followedThisPage.insert(url);
    m_frames.append(url);
    loadNextFrame();
}

// The second view loads one frame at a time: a new address would cancel the one loading.
void BrowseSession::loadNextFrame()
{
    if (m_frameViewBusy || m_frames.isEmpty())
        return;
    m_frameViewBusy = true;
    m_frameWait.start(kFrameWaitMs, [this] { frameLoaded(); });
    Q_EMIT frameRequested(m_frames.takeFirst());
}

void BrowseSession::frameLoaded()
{
    m_frameWait.cancel();
    m_frameViewBusy = false;
    loadNextFrame();
}

bool BrowseSession::clearCache()
{
    const QString scratch = core::resolveUnder(m_programFolder, core::kSearchOutputFile);
    return QFile::exists(scratch) && QFile::remove(scratch);
}

} // namespace wendlecott::browse
