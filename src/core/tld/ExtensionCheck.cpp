#include "core/tld/ExtensionCheck.h"

#include "core/tld/DomainName.h"

namespace wendlecott::core {

QString extensionOf(const QString &name)
{
    const QString canonical = dnsCanonicalName(name.trimmed()).toLower();
    const qsizetype dot = canonical.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : canonical.mid(dot + 1);
}

bool hasOwnTldRow(const QString &name, const TldTable &table)
{
    const QStringList labels = dnsCanonicalName(name.trimmed()).toLower().split(QLatin1Char('.'));
    if (labels.size() < 2)
        return false;
    const QString last = labels.last();
    const QString lastTwo =
        labels.size() >= 3 ? labels.at(labels.size() - 2) + QLatin1Char('.') + last : QString();
    for (const TldEntry &row : table.rows) {
        if (row.extension == last || (!lastTwo.isEmpty() && row.extension == lastTwo))
            return true;
    }
    return false;
}

QString extensionProblem(const QString &name, const TldTable &table, const PublicSuffixList &list)
{
    if (hasOwnTldRow(name, table))
        return {};
    const QString extension = extensionOf(name);
    if (extension.isEmpty() || !list.isLoaded())
        return {}; // a name without a dot, or no list to go by: the table's rules decide
    // "bd" is listed only through "*.bd": a label under it is a suffix, so the extension is real.
    const bool real = list.isIcannSuffix(extension) || list.isIcannSuffix(QStringLiteral("x.") + extension);
    return real ? QString() : kNoSuchExtension;
}

QString nameProblem(const QString &name, const TldTable &table, const PublicSuffixList &list)
{
    if (QString problem = domainNameProblem(name); !problem.isEmpty())
        return problem;
    return extensionProblem(name, table, list);
}

QString fallbackProblem(const QString &name, const TldTable &table, bool useProxy)
{
    if (useProxy || hasOwnTldRow(name, table))
        return {};
    return QStringLiteral("no whois server for .%1 in the TLD table").arg(extensionOf(name));
}

} // namespace wendlecott::core
