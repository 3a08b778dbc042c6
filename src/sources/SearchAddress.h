#pragma once

#include "config/SettingsStore.h"
#include "core/base/Paths.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace wendlecott::sources {

// The two search engines whose result pages the list builder reads.
enum class SearchEngine { Google, Yahoo };

// The engine of a Combo1 caption: "Google Search" or "Yahoo Search"; nothing for any other.
std::optional<SearchEngine> searchEngineFor(const QString &sourceCaption);
// "Google" or "Yahoo": the first word of the saved copy's name.
QString searchEngineName(SearchEngine engine);
// "Google Search" or "Yahoo Search": the engine's item of Combo1.
QString searchSourceCaption(SearchEngine engine);

// Where an engine's result pages are asked for: a scheme ("http" or "https") and a host,
// optionally with ":port". Each is a setting; the public search hosts over https are the
// defaults, and tests point them at a server on the loopback address.
struct SearchEndpoint {
    QString scheme;
    QString host;
    bool operator==(const SearchEndpoint &) const = default;
};
SearchEndpoint defaultSearchEndpoint(SearchEngine engine);
// The stored endpoint; a scheme other than http or https, or a host that is no plain host
// (with an optional port), gives way to the default.
SearchEndpoint searchEndpoint(const config::SettingsStore &settings, SearchEngine engine);

// The query as it goes into a page address. Every space becomes "+"; every other character
// that would change the address's meaning is percent-encoded from its UTF-8 bytes: "&", "#",
// "%", "+", "?", "=", the characters no address may hold (double quote, "<", ">", "\", "^",
// "`", "{", "|", "}"), control characters and everything beyond ASCII. So "a&b c" gives
// "a%26b+c", and no query can add a parameter or end the address early.
QString searchQueryField(const QString &searchText);

// The address of a result page. `startIndex` begins at 1; Google's pages carry
// start = startIndex - 1 (0, 100, 200 ...), Yahoo's b = startIndex (1, 21, 41 ...).
QString searchPageAddressText(SearchEngine engine, const SearchEndpoint &endpoint, const QString &queryField,
                              qint32 startIndex);
QUrl searchPageAddress(SearchEngine engine, const SearchEndpoint &endpoint, const QString &queryField,
                       qint32 startIndex);
// The next page's start index: 100 results further on Google, 20 on Yahoo.
qint32 nextStartIndex(SearchEngine engine, qint32 startIndex);

// The files of the list builder, under the program folder.
using core::kBrowserSearchFile;
using core::kSearchOutputFile;
inline const QString kSearchesFolder = QStringLiteral("\\Searches");
// The longest query part of a saved copy's name, in UTF-8 bytes (a file name holds 255).
inline constexpr qsizetype kMaxSavedQueryBytes = 200;

// The saved copy's file name: the engine's name, a space, the query as typed and ".txt"
// ("Google red widget.txt"). Characters a file name may not hold ("\", "/", ":", "*", "?",
// double quote, "<", ">", "|") and control characters become "_", so the copy stays in
// "Searches"; a very long query is cut to kMaxSavedQueryBytes.
QString savedSearchFileName(SearchEngine engine, const QString &searchText);

} // namespace wendlecott::sources
