// Figures for the answer store, on real whois answers of tests/data/whois recorded over and
// over into a store in a temporary program folder:
//  - the cost of recording one answer (queued, then written in batches), with and without
//    reading its registration details first;
//  - 100,000 answers of a run (20,000 names x 5 extensions, throttle 0, jobs 8, five loopback
//    whois servers answering a real registered answer) with and without the store: the
//    cost per answer (wall time, and CPU time of the run's thread). The servers are plain
//    sockets; "qt" as the fourth argument makes them the tests' servers instead;
//  - a store of 1,000,000 answers (800,000 names): its size on disk, `export` of it to a CSV
//    file (target 3 s) and `history NAME` on it (target 5 ms), both through wendlecott-cli
//    in-process and the store's own queries.
//  - with "switched" as the fourth argument, instead of those rounds one run of RUN_NAMES x
//    ROUNDS names that switches the store on and off every 4 s (see switchedRunCost).
// Usage: bench_store [ANSWERS] [RUN_NAMES] [ROUNDS] [lean|qt|switched]
//        (defaults 1000000, 20000, 2, lean)
#include "FakeWhoisServer.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "core/base/TextFile.h"
#include "core/lists/ResultLists.h"
#include "core/lookup/RegistrationDetails.h"
#include "core/run/CheckRun.h"
#include "core/store/AnswerExport.h"
#include "core/store/AnswerStore.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

using namespace wendlecott;

