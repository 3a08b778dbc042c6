#pragma once

#include "core/HttpClient.h"

class QNetworkAccessManager;

namespace wendlecott::platform {

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
