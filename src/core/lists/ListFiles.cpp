#include "core/lists/ListFiles.h"

#include "core/base/Paths.h"
#include "core/base/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace wendlecott::core {

namespace {

const QString kOverflowFolder = QStringLiteral("overflow");
const QString kBackupsFolder = QStringLiteral("backups");
const QString kTextSuffix = QStringLiteral(".txt");

QByteArray linesAsBytes(const QStringList &entries, qsizetype from = 0)
{
    QString text;
    for (qsizetype i = from; i < entries.size(); ++i) {
        text += entries.at(i);
        text += QLatin1String(kCrLf);
    }
    return encodeText(text);
}

} // namespace

ListFiles::ListFiles(QString root, UserNotice &notice, Clock clock, QLocale locale)
    : m_root(std::move(root))
    , m_notice(notice)
    , m_clock(clock ? std::move(clock) : Clock(&QDateTime::currentDateTime))
    , m_locale(std::move(locale))
{
}

void ListFiles::newFileStamp()
{
    m_fileStamp = fileStampFor(m_clock(), m_locale);
    for (LiveFile &file : m_liveFiles)
        file = LiveFile{};
}

QString ListFiles::liveFilePath(ListId id) const
{
    if (!hasLiveFile(id))
        return {};
    return resolveUnder(m_root, fileBaseName(id) + m_fileStamp + kTextSuffix);
}

QString ListFiles::rememberedPath() const
{
    return resolveUnder(m_root, QStringLiteral("Remembered.txt"));
}

QString ListFiles::underFolder(const QString &folder, const QString &name) const
{
    const QString dir = resolveUnder(m_root, folder);
    if (!QFileInfo(dir).isDir())
        QDir().mkpath(dir); // made at start-up; made again if someone removed it since
    return resolveUnder(dir, name);
}

// Live files -----------------------------------------------------------------------------

ListFiles::LiveFile &ListFiles::liveFile(ListId id)
{
    const auto at = std::find(kProfileFileOrder.begin(), kProfileFileOrder.end(), id);
    return m_liveFiles[static_cast<std::size_t>(at - kProfileFileOrder.begin())];
}

void ListFiles::listChangedBehindFile(ListId id)
{
    if (hasLiveFile(id))
        liveFile(id).mirrors = false;
}

bool ListFiles::needsWholeRewrite(const LiveFile &file, qsizetype size) const
{
    if (!file.mirrors || file.rows > size || file.path.isEmpty())
        return true;
    // Someone may have changed or removed the file since we wrote it.
    const QFileInfo info(file.path);
    return !info.exists() || info.size() != file.bytes;
}

// A live file that holds names of an earlier start goes into "backups" before its first
// replacement: its names may never have been dragged to the saved list.
Status ListFiles::keepEarlierFile(ListId id, const QString &path)
{
    if (!QFileInfo(path).isFile())
        return Status::success();
    const Result<QByteArray> old = readBytes(path);
    if (!old)
        return old.status();
    if (old.value().trimmed().isEmpty())
        return Status::success(); // no names to keep
    const QString base = fileBaseName(id) + m_fileStamp + QLatin1Char('-') +
                         m_clock().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = underFolder(kBackupsFolder, base + kTextSuffix);
    for (int n = 2; QFileInfo::exists(target) && n < 1000; ++n)
        target = underFolder(kBackupsFolder, base + QStringLiteral("-%1").arg(n) + kTextSuffix);
    QFile file(path);
    if (QFileInfo::exists(target) || !file.rename(target))
        return Status::failure(
            ErrorCode::WriteFailed,
            QStringLiteral("Could not keep the earlier %1 in %2 (%3); it is left as it was.")
                .arg(QFileInfo(path).fileName(), kBackupsFolder, file.errorString()));
    return Status::success();
}

Status ListFiles::rewriteLiveFile(ListId id, const QStringList &list, LiveFile &file)
{
    const QByteArray bytes = linesAsBytes(list);
    file.path = liveFilePath(id);
    if (file.claimedPath != file.path) {
        if (const Status kept = keepEarlierFile(id, file.path); !kept) {
            file.mirrors = false;
            return kept;
        }
        file.claimedPath = file.path;
    }
    const Status status = writeFileAtomically(file.path, bytes);
    file.mirrors = status.ok();
    file.rows = status.ok() ? list.size() : 0;
    file.bytes = status.ok() ? bytes.size() : 0;
    return status;
}

Status ListFiles::appendToLiveFile(const QStringList &list, LiveFile &file)
{
    const QByteArray bytes = linesAsBytes(list, file.rows);
    const Status status = appendToFile(file.path, bytes);
    if (status.ok()) {
        file.rows = list.size();
        file.bytes += bytes.size();
    } else {
        file.mirrors = false;
    }
    return status;
}

void ListFiles::saveProfileLists(const EntriesOf &entries)
{
    const bool wasFailing = isFailing(FileGroup::Live);
    QStringList fresh;
    for (const ListId id : kProfileFileOrder) {
        const QStringList &list = entries(id);
        LiveFile &file = liveFile(id);
        if (needsWholeRewrite(file, list.size())) {
            const Status status = rewriteLiveFile(id, list, file);
            noteWrite(FileGroup::Live, file.path, status, fresh);
        } else if (file.rows < list.size()) {
            noteWrite(FileGroup::Live, file.path, appendToLiveFile(list, file), fresh);
        }
    }
    if (!wasFailing && !fresh.isEmpty())
        report(FileGroup::Live, fresh);
}

bool ListFiles::hasUnwrittenLists() const
{
    return isFailing(FileGroup::Live) || isFailing(FileGroup::Overflow);
}

