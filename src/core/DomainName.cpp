#include "core/DomainName.h"

#include <QStringList>
#include <QUrl>

namespace wendlecott::core {

QString domainNameProblem(const QString &name)
{
    QString plain = name;
    if (plain.endsWith(u'.'))
        plain.chop(1);
    if (plain.isEmpty())
        return QStringLiteral("the name is empty");
    // Checked before IDNA, which would work through a name of any length first.
    if (plain.size() > kMaxNameOctets * 4)
        return QStringLiteral("the name is longer than %1 octets").arg(kMaxNameOctets);
    // The reasons IDNA would give without saying which, said first.
    for (const QStringView label : QStringView(plain).split(u'.')) {
        if (label.isEmpty())
            return QStringLiteral("the name has an empty label");
        if (label.size() > kMaxLabelOctets)
            return QStringLiteral("a label is longer than %1 octets").arg(kMaxLabelOctets);
    }
    const QString ace =
        QString::fromLatin1(QUrl::toAce(plain, QUrl::AceProcessingOption::IgnoreIDNWhitelist));
    if (ace.isEmpty())
        return QStringLiteral("IDNA refuses the name (a character it does not allow, or a label over %1 "
                              "octets in IDNA form)")
            .arg(kMaxLabelOctets);
    for (const QStringView label : QStringView(ace).split(u'.')) {
        if (label.size() > kMaxLabelOctets)
            return QStringLiteral("a label is longer than %1 octets in IDNA form").arg(kMaxLabelOctets);
    }
    if (ace.size() > kMaxNameOctets)
        return QStringLiteral("the name is longer than %1 octets").arg(kMaxNameOctets);
    return {};
}

} // namespace wendlecott::core
