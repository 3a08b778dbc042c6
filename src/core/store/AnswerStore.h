#pragma once

#include "core/base/Result.h"
#include "core/base/Scheduler.h"
#include "core/lookup/AnswerRecorder.h"
#include "core/store/AnswerWriter.h"
#include "core/store/StoredAnswer.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QSqlQuery;

namespace wendlecott::store {

// The store's file in the program folder, and where a file that cannot be used is moved.
inline const QString kStoreFileName = QStringLiteral("answers.sqlite");
inline const QString kStoreBackupFolder = QStringLiteral("backups");
// The schema this program writes. 1: the answers; 2: the watch list and the latest answer of
// each name beside them; 3: the latest answers kept by the writer instead of a trigger; 4:
// answer texts compressed.
constexpr int kStoreSchemaVersion = 4;
// Answers recorded but not yet written are written this long after the first of them, so a
// crash loses at most this much; Stop and exit call flush().
constexpr qint64 kStoreFlushDelayMs = 1000;
// A batch this large is written at once, whatever its age.
constexpr qsizetype kStoreMaxBatch = 4096;

enum class StoreMode {
    ReadWrite, // creates the file when missing, migrates an older schema, writes answers
    ReadOnly,  // reads what is there and writes nothing (another program owns the folder)
};

// How opening went. A store that opened says nothing; otherwise `problem` tells the user
// what was wrong with the file and, when it was moved aside, where it went.
struct StoreOpening {
    enum class Outcome {
        Opened,      // the existing file, migrated when older
        Created,     // a new file (none was there)
        Replaced,    // the file could not be used: moved to `movedTo`, a new file started
        Empty,       // read-only and there is no file: a store without answers
        Unavailable, // no store: the run goes on without one (`problem` says why)
    };
    Outcome outcome = Outcome::Opened;
    core::Status problem;
    QString movedTo;
};

// Which latest answers an export takes.
struct ExportFilter {
    std::optional<core::LookupVerdict> verdict;
    QDateTime since; // answered at or after; invalid: every time
};

// One latest answer's export columns (exportColumns() order) as UTF-8 text.
constexpr int kLatestColumnCount = 15;
using LatestUtf8 = std::array<QByteArrayView, kLatestColumnCount>;

// Every finished lookup kept in one SQLite file ("answers.sqlite", WAL journal, schema
// version in the file, migrated forward on open). Answers are recorded into a batch that is
// handed to a writer thread a second after its first answer (with a scheduler), when it
// grows large, on flush() and on destruction; the writer reads the registration details and
// writes each batch in one transaction, all or nothing, so a crash loses at most the last
// second and leaves no answer half-written, and a run never waits for the disk. Reads wait
// for what is queued to be written, so they see it too.
// A file that is damaged, locked by another program or no store of ours is never deleted:
// it is moved into backups/ with a time stamp and a new store is started. A file written by
// a newer program is left alone and the run goes on without a store.
class AnswerStore final : public core::AnswerRecorder {
public:
    ~AnswerStore() override;
    AnswerStore(const AnswerStore &) = delete;
    AnswerStore &operator=(const AnswerStore &) = delete;

    // Opens the store of `programFolder`. Null (outcome Unavailable) when there is none to
    // use. `scheduler`, when given, writes batches a second after they start.
    static std::unique_ptr<AnswerStore> open(const QString &programFolder, StoreMode mode,
                                             StoreOpening &report, core::Scheduler *scheduler = nullptr);

    // Queues one finished lookup (read-only: ignored). A failed write is told by flush().
    core::Status record(const core::LookupEvidence &evidence, const core::RegistrationDetails &details,
                        const QDateTime &when = QDateTime::currentDateTimeUtc());
    core::Status record(StoredAnswer answer);
    // The filer's step: the lookup with the registration details read from its answer, now.
    core::Status record(const core::LookupEvidence &evidence) override;
    // Writes the queued answers now and waits until they are in the file. A batch that could
    // not be written is dropped and counted in lostAnswers(); the result says so, also for a
    // batch the writer failed on earlier.
    core::Status flush() override;
    // Waits until the answers handed to the writer (a second after the first of them, or a
    // full batch) are in the file; the answers still queued here stay queued.
    core::Status waitForWrites();
    // The newest answer for `name` (queued ones included, without writing them) as evidence
    // marked reused, when core::mayReuseAnswer allows it at `now`.
    std::optional<core::LookupEvidence> reusableAnswer(const QString &name, int days,
                                                       const QDateTime &now) override;

    // The newest answer for `name` (case does not matter), and every answer, newest first.
    std::optional<StoredAnswer> latest(const QString &name);
    core::Result<QList<StoredAnswer>> history(const QString &name);
    // The same without the answers' texts.
    core::Result<QList<StoredAnswer>> historyWithoutText(const QString &name);
    // The latest answer of each name that passes `filter`, in name order, as the text of the
    // export's columns (exportColumns(): dates ISO 8601 in UTC, lists one item a line, empty
    // where nothing is known); `visit` returns false to stop.
    core::Status forEachLatest(const ExportFilter &filter,
                               const std::function<bool(const QStringList &)> &visit);
    // The same answers with their columns as SQLite holds them, UTF-8, valid only during the
    // call: a large export reads them without a conversion a column.
    core::Status forEachLatestUtf8(const ExportFilter &filter,
                                   const std::function<bool(const LatestUtf8 &)> &visit);

    // The watch list: names in the order they were added.
    core::Status watchAdd(const QStringList &names, const QDateTime &when = QDateTime::currentDateTimeUtc());
    core::Status watchRemove(const QStringList &names);
    core::Result<QStringList> watchedNames();

    bool isReadOnly() const { return m_mode == StoreMode::ReadOnly; }
    QString path() const { return m_path; }
    qsizetype pendingCount() const { return m_pending.size(); }
    qint64 lostAnswers() const { return m_lost; }

private:
    AnswerStore(QString path, StoreMode mode, QString connection, core::Scheduler *scheduler);
    core::Status prepare();
    void queue(QueuedAnswer answer);
    void handOver();
    core::Result<QList<StoredAnswer>> select(const QString &where, const QList<QVariant> &values,
                                             bool withText);
    // The query of the latest answers that pass `filter`, in name order, and its values.
    core::Status latestQuery(const ExportFilter &filter, QString &sql, QVariantList &values);

    QString m_path;
    StoreMode m_mode;
    QString m_connection; // empty: read-only without a file
    int m_version = kStoreSchemaVersion;
    std::unique_ptr<AnswerWriter> m_writer; // read-write: writes the batches on its thread
    std::unique_ptr<QSqlQuery> m_newest;    // the newest written answer of a name, for reuse
    QList<QueuedAnswer> m_pending;
    QSet<QString> m_handedOver; // names of answers the writer may not have written yet
    std::unique_ptr<core::SingleShot> m_flushTimer;
    qint64 m_lost = 0;
};

} // namespace wendlecott::store
