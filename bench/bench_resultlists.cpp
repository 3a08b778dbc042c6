// Filing cost of the result lists, live files included: 20,000 available names in a row
// into one list, the time of a single filing at the start and at the end, and for contrast
// the one filing that has to replace a full live file (after a deletion).
#include "FakeNotice.h"
#include "TestFolder.h"
#include "core/lists/ResultLists.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <vector>

using namespace wendlecott;
using core::ListId;

namespace {

double meanMicros(const std::vector<qint64> &nanos, std::size_t from, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i)
        sum += static_cast<double>(nanos[i]);
    return sum / static_cast<double>(count) / 1000.0;
}

struct Lists {
    testing::TestFolder folder;
    testing::FakeNotice notice;
    core::NoClipboard clipboard;
    core::NoAddressOpener opener;
    core::ResultLists lists{folder.path(), notice, clipboard, opener};
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int total = static_cast<int>(core::ResultLists::kOverflowSize);

    // 1. One list grows to 20,000: the worst case for a filing that rewrote the file whole.
    {
        Lists l;
        std::vector<qint64> nanos;
        nanos.reserve(total);
        QElapsedTimer all;
        all.start();
        for (int i = 0; i < total; ++i) {
            const QString name = QStringLiteral("candidate%1.com").arg(i, 5, 10, QLatin1Char('0'));
            QElapsedTimer one;
            one.start();
            l.lists.addAvailable(name);
            nanos.push_back(one.nsecsElapsed());
        }
        const double totalMs = static_cast<double>(all.nsecsElapsed()) / 1e6;
        const qint64 bytes = QFileInfo(l.lists.files().liveFilePath(ListId::Low)).size();
        std::printf("filing %d names into one list, files included\n", total);
        std::printf("  total:                     %9.1f ms\n", totalMs);
        std::printf("  one filing, first 100:     %9.1f us (mean)\n", meanMicros(nanos, 0, 100));
        std::printf("  one filing, last 100:      %9.1f us (mean)\n",
                    meanMicros(nanos, nanos.size() - 100, 100));
        std::printf("  live file at the end:      %9lld bytes\n", static_cast<long long>(bytes));

        // After a deletion the next filing replaces the file whole, once (mean of 10).
        qint64 wholeNanos = 0;
        const int rounds = 10;
        for (int r = 0; r < rounds; ++r) {
            l.lists.deleteEntry(ListId::Low, 0);
            QElapsedTimer whole;
            whole.start();
            l.lists.addAvailable(QStringLiteral("candidate-after-delete%1.com").arg(r));
            wholeNanos += whole.nsecsElapsed();
        }
        const double wholeUs = static_cast<double>(wholeNanos) / rounds / 1000.0;
        std::printf("  filing after a deletion:   %9.1f us (mean of %d; replaces the %d-entry file)\n",
                    wholeUs, rounds, total);
        std::printf("  estimate had every filing replaced the file: about %.0f s for these %d filings\n",
                    wholeUs / 2.0 * total / 1e6, total);
    }

    // 2. A mixed run through one overflow: names of every class and registered ones, with the
    //    overflow check after each verdict as a run makes it.
    {
        Lists l;
        QElapsedTimer all;
        all.start();
        int filings = 0;
        int overflows = 0;
        for (int i = 0; overflows == 0 && i < 5 * total; ++i) {
            const QString stem = QString::number(i, 36);
            if (i % 4 == 3)
                l.lists.addRegistered(stem + QStringLiteral("taken.com"));
            else
                l.lists.addAvailable(stem + QStringLiteral("xxxxxxxxxx").left(i % 9) +
                                     QStringLiteral(".net"));
            ++filings;
            overflows += l.lists.checkOverflow() ? 1 : 0;
        }
        const double totalMs = static_cast<double>(all.nsecsElapsed()) / 1e6;
        std::printf(
            "mixed run to the first overflow: %d verdicts, %d overflow, %.1f ms (%.1f us per verdict)\n",
            filings, overflows, totalMs, totalMs * 1000.0 / filings);
    }
    return 0;
}
