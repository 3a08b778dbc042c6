#pragma once

#include "core/base/Result.h"
#include "core/lookup/LookupEvidence.h"
#include "core/store/AnswerText.h"
#include "core/store/StoredAnswer.h"

#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

struct sqlite3;
struct sqlite3_stmt;

namespace wendlecott::store {

// An answer on its way to the file: stored as it stands, or made by the writer from a
// lookup's evidence (its registration details read there, off the run's thread).
struct QueuedAnswer {
    StoredAnswer answer; // with `evidence`: only the name (lower case) and the time are set
    std::optional<core::LookupEvidence> evidence;

    // The answer as the store keeps it.
    StoredAnswer resolved() const;
};

// Writes batches of answers into the store's file on a thread of its own, each batch in one
// transaction through a connection of that thread and one insert prepared on it (bound as
// UTF-8 through SQLite's own interface), so that a run never waits for SQLite or for reading
// registration details. Batches are written in the order given; a batch that fails is
// dropped whole and counted.
class AnswerWriter {
public:
    // Opens its connection to `path` (a store already set up) on its thread.
    explicit AnswerWriter(QString path);
    // Writes every batch given, then ends the thread.
    ~AnswerWriter();
    AnswerWriter(const AnswerWriter &) = delete;
    AnswerWriter &operator=(const AnswerWriter &) = delete;

    // Whether the connection could be opened and the statement prepared.
    core::Status ready() const { return m_ready; }
    // Hands a batch over; waits only while many batches are still unwritten.
    void submit(QList<QueuedAnswer> batch);
    // Waits until every batch handed over is in the file: the failures since the last drain.
    core::Status drain();
    // Nothing handed over is still unwritten.
    bool idle();
    qint64 lostAnswers();

private:
    void run();
    core::Status writeBatch(const QList<QueuedAnswer> &batch);

    QString m_path;
    QString m_connection;
    sqlite3 *m_db = nullptr;              // the connection's handle, used on the writer's thread only
    sqlite3_stmt *m_insert = nullptr;     // the insert, prepared once
    sqlite3_stmt *m_keepLatest = nullptr; // the batch's names into the latest answers
    AnswerTextPacker m_packer;            // used on the writer's thread only
    core::Status m_ready;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QList<QueuedAnswer>> m_batches;
    bool m_writing = false;
    bool m_started = false;
    bool m_stop = false;
    core::Status m_failure; // the first failure since the last drain
    qint64 m_lost = 0;
    std::thread m_thread;
};

} // namespace wendlecott::store
