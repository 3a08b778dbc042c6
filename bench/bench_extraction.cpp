// Figures for the two page extractions:
//  - a 5 MB page (the real test pages repeated) by the list builder's rules and by the browse
//    window's, with com, net and org enabled (target under 0.5 s) and with every row of the
//    default table enabled;
//  - a 1 MB page read by the browse window in steps: the part that cannot be split (preparing
//    the text) and the longest step, which bound how long the window's event loop waits;
//  - hostile pages: one with a name on every few bytes, one long line, binary bytes.
#include "browse/PageExtraction.h"
#include "core/base/TextFile.h"
#include "core/tld/TldTable.h"
#include "sources/ExtractionRules.h"
#include "sources/SearchExtraction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <optional>

using namespace wendlecott;

namespace {

QTextStream out(stdout);

core::TldEntry row(const QString &extension, bool enabled)
{
    core::TldEntry entry;
    entry.extension = extension;
    entry.server = QStringLiteral("whois.example");
    entry.enabled = enabled;
    return entry;
}

// The real test pages repeated up to `size` bytes.
QByteArray repeatedPages(qsizetype size)
{
    const QDir pages(QStringLiteral(WENDLECOTT_TESTDATA "/html/pages"));
    QByteArray all;
    for (const QString &name : pages.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
        QFile file(pages.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    if (all.isEmpty())
        all = "<a href=\"https://www.example.com/x\">Example</a> visit shop.org or a.net today. ";
    QByteArray page;
    page.reserve(size + all.size());
    while (page.size() < size)
        page += all;
    page.truncate(size);
    return page;
}

// Wall-clock and processor time of f, in ms, averaged over `repeat` runs. The machine is often
// shared; processor time shows the cost when other work takes turns on the cores.
struct Timing {
    double wallMs = 0;
    double cpuMs = 0;
};

double cpuNowMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

template <typename F> Timing timeMs(F f, int repeat = 1)
{
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuNowMs();
    for (int i = 0; i < repeat; ++i)
        f();
    return {double(timer.nsecsElapsed()) / 1e6 / repeat, (cpuNowMs() - cpuStart) / repeat};
}

QTextStream &operator<<(QTextStream &stream, const Timing &timing)
{
    return stream << timing.wallMs << " ms (" << timing.cpuMs << " ms processor time)";
}

void benchBothRules(const QString &label, const core::TldTable &table, const QByteArray &bytes)
{
    const QString latin1 = sources::pageTextFromBytes(bytes);
    const QString text = core::decodeText(bytes);
    qsizetype names = 0;
    Timing ms = timeMs(
        [&] {
            sources::SearchExtraction run(table);
            run.addPage(latin1);
            names = run.names().size();
        },
        3);
    out << "  list builder rules, " << label << ": " << ms << ", " << names << " names\n";
    ms = timeMs(
        [&] {
            browse::FoundNames found;
            names = browse::extractPageNames(found, table, text).names().size();
        },
        3);
    out << "  browse window rules, " << label << ": " << ms << ", " << names << " names\n";
}

void benchFiveMegabytes()
{
    const QByteArray page = repeatedPages(5 * 1024 * 1024);
    core::TldTable comNetOrg;
    comNetOrg.rows = {row(QStringLiteral("com"), true), row(QStringLiteral("net"), true),
                      row(QStringLiteral("org"), true), row(QStringLiteral("de"), false),
                      row(QStringLiteral("proxy"), true)};
    core::TldTable everyRow = core::parseTldText(core::defaultTldText());
    for (core::TldEntry &entry : everyRow.rows)
        entry.enabled = true;
    out << "5 MB page (" << page.size() << " bytes):\n";
    benchBothRules(QStringLiteral("com net org"), comNetOrg, page);
    benchBothRules(QStringLiteral("all %1 default rows").arg(everyRow.size()), everyRow, page);
}

void benchSteps()
{
    const QString page = core::decodeText(repeatedPages(1024 * 1024));
    core::TldTable table;
    table.rows = {row(QStringLiteral("com"), true), row(QStringLiteral("net"), true),
                  row(QStringLiteral("org"), true)};
    for (const qsizetype linesPerStep : {500, 2000, 10000}) {
        browse::FoundNames found;
        std::optional<browse::PageExtraction> extraction;
        const Timing prepareMs = timeMs([&] { extraction.emplace(found, table, page); });
        Timing longestMs;
        int steps = 0;
        bool done = false;
        while (!done) {
            const Timing step = timeMs([&] { done = extraction->step(linesPerStep); });
            if (step.wallMs > longestMs.wallMs)
                longestMs = step;
            ++steps;
        }
        out << "1 MB page in steps of " << linesPerStep << " lines: preparing " << prepareMs << ", " << steps
            << " steps, longest " << longestMs << ", " << extraction->result().names().size() << " names\n";
    }
}

void benchHostile()
{
    core::TldTable table;
    table.rows = {row(QStringLiteral("com"), true), row(QStringLiteral("net"), true)};
    QByteArray manyNames;
    for (int i = 0; manyNames.size() < 5 * 1024 * 1024; ++i)
        manyNames += "http://n" + QByteArray::number(i) + "x.com/ ";
    QByteArray longLine(5 * 1024 * 1024, 'a');
    longLine += ".com";
    QByteArray binary;
    for (quint32 i = 0; i < 5u * 1024u * 1024u; ++i)
        binary.append(char(i * 7919u % 251u));
    QByteArray repeatedName;
    while (repeatedName.size() < 5 * 1024 * 1024)
        repeatedName += "x.com\" ";
    out << "hostile 5 MB pages:\n";
    benchBothRules(QStringLiteral("a name every 18 bytes"), table, manyNames);
    benchBothRules(QStringLiteral("one line of letters"), table, longLine);
    benchBothRules(QStringLiteral("binary bytes"), table, binary);
    benchBothRules(QStringLiteral("one name repeated"), table, repeatedName);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    out.setRealNumberPrecision(4);
    benchFiveMegabytes();
    benchSteps();
    benchHostile();
    out.flush();
    return 0;
}
