#include "platform/QtHttpClient.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

namespace wendlecott::platform {

namespace {

// The reply's own buffer: the connection is read no further ahead of the program than this,
// so an answer that never ends costs no more than its limit and this much.
constexpr qint64 kReadBufferBytes = qint64(256) << 10;

// Where an address leads, for redirects: anywhere, or to one of the kinds of address that
// a server on the internet has no business sending the program to.
enum class AddressKind { Public, Loopback, Private, LinkLocal };

AddressKind addressKind(const QString &host)
{
    const QString lowered = host.toLower();
    if (lowered == QLatin1String("localhost") || lowered.endsWith(QLatin1String(".localhost")))
        return AddressKind::Loopback;
    QHostAddress address;
    if (!address.setAddress(host))
        return AddressKind::Public;
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped)
        address = QHostAddress(v4);
    if (address.isLoopback() || address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6)
        return AddressKind::Loopback;
    if (address.isLinkLocal())
        return AddressKind::LinkLocal;
    static const QList<QPair<QHostAddress, int>> privateNets = {
        QHostAddress::parseSubnet(QStringLiteral("0.0.0.0/8")),
        QHostAddress::parseSubnet(QStringLiteral("10.0.0.0/8")),
        QHostAddress::parseSubnet(QStringLiteral("100.64.0.0/10")),
        QHostAddress::parseSubnet(QStringLiteral("172.16.0.0/12")),
        QHostAddress::parseSubnet(QStringLiteral("192.168.0.0/16")),
        QHostAddress::parseSubnet(QStringLiteral("fc00::/7")),
        QHostAddress::parseSubnet(QStringLiteral("fec0::/10")),
    };
    for (const auto &net : privateNets) {
        if (address.isInSubnet(net))
            return AddressKind::Private;
    }
    if (address.isMulticast() || address.isBroadcast())
        return AddressKind::Private;
    return AddressKind::Public;
}

QString kindName(AddressKind kind)
{
    switch (kind) {
    case AddressKind::Loopback:
        return QStringLiteral("a loopback address");
    case AddressKind::Private:
        return QStringLiteral("a private address");
    case AddressKind::LinkLocal:
        return QStringLiteral("a link-local address");
    case AddressKind::Public:
        break;
    }
    return QStringLiteral("a public address");
}

// One fetch: a reply read as it arrives, cut at the size limit, given up when it stalls.
class QtHttpFetch final : public core::HttpFetch {
public:
    QtHttpFetch(QNetworkAccessManager &manager, const core::HttpRequest &request)
        : m_manager(manager), m_request(request), m_stall(this), m_total(this)
    {
        m_clock.start();
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
        ask(request.url);
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
    // One GET of the request's kind; redirects come back here, each looked at first.
    void ask(const QUrl &url)
    {
        QNetworkRequest networkRequest(url);
        networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                    QNetworkRequest::ManualRedirectPolicy);
        if (m_request.noCache) {
            networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                        QNetworkRequest::AlwaysNetwork);
            networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        }
        if (!m_request.userAgent.isEmpty())
            networkRequest.setHeader(QNetworkRequest::UserAgentHeader, m_request.userAgent);
        for (const auto &header : m_request.headers)
            networkRequest.setRawHeader(header.first, header.second);
        // A proxy is chosen when a request starts, so setting it here affects only this one.
        m_manager.setProxy(m_request.noProxy ? QNetworkProxy(QNetworkProxy::NoProxy)
                                             : QNetworkProxy(QNetworkProxy::DefaultProxy));

        m_reply = m_manager.get(networkRequest);
        m_reply->setReadBufferSize(kReadBufferBytes);
        connect(m_reply, &QNetworkReply::readyRead, this, &QtHttpFetch::readMore);
        connect(m_reply, &QNetworkReply::finished, this, &QtHttpFetch::replyFinished);
    }

    void readMore()
    {
        if (m_done || !m_reply)
            return;
        // The body of a redirect is not part of the answer.
        if (redirectTarget().isValid())
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

    // Where a redirect answer sends the fetch (resolved against the address asked), or an
    // invalid address when the answer is no redirect to follow.
    QUrl redirectTarget() const
    {
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (m_request.maxRedirects <= 0 || status < 300 || status >= 400)
            return {};
        const QByteArray location = m_reply->rawHeader("Location");
        if (location.isEmpty())
            return {};
        return m_reply->url().resolved(QUrl::fromEncoded(location));
    }

    // Follows a redirect answer when it may be followed; true when the fetch went on or ended.
    bool followRedirect()
    {
        const QUrl to = redirectTarget();
        if (!to.isValid())
            return false;
        if (m_redirects >= m_request.maxRedirects) {
            end(core::HttpEnding::TooManyRedirects, tr("more than %1 redirects").arg(m_request.maxRedirects));
            return true;
        }
        if (const QString problem = redirectProblem(m_request.url, m_reply->url(), to); !problem.isEmpty()) {
            end(core::HttpEnding::TooManyRedirects,
                tr("a redirect to %1 was not followed: %2").arg(to.toDisplayString(), problem));
            return true;
        }
        ++m_redirects;
        dropReply();
        ask(to);
        return true;
    }

    void replyFinished()
    {
        if (m_done || !m_reply)
            return;
        readMore();
        if (m_done || followRedirect())
            return;
        const QNetworkReply::NetworkError error = m_reply->error();
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

    QNetworkAccessManager &m_manager;
    const core::HttpRequest m_request;
    QPointer<QNetworkReply> m_reply;
    int m_redirects = 0; // followed so far
    QByteArray m_body;
    QTimer m_stall;
    QTimer m_total;
    QElapsedTimer m_clock;
    bool m_done = false;
};

} // namespace

QString redirectProblem(const QUrl &asked, const QUrl &from, const QUrl &to)
{
    const QString scheme = to.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QStringLiteral("only http and https addresses are followed");
    if (from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
        scheme == QLatin1String("http"))
        return QStringLiteral("an https answer does not lead to http");
    const AddressKind kind = addressKind(to.host());
    if (kind != AddressKind::Public && kind != addressKind(asked.host()))
        return QStringLiteral("%1 is followed only from %1").arg(kindName(kind));
    return {};
}

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
