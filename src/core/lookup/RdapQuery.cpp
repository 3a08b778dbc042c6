#include "core/lookup/RdapQuery.h"

#include "core/lookup/RdapBootstrap.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace wendlecott::core {

namespace {

// Words of an error answer that mean "ask less often", not "this failed".
bool speaksOfRateLimit(const QByteArray &body)
{
    static const QRegularExpression pattern(
        QStringLiteral("rate[ _-]?limit|too many (requests|queries)|quota|query limit|limit exceeded"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern.match(QString::fromUtf8(body.left(64 * 1024))).hasMatch();
}

Judgement judgeDomainObject(const QJsonObject &object, const QString &name)
{
    const QString asked = idnaName(name);
    for (const char *field : {"ldhName", "unicodeName"}) {
        const QString about = object.value(QLatin1String(field)).toString();
        if (about.isEmpty())
            continue;
        if (idnaName(about) == asked)
            return {LookupVerdict::Registered, {}, QStringLiteral("domain-object"), {}};
        return {LookupVerdict::Unknown, {}, QStringLiteral("other-name"), {}};
    }
    return {LookupVerdict::Registered,
            {},
            QStringLiteral("domain-object"),
            {}}; // a domain object without its name
}

// A 404 means "no such domain" only as an RDAP server says it: no body or a JSON one, at the
// name's own address. A web server's error page, or a redirect that ends on another path (a
// stale base on a plain web server), says nothing about the name.
bool saysNotFound(const HttpResponse &response, const QString &name)
{
    if (!response.finalUrl.isEmpty() &&
        !response.finalUrl.path().endsWith(QStringLiteral("/domain/") + idnaName(name), Qt::CaseInsensitive))
        return false;
    if (response.body.trimmed().isEmpty())
        return true;
    QJsonParseError error;
    (void)QJsonDocument::fromJson(response.body, &error); // only whether it parses counts
    return error.error == QJsonParseError::NoError;
}

} // namespace

QUrl rdapDomainUrl(const QUrl &base, const QString &name)
{
    const QString ace = idnaName(name);
    if (ace.isEmpty() || base.isEmpty())
        return {};
    QString text = base.toString();
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    return QUrl(text + QStringLiteral("domain/") + ace);
}

HttpRequest rdapRequest(const QUrl &url, qint64 timeoutMs)
{
    HttpRequest request;
    request.url = url;
    request.headers = {{QByteArrayLiteral("Accept"), kRdapAccept}};
    request.noCache = true;
    request.maxRedirects = kRdapMaxRedirects;
    request.maxBytes = kRdapMaxAnswerBytes;
    request.stallTimeoutMs = timeoutMs;
    request.totalTimeoutMs = timeoutMs;
    return request;
}

std::optional<qint64> retryAfterSeconds(const QByteArray &value, const QDateTime &now)
{
    const QByteArray trimmed = value.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool number = false;
    const qint64 seconds = trimmed.toLongLong(&number);
    if (number)
        return seconds >= 0 ? std::optional<qint64>(seconds) : std::nullopt;
    // HTTP dates end in "GMT", which Qt's RFC 2822 reader wants as a numeric offset.
    QString date = QString::fromLatin1(trimmed);
    if (date.endsWith(QLatin1String(" GMT")) || date.endsWith(QLatin1String(" UTC")))
        date = date.chopped(4) + QLatin1String(" +0000");
    const QDateTime at = QDateTime::fromString(date, Qt::RFC2822Date);
    if (!at.isValid())
        return std::nullopt;
    return qMax<qint64>(0, now.secsTo(at));
}

Judgement judgeRdapAnswer(const HttpResponse &response, const QString &name)
{
    switch (response.ending) {
    case HttpEnding::Finished:
        break;
    case HttpEnding::NetworkError:
        return {LookupVerdict::Unknown, {}, QStringLiteral("no-answer"), {}};
    case HttpEnding::TooLarge:
        return {LookupVerdict::Unknown, {}, QStringLiteral("too-large"), {}};
    case HttpEnding::TimedOut:
        return {LookupVerdict::Unknown, {}, QStringLiteral("time-out"), {}};
    case HttpEnding::TooManyRedirects:
        return {LookupVerdict::Unknown, {}, QStringLiteral("redirects"), {}};
    }
    if (response.status == 404) {
        if (!saysNotFound(response, name))
            return {LookupVerdict::Unknown, {}, QStringLiteral("error-page"), {}};
        return {LookupVerdict::Available, {}, QStringLiteral("http-404"), {}};
    }
    if (response.status == 429)
        return {LookupVerdict::Blocked, {}, QStringLiteral("http-429"), {}};
    if (response.status == 200) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(response.body, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return {LookupVerdict::Unknown, {}, QStringLiteral("not-json"), {}};
        const QJsonObject object = document.object();
        if (object.value(QLatin1String("objectClassName"))
                .toString()
                .compare(QLatin1String("domain"), Qt::CaseInsensitive) == 0)
            return judgeDomainObject(object, name);
    }
    if (speaksOfRateLimit(response.body))
        return {LookupVerdict::Blocked, {}, QStringLiteral("rate-limit"), {}};
    if (response.status == 200)
        return {LookupVerdict::Unknown, {}, QStringLiteral("not-a-domain"), {}};
    return {LookupVerdict::Unknown, {}, QStringLiteral("http-%1").arg(response.status), {}};
}

RdapQuery::RdapQuery(HttpClient &http, QObject *parent) : QObject(parent), m_http(http)
{
}

RdapQuery::~RdapQuery()
{
    cancel();
}

void RdapQuery::start(const QUrl &url, qint64 timeoutMs)
{
    cancel();
    m_fetch = m_http.get(rdapRequest(url, timeoutMs));
    connect(m_fetch.get(), &HttpFetch::finished, this, &RdapQuery::onFinished);
}

void RdapQuery::cancel()
{
    if (!m_fetch)
        return;
    m_fetch->disconnect(this);
    m_fetch->abort();
    m_fetch.reset();
}

void RdapQuery::onFinished(const HttpResponse &response)
{
    // The fetch that emits this is kept until the next one ends (it must not go while its
    // signal runs); a handler may start the next exchange.
    m_spent = std::move(m_fetch);
    m_spent->disconnect(this);
    const HttpResponse copy = response;
    Q_EMIT finished(copy);
}

} // namespace wendlecott::core
