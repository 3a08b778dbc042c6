#include "sources/Generator.h"

#include "core/base/TextFile.h"

#include <QFileInfo>

namespace wendlecott::sources {

namespace {

constexpr qsizetype kLineEndSize = sizeof(kCreatedDomainsLineEnd) - 1;
// A progress text is due once a line has brought this many names since the last one.
constexpr qint64 kStatusEvery = 1000;

QString withoutBlanks(QString text)
{
    return text.remove(QLatin1Char(' '));
}

} // namespace

bool isUsableAffixLine(const QString &line)
{
    return !line.isEmpty() && line != QLatin1String(" ") && line != QLatin1String("\r\n");
}

core::Result<QStringList> readAffixWords(const QString &path)
{
    const auto text = core::readTextFile(path, kMaxAffixFileBytes);
    if (!text)
        return text.error();
    QStringList words;
    for (const QString &line : core::splitLines(text.value())) {
        if (isUsableAffixLine(line))
            words.append(line);
    }
    return words;
}

QStringList readGeneratorExtensions(const QString &tldPath)
{
    QStringList items;
    if (!QFileInfo(tldPath).isFile())
        return items;
    const auto lines = core::readLines(tldPath);
    if (!lines)
        return items;
    for (const QString &line : lines.value()) {
        if (!line.contains(QLatin1Char('|')))
            continue;
        const QStringList fields = line.split(QLatin1Char('|'));
        if (fields.size() < 4 || fields.at(3) != QLatin1String("Enabled") ||
            fields.at(0) == QLatin1String("proxy"))
            continue;
        items.append(QLatin1Char('.') + fields.at(0));
    }
    return items;
}

// NameBuffer ---------------------------------------------------------------------------

void NameBuffer::append(QByteArrayView stem, QByteArrayView extension)
{
    m_starts.push_back(m_bytes.size());
    m_bytes.append(stem);
    m_bytes.append(extension);
    m_bytes.append(kCreatedDomainsLineEnd, kLineEndSize);
}

QByteArrayView NameBuffer::utf8At(qsizetype index) const
{
    const auto i = std::size_t(index);
    const qsizetype start = m_starts.at(i);
    const qsizetype end = i + 1 < m_starts.size() ? m_starts[i + 1] : m_bytes.size();
    return QByteArrayView(m_bytes.constData() + start, end - start - kLineEndSize);
}

QString NameBuffer::at(qsizetype index) const
{
    return QString::fromUtf8(utf8At(index));
}

QStringList NameBuffer::toStringList() const
{
    QStringList list;
    list.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        list.append(at(i));
    return list;
}

void NameBuffer::clear()
{
    m_bytes.clear();
    m_starts.clear();
}

// GeneratorJob -------------------------------------------------------------------------

GeneratorJob::GeneratorJob(GeneratorInput input, qint64 nameLimit)
    : m_base(std::move(input.base))
    , m_baseUtf8(m_base.toUtf8())
    , m_affixes(std::move(input.affixes))
    , m_prefixes(input.prefixes)
    , m_suffixes(input.suffixes)
    , m_hyphens(input.hyphens)
    , m_nameLimit(nameLimit)
{
    m_extensions.reserve(std::size_t(input.extensions.size()));
    for (const QString &extension : std::as_const(input.extensions))
        m_extensions.push_back(extension.toLower().toUtf8());
    m_finished = m_affixes.isEmpty();
}

// Adds stem + every extension; false once the limit is reached.
bool GeneratorJob::add(const QByteArray &stem)
{
    for (const QByteArray &extension : m_extensions) {
        m_names.append(stem, extension);
        ++m_created;
        ++m_sinceUpdate;
        if (m_nameLimit > 0 && m_created >= m_nameLimit) {
            m_limitReached = true;
            return false;
        }
    }
    return true;
}

void GeneratorJob::buildLine(const QString &affix)
{
    const QString hyphen = QStringLiteral("-");
    // A base of one character gives no bare names.
    if (m_base.size() > 1 && !add(m_baseUtf8))
        return;
    if (m_prefixes) {
        if (!add(withoutBlanks(affix + m_base).toUtf8()))
            return;
        if (m_hyphens && !add(withoutBlanks(affix + hyphen + m_base).toUtf8()))
            return;
    }
    if (m_suffixes) {
        if (!add(withoutBlanks(m_base + affix).toUtf8()))
            return;
        if (m_hyphens && !add(withoutBlanks(m_base + hyphen + affix).toUtf8()))
            return;
    }
}

GeneratorProgress GeneratorJob::step(qint64 maxNames)
{
    GeneratorProgress progress;
    const qint64 before = m_created;
    maxNames = qMax<qint64>(1, maxNames);
    while (!m_finished && m_created - before < maxNames) {
        buildLine(m_affixes.at(m_nextLine));
        ++m_nextLine;
        // The progress text is renewed per line, not per name.
        if (m_sinceUpdate >= kStatusEvery) {
            m_status = creatingStatus(m_created);
            m_sinceUpdate = 0;
            progress.statusChanged = true;
        }
        if (m_limitReached || m_nextLine >= m_affixes.size())
            m_finished = true;
    }
    progress.created = m_created;
    progress.addedThisStep = m_created - before;
    progress.finished = m_finished;
    return progress;
}

void GeneratorJob::runToEnd()
{
    while (!m_finished)
        step(1'000'000);
}

QStringList generateNames(const GeneratorInput &input)
{
    GeneratorJob job(input);
    job.runToEnd();
    return job.names().toStringList();
}

QString creatingStatus(qint64 created)
{
    return QStringLiteral("Creating Domains - Created ") + QString::number(created) +
           QStringLiteral(" so far...");
}

QString sortingStatus(qint64 created)
{
    return QStringLiteral("Created ") + QString::number(created) + QStringLiteral(" domains...  Sorting...");
}

QString searchStartedStatus(qint64 created)
{
    return QStringLiteral("Created ") + QString::number(created) +
           QStringLiteral(" domains...  Search Started");
}

core::Status writeCreatedDomains(const QString &path, const NameBuffer &names)
{
    return core::writeFileAtomically(path, names.fileBytes());
}

core::Status appendAffixWord(const QString &path, const QString &word)
{
    QString text;
    if (QFileInfo(path).isFile()) {
        const auto bytes = core::readBytes(path);
        if (!bytes)
            return bytes.status();
        if (!bytes.value().isEmpty() && !bytes.value().endsWith('\n'))
            text = QLatin1String(core::kCrLf);
    }
    text += word;
    text += QLatin1String(core::kCrLf);
    return core::appendText(path, text);
}

QString textWithoutAffixWord(const QStringList &lines, const QString &word)
{
    const QString crLf = QLatin1String(core::kCrLf);
    QString kept;
    for (const QString &line : lines) {
        if (line != word)
            kept += line + crLf;
    }
    // One pass from the left: "\r\n\r\n\r\n" becomes "\r\n\r\n".
    kept.replace(crLf + crLf, crLf);
    return kept + crLf;
}

core::Status removeAffixWord(const QString &path, const QString &word)
{
    const auto lines = core::readLines(path);
    if (!lines)
        return lines.status();
    return core::writeTextAtomically(path, textWithoutAffixWord(lines.value(), word));
}

core::Status saveDomainsAs(const QString &source, const QString &destination)
{
    const auto bytes = core::readBytes(source);
    if (!bytes)
        return bytes.status();
    return core::writeFileAtomically(destination, bytes.value());
}

} // namespace wendlecott::sources
