#pragma once

#include "core/base/Result.h"
#include "core/lookup/HttpClient.h"
#include "core/lookup/RdapBootstrap.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

namespace wendlecott::core {

// What a refresh of the bootstrap file brought.
struct RdapBootstrapRefresh {
    RdapBootstrap bootstrap; // the new file, as parsed
    QString path;            // where it was written
    qint64 bytes = 0;
};

// Fetches a bootstrap file, checks that it parses as one, and only then replaces the file at
// `path` atomically. A download that fails, is no bootstrap file, or cannot be written
// changes nothing; the error says why (Network, InvalidInput or WriteFailed).
class RdapBootstrapUpdate : public QObject {
    Q_OBJECT
public:
    explicit RdapBootstrapUpdate(HttpClient &http, QObject *parent = nullptr);
    ~RdapBootstrapUpdate() override;

    // Starts the refresh; finished() follows from the event loop. A refresh in progress is dropped.
    void start(const QUrl &address, const QString &path, qint64 timeoutMs = 60000);
    void cancel();
    bool isRunning() const { return bool(m_fetch); }

    // The check and the write alone, for bytes that came another way.
    static Result<RdapBootstrapRefresh> install(const QByteArray &bytes, const QString &path);
    // What a finished fetch of `address` means for the file at `path`.
    static Result<RdapBootstrapRefresh> take(const HttpResponse &response, const QUrl &address,
                                             const QString &path);

Q_SIGNALS:
    void finished(const wendlecott::core::Result<wendlecott::core::RdapBootstrapRefresh> &result);

private:
    void onFinished(const HttpResponse &response);

    HttpClient &m_http;
    std::unique_ptr<HttpFetch> m_fetch;
    std::unique_ptr<HttpFetch> m_spent; // the last finished fetch (it must not go while it emits)
    QUrl m_address;
    QString m_path;
};

} // namespace wendlecott::core
