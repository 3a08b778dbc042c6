#pragma once

#include "browse/BrowseChecker.h"
#include "browse/FoundNames.h"
#include "browse/PageExtraction.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <deque>
#include <memory>

namespace wendlecott::browse {

// One opening of the browse window without its widgets: the names found so far, the
// extractions of the documents its two web views load, the frames the second view is sent
// to, and the checker that asks about the names.
//
// Extractions run in slices from the event loop (a few milliseconds each), so a large page
// never holds the window; two documents that complete close together are extracted one after
// the other and share the names found. Hostile pages are bounded: a document's markup is
// cut at kMaxMarkupChars, one page sends the second view to at most kMaxFramesPerPage frames
// (one at a time, each given kFrameWaitMs to load, each address once, web addresses only), at
// most kMaxPendingExtractions wait, and once kMaxSeenNames names have been seen (the duplicate
// test's memory grows with them) no page gives more until the Unregistered list is cleared.
class BrowseSession final : public QObject {
    Q_OBJECT
public:
    enum class View { Page, Frames }; // WebBrowser1, WebBrowser2

    static constexpr qsizetype kMaxMarkupChars = qsizetype(4) << 20;
    static constexpr int kMaxFramesPerPage = 16;
    static constexpr qint64 kFrameWaitMs = 30000;
    static constexpr std::size_t kMaxPendingExtractions = 4;
    static constexpr qsizetype kMaxSeenNames = 200000;
    // One slice of extraction works until this much time has passed, or this many lines.
    static constexpr qint64 kSliceMs = 8;
    static constexpr qsizetype kLinesPerSlice = 4096;

    BrowseSession(BrowseEnvironment environment, const QString &programFolder, core::Scheduler &scheduler,
                  const core::Timing &timing, std::unique_ptr<core::WhoisConnection> connection,
                  QObject *parent = nullptr);
    ~BrowseSession() override;

    BrowseChecker &checker() { return m_checker; }
    const BrowseChecker &checker() const { return m_checker; }
    const FoundNames &found() const { return m_found; }

    // The window opens: an empty queue, the dispatcher ticking.
    void open();
    // The window closes: extractions and frames dropped, the checker closed.
    void close();

    // WebBrowser1 begins to load a page.
    void pageLoadStarted();
    // A view's document finished loading; `markup` is the inner markup of its body.
    void documentComplete(View view, QString markup);
    bool isExtracting() const { return !m_extractions.empty(); }
    // Frame addresses waiting for the second view.
    const QList<QUrl> &pendingFrames() const { return m_frames; }
    // The address of a frame as the second view loads it: without a scheme, a web address;
    // an empty address for anything but http and https (a page must not make us read files).
    static QUrl frameUrl(const QString &address);

    // Lowers the seen-names limit (tests).
    void setMaxSeenNames(qsizetype limit) { m_maxSeenNames = limit; }

    // Clear Cache: deletes the list builder's scratch file; true when there was one (the
    // window then reloads its page).
    bool clearCache();

Q_SIGNALS:
    // The second view should load this frame's address.
    void frameRequested(const QUrl &address);
    // An extraction ended and its names are queued.
    void extractionFinished(wendlecott::browse::BrowseSession::View view, qsizetype names);

private:
    struct Extraction {
        View view = View::Page;
        std::unique_ptr<PageExtraction> extraction;
        qsizetype findingsSeen = 0;
        qsizetype names = 0;
    };

    void runSlice();
    void takeFindings(Extraction &pending);
    void finishExtraction(Extraction &pending);
    void abandonOldest();
    void abandonAll();
    void followFrame(const QString &address);
    void loadNextFrame();
    void frameLoaded();

    BrowseEnvironment m_env;
    QString m_programFolder;
    core::Scheduler &m_scheduler;
    FoundNames m_found;
    BrowseChecker m_checker;
    std::deque<Extraction> m_extractions;
    core::SingleShot m_slice;
    core::SingleShot m_frameWait;
    QList<QUrl> m_frames;
    QSet<QUrl> m_followedThisPage;
    qsizetype m_maxSeenNames = kMaxSeenNames;
    bool m_frameViewBusy = false;
    bool m_open = false;
};

} // namespace wendlecott::browse
