#include "core/tld/DomainName.h"

#include <QStringList>
#include <QUrl>

namespace wendlecott::core {

namespace {

// The name as a lookup asks it, in IDNA form, without a dot at the end (a mapped full stop
// such as "\u3002" may have made one); empty when IDNA refuses it.
QByteArray askedForm(const QString &plain)
{
    QByteArray ace = QUrl::toAce(plain, QUrl::AceProcessingOption::IgnoreIDNWhitelist);
    if (ace.endsWith('.'))
        ace.chop(1);
    return ace;
}

} // namespace

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
    const QString ace = QString::fromLatin1(askedForm(plain));
    if (ace.isEmpty())
        return QStringLiteral("IDNA refuses the name (a character it does not allow, or a label over %1 "
                              "octets in IDNA form)")
            .arg(kMaxLabelOctets);
    for (const QStringView label : QStringView(ace).split(u'.')) {
        if (label.isEmpty())
            return QStringLiteral("the name has an empty label");
        if (label.size() > kMaxLabelOctets)
            return QStringLiteral("a label is longer than %1 octets in IDNA form").arg(kMaxLabelOctets);
    }
    if (ace.size() > kMaxNameOctets)
        return QStringLiteral("the name is longer than %1 octets").arg(kMaxNameOctets);
    // Counted as asked: "com\u3002" is one label too.
    if (!ace.contains(u'.'))
        return QStringLiteral("the name is a single label; a name and its extension are needed");
    return {};
}

Result<QString> canonicalDomainName(const QString &name)
{
    if (const QString problem = domainNameProblem(name); !problem.isEmpty())
        return Result<QString>::failure(ErrorCode::InvalidInput, problem);
    QString plain = name;
    if (plain.endsWith(u'.'))
        plain.chop(1);
    const QByteArray ace = askedForm(plain);
    const QString asked = QUrl::fromAce(ace, QUrl::AceProcessingOption::IgnoreIDNWhitelist);
    const QStringList typedLabels = plain.split(u'.');
    const QStringList askedLabels = asked.split(u'.');
    const QList<QByteArray> aceLabels = ace.split('.');
    // A separator that IDNA maps to a dot ("\u3002") makes other labels: all as asked.
    if (typedLabels.size() != askedLabels.size() || aceLabels.size() != askedLabels.size())
        return asked;
    QStringList labels;
    labels.reserve(typedLabels.size());
    for (qsizetype i = 0; i < typedLabels.size(); ++i) {
        const QString &typed = typedLabels.at(i);
        const bool keptAsTyped = typed.compare(askedLabels.at(i), Qt::CaseInsensitive) == 0 ||
                                 typed.compare(QLatin1String(aceLabels.at(i)), Qt::CaseInsensitive) == 0;
        labels.append(keptAsTyped ? typed : askedLabels.at(i));
    }
    return labels.join(u'.');
}

QString dnsCanonicalName(const QString &name)
{
    QString out = name;
    if (out.endsWith(QLatin1Char('.')))
        out.chop(1);
    for (QChar &c : out) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return out;
}

} // namespace wendlecott::core
