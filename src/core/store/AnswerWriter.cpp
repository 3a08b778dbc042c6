#include "core/store/AnswerWriter.h"

#include "core/lookup/RegistrationDetails.h"
#include "core/store/StoreSchema.h"

#include <QSqlDatabase>
#include <QSqlError>

#include <sqlite3.h>

#ifdef Q_OS_LINUX
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <array>
#include <atomic>

namespace wendlecott::store {

namespace {

using core::ErrorCode;
using core::Status;

// Batches handed over and not yet written beyond this make submit() wait: memory stays bounded
// when the disk is slower than the run.
constexpr std::size_t kMaxWaitingBatches = 16;

// The writer's nice value: a tenth of a busy core's time or so against the run's thread, but
// all of an idle one.
constexpr int kWriterNiceness = 10;

constexpr int kAnswerColumn = 17; // the answer's text in kInsertSql, from 1
constexpr const char *kInsertSql =
    "INSERT INTO answers (name, extension, verdict, protocol, server, rule, http_status, bytes, "
    "elapsed_ms, answered_at, created, expires, updated, registrar, statuses, nameservers, answer) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

// The latest answer of each name the batch holds, from the batch's rows (ids from `?` on),
// in the order they were written so that a name's last answer wins.
constexpr const char *kKeepLatestSql =
    "INSERT OR REPLACE INTO latest SELECT name, id, verdict, protocol, server, rule, http_status, bytes, "
    "elapsed_ms, answered_at, created, expires, updated, registrar, statuses, nameservers FROM answers "
    "WHERE id >= ? ORDER BY id";

// The writer's connection:
//  - NORMAL synchronisation keeps every committed batch through a crash of the program;
//  - statement journals (the latest answers' REPLACE needs one) stay in memory, not in a
//    temporary file;
//  - a page cache of 32 MiB holds a whole batch, so that SQLite does not spill pages into
//    the WAL in the middle of it and rewrite them (and their checksums) at the commit.
constexpr const char *kWriterPragmas =
    "PRAGMA synchronous = NORMAL; PRAGMA temp_store = MEMORY; PRAGMA cache_size = -32768";

Status sqliteFailure(sqlite3 *db)
{
    return Status::failure(ErrorCode::WriteFailed, QString::fromUtf8(sqlite3_errmsg(db)));
}

// Binds UTF-8 text that stays alive until the row is inserted. A null pointer would bind NULL:
// an empty text is bound as "".
int bindText(sqlite3_stmt *insert, int column, const QByteArray &bytes)
{
    return sqlite3_bind_text(insert, column, bytes.isNull() ? "" : bytes.constData(), int(bytes.size()),
                             SQLITE_STATIC);
}

// Binds the answer's columns as UTF-8 (the file's encoding, so SQLite converts nothing) and
// inserts it. An empty optional text is NULL; an empty required one is stored empty. The
// answer's text goes in as a compressed frame (a BLOB) when that is shorter.
Status bindAndInsert(sqlite3 *db, sqlite3_stmt *insert, AnswerTextPacker &packer, const StoredAnswer &a)
{
    struct TextColumn {
        int column; // in kInsertSql, from 1
        QByteArray bytes;
        bool nullWhenEmpty;
    };
    // The bytes stay alive until the row is inserted (bound without a copy).
    const std::array<TextColumn, 12> texts{{
        {1, a.name.toUtf8(), false},
        {2, a.extension.toUtf8(), false},
        {3, verdictKey(a.verdict).toUtf8(), false},
        {4, a.protocol.toUtf8(), false},
        {5, a.server.toUtf8(), false},
        {6, a.rule.toUtf8(), false},
        {11, core::isoUtc(a.details.created).toUtf8(), true},
        {12, core::isoUtc(a.details.expires).toUtf8(), true},
        {13, core::isoUtc(a.details.updated).toUtf8(), true},
        {14, a.details.registrar.toUtf8(), true},
        {15, a.details.statuses.join(QLatin1Char('\n')).toUtf8(), true},
        {16, a.details.nameservers.join(QLatin1Char('\n')).toUtf8(), true},
    }};
    const QByteArray answer = a.answer.toUtf8();
    int rc = SQLITE_OK;
    for (const TextColumn &text : texts) {
        if (rc != SQLITE_OK)
            break;
        if (text.bytes.isEmpty() && text.nullWhenEmpty)
            rc = sqlite3_bind_null(insert, text.column);
        else
            rc = bindText(insert, text.column, text.bytes);
    }
    if (rc == SQLITE_OK) {
        const QByteArrayView frame = packer.pack(answer);
        rc = frame.isEmpty()
                 ? bindText(insert, kAnswerColumn, answer)
                 : sqlite3_bind_blob(insert, kAnswerColumn, frame.data(), int(frame.size()), SQLITE_STATIC);
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_int(insert, 7, a.httpStatus);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_int64(insert, 8, a.bytes);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_int64(insert, 9, a.elapsedMs);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_int64(insert, 10, a.answeredAt.toMSecsSinceEpoch());
    if (rc == SQLITE_OK)
        rc = sqlite3_step(insert);
    const Status status = rc == SQLITE_DONE ? Status() : sqliteFailure(db);
    sqlite3_reset(insert);
    sqlite3_clear_bindings(insert);
    return status;
}

Status runStatement(sqlite3 *db, const char *statement)
{
    return sqlite3_exec(db, statement, nullptr, nullptr, nullptr) == SQLITE_OK ? Status() : sqliteFailure(db);
}

} // namespace

StoredAnswer QueuedAnswer::resolved() const
{
    if (!evidence)
        return answer;
    StoredAnswer stored = storedAnswer(*evidence, core::detailsOf(*evidence), answer.answeredAt);
    stored.name = answer.name;
    return stored;
}

AnswerWriter::AnswerWriter(QString path) : m_path(std::move(path))
{
    static std::atomic<int> counter{0};
    m_connection = QStringLiteral("wendlecott-store-writer-%1").arg(++counter);
    m_thread = std::thread([this] { run(); });
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_started; });
}

