#include "sources/ExtractionRules.h"

#include "sources/TextOps.h"

namespace wendlecott::sources {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kHttp = QStringLiteral("http://");

QString replaced(const QString &text, const char16_t *before, const QString &after)
{
    return replaceAll(text, QStringView(before), after, Qt::CaseInsensitive);
}

// A host name holds letters, digits, hyphens and dots, in labels of at most 63 characters
// and 253 in all. Anything else (a bracket left from a script, a control character decoded
// from "%0A", a run of text with no delimiter in it) is no domain.
bool isHostName(const QString &text)
{
    if (text.size() > 253)
        return false;
    qsizetype label = 0;
    for (const QChar c : text) {
        if (c == u'.') {
            label = 0;
            continue;
        }
        if ((!c.isLetterOrNumber() && c != u'-') || ++label > 63)
            return false;
    }
    return true;
}

} // namespace

QString normalisePageText(const QString &text, const EnabledExtensions &extensions)
{
    QString out = replaced(text, u"https://", kHttp);
    for (const char16_t *hint : {u"<wbr>", u"<wbr/>", u"<wbr />"})
        out = replaced(out, hint, QString());
    out = replaced(out, u"=www.", QStringLiteral("http://www."));
    out = replaced(out, u">www.", QStringLiteral("http://www."));
    out = replaced(out, u"http://", kCrLf + kHttp);
    out = replaced(out, u"<Frame", kCrLf + QStringLiteral("<Frame"));
    return extensions.breakLines(out);
}

QString decodePageLine(QStringView raw)
{
    const QString decoded = xurlEncode(raw.toString());
    if (!decoded.contains(u':'))
        return decoded;
    return replaced(decoded, u"https://", kHttp);
}

QStringView PageLines::next()
{
    const QStringView text(m_text);
    const qsizetype start = m_position;
    qsizetype end = start;
    while (end < text.size() && text.at(end) != u'\r' && text.at(end) != u'\n')
        ++end;
    m_position = end + 1;
    if (end + 1 < text.size() && text.at(end) == u'\r' && text.at(end + 1) == u'\n')
        ++m_position;
    return text.mid(start, end - start);
}

bool isAddressLine(const QString &line, const EnabledExtensions &extensions)
{
    if (!line.startsWith(kHttp, Qt::CaseSensitive))
        return false;
    for (const QString &excluded : {kYahooDomainName, QStringLiteral("yimg"), kAfterNicDomainName}) {
        if (line.contains(excluded, Qt::CaseInsensitive))
            return false;
    }
    return !line.contains(u'@') && extensions.foundIn(line);
}

QString candidateExtension(const QString &text)
{
    const qsizetype equals = text.indexOf(u'=');
    if (equals >= 0)
        return text.mid(equals + 1);
    const qsizetype dot = text.indexOf(u'.');
    return dot >= 0 ? text.mid(dot + 1) : QString();
}

Candidate addressCandidate(QString text)
{
    if (const qsizetype space = text.indexOf(u' '); space >= 0)
        text.truncate(space + 1);
    if (const qsizetype slash = text.indexOf(u'/'); slash >= 0)
        text.truncate(slash);
    // Drops a leading label such as "www"; as a side effect a host whose extension is longer
    // than three letters ("example.info") keeps only its extension and yields nothing.
    if (const qsizetype dot = text.indexOf(u'.'); dot + 1 < text.size() - 3)
        text.remove(0, dot + 1);
    Candidate candidate;
    candidate.extension = candidateExtension(text);
    if (const qsizetype colon = text.indexOf(u':'); colon >= 0)
        text.truncate(colon);
    candidate.host = std::move(text);
    return candidate;
}

QString acceptableName(const Candidate &candidate, const EnabledExtensions &extensions, bool testTargetBlank)
{
    if (!extensions.foundIn(QString(QLatin1Char('.') + candidate.extension)))
        return {};
    QString name = xCorrectName(reduceToRegisteredName(candidate.host));
    name.remove(u'\'');
    name.remove(u'"');
    name = name.trimmed();
    if (name.isEmpty() || name.startsWith(u'.') || !isHostName(name))
        return {};
    if (name.contains(u'<') || name.contains(u'>') || name == QLatin1String("ttp:.com"))
        return {};
    if (name.contains(QLatin1String("mailto:"), Qt::CaseInsensitive))
        return {};
    if (testTargetBlank && name.contains(QLatin1String("targetblank"), Qt::CaseInsensitive))
        return {};
    return name;
}

} // namespace wendlecott::sources
