#pragma once

#include "core/lookup/HttpClient.h"
#include "core/lookup/Verdict.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace wendlecott::core {

// Bounds of one RDAP exchange.
inline constexpr qint64 kRdapMaxAnswerBytes = qint64(1) << 20;
inline constexpr int kRdapMaxRedirects = 5;
// Some registries refuse "application/rdap+json" alone, so plain JSON is accepted too.
inline const QByteArray kRdapAccept = QByteArrayLiteral("application/rdap+json, application/json");

// `<base>domain/<name in IDNA form>`; the base gets a "/" when it has none. Invalid when the
// name cannot be written in IDNA form.
QUrl rdapDomainUrl(const QUrl &base, const QString &name);
// The GET of one RDAP lookup: the Accept header, at most five redirects, at most 1 MiB, ended
// after `timeoutMs` in all (Timing::rdapTimeoutMs).
HttpRequest rdapRequest(const QUrl &url, qint64 timeoutMs);

// A Retry-After value in seconds from `now`: delta-seconds or an HTTP date (a date in the
// past gives 0). Nothing when the value is neither.
std::optional<qint64> retryAfterSeconds(const QByteArray &value, const QDateTime &now);

// The verdict on an RDAP answer and the rule that gave it:
//   "http-404"         404 with an empty or JSON body, at the name's own address: Available
//   "error-page"       404 with another body (a web server's page), or at another address
//                      after redirects: Unknown
//   "domain-object"    200 with a domain object about the name: Registered
//   "http-429"         429: Blocked
//   "rate-limit"       an error answer whose text speaks of a rate limit or quota: Blocked
//   "other-name"       200 with a domain object about another name: Unknown
//   "not-json", "not-a-domain", "http-<status>", "no-answer", "too-large", "time-out",
//   "redirects"        everything else: Unknown
Judgement judgeRdapAnswer(const HttpResponse &response, const QString &name);

// One RDAP exchange: GET the domain's address, hand back the whole response. No retries and
// no pacing: callers own those. One exchange at a time; start() drops the one in progress.
class RdapQuery : public QObject {
    Q_OBJECT
public:
    explicit RdapQuery(HttpClient &http, QObject *parent = nullptr);
    ~RdapQuery() override;

    // Asks `url` (see rdapDomainUrl). The answer comes through finished(), never from inside
    // this call.
    void start(const QUrl &url, qint64 timeoutMs);
    // Drops the exchange in progress; no finished() follows.
    void cancel();
    bool isRunning() const { return bool(m_fetch); }

Q_SIGNALS:
    void finished(const wendlecott::core::HttpResponse &response);

private:
    void onFinished(const HttpResponse &response);

    HttpClient &m_http;
    std::unique_ptr<HttpFetch> m_fetch;
    std::unique_ptr<HttpFetch> m_spent; // the last finished fetch
};

} // namespace wendlecott::core
