#pragma once

#include <QString>
#include <QStringList>

namespace wendlecott::browse {

// Every address the browse window opens by itself, in one place.

// The page the window opens on, and where Home goes: the program's own web site.
inline const QString kHomePage = QStringLiteral("http://www.wendlecott.example/");

// Our numbers with the marketplaces that pay for referred visitors.
inline const QString kAfterNicReferral = QStringLiteral("2417");
inline const QString kSedoPartner = QStringLiteral("31187");
inline const QString kExpiredTrafficTag = QStringLiteral("wendlecott");

inline const QString kAfterNicAddress =
    QStringLiteral("https://www.afternic.com/index.php?ref_id=") + kAfterNicReferral;
inline const QString kSedoAddress =
    QStringLiteral("https://sedo.com/main.php3?language=us&partnerid=") + kSedoPartner;
inline const QString kExpiredTrafficAddress =
    QStringLiteral("http://www.expiredtraffic.com/?") + kExpiredTrafficTag;
inline const QString kDmozAddress = QStringLiteral("http://www.dmoz.org/");
inline const QString kDeletedDomainsAddress = QStringLiteral("http://www.deleteddomains.com/");
inline const QString kJustDroppedAddress = QStringLiteral("http://www.justdropped.com/");
inline const QString kGoogleAddress = QStringLiteral("https://www.google.com/");
inline const QString kYahooAddress = QStringLiteral("https://www.yahoo.com/");

// The captions of the eight marketplace buttons, left to right.
QStringList marketplaceCaptions();

// Where a marketplace button goes, by its caption. The caption is tested in this order,
// without regard to case, as a part of it: "afternic", "sedo", "Expired Traffic", "dmoz";
// any other caption names the service whose home page it opens ("Deleted Domains", "Just
// Dropped", "Google", "Yahoo"). Empty for a caption that names none of them.
QString marketplaceAddress(const QString &caption);

} // namespace wendlecott::browse
