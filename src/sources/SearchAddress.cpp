#include "sources/SearchAddress.h"

#include "config/SettingsKeys.h"

#include <cstring>

namespace wendlecott::sources {

namespace {

// Characters of the query that are percent-encoded besides control characters and
// everything beyond ASCII: those that would change the address, and those no address holds.
constexpr char kEncodedInQuery[] = "&#%+?=\"<>\\^`{|}";
// Characters a file name may not hold (besides control characters).
constexpr char kNotInFileName[] = "\\/:*?\"<>|";

bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7f;
}

// A stored endpoint is used only when it is a plain "scheme://host[:port]".
bool isUsableEndpoint(const SearchEndpoint &endpoint)
{
    if (endpoint.scheme != QLatin1String("http") && endpoint.scheme != QLatin1String("https"))
        return false;
    if (endpoint.host.isEmpty())
        return false;
    for (const QChar c : endpoint.host) {
        if (c.unicode() <= 0x20 || QStringView(u"/?#@\\").contains(c))
            return false;
    }
    const QUrl probe(endpoint.scheme + QStringLiteral("://") + endpoint.host + QLatin1Char('/'),
                     QUrl::StrictMode);
    return probe.isValid() && !probe.host().isEmpty() && probe.userInfo().isEmpty();
}

} // namespace

std::optional<SearchEngine> searchEngineFor(const QString &sourceCaption)
{
    for (const SearchEngine engine : {SearchEngine::Google, SearchEngine::Yahoo}) {
        if (sourceCaption == searchSourceCaption(engine))
            return engine;
    }
    return std::nullopt;
}

QString searchEngineName(SearchEngine engine)
{
    return engine == SearchEngine::Google ? QStringLiteral("Google") : QStringLiteral("Yahoo");
}

QString searchSourceCaption(SearchEngine engine)
{
    return searchEngineName(engine) + QStringLiteral(" Search");
}

SearchEndpoint defaultSearchEndpoint(SearchEngine engine)
{
    return {config::defaults::SearchScheme, engine == SearchEngine::Google
                                                ? config::defaults::GoogleSearchHost
                                                : config::defaults::YahooSearchHost};
}

SearchEndpoint searchEndpoint(const config::SettingsStore &settings, SearchEngine engine)
{
    const SearchEndpoint fallback = defaultSearchEndpoint(engine);
    const bool google = engine == SearchEngine::Google;
    SearchEndpoint stored;
    stored.scheme = config::readSetting(
                        settings, google ? config::keys::GoogleSearchScheme : config::keys::YahooSearchScheme,
                        fallback.scheme)
                        .trimmed()
                        .toLower();
    stored.host =
        config::readSetting(settings, google ? config::keys::GoogleSearchHost : config::keys::YahooSearchHost,
                            fallback.host)
            .trimmed();
    SearchEndpoint chosen = fallback;
    if (isUsableEndpoint({stored.scheme, fallback.host}))
        chosen.scheme = stored.scheme;
    if (isUsableEndpoint({chosen.scheme, stored.host}))
        chosen.host = stored.host;
    return chosen;
}

QString searchQueryField(const QString &searchText)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = searchText.toUtf8();
    QString field;
    field.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == ' ') {
            field += QLatin1Char('+');
        } else if (c >= 0x80 || isControl(c) || std::strchr(kEncodedInQuery, c) != nullptr) {
            field += QLatin1Char('%');
            field += QLatin1Char(hex[c >> 4]);
            field += QLatin1Char(hex[c & 0xf]);
        } else {
            field += QLatin1Char(char(c));
        }
    }
    return field;
}

QString searchPageAddressText(SearchEngine engine, const SearchEndpoint &endpoint, const QString &queryField,
                              qint32 startIndex)
{
    const QString base = endpoint.scheme + QStringLiteral("://") + endpoint.host;
    if (engine == SearchEngine::Google) {
        return base + QStringLiteral("/search?num=100&hl=en&lr=&ie=UTF-8&oe=UTF-8&safe=off&filter=0&start=") +
               QString::number(qint64(startIndex) - 1) + QStringLiteral("&sa=N&q=") + queryField;
    }
    return base + QStringLiteral("/search/dir?h=s&xargs=0&p=") + queryField + QStringLiteral("&b=") +
           QString::number(startIndex);
}

QUrl searchPageAddress(SearchEngine engine, const SearchEndpoint &endpoint, const QString &queryField,
                       qint32 startIndex)
{
    return QUrl(searchPageAddressText(engine, endpoint, queryField, startIndex), QUrl::StrictMode);
}

qint32 nextStartIndex(SearchEngine engine, qint32 startIndex)
{
    return startIndex + (engine == SearchEngine::Google ? 100 : 20);
}

QString savedSearchFileName(SearchEngine engine, const QString &searchText)
{
    QString query;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < searchText.size(); ++i) {
        QString piece(searchText.at(i));
        if (searchText.at(i).isHighSurrogate() && i + 1 < searchText.size() &&
            searchText.at(i + 1).isLowSurrogate())
            piece += searchText.at(++i);
        const char16_t c = piece.at(0).unicode();
        if (isControl(c) || (c < 0x80 && std::strchr(kNotInFileName, char(c)) != nullptr))
            piece = QStringLiteral("_");
        bytes += piece.toUtf8().size();
        if (bytes > kMaxSavedQueryBytes)
            break;
        query += piece;
    }
    return searchEngineName(engine) + QLatin1Char(' ') + query + QStringLiteral(".txt");
}

} // namespace wendlecott::sources
