#pragma once

#include "config/ProgramFolder.h"
#include "config/SettingsStore.h"

#include <QList>
#include <QString>

#include <optional>

namespace wendlecott::config {

// The one table of settings: every key the program reads or writes, its application key
// and the default each reader uses while the key is missing. Nothing else names a setting.
struct SettingKey {
    QString app; // kPositionsApp or kProductName
    QString key;
};

namespace keys {
// Preferences (application key: the product name).
inline const SettingKey Throttle{kProductName, QStringLiteral("Throttle")};
inline const SettingKey DefaultExt{kProductName, QStringLiteral("DefaultExt")};
inline const SettingKey DefaultSearch{kProductName, QStringLiteral("DefaultSearch")};
inline const SettingKey ChkProxy{kProductName, QStringLiteral("chkProxy")};
// "Use RDAP where the registry offers it" (and judge whois answers by the evidence rules).
inline const SettingKey UseRdap{kProductName, QStringLiteral("UseRdap")};
// How many lookups a check run keeps in flight at most, each server at its own pace.
inline const SettingKey Jobs{kProductName, QStringLiteral("Jobs")};
// "Ask DNS first": a name delegated in its extension's zone is settled as registered there.
inline const SettingKey DnsFirst{kProductName, QStringLiteral("DnsFirst")};
// "host:port" of the one name server every delegation question goes to; empty: each
// extension's own name servers, found through the system's resolver.
inline const SettingKey DnsServer{kProductName, QStringLiteral("DnsServer")};
// Delegation questions a second to each name server; 0 asks without pace.
inline const SettingKey DnsQueriesPerSecond{kProductName, QStringLiteral("DnsQueriesPerSecond")};
// Hours between two checks of the watch list while the desktop program runs; 0 checks never.
inline const SettingKey WatchHours{kProductName, QStringLiteral("WatchHours")};
// A name answered Registered within this many days, whose expiry is more than 45 days away,
// is filed from the answer store without asking; 0: every name is asked.
inline const SettingKey ReuseRegisteredDays{kProductName, QStringLiteral("ReuseRegisteredDays")};
inline const SettingKey ShowHelp{kProductName, QStringLiteral("showHelp")};
inline const SettingKey FirstUse{kProductName, QStringLiteral("FirstUse")};
inline const SettingKey TxtMake{kProductName, QStringLiteral("txtMake")};
inline const SettingKey ChkAdd0{kProductName, QStringLiteral("chkAdd0")};
inline const SettingKey ChkAdd1{kProductName, QStringLiteral("chkAdd1")};
inline const SettingKey ChkAdd2{kProductName, QStringLiteral("chkAdd2")};
inline const SettingKey IgnorePermissionDeniedError{kProductName,
                                                    QStringLiteral("IgnorePermissionDeniedError")};
// Where the list builder asks each search engine for result pages: "http" or "https", and a
// host with an optional ":port".
inline const SettingKey GoogleSearchScheme{kProductName, QStringLiteral("GoogleSearchScheme")};
inline const SettingKey GoogleSearchHost{kProductName, QStringLiteral("GoogleSearchHost")};
inline const SettingKey YahooSearchScheme{kProductName, QStringLiteral("YahooSearchScheme")};
inline const SettingKey YahooSearchHost{kProductName, QStringLiteral("YahooSearchHost")};
// Run positions (application key "Tarnhollow").
inline const SettingKey WordNumber{kPositionsApp, QStringLiteral("wordNumber")};
inline const SettingKey FullWordNum{kPositionsApp, QStringLiteral("FullWordNum")};
inline const SettingKey TwoWordNum{kPositionsApp, QStringLiteral("TwoWordNum")};
inline const SettingKey ThreeWordNum{kPositionsApp, QStringLiteral("ThreeWordNum")};
inline const SettingKey FourWordNum{kPositionsApp, QStringLiteral("FourWordNum")};
inline const SettingKey CustWordNum{kPositionsApp, QStringLiteral("CustWordNum")};
inline const SettingKey YahooWordNum{kPositionsApp, QStringLiteral("YahooWordNum")};
inline const SettingKey GoogleWordNum{kPositionsApp, QStringLiteral("GoogleWordNum")};
} // namespace keys

namespace defaults {
inline const QString ThrottleAtStartup = QStringLiteral("25");
inline const QString ThrottleInSetup = QStringLiteral("20");
// The browse window's reader of "Throttle" has nothing to read it for: before every pause it
// makes, the browse window has set the pause from the TLD row of the name it asked, so a
// value read when it opens would never be waited for. Kept with the key's other defaults.
inline const QString ThrottleInBrowse = QStringLiteral("100");
inline const QString DefaultExt = QStringLiteral(".com");
inline const QString DefaultSearch = QStringLiteral("Google");
inline const QString ChkProxy = QStringLiteral("0");
inline const QString UseRdap = QStringLiteral("0");
inline const QString Jobs = QStringLiteral("1");
inline const QString DnsFirst = QStringLiteral("0");
inline const QString DnsServer; // empty: the extensions' own name servers
inline const QString DnsQueriesPerSecond = QStringLiteral("200");
inline const QString WatchHours = QStringLiteral("12");
inline const QString ReuseRegisteredDays = QStringLiteral("0");
inline const QString ShowHelp = QStringLiteral("1");
inline const QString FirstUse; // empty: the first start
inline const QString TxtMake;
inline const QString ChkAdd = QStringLiteral("1");
inline const QString IgnorePermissionDeniedError = QStringLiteral("0");
inline const QString SearchScheme = QStringLiteral("https");
inline const QString GoogleSearchHost = QStringLiteral("www.google.com");
inline const QString YahooSearchHost = QStringLiteral("search.yahoo.com");
inline const QString WordNumber = QStringLiteral("0");
inline const QString SourcePosition = QStringLiteral("1"); // every per-source resume key
} // namespace defaults

// Every key of the table, for round trips and listings.
QList<SettingKey> allSettingKeys();
// "chkAdd0" .. "chkAdd2" by box index (the generator's Prefixes, Suffixes, Hyphens boxes).
// Another index names "chkAdd" + index, which no reader uses; it never lands on a box's key.
SettingKey chkAddKey(int index);

QString readSetting(const SettingsStore &store, const SettingKey &key, const QString &defaultValue);
core::Status writeSetting(SettingsStore &store, const SettingKey &key, const QString &value);

// Numbers are stored as decimal text. A text that is not a signed 32-bit whole number
// gives nothing, and the reader keeps the value it had.
std::optional<qint32> toInt32(const QString &text);
// A truth value as stored: "1"/"0", "True"/"False" (any case), or any number (non-zero is true).
// Blanks around the text are ignored; anything else gives nothing.
std::optional<bool> toTruth(const QString &text);

// readSetting followed by the conversion: nothing when the stored text does not convert,
// so the reader keeps the value it had.
std::optional<qint32> readInt32Setting(const SettingsStore &store, const SettingKey &key,
                                       const QString &defaultValue);
std::optional<bool> readTruthSetting(const SettingsStore &store, const SettingKey &key,
                                     const QString &defaultValue);

} // namespace wendlecott::config
