#include "platform/QtHttpClient.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

namespace wendlecott::platform {

namespace {

// One fetch: a reply read as it arrives, cut at the size limit, given up when it stalls.
class QtHttpFetch final : public core::HttpFetch {
public:
    QtHttpFetch(QNetworkAccessManager &manager, const core::HttpRequest &request)
        : m_request(request), m_stall(this), m_total(this)
    {
        m_clock.start();
        QNetworkRequest networkRequest(request.url);
        networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                    request.maxRedirects > 0 ? QNetworkRequest::NoLessSafeRedirectPolicy
                                                             : QNetworkRequest::ManualRedirectPolicy);
        networkRequest.setMaximumRedirectsAllowed(request.maxRedirects);
        if (request.noCache) {
            networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                        QNetworkRequest::AlwaysNetwork);
            networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        }
        if (!request.userAgent.isEmpty())
            networkRequest.setHeader(QNetworkRequest::UserAgentHeader, request.userAgent);
        for (const auto &header : request.headers)
            networkRequest.setRawHeader(header.first, header.second);
        // A proxy is chosen when a request starts, so setting it here affects only this one.
        manager.setProxy(request.noProxy ? QNetworkProxy(QNetworkProxy::NoProxy)
                                         : QNetworkProxy(QNetworkProxy::DefaultProxy));

        m_reply = manager.get(networkRequest);
        m_reply->setReadBufferSize(0);
        connect(m_reply, &QNetworkReply::readyRead, this, &QtHttpFetch::readMore);
        connect(m_reply, &QNetworkReply::finished, this, &QtHttpFetch::replyFinished);

        m_stall.setSingleShot(true);
        connect(&m_stall, &QTimer::timeout, this,
                [this] { end(core::HttpEnding::TimedOut, tr("no progress")); });
        if (request.stallTimeoutMs > 0)
            m_stall.start(int(qMin<qint64>(request.stallTimeoutMs, INT_MAX)));
        m_total.setSingleShot(true);
        connect(&m_total, &QTimer::timeout, this,
                [this] { end(core::HttpEnding::TimedOut, tr("took too long")); });
        if (request.totalTimeoutMs > 0)
            m_total.start(int(qMin<qint64>(request.totalTimeoutMs, INT_MAX)));
    }

    ~QtHttpFetch() override { dropReply(); }

    void abort() override
    {
        m_done = true;
        dropReply();
        m_stall.stop();
        m_total.stop();
    }

private:
    void readMore()
    {
        if (m_done || !m_reply)
            return;
        // The body of a redirect is not part of the answer.
        if (isRedirect())
            return (void)m_reply->readAll();
        const QByteArray bytes = m_reply->readAll();
        const qint64 room = m_request.maxBytes - m_body.size();
        m_body.append(bytes.constData(), qMin<qint64>(room, bytes.size()));
        if (m_request.stallTimeoutMs > 0)
            m_stall.start(int(qMin<qint64>(m_request.stallTimeoutMs, INT_MAX)));
        if (bytes.size() > room)
            return end(core::HttpEnding::TooLarge,
                       tr("the answer is larger than %1 bytes").arg(m_request.maxBytes));
        if (!bytes.isEmpty())
            Q_EMIT progress(m_body.size());
    }

    // Errors of the connection or the protocol, as against the error statuses of the server.
    static bool brokeOff(QNetworkReply::NetworkError error)
    {
        return error < QNetworkReply::ProxyConnectionRefusedError ||
               (error >= QNetworkReply::ProtocolUnknownError && error <= QNetworkReply::ProtocolFailure);
    }

    bool isRedirect() const
    {
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        return status >= 300 && status < 400 && m_request.maxRedirects > 0;
    }

    void replyFinished()
    {
        if (m_done || !m_reply)
            return;
        readMore();
        if (m_done)
            return;
        const QNetworkReply::NetworkError error = m_reply->error();
        if (error == QNetworkReply::TooManyRedirectsError || error == QNetworkReply::InsecureRedirectError)
            return end(core::HttpEnding::TooManyRedirects, m_reply->errorString());
        const bool answered = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        // An HTTP error status (404, 429, 500) is an answer; a failed exchange is an error, also
        // when its status came before it broke (a body cut short is no answer).
        if (error != QNetworkReply::NoError && (!answered || brokeOff(error)))
            return end(core::HttpEnding::NetworkError, m_reply->errorString());
        end(core::HttpEnding::Finished, QString());
    }

    void end(core::HttpEnding ending, const QString &error)
    {
        if (m_done)
            return;
        m_done = true;
        m_stall.stop();
        m_total.stop();
        core::HttpResponse response;
        response.ending = ending;
        response.error = error;
        response.body = std::move(m_body);
        response.elapsedMs = m_clock.elapsed();
        if (m_reply) {
            response.status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            response.finalUrl = m_reply->url();
            for (const auto &pair : m_reply->rawHeaderPairs())
                response.headers.append(pair);
        }
        dropReply();
        Q_EMIT finished(response);
    }

    void dropReply()
    {
        if (!m_reply)
            return;
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }

    const core::HttpRequest m_request;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    QTimer m_stall;
    QTimer m_total;
    QElapsedTimer m_clock;
    bool m_done = false;
};

} // namespace

QtHttpClient::QtHttpClient() : m_manager(std::make_unique<QNetworkAccessManager>())
{
    // Nothing the program fetches is kept: result pages and registry answers are always asked anew.
    m_manager->setCache(nullptr);
    m_manager->setAutoDeleteReplies(false);
}

QtHttpClient::~QtHttpClient() = default;

std::unique_ptr<core::HttpFetch> QtHttpClient::get(const core::HttpRequest &request)
{
    return std::make_unique<QtHttpFetch>(*m_manager, request);
}

} // namespace wendlecott::platform
