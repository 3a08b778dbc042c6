#include "browse/PageExtraction.h"

#include "sources/TextOps.h"

namespace wendlecott::browse {

namespace {

const QString kHttp = QStringLiteral("http://");

bool isStopCharacter(QChar c)
{
    return c == u'\'' || c == u'=' || c == u'<' || c == u'"' || c == u'>' || c == u' ';
}

// True when "http://" (any case) starts at `at` and ends before `end`.
bool httpAt(QStringView line, qsizetype at, qsizetype end)
{
    return at + kHttp.size() <= end && (line.at(at) == u'h' || line.at(at) == u'H') &&
           line.mid(at, kHttp.size()).compare(kHttp, Qt::CaseInsensitive) == 0;
}

// The plain-text candidate: the text before the extension that ends at `end` (an index just
// after it), back to the nearest delimiter (' = < " > space or "http://"), which is not part
// of it. The scan starts with the five characters before `end`; when the extension ends
// within the first four characters of the line, it starts at the line's beginning.
QString plainTextCandidate(QStringView line, qsizetype end)
{
    qsizetype start = std::max<qsizetype>(end - 5, 0);
    bool stopped = false;
    for (qsizetype i = start; i < end && !stopped; ++i)
        stopped = isStopCharacter(line.at(i)) || httpAt(line, i, end);
    while (start > 0 && !stopped) {
        --start;
        stopped = isStopCharacter(line.at(start)) || httpAt(line, start, end);
    }
    // The window's first character is the delimiter that stopped the scan.
    return line.mid(stopped ? start + 1 : start, end - (stopped ? start + 1 : start)).toString();
}

// One part of a frame's address: up to a ">" that comes before the first space, else up to
// and including the first space, else the whole line.
QStringView framePart(QStringView line)
{
    const qsizetype close = line.indexOf(u'>');
    const qsizetype space = line.indexOf(u' ');
    if (close >= 0 && space >= 0 && close < space)
        return line.left(close + 1);
    if (space >= 0)
        return line.left(space + 1);
    return line;
}

void removeFirst(QString &text, QLatin1String piece)
{
    if (const qsizetype at = text.indexOf(piece, 0, Qt::CaseSensitive); at >= 0)
        text.remove(at, piece.size());
}

} // namespace

qsizetype positionAfterExtension(const QString &text, const core::TldTable &table)
{
    return sources::EnabledExtensions(table).positionAfterExtension(text);
}

QStringList ExtractedPage::names() const
{
    QStringList names;
    for (const PageFinding &finding : findings) {
        if (finding.kind == PageFinding::Kind::Name)
            names.append(finding.text);
    }
    return names;
}

QStringList ExtractedPage::frames() const
{
    QStringList frames;
    for (const PageFinding &finding : findings) {
        if (finding.kind == PageFinding::Kind::Frame)
            frames.append(finding.text);
    }
    return frames;
}

PageExtraction::PageExtraction(FoundNames &found, const core::TldTable &table, const QString &markup)
    : m_found(found), m_extensions(table), m_lines(sources::normalisePageText(markup, m_extensions))
{
}

bool PageExtraction::step(qsizetype maxLines)
{
    for (qsizetype done = 0; !m_finished && !m_lines.atEnd() && done < maxLines; ++done)
        processLine(m_lines.next());
    if (!m_finished && m_lines.atEnd())
        finish();
    return m_finished;
}

const ExtractedPage &PageExtraction::run()
{
    while (!step(4096)) {
    }
    return m_result;
}

void PageExtraction::processLine(QStringView raw)
{
    if (m_framePending) {
        followFrame(sources::decodePageLine(raw));
        return;
    }
    // Without a dot a line holds no extension, and decoding makes no dot; only a frame line
    // can matter then ("<" and "=" may come from escapes, "Frame" and "src" cannot).
    if (!raw.contains(u'.') && !raw.contains(QLatin1String("frame"), Qt::CaseInsensitive))
        return;
    const QString line = sources::decodePageLine(raw);
    if (line.contains(QLatin1String("<Frame"), Qt::CaseInsensitive) &&
        line.contains(QLatin1String("src="), Qt::CaseInsensitive)) {
        m_framePending = true;
        return;
    }
    if (sources::isAddressLine(line, m_extensions))
        takeAddress(line);
    else if (m_extensions.foundIn(line))
        takePlainText(line);
}

void PageExtraction::followFrame(const QString &line)
{
    m_framePending = false;
    // The line after this one is read as it stands and belongs to the address. When the
    // document ends here, this line's part is the whole address.
    const QStringView next = m_lines.atEnd() ? QStringView() : m_lines.next();
    QString address = framePart(line).toString() + framePart(next).toString();
    for (const char16_t *piece : {u"\"", u">", u"<", u"http://", u"ttp://", u"tp://", u"p://", u"://"})
        address = sources::replaceAll(address, QStringView(piece), {});
    address = address.trimmed();
    if (address.isEmpty())
        return;
    m_result.statusText = kFollowingFrameText + address;
    m_result.findings.append(PageFinding{PageFinding::Kind::Frame, address});
}

void PageExtraction::takeAddress(QString line)
{
    line.remove(0, kHttp.size());
    offer(sources::addressCandidate(std::move(line)), true);
}

void PageExtraction::takePlainText(const QString &line)
{
    const qsizetype after = m_extensions.positionAfterExtension(line);
    if (after == 0)
        return;
    QString text = plainTextCandidate(line, after - 1);
    for (const QLatin1String scheme : {QLatin1String("http://"), QLatin1String("ttp://"),
                                       QLatin1String("tp://"), QLatin1String("p://"), QLatin1String("://")})
        removeFirst(text, scheme);
    if (const qsizetype space = text.indexOf(u' '); space >= 0)
        text.truncate(space + 1);
    if (const qsizetype slash = text.indexOf(u'/'); slash >= 0)
        text.truncate(slash);
    if (const qsizetype dot = text.indexOf(u'.'); dot + 1 < text.size() - 3)
        text.remove(0, dot + 1);
    sources::Candidate candidate;
    candidate.extension = sources::candidateExtension(text);
    // An e-mail address gives its domain; "mailto:" and the like go with their colon.
    if (const qsizetype at = text.indexOf(u'@'); at >= 0)
        text.remove(0, at + 1);
    if (const qsizetype colon = text.indexOf(u':'); colon >= 0)
        text.remove(0, colon + 1);
    candidate.host = std::move(text);
    offer(candidate, false);
}

void PageExtraction::offer(const sources::Candidate &candidate, bool testTargetBlank)
{
    const QString name = sources::acceptableName(candidate, m_extensions, testTargetBlank);
    if (name.isEmpty() || m_found.isSeen(name))
        return;
    m_found.accept(name);
    m_result.findings.append(PageFinding{PageFinding::Kind::Name, name});
    m_result.statusText = kDomainsFoundText;
}

void PageExtraction::finish()
{
    m_finished = true;
    m_result.queueText = m_found.takeQueueText();
    m_result.statusText = m_found.foundOnPage() < 1 ? kNoDomainsFoundText : kDomainsFoundText;
}

ExtractedPage extractPageNames(FoundNames &found, const core::TldTable &table, const QString &markup)
{
    PageExtraction extraction(found, table, markup);
    return extraction.run();
}

} // namespace wendlecott::browse
