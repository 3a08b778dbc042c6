#include "sources/SearchExtraction.h"

#include "sources/TextOps.h"

namespace wendlecott::sources {

QString pageTextFromBytes(const QByteArray &body)
{
    return QString::fromLatin1(body);
}

qint32 searchTarget(int combo2Position)
{
    switch (combo2Position) {
    case 1:
        return 200;
    case 2:
        return 500;
    case 3:
        return 1000;
    default:
        return 100;
    }
}

QString extractedStatusText(qint32 totalFound)
{
    return QStringLiteral("Extracted %1 unique domain names").arg(totalFound);
}

QString finishedStatusText(qint32 totalFound)
{
    return QStringLiteral("Finished! Extracted %1 domain names.").arg(totalFound);
}

QString listCreatedMessageText(qint32 totalFound)
{
    return QStringLiteral("List of %1 unique domains was created successfully!").arg(totalFound);
}

QString collapseEmptyLines(const QString &listText)
{
    QString text = listText;
    for (int pass = 0; pass < 7; ++pass)
        text = replaceAll(text, u"\r\n\r\n", u"\r\n");
    return text;
}

SearchExtraction::SearchExtraction(const core::TldTable &table) : m_extensions(table)
{
}

void SearchExtraction::beginPage(const QString &pageText, qsizetype partChars)
{
    m_foundOnLastPage = 0;
    m_page.reset();
    m_rest.reset();
    if (partChars <= 0 || pageText.size() <= partChars) {
        m_page.emplace(normalisePageText(pageText, m_extensions));
        return;
    }
    m_rest = RestOfPage{pageText, 0, partChars};
    prepareNextPart();
}

// The next part ends after the first line feed at or beyond `partChars` characters; each part
// read alone gives one more empty line at its end, which holds no name.
void SearchExtraction::prepareNextPart()
{
    const QString &text = m_rest->text;
    const qsizetype start = m_rest->position;
    qsizetype end = text.size();
    if (text.size() - start > m_rest->partChars) {
        const qsizetype feed = text.indexOf(u'\n', start + m_rest->partChars - 1);
        if (feed >= 0)
            end = feed + 1;
    }
    m_page.emplace(normalisePageText(text.mid(start, end - start), m_extensions));
    if (end >= text.size())
        m_rest.reset();
    else
        m_rest->position = end;
}

bool SearchExtraction::processLines(qsizetype maxLines)
{
    if (m_page && m_page->atEnd())
        m_page.reset();
    if (!m_page && m_rest) {
        prepareNextPart(); // the work of this call
        return false;
    }
    for (qsizetype done = 0; m_page && !m_page->atEnd() && done < maxLines; ++done)
        processLine(m_page->next());
    if (m_page && m_page->atEnd())
        m_page.reset();
    if (m_foundOnLastPage >= kMaxNamesPerPage) {
        // The duplicate test's memory grows with every name: a page that holds more than any
        // search asks for ends here.
        m_page.reset();
        m_rest.reset();
    }
    return pageDone();
}

qint32 SearchExtraction::addPage(const QString &pageText)
{
    beginPage(pageText);
    while (!processLines(4096)) {
    }
    return m_foundOnLastPage;
}

void SearchExtraction::processLine(QStringView raw)
{
    // Nothing without a dot can hold "." + an extension, and decoding makes no dot.
    if (!raw.contains(u'.'))
        return;
    QString line = decodePageLine(raw);
    if (!isAddressLine(line, m_extensions))
        return;
    line.remove(0, 7); // "http://"
    for (const QLatin1String bold : {QLatin1String("<b>"), QLatin1String("<B>")}) {
        if (const qsizetype at = line.indexOf(bold, 0, Qt::CaseSensitive); at >= 0)
            line.remove(at, bold.size());
    }
    const QString name = acceptableName(addressCandidate(std::move(line)), m_extensions, true);
    if (m_foundOnLastPage >= kMaxNamesPerPage || name.isEmpty() || m_seen.contains(name))
        return;
    m_seen.add(name);
    ++m_totalFound;
    ++m_foundOnLastPage;
}

QString SearchExtraction::finishedListText() const
{
    return collapseEmptyLines(listText()) + QLatin1String("\r\n");
}

} // namespace wendlecott::sources
