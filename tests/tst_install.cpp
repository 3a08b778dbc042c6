// The installed program, as `cmake --install` lays it out in a fresh prefix: what lands
// where, and that the programs run from there with their data in the per-user folder.
#include "BuildFolder.h"
#include "FakeWhoisServer.h"
#include "TestFolder.h"

#include <QDirIterator>
#include <QProcess>
#include <QtTest>

using namespace wendlecott;

namespace {

struct Finished {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end, the event loop turning meanwhile (the fake whois server lives
// in this process). Given up after `limitMs`.
Finished runProgram(const QString &program, const QStringList &args, int limitMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("WENDLECOTT_PROGRAM_FOLDER"));
    process.setProcessEnvironment(environment);
    process.start(program, args);
    QDeadlineTimer deadline(limitMs);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    Finished finished;
    finished.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    finished.out = process.readAllStandardOutput();
    finished.err = process.readAllStandardError();
    return finished;
}

// Every file under `root`, as paths relative to it, sorted.
QStringList filesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QStringList lines(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        const Finished install = runProgram(
            QStringLiteral(WENDLECOTT_CMAKE_COMMAND),
            {QStringLiteral("--install"), testing::buildPath(), QStringLiteral("--prefix"), m_prefix.path()},
            120000);
        QVERIFY2(install.status == 0, install.err.constData());
    }

    void programsDataDesktopEntryAndIconLandWhereADesktopLooksForThem()
    {
        QStringList expected = {
            QStringLiteral("bin/wendlecott-cli"),
            QStringLiteral("share/wendlecott/wordlists/AllFourLetter.txt"),
            QStringLiteral("share/wendlecott/wordlists/AllThreeLetter.txt"),
            QStringLiteral("share/wendlecott/wordlists/AllTwoLetter.txt"),
            QStringLiteral("share/wendlecott/wordlists/FullWordList.LICENSE.txt"),
            QStringLiteral("share/wendlecott/wordlists/FullWordList.txt"),
        };
        if (hasDesktopProgram()) {
            expected +=
                {QStringLiteral("bin/wendlecott"), QStringLiteral("share/applications/wendlecott.desktop"),
                 QStringLiteral("share/icons/hicolor/scalable/apps/wendlecott.svg")};
        }
        expected.sort();
        // Whatever else data/ ships lies under share/wendlecott; nothing lands anywhere else.
        QStringList installed = filesUnder(m_prefix.path());
        installed.removeIf([&](const QString &file) {
            return file.startsWith(QLatin1String("share/wendlecott/")) && !expected.contains(file);
        });
        QCOMPARE(installed, expected);
        QVERIFY(QFileInfo(m_prefix.filePath(QStringLiteral("bin/wendlecott-cli"))).isExecutable());
        // The word lists are the built ones: every two-letter name, one a line.
        QFile two(m_prefix.filePath(QStringLiteral("share/wendlecott/wordlists/AllTwoLetter.txt")));
        QVERIFY(two.open(QIODevice::ReadOnly));
        const QStringList names = lines(two.readAll());
        QCOMPARE(names.size(), 26 * 26);
        QCOMPARE(names.first(), QStringLiteral("aa"));
    }

    void desktopEntryStartsTheInstalledProgramWithTheInstalledIcon()
    {
        if (!hasDesktopProgram())
            QSKIP("built without the desktop program");
        QSettings entry(m_prefix.filePath(QStringLiteral("share/applications/wendlecott.desktop")),
                        QSettings::IniFormat);
        entry.beginGroup(QStringLiteral("Desktop Entry"));
        QCOMPARE(entry.value(QStringLiteral("Type")).toString(), QStringLiteral("Application"));
        QCOMPARE(entry.value(QStringLiteral("Name")).toString(), QStringLiteral("Wendlecott"));
        const QString exec = entry.value(QStringLiteral("Exec")).toString();
        QVERIFY(QFileInfo(m_prefix.filePath(QStringLiteral("bin/") + exec)).isExecutable());
        const QString icon = entry.value(QStringLiteral("Icon")).toString();
        QVERIFY(QFileInfo::exists(
            m_prefix.filePath(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon))));
        QCOMPARE(entry.value(QStringLiteral("Terminal")).toString(), QStringLiteral("false"));
    }

