#pragma once

#include "core/base/Result.h"
#include "core/lists/RunSource.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

namespace wendlecott::core {

// The file in the program folder that keeps the names a run took but could not file.
inline const QString kUnansweredFileName = QStringLiteral("Unanswered.txt");

// The names that were looked up without a verdict a user can act on (Unknown, Blocked,
// timed out, stopped in flight, or no server to ask), in the order they first failed, one
// domain a line: the file is a list like any other. A name leaves it when a later lookup
// gives it a verdict (Available or Registered); a name already in it keeps its place.
//
// The file is read when the names are first used, not before (a lookup that keeps none
// never reads it), a line at a time. Adding appends to the file (cut back on failure).
// Removing is settled in batches: the file is replaced atomically at most once a
// kSettleIntervalMs, the first removal after a quiet spell at once, the rest when the
// interval is over, at flush() and when this object goes; so a run over a long file costs
// one rewrite a second, not one per answer. The file is read again when it changed on disk
// since this object last read or wrote it (and no removal waits to be written), so the
// command line and the desktop program can share it. Names are compared without regard to
// case. A name that could not be written is still kept here for this session.
class UnansweredNames final : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kSettleIntervalMs = 1000;
    // Milliseconds from any fixed start, never going back.
    using Clock = std::function<qint64()>;

    explicit UnansweredNames(QString path, QObject *parent = nullptr);
    UnansweredNames(QString path, Clock clock, QObject *parent = nullptr);
    ~UnansweredNames() override;

    QString path() const { return m_path; }
    // Whether `path` names this file (compared as the file system resolves it).
    bool isThisFile(const QString &path) const;

    QStringList names();
    int count();
    bool contains(const QString &name);

    // A lookup of `name` ended without a verdict: it is kept (at the end when new).
    Status keep(const QString &name);
    // A lookup of `name` gave a verdict: it leaves the names at once and the file with the
    // next batch. A failure is that of a write made now; a batch that fails later is tried
    // again with the next one.
    Status settle(const QString &name);
    // Writes the removals that wait for their batch, at once.
    Status flush();

    // A run over the names as they stand now: entry p is the p-th name, then the end of the
    // list. The run keeps no resume position (the user's lists keep theirs), and names
    // taken are looked up as written. Answered names leave the file as the run files them.
    RunSource snapshotSource();

Q_SIGNALS:
    void countChanged(int count);

private:
    struct Entry {
        QString name;
        QString key;  // lower case
        quint64 turn; // the entry is live while the key's turn in m_live is this one
    };

    void refresh();
    void remember();
    void load();
    void append(QString name, QString key);
    void compact();

    QString m_path;
    Clock m_clock;
    std::vector<Entry> m_entries;   // in file order; settled entries until the next compact
    QHash<QString, quint64> m_live; // key -> turn of its live entry
    quint64 m_nextTurn = 0;
    bool m_loaded = false;
    bool m_pending = false;    // removals not yet in the file
    qint64 m_lastRewrite = -1; // by m_clock; -1: none yet
    QTimer m_batch;
    qint64 m_size = -1; // the file as last read or written; -1: missing
    QDateTime m_modified;
};

} // namespace wendlecott::core
