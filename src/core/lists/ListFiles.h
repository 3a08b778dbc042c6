#pragma once

#include "core/base/Result.h"
#include "core/base/UserNotice.h"
#include "core/lists/ListRules.h"

#include <QDateTime>
#include <QLocale>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace wendlecott::core {

// The files of the lists, all under the program folder: the live files of lists 1, 4 and 3
// (base name + `FileStamp` + ".txt"), their copies in "overflow", the marker files in
// "backups", and "Remembered.txt" for the saved list. The lists themselves live elsewhere;
// every write takes their entries as they are at that moment.
//
// A file that cannot be written keeps its old content and is reported once per fault: its
// group stays failing, and silent, until its files can be written again.
class ListFiles final {
public:
    using Clock = std::function<QDateTime()>;
    // The entries of a list, for the writes that cover several lists.
    using EntriesOf = std::function<const QStringList &(ListId)>;

    // `root` is the program folder. The clock gives the local time for file stamps; the
    // locale writes them.
    ListFiles(QString root, UserNotice &notice, Clock clock = &QDateTime::currentDateTime,
              QLocale locale = QLocale::system());

    QString fileStamp() const { return m_fileStamp; }
    // A new stamp from the clock; the next writes start a new set of live files and the old
    // set stays on disk as it was.
    void newFileStamp();

    // The live file of list 1, 3 or 4 with the current stamp; empty for other lists.
    QString liveFilePath(ListId id) const;
    QString rememberedPath() const;

    // Brings the three live files in line with lists 1, 4 and 3. A file that still holds
    // exactly the start of its list (as this object last wrote it) gets the missing lines
    // appended; any other is replaced whole. A file this object has not written yet that
    // holds names (from an earlier start of either program) is first moved into "backups" as
    // base name + "-" + yyyyMMdd-HHmmss + ".txt"; when that move fails, the file is not
    // replaced and the failure is reported.
    void saveProfileLists(const EntriesOf &entries);
    // A list lost or reordered entries: its live file keeps its content until the next
    // saveProfileLists, which then replaces it whole.
    void listChangedBehindFile(ListId id);

    // True while a live or overflow file could not be written (its list is only in memory).
    bool hasUnwrittenLists() const;
    // Writes again the live files whose last write failed; the others are left alone.
    void retryFailedLists(const EntriesOf &entries);

    // Copies lists 1, 4 and 3 into "overflow" with the current stamp. A set from an earlier
    // session under the same names is kept and this one goes beside it; a retry after a
    // failure completes the set it began. True when all three files were written.
    bool saveOverflow(const EntriesOf &entries);
    // One blank line each to "backups/HighProfile", "MidProfile" and "HighProfile" again,
    // with the current stamp: written after every overflow reset.
    void writeBackupMarkers();

    // The saved list as "Remembered.txt" holds it, without empty and single-space lines.
    // A missing file gives an empty list silently; an unreadable one is reported.
    QStringList loadRemembered();
    bool saveRemembered(const QStringList &saved);

private:
    enum class FileGroup { Live, Overflow, Markers, Remembered, Count };
    struct LiveFile {
        QString path;         // resolved for the current stamp; empty until needed
        bool mirrors = false; // the file holds exactly the first `rows` entries of its list
        qsizetype rows = 0;
        qint64 bytes = 0;
        QString claimedPath; // the path this object has written (or found free) this start
    };

    LiveFile &liveFile(ListId id);
    bool needsWholeRewrite(const LiveFile &file, qsizetype size) const;
    Status rewriteLiveFile(ListId id, const QStringList &list, LiveFile &file);
    Status appendToLiveFile(const QStringList &list, LiveFile &file);
    Status keepEarlierFile(ListId id, const QString &path);
    QStringList overflowPaths(const QString &stamp) const;
    QString freeOverflowStamp() const;
    QString underFolder(const QString &folder, const QString &name) const;

    // Fault bookkeeping: a write's outcome, then one message for the faults that are new.
    bool isFailing(FileGroup group) const;
    void noteWrite(FileGroup group, const QString &path, const Status &status, QStringList &newFaults);
    void report(FileGroup group, const QStringList &faults);

    QString m_root;
    UserNotice &m_notice;
    Clock m_clock;
    QLocale m_locale;

    QString m_fileStamp;
    std::array<LiveFile, 3> m_liveFiles;         // in kProfileFileOrder
    std::optional<QString> m_overflowRetryStamp; // the set a failed overflow save must complete
    std::array<QSet<QString>, static_cast<int>(FileGroup::Count)> m_failing;
};

} // namespace wendlecott::core