void ListFiles::retryFailedLists(const EntriesOf &entries)
{
    if (isFailing(FileGroup::Live))
        saveProfileLists(entries);
}

// Overflow and backups -------------------------------------------------------------------

QStringList ListFiles::overflowPaths(const QString &stamp) const
{
    QStringList paths;
    for (const ListId id : kProfileFileOrder)
        paths.append(underFolder(kOverflowFolder, fileBaseName(id) + stamp + kTextSuffix));
    return paths;
}

// The stamp is empty after every start, so a set from an earlier session may already be
// there under the current names: the new set then takes the time of now, numbered on if
// even that is taken.
QString ListFiles::freeOverflowStamp() const
{
    auto anyExists = [](const QStringList &paths) {
        return std::any_of(paths.begin(), paths.end(), [](const QString &p) { return QFileInfo::exists(p); });
    };
    if (!anyExists(overflowPaths(m_fileStamp)))
        return m_fileStamp;
    const QString now = fileStampFor(m_clock(), m_locale);
    QString stamp = now;
    for (int n = 2; anyExists(overflowPaths(stamp)) && n < 1000; ++n)
        stamp = now + QLatin1Char('-') + QString::number(n);
    return stamp;
}

bool ListFiles::saveOverflow(const EntriesOf &entries)
{
    const bool wasFailing = isFailing(FileGroup::Overflow);
    const QString stamp = m_overflowRetryStamp ? *m_overflowRetryStamp : freeOverflowStamp();
    const QStringList paths = overflowPaths(stamp);
    QStringList fresh;
    bool ok = true;
    for (std::size_t i = 0; i < kProfileFileOrder.size(); ++i) {
        const QString &path = paths.at(static_cast<qsizetype>(i));
        const Status status = writeFileAtomically(path, linesAsBytes(entries(kProfileFileOrder[i])));
        ok = ok && status.ok();
        noteWrite(FileGroup::Overflow, path, status, fresh);
    }
    // A retry after a partial failure completes the same set instead of starting another.
    m_overflowRetryStamp = ok ? std::nullopt : std::optional<QString>(stamp);
    if (!wasFailing && !fresh.isEmpty())
        report(FileGroup::Overflow, fresh);
    return ok;
}

void ListFiles::writeBackupMarkers()
{
    // Written once per reset, so every failed reset is told.
    m_failing[static_cast<int>(FileGroup::Markers)].clear();
    QStringList fresh;
    const QString high =
        underFolder(kBackupsFolder, QStringLiteral("HighProfile") + m_fileStamp + kTextSuffix);
    const QString mid = underFolder(kBackupsFolder, QStringLiteral("MidProfile") + m_fileStamp + kTextSuffix);
    const QByteArray blankLine = QByteArray(" ") + kCrLf;
    for (const QString &path : {high, mid, high})
        noteWrite(FileGroup::Markers, path, appendToFile(path, blankLine), fresh);
    if (!fresh.isEmpty())
        report(FileGroup::Markers, fresh);
}

// The saved list -------------------------------------------------------------------------

QStringList ListFiles::loadRemembered()
{
    const Result<QStringList> lines = readLines(rememberedPath());
    if (!lines) {
        if (lines.code() != ErrorCode::NotFound)
            m_notice.showMessage(QString(), lines.message(), NoticeIcon::Warning);
        return {};
    }
    QStringList names;
    for (const QString &line : lines.value()) {
        if (!line.isEmpty() && line != QLatin1String(" "))
            names.append(line);
    }
    return names;
}

bool ListFiles::saveRemembered(const QStringList &saved)
{
    const bool wasFailing = isFailing(FileGroup::Remembered);
    const QString path = rememberedPath();
    QStringList fresh;
    const Status status = writeFileAtomically(path, linesAsBytes(saved));
    noteWrite(FileGroup::Remembered, path, status, fresh);
    if (!wasFailing && !fresh.isEmpty())
        report(FileGroup::Remembered, fresh);
    return status.ok();
}

// Faults ---------------------------------------------------------------------------------

bool ListFiles::isFailing(FileGroup group) const
{
    return !m_failing[static_cast<int>(group)].isEmpty();
}

void ListFiles::noteWrite(FileGroup group, const QString &path, const Status &status, QStringList &newFaults)
{
    QSet<QString> &failing = m_failing[static_cast<int>(group)];
    if (status.ok()) {
        failing.remove(path);
        return;
    }
    if (!failing.contains(path)) {
        failing.insert(path);
        newFaults.append(QDir::toNativeSeparators(path) + QStringLiteral("\n(") + status.message() +
                         QLatin1Char(')'));
    }
}

void ListFiles::report(FileGroup group, const QStringList &faults)
{
    QString tail;
    switch (group) {
    case FileGroup::Live:
        tail = QStringLiteral("The lists in the window are kept. The file is written again with the next "
                              "available name.");
        break;
    case FileGroup::Overflow:
        tail = QStringLiteral("The lists have not been cleared. Saving them to the overflow folder is tried "
                              "again after the next lookup.");
        break;
    case FileGroup::Markers:
        tail = QStringLiteral("The lists were saved to the overflow folder and cleared.");
        break;
    case FileGroup::Remembered:
        tail = QStringLiteral("The saved list in the window is kept. The file is written again at the next "
                              "drop.");
        break;
    case FileGroup::Count:
        break;
    }
    const QString head = faults.size() == 1 ? QStringLiteral("This file could not be written:")
                                            : QStringLiteral("These files could not be written:");
    m_notice.showMessage(QStringLiteral("Could Not Save"),
                         head + QStringLiteral("\n\n") + faults.join(QStringLiteral("\n\n")) +
                             QStringLiteral("\n\n") + tail,
                         NoticeIcon::Warning);
}

} // namespace wendlecott::core
