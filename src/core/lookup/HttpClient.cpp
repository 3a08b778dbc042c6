#include "core/lookup/HttpClient.h"

#include <QMetaObject>

namespace wendlecott::core {

namespace {

class RefusedFetch final : public HttpFetch {
public:
    explicit RefusedFetch(QUrl url)
    {
        QMetaObject::invokeMethod(
            this,
            [this, url = std::move(url)] {
                if (m_aborted)
                    return;
                HttpResponse response;
                response.ending = HttpEnding::NetworkError;
                response.error = QStringLiteral("no HTTP client");
                response.finalUrl = url;
                Q_EMIT finished(response);
            },
            Qt::QueuedConnection);
    }
    void abort() override { m_aborted = true; }

private:
    bool m_aborted = false;
};

} // namespace

std::unique_ptr<HttpFetch> NoHttpClient::get(const HttpRequest &request)
{
    return std::make_unique<RefusedFetch>(request.url);
}

} // namespace wendlecott::core