namespace {

QTextStream out(stdout);

const QStringList kExtensions = {QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("org"),
                                 QStringLiteral("info"), QStringLiteral("biz")};

struct Sample {
    QString tld;
    QString text;
    core::RegistrationDetails details;
};

QList<Sample> corpus()
{
    QList<Sample> samples;
    const QString root = QStringLiteral(WENDLECOTT_TESTDATA "/whois");
    QDirIterator it(root, {QStringLiteral("*.txt")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString tld = QDir(root).relativeFilePath(path).section(QLatin1Char('/'), -2, -2);
        const core::Result<QString> text = core::readTextFile(path);
        if (text)
            samples.append({tld, text.value(), core::whoisDetails(text.value(), tld)});
    }
    std::sort(samples.begin(), samples.end(),
              [](const Sample &a, const Sample &b) { return a.text < b.text; });
    return samples;
}

store::StoredAnswer answerFor(const Sample &sample, qint64 i, qint64 names, const QDateTime &start)
{
    store::StoredAnswer a;
    a.name = QStringLiteral("name%1.com").arg(i % names);
    a.extension = sample.tld;
    a.verdict = sample.details.isEmpty() ? core::LookupVerdict::Available : core::LookupVerdict::Registered;
    a.protocol = QStringLiteral("whois");
    a.server = QStringLiteral("127.0.0.1:4343");
    a.rule = QStringLiteral("no-match");
    a.bytes = sample.text.size();
    a.elapsedMs = 40;
    a.answeredAt = start.addMSecs(i);
    a.details = sample.details;
    a.answer = sample.text;
    return a;
}

int runCli(const testing::TestFolder &folder, const QStringList &args, QString *output = nullptr)
{
    QString text;
    QString errors;
    QTextStream textOut(&text);
    QTextStream err(&errors);
    const int status = cli::runCli(QStringList{QStringLiteral("--program-folder"), folder.path()} + args,
                                   folder.path(), cli::CliIo{textOut, err, nullptr});
    textOut.flush();
    if (output)
        *output = text;
    if (status != 0)
        out << "  (cli failed: " << errors.trimmed() << ")\n";
    return status;
}

void recordCost(const QList<Sample> &samples)
{
    testing::TestFolder folder;
    store::StoreOpening report;
    auto answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
    const qint64 n = 100000;
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QList<store::StoredAnswer> prepared;
    prepared.reserve(n);
    for (qint64 i = 0; i < n; ++i)
        prepared.append(answerFor(samples.at(i % samples.size()), i, n, start));
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpu = std::clock();
    for (const store::StoredAnswer &a : prepared)
        (void)answers->record(a);
    (void)answers->flush();
    const double recordUs = timer.nsecsElapsed() / 1000.0 / n;
    const double recordCpuUs = double(std::clock() - cpu) * 1e6 / CLOCKS_PER_SEC / n;
    timer.restart();
    qint64 found = 0;
    for (qint64 i = 0; i < n / 10; ++i) {
        const Sample &s = samples.at(i % samples.size());
        found += core::whoisDetails(s.text, s.tld).expires.isValid() ? 1 : 0;
    }
    const double detailsUs = timer.nsecsElapsed() / 1000.0 / (n / 10);
    qint64 textBytes = 0;
    for (const Sample &s : samples)
        textBytes += s.text.toUtf8().size();
    out << "record: " << n << " answers (mean " << (samples.isEmpty() ? 0 : textBytes / samples.size())
        << " B of text), " << QString::number(recordUs, 'f', 1)
        << " us per answer (queue + batched write; CPU " << QString::number(recordCpuUs, 'f', 1) << " us)\n";
    out << "details: reading a whois answer's registration details " << QString::number(detailsUs, 'f', 1)
        << " us per answer (" << found << " expiry dates found)\n";
    out.flush();
}

// Processor time so far of the process (CLOCK_PROCESS_CPUTIME_ID) or of the calling thread
// (CLOCK_THREAD_CPUTIME_ID).
double cpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double processCpuSeconds()
{
    return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

double threadCpuSeconds()
{
    return cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

// The run's own answer recorded as a run records it (its evidence, the details read by the
// writer) for `count` names: the processor time of every thread, which on a machine whose
// cores are all busy is what the store takes from the run.
void runAnswerCost(const QByteArray &answer, qint64 count)
{
    testing::TestFolder folder;
    store::StoreOpening report;
    auto answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
    core::LookupEvidence evidence;
    evidence.verdict = core::LookupVerdict::Registered;
    evidence.server = QStringLiteral("127.0.0.1");
    evidence.port = 4343;
    evidence.rule = QStringLiteral("no-success-word");
    evidence.answer = QString::fromUtf8(answer);
    evidence.answerBytes = answer.size();
    evidence.elapsedMs = 1;
    QElapsedTimer timer;
    timer.start();
    qint64 found = 0;
    for (qint64 i = 0; i < count; ++i) {
        evidence.name = QStringLiteral("n%1.com").arg(i);
        found += core::detailsOf(evidence).expires.isValid() ? 1 : 0;
    }
    out << "details of that answer: " << QString::number(timer.nsecsElapsed() / 1000.0 / count, 'f', 2)
        << " us per answer (" << found << " expiry dates found)\n";
    QList<QString> names;
    names.reserve(count);
    for (qint64 i = 0; i < count; ++i)
        names.append(QStringLiteral("n%1.%2").arg(i / 5).arg(kExtensions.at(int(i % 5))));
    timer.restart();
    const double cpu = processCpuSeconds();
    const double callerCpu = threadCpuSeconds();
    for (const QString &name : std::as_const(names)) {
        evidence.name = name;
        (void)answers->record(evidence);
    }
    const double callerUs = (threadCpuSeconds() - callerCpu) * 1e6 / count;
    (void)answers->flush();
    out << "record as a run does: " << count << " answers of " << answer.size() << " B, "
        << QString::number(timer.nsecsElapsed() / 1000.0 / count, 'f', 1) << " us per answer, processor time "
        << QString::number((processCpuSeconds() - cpu) * 1e6 / count, 'f', 1) << " us (every thread; "
        << QString::number(callerUs, 'f', 1) << " us of it in the recording thread)\n";
    out.flush();
}

void bigStore(const QList<Sample> &samples, qint64 total)
{
    testing::TestFolder folder;
    const qint64 names = total * 4 / 5;
    {
        store::StoreOpening report;
        auto answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
        const QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
        QElapsedTimer timer;
        timer.start();
        for (qint64 i = 0; i < total; ++i)
            (void)answers->record(answerFor(samples.at(i % samples.size()), i, names, start));
        (void)answers->flush();
        out << "filled: " << total << " answers, " << names << " names in " << timer.elapsed() << " ms ("
            << QString::number(timer.nsecsElapsed() / 1000.0 / total, 'f', 1) << " us each)\n";
    }
    const qint64 bytes = QFileInfo(folder.file(store::kStoreFileName)).size();
    out << "size: " << bytes / (1024 * 1024) << " MiB on disk, " << bytes / total << " B per answer\n";
    out.flush();

    QElapsedTimer timer;
    timer.start();
    {
        store::StoreOpening report;
        auto reader = store::AnswerStore::open(folder.path(), store::StoreMode::ReadOnly, report);
        qint64 exported = 0;
        (void)store::exportAnswers(*reader, {}, store::ExportFormat::Csv, [&](QByteArrayView piece) {
            return exported += piece.size(), core::Status();
        });
        out << "export (the store's query and CSV, no file): " << timer.elapsed() << " ms for "
            << exported / (1024 * 1024) << " MiB\n";
    }
    timer.restart();
    runCli(folder,
           {QStringLiteral("export"), QStringLiteral("--output"), folder.file(QStringLiteral("all.csv"))});
    out << "export (cli, CSV to a file): " << timer.elapsed() << " ms for "
        << QFileInfo(folder.file(QStringLiteral("all.csv"))).size() / (1024 * 1024) << " MiB\n";
    timer.restart();
    runCli(folder, {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("json"),
                    QStringLiteral("--output"), folder.file(QStringLiteral("all.json"))});
    out << "export (cli, JSON to a file): " << timer.elapsed() << " ms\n";
    out.flush();

    timer.restart();
    const int runs = 200;
    for (int i = 0; i < runs; ++i)
        runCli(folder, {QStringLiteral("history"), QStringLiteral("name%1.com").arg(i * 997 % names)});
    out << "history NAME (cli, opening the store each time): "
        << QString::number(timer.nsecsElapsed() / 1e6 / runs, 'f', 2) << " ms per call\n";
    store::StoreOpening report;
    auto reader = store::AnswerStore::open(folder.path(), store::StoreMode::ReadOnly, report);
    timer.restart();
    qint64 rows = 0;
    for (int i = 0; i < 1000; ++i)
        rows += reader->history(QStringLiteral("name%1.com").arg(i * 7919 % names)).value().size();
    out << "history NAME (open store): " << QString::number(timer.nsecsElapsed() / 1e6 / 1000, 'f', 3)
        << " ms per call (" << rows << " rows in 1000 calls)\n";
}

class QuietNotice final : public core::UserNotice {
public:
    void showMessage(const QString &, const QString &text, core::NoticeIcon) override
    {
        out << "message: " << text << '\n';
    }
    bool askOkCancel(const QString &, const QString &) override { return false; }
    core::AbortRetryIgnore askAbortRetryIgnore(const QString &, const QString &) override
    {
        return core::AbortRetryIgnore::Abort;
    }
    void showBlocked(const QString &, const QString &, const QString &) override {}
    void showOverflowNotice() override {}
};

// Five whois servers on 127.0.0.1 that answer every name with the same answer, on a thread of
// their own, as real servers are apart from their client.
class RunServers {
public:
    virtual ~RunServers() = default;
    // The processor time of the servers' thread so far.
    virtual double cpuSeconds() = 0;
    core::TldTable table;

protected:
    void addRow(const QString &extension, quint16 port)
    {
        core::TldEntry row;
        row.extension = extension;
        row.server = QStringLiteral("127.0.0.1");
        row.port = port;
        row.enabled = true;
        row.throttle = 0;
        row.successWords = QStringLiteral("No match");
        table.rows.append(row);
    }
};

// The tests' servers: a QTcpServer each, a QTcpSocket for each connection.
class QtServers final : public RunServers {
public:
    explicit QtServers(const QByteArray &answer)
    {
        m_home.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_home,
            [this, answer] {
                for (const QString &extension : kExtensions) {
                    auto server = std::make_unique<testing::FakeWhoisServer>();
                    (void)server->start();
                    server->setDefault({testing::FakeWhoisServer::Mode::AnswerAndClose, answer});
                    addRow(extension, server->port());
                    m_servers.push_back(std::move(server));
                }
            },
            Qt::BlockingQueuedConnection);
    }
    double cpuSeconds() override
    {
        double seconds = 0;
        QMetaObject::invokeMethod(
            &m_home, [&seconds] { seconds = threadCpuSeconds(); }, Qt::BlockingQueuedConnection);
        return seconds;
    }
    ~QtServers() override
    {
        QMetaObject::invokeMethod(
            &m_home, [this] { m_servers.clear(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

private:
    QThread m_thread;
    QObject m_home;
    std::vector<std::unique_ptr<testing::FakeWhoisServer>> m_servers;
};

// Servers of plain sockets and poll(): a connection's request is read, the answer written and
// the connection closed. Registries are other machines: the less of this one their stand-ins
// take, the closer the run is to a real one. The tests' servers take about 90 us of processor
// time an answer, nearly half of the second core, and the store's writer has to share it.
class LeanServers final : public RunServers {
public:
    explicit LeanServers(QByteArray answer) : m_answer(std::move(answer))
    {
        for (const QString &extension : kExtensions) {
            const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t length = sizeof address;
            if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
                ::listen(listener, 1024) != 0 ||
                ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
                out << "lean servers: no listening socket: " << strerror(errno) << '\n';
                if (listener >= 0)
                    ::close(listener);
                continue;
            }
            m_listeners.push_back(listener);
            addRow(extension, ntohs(address.sin_port));
        }
        m_thread = std::thread([this] { serve(); });
    }
    ~LeanServers() override
    {
        m_stop = true;
        m_thread.join();
        for (const int fd : m_listeners)
            ::close(fd);
    }
    double cpuSeconds() override
    {
        clockid_t clock{};
        return pthread_getcpuclockid(m_thread.native_handle(), &clock) == 0 ? ::cpuSeconds(clock) : 0;
    }

private:
    // Reads what the connection has sent; once its request line is in, answers and closes it.
    // False when the connection is done with (answered, or gone).
    bool serveConnection(int fd, QByteArray &request)
    {
        char buffer[512];
        while (true) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                request.append(buffer, n);
                continue;
            }
            if (n < 0 && errno == EAGAIN && !request.contains('\n'))
                return true; // more to come
            break;
        }
        if (request.contains('\n')) {
            // The answer fits the socket's buffer: written at once, then the connection closed.
            qsizetype sent = 0;
            while (sent < m_answer.size()) {
                const ssize_t n =
                    ::send(fd, m_answer.constData() + sent, size_t(m_answer.size() - sent), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
            }
        }
        ::close(fd);
        return false;
    }

    void serve()
    {
        std::unordered_map<int, QByteArray> open; // connections waiting for their request
        std::vector<pollfd> fds;
        while (!m_stop) {
            fds.clear();
            for (const int fd : m_listeners)
                fds.push_back({fd, POLLIN, 0});
            for (const auto &[fd, request] : open)
                fds.push_back({fd, POLLIN, 0});
            if (::poll(fds.data(), nfds_t(fds.size()), 100) <= 0)
                continue; // bounded: the stop flag is seen within 100 ms
            for (const pollfd &p : fds) {
                if (!p.revents)
                    continue;
                if (std::find(m_listeners.begin(), m_listeners.end(), p.fd) != m_listeners.end()) {
                    for (int fd;
                         (fd = ::accept4(p.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
                        QByteArray request;
                        if (serveConnection(fd, request))
                            open.emplace(fd, std::move(request));
                    }
                } else if (!serveConnection(p.fd, open[p.fd])) {
                    open.erase(p.fd);
                }
            }
        }
        for (const auto &[fd, request] : open)
            ::close(fd);
    }

    QByteArray m_answer;
    std::vector<int> m_listeners;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct RunFigures {
    int answers = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    double processCpuSeconds = 0; // every thread: the run's, the servers', the store's writer
    double serverCpuSeconds = 0;
    qint64 writtenBytes = 0; // handed to the kernel by write calls of the process
    qint64 stored = 0;
};

// What /proc/self/io counts as written by write calls of the process ("wchar"); -1: unknown.
qint64 bytesWritten()
{
    QFile file(QStringLiteral("/proc/self/io"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// What a run needs beside its servers: a folder for its lists, no desktop, Qt's timers.
struct RunHome {
    testing::TestFolder folder;
    QuietNotice notice;
    core::NoClipboard clipboard;
    core::NoAddressOpener opener;
    core::ResultLists lists{folder.path(), notice, clipboard, opener};
    core::Timing timing;
    platform::QtScheduler scheduler;
    core::ServerPacer pacer{scheduler};
};

// The names "n1" to "n`names`", each asked under every extension.
core::RunSource numberedNames(int names)
{
    core::RunSource source;
    source.readEntry = [names](qint32 p) -> core::Result<QString> {
        return p <= names ? QStringLiteral("n%1").arg(p) : core::kEndOfListSentinel;
    };
    source.domainFor = [](const QString &entry) { return entry; };
    source.domainForExtension = [](const QString &entry, const QString &extension) {
        return entry + QLatin1Char('.') + extension;
    };
    return source;
}

// One run of `names` names over the five extensions, with the store as its recorder or none.
RunFigures storedRun(RunServers &servers, int names, bool withStore)
{
    RunHome home;
    std::unique_ptr<store::AnswerStore> answers;
    core::RunEnvironment environment{servers.table, [] { return false; }, home.pacer, home.lists,
                                     home.notice};
    if (withStore) {
        store::StoreOpening report;
        answers = store::AnswerStore::open(home.folder.path(), store::StoreMode::ReadWrite, report,
                                           &home.scheduler);
        environment.recorder = answers.get();
    }
    core::CheckRun run(environment, home.scheduler, home.timing, platform::QtWhoisConnection::factory(),
                       core::RunPolicy::paced(8, kExtensions));
    const core::RunSource source = numberedNames(names);
    RunFigures figures;
    QObject::connect(&run, &core::CheckRun::recordFinished, &run, [&] { ++figures.answers; });
    QEventLoop loop;
    QObject::connect(&run, &core::CheckRun::stopped, &loop, &QEventLoop::quit);
    QTimer::singleShot(600000, &loop, [&] { run.stopRun(); }); // bounded in time
    QElapsedTimer clock;
    clock.start();
    const double cpu = threadCpuSeconds();
    const double processCpu = processCpuSeconds();
    const double serverCpu = servers.cpuSeconds();
    const qint64 written = bytesWritten();
    run.startRun(source, 1, names);
    if (run.isRunning())
        loop.exec(); // Stop (the end of the list) waits until every answer is written
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    figures.cpuSeconds = threadCpuSeconds() - cpu;
    figures.processCpuSeconds = processCpuSeconds() - processCpu;
    figures.serverCpuSeconds = servers.cpuSeconds() - serverCpu;
    figures.writtenBytes = written < 0 ? 0 : bytesWritten() - written; // 0: not counted here
    if (answers) {
        qint64 stored = 0;
        (void)answers->forEachLatest({}, [&](const QStringList &) { return ++stored > 0; });
        figures.stored = stored;
    }
    return figures;
}

// The answer the run's servers give: the corpus's first registered .com answer.
QByteArray runAnswer(const QList<Sample> &samples)
{
    for (const Sample &sample : samples) {
        if (sample.tld == QLatin1String("com") && sample.details.expires.isValid())
            return sample.text.toUtf8();
    }
    return "Domain Name: TAKEN\r\n";
}

// Sockets of this machine in TIME-WAIT, as /proc/net/sockstat counts them (-1: unknown).
int timeWaitSockets()
{
    QFile file(QStringLiteral("/proc/net/sockstat"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> words = file.readAll().simplified().split(' ');
    const qsizetype tw = words.indexOf("tw");
    return tw >= 0 && tw + 1 < words.size() ? words.at(tw + 1).toInt() : -1;
}

// Every run leaves one socket in TIME-WAIT for each of its answers for a minute, and a run
// that starts among a hundred thousand of them pays more for each connection (the kernel
// also caps them): each run starts when those of the one before are gone, at most 90 s.
void waitForClosedConnections()
{
    QElapsedTimer waited;
    waited.start();
    while (timeWaitSockets() > 1000 && waited.elapsed() < 90000)
        QThread::msleep(500);
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

void runCost(const QByteArray &answer, int names, int rounds, bool leanServers)
{
    std::unique_ptr<RunServers> serversOwner;
    if (leanServers)
        serversOwner = std::make_unique<LeanServers>(answer);
    else
        serversOwner = std::make_unique<QtServers>(answer);
    RunServers &servers = *serversOwner;
    QList<double> extra;
    for (int round = 0; round < rounds; ++round) {
        // Every second round runs the two in the other order, so that neither is always first.
        const auto measure = [&](bool withStore) {
            waitForClosedConnections();
            return storedRun(servers, names, withStore);
        };
        RunFigures without;
        RunFigures with;
        if (round % 2 == 0) {
            without = measure(false);
            with = measure(true);
        } else {
            with = measure(true);
            without = measure(false);
        }
        const auto us = [](double seconds, int n) { return seconds * 1e6 / qMax(1, n); };
        out << "run, throttle 0, jobs 8, " << with.answers << " answers of " << answer.size() << " B (round "
            << round + 1 << "): without the store "
            << QString::number(us(without.seconds, without.answers), 'f', 1)
            << " us per answer (run thread CPU "
            << QString::number(us(without.cpuSeconds, without.answers), 'f', 1) << " us, servers' thread "
            << QString::number(us(without.serverCpuSeconds, without.answers), 'f', 1) << " us), with it "
            << QString::number(us(with.seconds, with.answers), 'f', 1) << " us (CPU "
            << QString::number(us(with.cpuSeconds, with.answers), 'f', 1) << " us): "
            << QString::number(us(with.seconds, with.answers) - us(without.seconds, without.answers), 'f', 1)
            << " us more per answer (CPU "
            << QString::number(us(with.cpuSeconds, with.answers) - us(without.cpuSeconds, without.answers),
                               'f', 1)
            << " us; every thread "
            << QString::number(us(with.processCpuSeconds, with.answers) -
                                   us(without.processCpuSeconds, without.answers),
                               'f', 1)
            << " us, of which the servers' thread "
            << QString::number(us(with.serverCpuSeconds, with.answers) -
                                   us(without.serverCpuSeconds, without.answers),
                               'f', 1)
            << " us); " << with.stored << " names stored, "
            << (with.writtenBytes - without.writtenBytes) / qMax(1, with.answers) << " B written an answer\n";
        out.flush();
        extra.append(us(with.seconds, with.answers) - us(without.seconds, without.answers));
    }
    // One round swings with what else the machine does; the median of several says more.
    if (extra.size() > 1) {
        std::sort(extra.begin(), extra.end());
        out << "run, the store's cost per answer over " << extra.size() << " rounds: median "
            << QString::number(median(extra), 'f', 1) << " us, from "
            << QString::number(extra.front(), 'f', 1) << " to " << QString::number(extra.back(), 'f', 1)
            << " us\n";
        out.flush();
    }
}

// Passes the run's answers on to the store only while switched on.
class SwitchedRecorder final : public core::AnswerRecorder {
public:
    explicit SwitchedRecorder(core::AnswerRecorder &store) : m_store(store) {}
    core::Status record(const core::LookupEvidence &evidence) override
    {
        return on ? m_store.record(evidence) : core::Status();
    }
    core::Status flush() override { return m_store.flush(); }
    std::optional<core::LookupEvidence> reusableAnswer(const QString &name, int days,
                                                       const QDateTime &now) override
    {
        return m_store.reusableAnswer(name, days, now);
    }
    bool on = false;

private:
    core::AnswerRecorder &m_store;
};

// One run with the store switched on and off every `windowMs`: the cost per answer in the on
// windows beside the off windows around them. Rounds of separate runs differ by more than the
// store costs on a busy machine; windows a few seconds apart in one run share its state (the
// sockets in TIME-WAIT, the machine's other load). Each window is measured from `settleMs`
// after its switch on, once the writer has written what the window before handed it.
void switchedRunCost(const QByteArray &answer, int names, int windowMs, int settleMs)
{
    LeanServers servers(answer);
    waitForClosedConnections();
    RunHome home;
    store::StoreOpening report;
    auto answers =
        store::AnswerStore::open(home.folder.path(), store::StoreMode::ReadWrite, report, &home.scheduler);
    SwitchedRecorder switched(*answers);
    core::RunEnvironment environment{servers.table, [] { return false; }, home.pacer, home.lists,
                                     home.notice};
    environment.recorder = &switched;
    core::CheckRun run(environment, home.scheduler, home.timing, platform::QtWhoisConnection::factory(),
                       core::RunPolicy::paced(8, kExtensions));
    const core::RunSource source = numberedNames(names);
    struct Window {
        bool on = false;
        qint64 answers = 0;
        double seconds = 0;
        double cpuSeconds = 0; // every thread
    };
    QList<Window> windows;
    qint64 finished = 0;
    bool measuring = false;
    Window current;
    qint64 startAnswers = 0;
    double startCpu = 0;
    QElapsedTimer clock;
    QObject::connect(&run, &core::CheckRun::recordFinished, &run, [&] { ++finished; });
    const auto closeWindow = [&] {
        if (!measuring)
            return;
        current.answers = finished - startAnswers;
        current.seconds = double(clock.nsecsElapsed()) / 1e9;
        current.cpuSeconds = processCpuSeconds() - startCpu;
        if (current.answers > 0)
            windows.append(current);
        measuring = false;
    };
    QTimer settle;
    settle.setSingleShot(true);
    QObject::connect(&settle, &QTimer::timeout, &run, [&] {
        current = Window{switched.on, 0, 0, 0};
        startAnswers = finished;
        startCpu = processCpuSeconds();
        clock.restart();
        measuring = true;
    });
    QTimer flip;
    QObject::connect(&flip, &QTimer::timeout, &run, [&] {
        closeWindow();
        switched.on = !switched.on;
        settle.start(settleMs);
    });
    QEventLoop loop;
    QObject::connect(&run, &core::CheckRun::stopped, &loop, &QEventLoop::quit);
    QTimer::singleShot(1800000, &loop, [&] { run.stopRun(); }); // bounded in time
    run.startRun(source, 1, names);
    flip.start(windowMs);
    settle.start(settleMs);
    if (run.isRunning())
        loop.exec();
    flip.stop();
    settle.stop();
    measuring = false; // the last window ends with the list, mid-way: left out

    // Each on window beside the mean of the off windows before and after it, so that a drift of
    // the machine's speed over the run cancels.
    const auto us = [](double seconds, qint64 n) { return seconds * 1e6 / double(qMax<qint64>(1, n)); };
    QList<double> extra;
    QList<double> extraCpu;
    double onSeconds = 0, offSeconds = 0, onCpu = 0, offCpu = 0;
    qint64 onAnswers = 0, offAnswers = 0;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const Window &w = windows.at(i);
        (w.on ? onSeconds : offSeconds) += w.seconds;
        (w.on ? onCpu : offCpu) += w.cpuSeconds;
        (w.on ? onAnswers : offAnswers) += w.answers;
        if (!w.on || i == 0 || i + 1 >= windows.size() || windows.at(i - 1).on || windows.at(i + 1).on)
            continue;
        const Window &before = windows.at(i - 1);
        const Window &after = windows.at(i + 1);
        extra.append(us(w.seconds, w.answers) -
                     (us(before.seconds, before.answers) + us(after.seconds, after.answers)) / 2);
        extraCpu.append(us(w.cpuSeconds, w.answers) -
                        (us(before.cpuSeconds, before.answers) + us(after.cpuSeconds, after.answers)) / 2);
    }
    out << "switched run, throttle 0, jobs 8, " << finished << " answers of " << answer.size()
        << " B, the store on and off every " << windowMs << " ms (measured from " << settleMs
        << " ms after each switch): off " << QString::number(us(offSeconds, offAnswers), 'f', 1)
        << " us per answer (" << offAnswers << " answers), on "
        << QString::number(us(onSeconds, onAnswers), 'f', 1) << " us (" << onAnswers
        << "); processor time of every thread off " << QString::number(us(offCpu, offAnswers), 'f', 1)
        << " us, on " << QString::number(us(onCpu, onAnswers), 'f', 1) << " us\n";
    out << "switched run, the store's cost per answer, each on window beside the off windows around it ("
        << extra.size() << " windows): median " << QString::number(median(extra), 'f', 1) << " us, from "
        << QString::number(extra.isEmpty() ? 0 : *std::min_element(extra.begin(), extra.end()), 'f', 1)
        << " to "
        << QString::number(extra.isEmpty() ? 0 : *std::max_element(extra.begin(), extra.end()), 'f', 1)
        << " us; processor time median " << QString::number(median(extraCpu), 'f', 1) << " us\n";
    QStringList each;
    for (const double value : std::as_const(extra))
        each.append(QString::number(value, 'f', 1));
    out << "switched run, each on window's extra (us per answer, in order): "
        << each.join(QStringLiteral(", ")) << '\n';
    out.flush();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 total = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    const QList<Sample> samples = corpus();
    out << "corpus: " << samples.size() << " real whois answers\n";
    const int runNames = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 20000;
    const int rounds = argc > 3 ? qMax(1, QString::fromLocal8Bit(argv[3]).toInt()) : 2;
    const QByteArray servers = argc > 4 ? QByteArray(argv[4]) : QByteArray("lean");
    if (runNames > 0 && servers == "switched")
        switchedRunCost(runAnswer(samples), runNames * rounds, 4000, 1500);
    else if (runNames > 0)
        runCost(runAnswer(samples), runNames, rounds, servers != "qt");
    recordCost(samples);
    runAnswerCost(runAnswer(samples), 100000);
    if (total > 0)
        bigStore(samples, total);
    return 0;
}
