// Figures for the list-source and page-text hot paths:
//  - reading every entry of the four-letter list by position, in order;
//  - breakLinesAtExtensions and hasEnabledExtension on a 5 MB page with com, net and org
//    enabled (the real test pages repeated), and with every default extension enabled.
#include "core/tld/TldTable.h"
#include "sources/ListSource.h"
#include "sources/TextOps.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <cstdio>

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

// Pages as the list builder sees them: one character per byte.
QString fiveMegabytePage()
{
    const QDir pages(QStringLiteral(WENDLECOTT_TESTDATA "/html/pages"));
    QString all;
    for (const QString &name : pages.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
        QFile file(pages.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            all += QString::fromLatin1(file.readAll());
    }
    if (all.isEmpty())
        all = QStringLiteral(
            "<a href=\"http://www.example.com/x\">Example</a> visit shop.org or a.net today. ");
    const qsizetype target = 5 * 1024 * 1024;
    QString page;
    page.reserve(target + all.size());
    while (page.size() < target)
        page += all;
    page.truncate(target);
    return page;
}

// The extensions of the default whois-server list, for a table with many enabled rows.
QStringList manyExtensions()
{
    QStringList extensions;
    QFile file(QStringLiteral(WENDLECOTT_TESTDATA "/tables/default-whois-servers.tsv"));
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray extension = lines.at(i).split('\t').value(0).trimmed();
            if (!extension.isEmpty())
                extensions.append(QString::fromLatin1(extension).toLower());
        }
    }
    return extensions;
}

template <typename F> double timeMs(F f, int repeat = 1)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeat; ++i)
        f();
    return double(timer.nsecsElapsed()) / 1e6 / repeat;
}

void benchReadEntry()
{
    const QString path = QStringLiteral(WENDLECOTT_BUILD_DIR "/wordlists/AllFourLetter.txt");
    if (!QFile::exists(path)) {
        out << "readEntry: " << path << " missing; build the wordlists target first\n";
        return;
    }
    qint32 count = 0;
    const double countMs = timeMs([&] { count = sources::countEntries(path); });
    out << "countEntries(AllFourLetter.txt) = " << count << " in " << countMs << " ms\n";

    sources::ListReader reader;
    qint64 chars = 0;
    qint32 read = 0;
    const double allMs = timeMs([&] {
        for (qint32 p = 1;; ++p) {
            const core::Result<QString> entry = reader.readEntry(path, p);
            if (!entry || entry.value() == core::kEndOfListSentinel)
                break;
            chars += entry.value().size();
            ++read;
        }
    });
    out << "readEntry over every entry in order: " << read << " entries (" << chars << " chars) in " << allMs
        << " ms, " << (allMs * 1e6 / std::max(read, 1)) << " ns per entry\n";
    qint32 back = 0;
    const double backMs = timeMs([&] {
        for (qint32 p = count; p >= 1; --p)
            back += reader.readEntry(path, p).ok() ? 1 : 0;
    });
    out << "readEntry over every entry backwards: " << back << " entries in " << backMs << " ms\n";
    sources::ListReader fresh;
    const double firstMs = timeMs([&] { (void)fresh.readEntry(path, 1); });
    out << "first readEntry (reads and indexes the file): " << firstMs << " ms\n";
}

void benchPageText()
{
    const QString page = fiveMegabytePage();
    core::TldTable comNetOrg;
    comNetOrg.rows = {row(QStringLiteral("com"), true), row(QStringLiteral("net"), true),
                      row(QStringLiteral("org"), true), row(QStringLiteral("de"), false),
                      row(QStringLiteral("proxy"), true)};
    core::TldTable all;
    for (const QString &extension : manyExtensions())
        all.rows.append(row(extension, true));
    const core::TldTable shipped = core::parseTldText(core::defaultTldText());
    int shippedEnabled = 0;
    for (const core::TldEntry &entry : shipped.rows)
        shippedEnabled += entry.enabled ? 1 : 0;
    core::TldTable absent; // a full scan: nothing after any dot matches
    absent.rows = {row(QStringLiteral("zzqx"), true), row(QStringLiteral("qqz"), true)};

    out << "page: " << page.size() << " chars\n";
    QString broken;
    double ms = timeMs([&] { broken = sources::breakLinesAtExtensions(page, comNetOrg); }, 5);
    out << "breakLinesAtExtensions, com net org: " << ms << " ms (" << broken.count(QStringLiteral("\r\n"))
        << " line breaks)\n";
    ms = timeMs([&] { broken = sources::detail::breakLinesStepByStep(page, comNetOrg); }, 5);
    out << "  step by step, for comparison: " << ms << " ms\n";
    ms = timeMs([&] { broken = sources::breakLinesAtExtensions(page, all); }, 3);
    out << "breakLinesAtExtensions, " << all.size() << " enabled rows: " << ms << " ms ("
        << broken.count(QStringLiteral("\r\n")) << " line breaks)\n";

    ms = timeMs([&] { broken = sources::breakLinesAtExtensions(page, shipped); }, 3);
    out << "breakLinesAtExtensions, default table (" << shippedEnabled << " of " << shipped.size()
        << " rows enabled): " << ms << " ms\n";

    bool found = false;
    ms = timeMs([&] { found = sources::hasEnabledExtension(page, comNetOrg); }, 20);
    out << "hasEnabledExtension, com net org: " << ms << " ms (" << (found ? "found" : "not found") << ")\n";
    ms = timeMs([&] { found = sources::hasEnabledExtension(page, absent); }, 5);
    out << "hasEnabledExtension, no match (whole page): " << ms << " ms (" << (found ? "found" : "not found")
        << ")\n";
    const QString upperPage = page.toUpper();
    ms = timeMs([&] { found = sources::hasEnabledExtension(upperPage, absent); }, 5);
    out << "hasEnabledExtension, no match, upper-case page: " << ms << " ms\n";
    ms = timeMs([&] { found = sources::hasEnabledExtension(page, all); }, 5);
    out << "hasEnabledExtension, " << all.size() << " enabled rows: " << ms << " ms\n";

    const QString hostile =
        QStringLiteral("%") + QStringLiteral("25").repeated(500000) + QStringLiteral("20");
    QString decoded;
    ms = timeMs([&] { decoded = sources::xurlEncode(hostile); }, 5);
    out << "xurlEncode of \"%\" + 500000 x \"25\" + \"20\" (1 MB): " << ms << " ms\n";
    const QString escapes = QStringLiteral("%25%3C").repeated(175000);
    ms = timeMs([&] { decoded = sources::xurlEncode(escapes); }, 5);
    out << "xurlEncode of 1 MB of escapes: " << ms << " ms\n";
    ms = timeMs([&] { decoded = sources::xCorrectName(page.left(1024 * 1024)); }, 5);
    out << "xCorrectName of 1 MB of page text: " << ms << " ms\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    out.setRealNumberPrecision(4);
    benchReadEntry();
    benchPageText();
    out.flush();
    return 0;
}