    void installedCommandLineChecksAListIntoThePerUserFolder()
    {
        testing::TestFolder home; // XDG_DATA_HOME and XDG_CONFIG_HOME of the programs started
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("free.com"), "No match for free.com\r\n");
        server.answer(QStringLiteral("taken.com"), "Domain Name: TAKEN.COM\r\n");
        home.write(QStringLiteral(".local/share/Brindlemoor/Wendlecott/TLDs.txt"),
                   QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\n").arg(server.port()).toUtf8());
        home.write(QStringLiteral("list.txt"), "free\r\ntaken\r\n");
        // The table must be the one above before anything is looked up: a program that read
        // another folder would ask the default table's servers, which are not on this machine.
        const Finished table = runProgram(cli(), {QStringLiteral("tld"), QStringLiteral("list")}, 30000);
        QCOMPARE(table.out,
                 QStringLiteral("0\tcom\t127.0.0.1\t%1\tEnabled\t0\tNo match\n").arg(server.port()).toUtf8());

        const Finished run =
            runProgram(cli(), {QStringLiteral("check"), home.file(QStringLiteral("list.txt"))}, 60000);
        QVERIFY2(run.status == 0, run.err.constData());
        QCOMPARE(run.out, QByteArray("available\tfree.com\tHigh\nregistered\ttaken.com\n"));
        QCOMPARE(server.requests(), (QList<QByteArray>{"free.com", "taken.com"}));
        QCOMPARE(home.read(QStringLiteral(".local/share/Brindlemoor/Wendlecott/SuperHighProfile.txt")),
                 QByteArray("free.com\r\n"));
        QVERIFY(binHoldsOnlyThePrograms());
    }

    void installedCommandLineHelpNeedsNoFolder()
    {
        testing::TestFolder home;
        const Finished run = runProgram(cli(), {QStringLiteral("--help")}, 30000);
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith("Usage: wendlecott-cli"));
        QVERIFY(!home.exists(QStringLiteral(".local/share/Brindlemoor")));
    }

    // The window is drawn offscreen; the program ends itself once it is shown.
    void installedDesktopProgramStartsWithItsFilesInThePerUserFolder()
    {
        if (!hasDesktopProgram())
            QSKIP("built without the desktop program");
        testing::TestFolder home;
        const Finished run =
            runProgram(m_prefix.filePath(QStringLiteral("bin/wendlecott")),
                       {QStringLiteral("--no-splash"), QStringLiteral("--measure-startup")}, 120000);
        QVERIFY2(run.status == 0, run.err.constData());
        QVERIFY(run.out.contains("main window shown after"));
        const QString perUser = QStringLiteral(".local/share/Brindlemoor/Wendlecott/");
        QVERIFY(home.exists(perUser + QStringLiteral("TLDs.txt")));
        QVERIFY(home.exists(perUser + QStringLiteral("Remembered.txt")));
        QVERIFY(binHoldsOnlyThePrograms());
    }

private:
    QString cli() const { return m_prefix.filePath(QStringLiteral("bin/wendlecott-cli")); }
    bool hasDesktopProgram() const
    {
        return QFileInfo::exists(testing::buildPath(QStringLiteral("wendlecott")));
    }
    bool binHoldsOnlyThePrograms() const
    {
        QStringList expected{QStringLiteral("wendlecott-cli")};
        if (hasDesktopProgram())
            expected.prepend(QStringLiteral("wendlecott"));
        const QStringList found = QDir(m_prefix.filePath(QStringLiteral("bin")))
                                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        return found == expected;
    }

    QTemporaryDir m_prefix;
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
