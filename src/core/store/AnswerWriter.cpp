#include "core/store/AnswerWriter.h"

#include "core/lookup/RegistrationDetails.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace wendlecott::store {

namespace {

using core::ErrorCode;
using core::Status;

// Batches handed over and not yet written beyond this make submit() wait: memory stays bounded
// when the disk is slower than the run.
constexpr std::size_t kMaxWaitingBatches = 16;

QVariant textOrNull(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

// Text for a NOT NULL column: an absent text is stored empty.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

Status bindAndInsert(QSqlQuery &q, const StoredAnswer &a)
{
    const QVariantList values{text(a.name),
                              text(a.extension),
                              verdictKey(a.verdict),
                              text(a.protocol),
                              text(a.server),
                              text(a.rule),
                              a.httpStatus,
                              a.bytes,
                              a.elapsedMs,
                              a.answeredAt.toMSecsSinceEpoch(),
                              textOrNull(core::isoUtc(a.details.created)),
                              textOrNull(core::isoUtc(a.details.expires)),
                              textOrNull(core::isoUtc(a.details.updated)),
                              textOrNull(a.details.registrar),
                              textOrNull(a.details.statuses.join(QLatin1Char('\n'))),
                              textOrNull(a.details.nameservers.join(QLatin1Char('\n'))),
                              text(a.answer)};
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec())
        return Status::failure(ErrorCode::WriteFailed, q.lastError().text());
    return {};
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
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery insert(db);
    if (!insert.prepare(
            QStringLiteral("INSERT INTO answers (name, extension, verdict, protocol, server, rule, "
                           "http_status, bytes, elapsed_ms, answered_at, created, expires, updated, "
                           "registrar, statuses, nameservers, answer) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")))
        return Status::failure(ErrorCode::WriteFailed, insert.lastError().text());
    if (!db.transaction())
        return Status::failure(ErrorCode::WriteFailed, db.lastError().text());
    for (const QueuedAnswer &queued : batch) {
        if (Status status = bindAndInsert(insert, queued.resolved()); !status) {
            db.rollback();
            return status;
        }
    }
    if (!db.commit()) {
        const QString reason = db.lastError().text();
        db.rollback();
        return Status::failure(ErrorCode::WriteFailed, reason);
    }
    return {};
}

void AnswerWriter::run()
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        // NORMAL synchronisation (per connection) keeps every committed batch through a crash.
        if (!db.open()) {
            m_ready = Status::failure(ErrorCode::WriteFailed, db.lastError().text());
        } else if (QSqlQuery pragma(db); !pragma.exec(QStringLiteral("PRAGMA synchronous = NORMAL"))) {
            m_ready = Status::failure(ErrorCode::WriteFailed, pragma.lastError().text());
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
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

} // namespace wendlecott::store
