#include "core/lists/UnansweredNames.h"

#include "core/base/TextFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace wendlecott::core {

namespace {

QString keyOf(const QString &name)
{
    return name.trimmed().toLower();
}

qint64 steadyMs()
{
    static QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

} // namespace

UnansweredNames::UnansweredNames(QString path, QObject *parent)
    : UnansweredNames(std::move(path), &steadyMs, parent)
{
}

UnansweredNames::UnansweredNames(QString path, Clock clock, QObject *parent)
    : QObject(parent), m_path(std::move(path)), m_clock(clock ? std::move(clock) : Clock(&steadyMs))
{
    m_batch.setSingleShot(true);
    connect(&m_batch, &QTimer::timeout, this, [this] { (void)flush(); });
}

UnansweredNames::~UnansweredNames()
{
    (void)flush();
}

bool UnansweredNames::isThisFile(const QString &path) const
{
    const QFileInfo other(path);
    const QFileInfo mine(m_path);
    if (other.exists() && mine.exists())
        return other.canonicalFilePath() == mine.canonicalFilePath();
    return other.absoluteFilePath() == mine.absoluteFilePath();
}

// Reads the file again when it is not what this object last saw. Removals that wait for
// their batch are newer than the file, which is then left for them to replace.
void UnansweredNames::refresh()
{
    if (m_pending)
        return;
    const QFileInfo info(m_path);
    const qint64 size = info.exists() ? info.size() : -1;
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    if (m_loaded && size == m_size && modified == m_modified)
        return;
    const qsizetype before = m_live.size();
    load();
    m_loaded = true;
    m_size = size;
    m_modified = modified;
    if (m_live.size() != before)
        Q_EMIT countChanged(int(m_live.size()));
}

// A line at a time: the names take their own memory, never the file's twice over.
void UnansweredNames::load()
{
    m_entries.clear();
    m_live.clear();
    if (!requireRegularFile(m_path))
        return;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        QString name = decodeText(file.readLine(kMaxLineBytes)).trimmed();
        if (name.isEmpty())
            continue;
        QString key = keyOf(name);
        if (m_live.contains(key))
            continue; // a name written twice (by hand) is kept once, at its first place
        append(std::move(name), std::move(key));
    }
}

void UnansweredNames::append(QString name, QString key)
{
    const quint64 turn = m_nextTurn++;
    m_live.insert(key, turn);
    m_entries.push_back(Entry{std::move(name), std::move(key), turn});
}

// Drops the entries of settled names.
void UnansweredNames::compact()
{
    if (m_entries.size() == std::size_t(m_live.size()))
        return;
    const auto dead = [this](const Entry &entry) {
        const auto live = m_live.constFind(entry.key);
        return live == m_live.cend() || *live != entry.turn;
    };
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(), dead), m_entries.end());
}

void UnansweredNames::remember()
{
    const QFileInfo info(m_path);
    m_size = info.exists() ? info.size() : -1;
    m_modified = info.exists() ? info.lastModified() : QDateTime();
}

QStringList UnansweredNames::names()
{
    refresh();
    compact();
    QStringList names;
    names.reserve(qsizetype(m_entries.size()));
    for (const Entry &entry : m_entries)
        names.append(entry.name);
    return names;
}

int UnansweredNames::count()
{
    refresh();
    return int(m_live.size());
}

bool UnansweredNames::contains(const QString &name)
{
    refresh();
    return m_live.contains(keyOf(name));
}

Status UnansweredNames::keep(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return {};
    refresh();
    QString key = keyOf(trimmed);
    if (m_live.contains(key))
        return {};
    append(trimmed, std::move(key));
    const Status written = appendText(m_path, trimmed + QLatin1String(kCrLf));
    remember();
    Q_EMIT countChanged(int(m_live.size()));
    return written;
}

Status UnansweredNames::settle(const QString &name)
{
    refresh();
    if (m_live.remove(keyOf(name)) == 0)
        return {};
    m_pending = true;
    Q_EMIT countChanged(int(m_live.size()));
    const qint64 now = m_clock();
    if (m_lastRewrite < 0 || now - m_lastRewrite >= kSettleIntervalMs)
        return flush();
    if (!m_batch.isActive())
        m_batch.start(int(kSettleIntervalMs - (now - m_lastRewrite)));
    return {};
}

Status UnansweredNames::flush()
{
    m_batch.stop();
    if (!m_pending)
        return {};
    compact();
    QString text;
    for (const Entry &entry : m_entries) {
        text += entry.name;
        text += QLatin1String(kCrLf);
    }
    const Status written = writeTextAtomically(m_path, text);
    m_lastRewrite = m_clock();
    m_pending = !written.ok(); // tried again with the next batch
    remember();
    return written;
}

RunSource UnansweredNames::snapshotSource()
{
    auto names = std::make_shared<const QStringList>(this->names());
    RunSource source;
    source.listPath = m_path;
    source.readEntry = [names](qint32 position) -> Result<QString> {
        if (position < 1 || position > names->size())
            return kEndOfListSentinel;
        return names->at(position - 1);
    };
    source.domainFor = [](const QString &entry) { return entry; };
    return source;
}

} // namespace wendlecott::core
