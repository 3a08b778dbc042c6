#include "core/UnansweredNames.h"

#include "core/TextFile.h"

#include <QFileInfo>

#include <memory>

namespace wendlecott::core {

namespace {

QString keyOf(const QString &name)
{
    return name.trimmed().toLower();
}

} // namespace

UnansweredNames::UnansweredNames(QString path, QObject *parent) : QObject(parent), m_path(std::move(path))
{
    refresh();
}

bool UnansweredNames::isThisFile(const QString &path) const
{
    const QFileInfo other(path);
    const QFileInfo mine(m_path);
    if (other.exists() && mine.exists())
        return other.canonicalFilePath() == mine.canonicalFilePath();
    return other.absoluteFilePath() == mine.absoluteFilePath();
}

// Reads the file again when it is not what this object last saw.
void UnansweredNames::refresh()
{
    const QFileInfo info(m_path);
    const qint64 size = info.exists() ? info.size() : -1;
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    if (size == m_size && modified == m_modified)
        return;
    QStringList names;
    if (const Result<QStringList> lines = readLines(m_path)) {
        for (const QString &line : lines.value()) {
            if (!line.trimmed().isEmpty())
                names.append(line.trimmed());
        }
    }
    m_size = size;
    m_modified = modified;
    setNames(std::move(names));
}

void UnansweredNames::remember()
{
    const QFileInfo info(m_path);
    m_size = info.exists() ? info.size() : -1;
    m_modified = info.exists() ? info.lastModified() : QDateTime();
}

void UnansweredNames::setNames(QStringList names)
{
    const int before = int(m_names.size());
    m_names.clear();
    m_keys.clear();
    for (QString &name : names) {
        const QString key = keyOf(name);
        if (m_keys.contains(key))
            continue; // a name written twice (by hand) is kept once, at its first place
        m_keys.insert(key);
        m_names.append(std::move(name));
    }
    if (int(m_names.size()) != before)
        Q_EMIT countChanged(int(m_names.size()));
}

QStringList UnansweredNames::names()
{
    refresh();
    return m_names;
}

int UnansweredNames::count()
{
    refresh();
    return int(m_names.size());
}

bool UnansweredNames::contains(const QString &name)
{
    refresh();
    return m_keys.contains(keyOf(name));
}

Status UnansweredNames::keep(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return {};
    refresh();
    if (m_keys.contains(keyOf(trimmed)))
        return {};
    m_keys.insert(keyOf(trimmed));
    m_names.append(trimmed);
    const Status written = appendText(m_path, trimmed + QLatin1String(kCrLf));
    remember();
    Q_EMIT countChanged(int(m_names.size()));
    return written;
}

Status UnansweredNames::settle(const QString &name)
{
    refresh();
    const QString key = keyOf(name);
    if (!m_keys.contains(key))
        return {};
    m_keys.remove(key);
    m_names.removeIf([&key](const QString &kept) { return keyOf(kept) == key; });
    const Status written = writeTextAtomically(m_path, joinLinesCrLf(m_names));
    remember();
    Q_EMIT countChanged(int(m_names.size()));
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
