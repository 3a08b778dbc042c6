#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace wendlecott::core {

// The port an http or https address goes to: its own, else its scheme's (443 or 80).
inline quint16 httpPort(const QUrl &url)
{
    return quint16(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

// One HTTP GET as the program asks for it: result pages of the list builder, RDAP answers,
// the RDAP bootstrap file. Every fetch is bounded in size, in redirects and in time.
struct HttpRequest {
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers; // sent as given, e.g. Accept, Pragma
    QByteArray userAgent;                         // empty: the adapter's own
    bool noCache = false;              // never answered from a cache; "Pragma: no-cache" is a header
    bool noProxy = false;              // straight to the server, whatever the system says
    int maxRedirects = 5;              // 0: redirects are not followed
    qint64 maxBytes = qint64(1) << 20; // a longer body ends the fetch as TooLarge
    qint64 stallTimeoutMs = 30000;     // no progress for this long ends it as TimedOut
    qint64 totalTimeoutMs = 0;         // 0: no limit on the whole fetch
};

// How a fetch ended.
enum class HttpEnding {
    Finished,         // a whole answer arrived (any status: 404 and 500 are answers too)
    NetworkError,     // no connection, refused, host not found, TLS failure, reset
    TooLarge,         // the body passed maxBytes; `body` holds the first maxBytes
    TimedOut,         // stalled or over the total time
    TooManyRedirects, // more redirects than maxRedirects (or a loop), or one not followed
};

struct HttpResponse {
    HttpEnding ending = HttpEnding::NetworkError;
    int status = 0; // the HTTP status of the last answer; 0 when there was none
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QUrl finalUrl; // after redirects
    QString error; // NetworkError (and the others): what went wrong, for the user
    qint64 elapsedMs = 0;

    // The value of a header (name matched without regard to case), or empty.
    QByteArray header(const QByteArray &name) const
    {
        for (const auto &pair : headers) {
            if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
                return pair.second;
        }
        return {};
    }
};

// One fetch under way. Its signals come from the event loop, never from inside a call.
class HttpFetch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~HttpFetch() override = default;
    // Stops the fetch; no finished() follows.
    virtual void abort() = 0;

Q_SIGNALS:
    // More of the body arrived: the bytes received so far in all.
    void progress(qint64 bytesSoFar);
    // The fetch ended, whatever the way. Emitted once.
    void finished(const wendlecott::core::HttpResponse &response);
};

// Starts fetches. The Qt adapter works over QNetworkAccessManager; tests use a scripted fake
// or a loopback server.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual std::unique_ptr<HttpFetch> get(const HttpRequest &request) = 0;
};

// For front ends that fetch nothing: every fetch ends, from the event loop, as a network error.
class NoHttpClient final : public HttpClient {
public:
    std::unique_ptr<HttpFetch> get(const HttpRequest &request) override;
};

} // namespace wendlecott::core

Q_DECLARE_METATYPE(wendlecott::core::HttpResponse)
