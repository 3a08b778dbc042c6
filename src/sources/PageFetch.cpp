#include "sources/PageFetch.h"

namespace wendlecott::sources {

QString downloadedStatusText(qint64 bytesSoFar)
{
    return QStringLiteral("Downloaded %1 bytes.").arg(bytesSoFar);
}

core::HttpRequest pageRequest(const QUrl &url)
{
    core::HttpRequest request;
    request.url = url;
    request.userAgent = QByteArrayLiteral("Mozilla");
    request.noProxy = true;
    request.noCache = true;
    request.headers.append({QByteArrayLiteral("Pragma"), QByteArrayLiteral("no-cache")});
    request.maxBytes = kMaxPageBytes;
    request.stallTimeoutMs = kPageStallTimeoutMs;
    return request;
}

QByteArray pageBodyOf(const core::HttpResponse &response)
{
    if (response.ending != core::HttpEnding::Finished)
        return {};
    if (response.status < 200 || response.status > 299)
        return {};
    return response.body;
}

void appendPageText(QString &text, QByteArrayView bytes)
{
    text.append(QLatin1StringView(bytes.data(), bytes.size()));
}

PageFetch::PageFetch(core::HttpClient &client, QObject *parent) : QObject(parent), m_client(client)
{
}

PageFetch::~PageFetch()
{
    abort();
}

void PageFetch::fetchPage(const QUrl &url)
{
    abort();
    m_ended.reset();
    m_chunks = 0;
    m_fetch = m_client.get(pageRequest(url));
    connect(m_fetch.get(), &core::HttpFetch::progress, this, &PageFetch::onProgress);
    connect(m_fetch.get(), &core::HttpFetch::finished, this, &PageFetch::onFinished);
}

void PageFetch::abort()
{
    if (!m_fetch)
        return;
    m_fetch->disconnect(this);
    m_fetch->abort();
    m_ended = std::move(m_fetch);
}

void PageFetch::onProgress(qint64 bytesSoFar)
{
    if (++m_chunks > 1)
        Q_EMIT statusChanged(downloadedStatusText(bytesSoFar));
}

void PageFetch::onFinished(const core::HttpResponse &response)
{
    if (!m_fetch)
        return;
    m_fetch->disconnect(this);
    m_ended = std::move(m_fetch);
    Q_EMIT pageFetched(pageBodyOf(response));
}

} // namespace wendlecott::sources
