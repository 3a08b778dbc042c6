#include "core/tld/PublicSuffixList.h"

#include "core/tld/DomainName.h"

#include <QFile>
#include <QUrl>

#include <libpsl.h>

#include <cstdio>

namespace wendlecott::core {

namespace {

const QString kSystemList = QStringLiteral("/usr/share/publicsuffix/public_suffix_list.dat");
const QString kBuiltInList = QStringLiteral(":/wendlecott/public_suffix_list.dat");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

const PublicSuffixList &PublicSuffixList::standard()
{
    static const PublicSuffixList list = [] {
        const QByteArray system = readAll(kSystemList);
        if (system.contains("===BEGIN ICANN DOMAINS==="))
            return PublicSuffixList(system, kSystemList);
        return PublicSuffixList(readAll(kBuiltInList), kBuiltInList);
    }();
    return list;
}

PublicSuffixList::PublicSuffixList(const QByteArray &text, QString origin) : m_origin(std::move(origin))
{
    if (text.isEmpty())
        return;
    QByteArray copy = text;
    FILE *file = fmemopen(copy.data(), std::size_t(copy.size()), "r");
    if (!file)
        return;
    m_psl = psl_load_fp(file);
    std::fclose(file);
}

PublicSuffixList::~PublicSuffixList()
{
    psl_free(m_psl);
}

bool PublicSuffixList::isIcannSuffix(const QString &suffix) const
{
    if (!m_psl)
        return false;
    const QString name = dnsCanonicalName(QString::fromLatin1(QUrl::toAce(suffix.trimmed())));
    if (name.isEmpty())
        return false;
    // The list holds IDNs in Unicode; libpsl is given the Unicode form in lower case.
    const QString unicode = QUrl::fromAce(name.toLatin1());
    const QByteArray utf8 = (unicode.isEmpty() ? name : unicode.toLower()).toUtf8();
    return psl_is_public_suffix2(m_psl, utf8.constData(), PSL_TYPE_ICANN | PSL_TYPE_NO_STAR_RULE) != 0;
}

} // namespace wendlecott::core
