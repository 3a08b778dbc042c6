#pragma once

#include "core/Result.h"
#include "core/RunSource.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace wendlecott::core {

// The file in the program folder that keeps the names a run took but could not file.
inline const QString kUnansweredFileName = QStringLiteral("Unanswered.txt");

// The names that were looked up without a verdict a user can act on (Unknown, Blocked,
// timed out, stopped in flight, or no server to ask), in the order they first failed, one
// domain a line: the file is a list like any other. A name leaves it when a later lookup
// gives it a verdict (Available or Registered); a name already in it keeps its place.
//
// Adding appends to the file (cut back on failure), removing replaces it atomically. The
// file is read again when it changed on disk since this object last read or wrote it, so
// the command line and the desktop program can share it. Names are compared without regard
// to case. A name that could not be written is still kept here for this session.
class UnansweredNames final : public QObject {
    Q_OBJECT
public:
    explicit UnansweredNames(QString path, QObject *parent = nullptr);

    QString path() const { return m_path; }
    // Whether `path` names this file (compared as the file system resolves it).
    bool isThisFile(const QString &path) const;

    QStringList names();
    int count();
    bool contains(const QString &name);

    // A lookup of `name` ended without a verdict: it is kept (at the end when new).
    Status keep(const QString &name);
    // A lookup of `name` gave a verdict: it leaves the file when it is there.
    Status settle(const QString &name);

    // A run over the names as they stand now: entry p is the p-th name, then the end of the
    // list. The run keeps no resume position (the user's lists keep theirs), and names
    // taken are looked up as written. Answered names leave the file as the run files them.
    RunSource snapshotSource();

Q_SIGNALS:
    void countChanged(int count);

private:
    void refresh();
    void remember();
    void setNames(QStringList names);

    QString m_path;
    QStringList m_names;
    QSet<QString> m_keys; // lower-case names
    qint64 m_size = -1;   // the file as last read or written; -1: missing
    QDateTime m_modified;
};

} // namespace wendlecott::core
