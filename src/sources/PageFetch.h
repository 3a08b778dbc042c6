#pragma once

#include "core/lookup/HttpClient.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

namespace wendlecott::sources {

// The bounds of one result page: a longer page, or one that makes no progress for this long,
// is a page that could not be fetched.
inline constexpr qint64 kMaxPageBytes = qint64(16) << 20;
inline constexpr qint64 kPageStallTimeoutMs = 30000;

// "Downloaded N bytes.", the progress text of a page under way.
QString downloadedStatusText(qint64 bytesSoFar);

// The request of a result page: user agent "Mozilla", straight to the server (no proxy),
// never answered from a cache, with "Pragma: no-cache" so that caches on the way ask the
// origin server; bounded in size and in time without progress.
core::HttpRequest pageRequest(const QUrl &url);

// The page of an ended fetch: the body of a whole answer with a success status (after
// redirects); nothing for anything else (no connection, an error status, a page over the size
// limit, a stalled fetch).
QByteArray pageBodyOf(const core::HttpResponse &response);

// Appends page bytes to page text, one character per byte (the byte's value is the
// character's code), as pageTextFromBytes reads a whole page. A large page is read in pieces
// so that no single step holds the event loop long.
void appendPageText(QString &text, QByteArrayView bytes);

// fetchPage over the HTTP port. The fetch never blocks: progress and the page arrive as
// signals from the event loop. After each chunk after the first, statusChanged carries
// "Downloaded N bytes.". Ends with pageFetched, whose body is empty when the page could not
// be fetched; nothing else is reported then.
class PageFetch : public QObject {
    Q_OBJECT
public:
    explicit PageFetch(core::HttpClient &client, QObject *parent = nullptr);
    ~PageFetch() override;

    // Starts fetching `url`; a fetch under way is abandoned first.
    void fetchPage(const QUrl &url);
    // Abandons the fetch under way; no pageFetched follows.
    void abort();
    bool isFetching() const { return m_fetch != nullptr; }

Q_SIGNALS:
    void statusChanged(const QString &text);
    void pageFetched(const QByteArray &body);

private:
    void onProgress(qint64 bytesSoFar);
    void onFinished(const core::HttpResponse &response);

    core::HttpClient &m_client;
    std::unique_ptr<core::HttpFetch> m_fetch;
    // A fetch that has ended, kept until the next one starts: it may still be inside the
    // signal that ended it.
    std::unique_ptr<core::HttpFetch> m_ended;
    int m_chunks = 0;
};

} // namespace wendlecott::sources
