#include "browse/FoundNames.h"

namespace wendlecott::browse {

void FoundNames::accept(const QString &name)
{
    m_pageNames.append(name);
    m_seenNames.add(name);
    ++m_foundTotal;
    ++m_foundOnPage;
}

void FoundNames::forgetSeenNames()
{
    m_pageNames.clear();
    m_seenNames.clear();
}

QString FoundNames::takeQueueText()
{
    QString text;
    for (const QString &name : m_pageNames)
        text += name + QLatin1String("\r\n");
    text += QLatin1String("\r\n");
    m_pageNames.clear();
    return text;
}

} // namespace wendlecott::browse
