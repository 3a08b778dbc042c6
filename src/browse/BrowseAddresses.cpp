#include "browse/BrowseAddresses.h"

#include <array>
#include <utility>

namespace wendlecott::browse {

QStringList marketplaceCaptions()
{
    return {QStringLiteral("Sedo"),
            QStringLiteral("Expired Traffic"),
            QStringLiteral("Deleted Domains"),
            QStringLiteral("Just Dropped"),
            QStringLiteral("AfterNIC"),
            QStringLiteral("DMOZ"),
            QStringLiteral("Google"),
            QStringLiteral("Yahoo")};
}

QString marketplaceAddress(const QString &caption)
{
    const std::array<std::pair<QString, const QString *>, 4> tested = {{
        {QStringLiteral("afternic"), &kAfterNicAddress},
        {QStringLiteral("sedo"), &kSedoAddress},
        {QStringLiteral("Expired Traffic"), &kExpiredTrafficAddress},
        {QStringLiteral("dmoz"), &kDmozAddress},
    }};
    for (const auto &[part, address] : tested) {
        if (caption.contains(part, Qt::CaseInsensitive))
            return *address;
    }
    const std::array<std::pair<QString, const QString *>, 4> services = {{
        {QStringLiteral("Deleted Domains"), &kDeletedDomainsAddress},
        {QStringLiteral("Just Dropped"), &kJustDroppedAddress},
        {QStringLiteral("Google"), &kGoogleAddress},
        {QStringLiteral("Yahoo"), &kYahooAddress},
    }};
    for (const auto &[name, address] : services) {
        if (caption.contains(name, Qt::CaseInsensitive))
            return *address;
    }
    return {};
}

} // namespace wendlecott::browse
