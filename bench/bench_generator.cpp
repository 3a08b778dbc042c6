// Generates 1,000,000 names and writes CreatedDomains.txt, as the generator window does:
// base word "shop", 100,000 affix lines, .com and .net checked, all three switches on, so
// each line gives 2 bare + 4 prefix + 4 suffix names = 10, and 100,000 lines give 1,000,000.
// Prints the time of each phase and the peak resident memory (VmHWM).

#include "core/TextFile.h"
#include "sources/Generator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

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
    words.clear();
    words.squeeze();
    const qint64 baselineKb = peakResidentKb();

    QElapsedTimer total;
    total.start();
    QElapsedTimer phase;
    phase.start();
    auto affixes = sources::readAffixWords(appends);
    if (!affixes)
        return 1;
    const qint64 readMs = phase.restart();

    sources::GeneratorInput input;
    input.base = QStringLiteral("shop");
    input.affixes = std::move(affixes).value();
    input.extensions = {QStringLiteral(".com"), QStringLiteral(".net")};
    sources::GeneratorJob job(std::move(input), sources::kMaxGeneratedNames);
    int slices = 0;
    qint64 longestSliceUs = 0;
    QElapsedTimer slice;
    while (!job.isFinished()) {
        slice.start();
        job.step(20'000); // the window's slice size
        longestSliceUs = qMax(longestSliceUs, slice.nsecsElapsed() / 1000);
        ++slices;
    }
    const qint64 generateMs = phase.restart();

    const core::Status written = sources::writeCreatedDomains(created, job.names());
    const qint64 writeMs = phase.restart();
    const qint64 totalMs = total.elapsed();
    if (!written.ok())
        return 1;

    QTextStream out(stdout);
    out << "bench_generator: base \"shop\", " << lines << " affix lines, .com and .net, all switches on\n"
        << "  names generated       " << job.created() << "\n"
        << "  CreatedDomains.txt    " << QFile(created).size() << " bytes\n"
        << "  read Appends.txt      " << readMs << " ms\n"
        << "  generate              " << generateMs << " ms in " << slices << " slices of 20000 (longest "
        << longestSliceUs / 1000.0 << " ms)\n"
        << "  write file            " << writeMs << " ms\n"
        << "  total                 " << totalMs << " ms\n"
        << "  peak memory (VmHWM)   " << peakResidentKb() / 1024 << " MiB (" << baselineKb / 1024
        << " MiB before generating)\n";
    return 0;
}
