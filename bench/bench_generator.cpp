// Generates 1,000,000 names and writes CreatedDomains.txt through the generator window's
// session: base word "shop", 100,000 affix lines, .com and .net checked, all three switches
// on, so each line gives 2 bare + 4 prefix + 4 suffix names = 10, and 100,000 lines give
// 1,000,000. The session's zero-delay calls are run one at a time, as the event loop would.
// Prints the time of each phase and the peak resident memory (VmHWM).

#include "FakeNotice.h"
#include "MemorySettingsStore.h"
#include "core/base/Scheduler.h"
#include "core/base/TextFile.h"
#include "sources/GeneratorSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <deque>

using namespace wendlecott;

namespace {

// Peak resident set size in kB, from /proc/self/status.
qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Runs the pending calls one by one, in order, each when asked: one call is one return to
// the event loop.
class StepScheduler final : public core::Scheduler {
public:
    qint64 now() const override { return 0; }
    TimerId callAfter(qint64, std::function<void()> callback) override
    {
        m_pending.push_back({m_nextId, std::move(callback)});
        return m_nextId++;
    }
    void cancel(TimerId id) override
    {
        std::erase_if(m_pending, [id](const auto &call) { return call.first == id; });
    }
    bool runNext()
    {
        if (m_pending.empty())
            return false;
        auto callback = std::move(m_pending.front().second);
        m_pending.pop_front();
        callback();
        return true;
    }

private:
    TimerId m_nextId = 1;
    std::deque<std::pair<TimerId, std::function<void()>>> m_pending;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? QByteArray(argv[1]).toInt() : 100'000;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString appends = dir.filePath(QStringLiteral("Appends.txt"));
    const QString created = dir.filePath(QStringLiteral("CreatedDomains.txt"));

    QByteArray words = "\r\n";
    for (int i = 0; i < lines; ++i)
        words += "word" + QByteArray::number(i) + "\r\n";
    if (!core::writeFileAtomically(appends, words).ok())
        return 1;
    if (!core::writeFileAtomically(dir.filePath(QStringLiteral("TLDs.txt")),
                                   "com|whois.example|43|Enabled|25|No match\r\n"
                                   "net|whois.example|43|Enabled|25|No match\r\n")
             .ok())
        return 1;
    words.clear();
    words.squeeze();

    testing::MemorySettingsStore settings;
    settings.set(config::keys::TxtMake, QStringLiteral("shop"));
    testing::FakeNotice notice;
    StepScheduler scheduler;
    sources::GeneratorSession session(config::ProgramFolder(dir.path()), settings, notice, scheduler);
    qint64 startedWith = -1;
    session.setStartRun([&](qint64 count) { startedWith = count; });
    int slices = 0;
    QObject::connect(&session, &sources::GeneratorSession::namesAppended, [&] { ++slices; });

    QElapsedTimer phase;
    phase.start();
    session.load(); // the window opening: the word list and the extensions
    const qint64 openMs = phase.restart();
    const qint64 baselineKb = peakResidentKb();

    QElapsedTimer total;
    total.start();
    phase.start();
    if (!session.generateNames()) // reads Appends.txt again, as Start Generator does
        return 1;
    const qint64 readMs = phase.restart();
    qint64 longestSliceUs = 0;
    qint64 writeUs = 0;
    QElapsedTimer step;
    while (session.isGenerating()) {
        const int slicesBefore = slices;
        step.start();
        if (!scheduler.runNext())
            return 1;
        const qint64 us = step.nsecsElapsed() / 1000;
        if (slices > slicesBefore)
            longestSliceUs = qMax(longestSliceUs, us);
        else
            writeUs = us; // the call after the last slice writes the file
    }
    const qint64 writeMs = writeUs / 1000;
    const qint64 generateMs = (phase.nsecsElapsed() / 1000 - writeUs) / 1000;
    while (scheduler.runNext()) {
    }
    const qint64 totalMs = total.elapsed();
    if (startedWith < 0 || !notice.messages.isEmpty())
        return 1;

    QTextStream out(stdout);
    out << "bench_generator: base \"shop\", " << lines << " affix lines, .com and .net, all switches on\n"
        << "  names generated       " << startedWith << "\n"
        << "  CreatedDomains.txt    " << QFile(created).size() << " bytes\n"
        << "  open (read lists)     " << openMs << " ms (not in the total)\n"
        << "  read Appends.txt      " << readMs << " ms\n"
        << "  generate              " << generateMs << " ms in " << slices << " slices of "
        << sources::kGeneratorSliceSize << " (longest " << longestSliceUs / 1000.0 << " ms)\n"
        << "  write file            " << writeMs << " ms\n"
        << "  total                 " << totalMs << " ms\n"
        << "  peak memory (VmHWM)   " << peakResidentKb() / 1024 << " MiB (" << baselineKb / 1024
        << " MiB before generating)\n";
    return 0;
}
