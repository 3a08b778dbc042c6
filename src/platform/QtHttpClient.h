#pragma once

#include "core/lookup/HttpClient.h"

class QNetworkAccessManager;

class QUrl;
class QString;

namespace wendlecott::platform {

// Why a redirect from `from` to `to` is not followed, or an empty text when it is, for a
// fetch that first asked `asked`: only to http and https, never from https to http, and to a
// loopback, private or link-local address (or "localhost") only when `asked` went to an
// address of that same kind. Host names are taken for public: they are not resolved here.
QString redirectProblem(const QUrl &asked, const QUrl &from, const QUrl &to);

// HTTP fetches over QNetworkAccessManager, bounded as each request says.
class QtHttpClient final : public core::HttpClient {
public:
    QtHttpClient();
    ~QtHttpClient() override;
    QtHttpClient(const QtHttpClient &) = delete;
    QtHttpClient &operator=(const QtHttpClient &) = delete;

    std::unique_ptr<core::HttpFetch> get(const core::HttpRequest &request) override;

private:
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

} // namespace wendlecott::platform