AnswerWriter::~AnswerWriter()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void AnswerWriter::submit(QList<QueuedAnswer> batch)
{
    if (batch.isEmpty())
        return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_batches.size() < kMaxWaitingBatches; });
    m_batches.push_back(std::move(batch));
    lock.unlock();
    m_changed.notify_all();
}

Status AnswerWriter::drain()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_batches.empty() && !m_writing; });
    return std::exchange(m_failure, Status());
}

bool AnswerWriter::idle()
{
    const std::lock_guard lock(m_mutex);
    return m_batches.empty() && !m_writing;
}

qint64 AnswerWriter::lostAnswers()
{
    const std::lock_guard lock(m_mutex);
    return m_lost;
}

Status AnswerWriter::writeBatch(const QList<QueuedAnswer> &batch)
{
    if (Status status = runStatement(m_db, "BEGIN"); !status)
        return status;
    sqlite3_int64 firstId = 0;
    for (const QueuedAnswer &queued : batch) {
        if (Status status = bindAndInsert(m_db, m_insert, m_packer, queued.resolved()); !status) {
            (void)runStatement(m_db, "ROLLBACK");
            return status;
        }
        if (firstId == 0)
            firstId = sqlite3_last_insert_rowid(m_db);
    }
    Status latest =
        sqlite3_bind_int64(m_keepLatest, 1, firstId) == SQLITE_OK && sqlite3_step(m_keepLatest) == SQLITE_DONE
            ? Status()
            : sqliteFailure(m_db);
    sqlite3_reset(m_keepLatest);
    if (!latest) {
        (void)runStatement(m_db, "ROLLBACK");
        return latest;
    }
    if (Status status = runStatement(m_db, "COMMIT"); !status) {
        (void)runStatement(m_db, "ROLLBACK");
        return status;
    }
    return {};
}

void AnswerWriter::run()
{
#ifdef Q_OS_LINUX
    // Named so that a process list or a profiler tells its work from the rest.
    pthread_setname_np(pthread_self(), "answer-writer");
    // Writing is background work: where cores are short, the run's thread and its connections
    // go first. A second's batch is a burst of about two hundred milliseconds of work; at the
    // run's priority it slowed a run at full speed more than twice as much. Linux keeps the
    // nice value of each thread apart.
    (void)setpriority(PRIO_PROCESS, id_t(gettid()), kWriterNiceness);
#endif
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            m_ready = Status::failure(ErrorCode::WriteFailed, db.lastError().text());
        } else if (m_db = sqliteHandle(db); !m_db) {
            m_ready =
                Status::failure(ErrorCode::WriteFailed, QStringLiteral("the SQLite driver gave no handle"));
        } else if (Status pragmas = runStatement(m_db, kWriterPragmas); !pragmas) {
            m_ready = pragmas;
        } else if (sqlite3_prepare_v3(m_db, kInsertSql, -1, SQLITE_PREPARE_PERSISTENT, &m_insert, nullptr) !=
                       SQLITE_OK ||
                   sqlite3_prepare_v3(m_db, kKeepLatestSql, -1, SQLITE_PREPARE_PERSISTENT, &m_keepLatest,
                                      nullptr) != SQLITE_OK) {
            m_ready = sqliteFailure(m_db);
        }
        std::unique_lock lock(m_mutex);
        m_started = true;
        m_changed.notify_all();
        while (true) {
            m_changed.wait(lock, [this] { return m_stop || !m_batches.empty(); });
            if (m_batches.empty())
                break; // stopped, and everything written
            const QList<QueuedAnswer> batch = std::move(m_batches.front());
            m_batches.pop_front();
            m_writing = true;
            lock.unlock();
            m_changed.notify_all();
            const Status written = m_ready ? writeBatch(batch) : m_ready;
            lock.lock();
            m_writing = false;
            if (!written) {
                m_lost += batch.size();
                if (m_failure)
                    m_failure = Status::failure(ErrorCode::WriteFailed,
                                                QStringLiteral("%1 answers could not be written to %2: %3")
                                                    .arg(batch.size())
                                                    .arg(m_path, written.message()));
            }
            m_changed.notify_all();
        }
        sqlite3_finalize(m_insert);
        sqlite3_finalize(m_keepLatest);
        m_insert = m_keepLatest = nullptr;
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

} // namespace wendlecott::store
