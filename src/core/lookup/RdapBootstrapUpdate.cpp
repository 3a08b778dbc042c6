#include "core/lookup/RdapBootstrapUpdate.h"

#include "core/base/TextFile.h"

namespace wendlecott::core {

RdapBootstrapUpdate::RdapBootstrapUpdate(HttpClient &http, QObject *parent) : QObject(parent), m_http(http)
{
}

RdapBootstrapUpdate::~RdapBootstrapUpdate()
{
    cancel();
}

void RdapBootstrapUpdate::start(const QUrl &address, const QString &path, qint64 timeoutMs)
{
    cancel();
    m_address = address;
    m_path = path;
    HttpRequest request;
    request.url = address;
    request.headers = {{QByteArrayLiteral("Accept"), QByteArrayLiteral("application/json")}};
    request.noCache = true;
    request.maxRedirects = 5;
    request.maxBytes = kMaxRdapBootstrapBytes;
    request.stallTimeoutMs = timeoutMs;
    request.totalTimeoutMs = timeoutMs;
    m_fetch = m_http.get(request);
    connect(m_fetch.get(), &HttpFetch::finished, this, &RdapBootstrapUpdate::onFinished);
}

void RdapBootstrapUpdate::cancel()
{
    if (!m_fetch)
        return;
    m_fetch->disconnect(this);
    m_fetch->abort();
    m_fetch.reset();
}

Result<RdapBootstrapRefresh> RdapBootstrapUpdate::install(const QByteArray &bytes, const QString &path)
{
    Result<RdapBootstrap> parsed = RdapBootstrap::parse(bytes);
    if (!parsed)
        return parsed.error();
    if (const Status written = writeFileAtomically(path, bytes); !written)
        return written.error();
    RdapBootstrapRefresh refresh;
    refresh.bootstrap = std::move(parsed).value();
    refresh.bootstrap.setSource(path);
    refresh.path = path;
    refresh.bytes = bytes.size();
    return refresh;
}

Result<RdapBootstrapRefresh> RdapBootstrapUpdate::take(const HttpResponse &response, const QUrl &address,
                                                       const QString &path)
{
    const QString where = address.toString();
    switch (response.ending) {
    case HttpEnding::Finished:
        break;
    case HttpEnding::TooLarge:
        return Error{ErrorCode::InvalidInput,
                     QStringLiteral("%1 sent more than %2 bytes; no bootstrap file is that large")
                         .arg(where)
                         .arg(kMaxRdapBootstrapBytes)};
    case HttpEnding::TimedOut:
        return Error{ErrorCode::Timeout, QStringLiteral("%1 did not answer in time").arg(where)};
    case HttpEnding::NetworkError:
    case HttpEnding::TooManyRedirects:
        return Error{ErrorCode::Network, QStringLiteral("could not fetch %1: %2").arg(where, response.error)};
    }
    if (response.status != 200)
        return Error{ErrorCode::Network,
                     QStringLiteral("%1 answered HTTP %2").arg(where).arg(response.status)};
    return install(response.body, path);
}

void RdapBootstrapUpdate::onFinished(const HttpResponse &response)
{
    m_spent = std::move(m_fetch);
    m_spent->disconnect(this);
    const Result<RdapBootstrapRefresh> result = take(response, m_address, m_path);
    Q_EMIT finished(result);
}

} // namespace wendlecott::core
