#include "TestFolder.h"
#include "config/FileUtils.h"
#include "config/ProgramFolder.h"
#include "core/base/TextFile.h"

#include <QFile>
#include <QtTest>

#include <optional>

using namespace wendlecott;

namespace {

// Sets or clears an environment variable for one test and puts the old value back.
class EnvScope {
public:
    EnvScope(const char *name, const std::optional<QByteArray> &value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_old = qgetenv(name);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~EnvScope()
    {
        if (m_old)
            qputenv(m_name, *m_old);
        else
            qunsetenv(m_name);
    }
    EnvScope(const EnvScope &) = delete;
    EnvScope &operator=(const EnvScope &) = delete;

private:
    const char *m_name;
    std::optional<QByteArray> m_old;
};

// Restores a folder's permissions so that the temporary folder can be removed.
class PermissionScope {
public:
    PermissionScope(QString path, QFileDevice::Permissions permissions)
        : m_path(std::move(path)), m_old(QFile::permissions(m_path))
    {
        QFile::setPermissions(m_path, permissions);
    }
    ~PermissionScope() { QFile::setPermissions(m_path, m_old); }
    PermissionScope(const PermissionScope &) = delete;
    PermissionScope &operator=(const PermissionScope &) = delete;

private:
    QString m_path;
    QFileDevice::Permissions m_old;
};

bool canCreateFileIn(const QString &dir)
{
    QFile probe(dir + QStringLiteral("/probe.tmp"));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.close();
    probe.remove();
    return true;
}

} // namespace

class TestFileUtils : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fileNamePart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("bare name") << "Appends.txt"
                                   << "Appends.txt";
        QTest::newRow("backslashes") << "\\Wordlists\\FullWordList.txt"
                                     << "FullWordList.txt";
        QTest::newRow("slashes") << "/tmp/pf/Remembered.txt"
                                 << "Remembered.txt";
        QTest::newRow("mixed") << "/tmp/pf\\backups/x\\High1.txt"
                               << "High1.txt";
        QTest::newRow("ends in backslash") << "/tmp/pf\\"
                                           << "";
        QTest::newRow("ends in slash") << "/tmp/pf/"
                                       << "";
        QTest::newRow("lone backslash") << "\\"
                                        << "";
        QTest::newRow("blanks kept") << "/a/ b .txt"
                                     << " b .txt";
    }
    void fileNamePart()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(config::fileNamePart(path), name);
    }

    void xfileExists_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("exists");
        QTest::newRow("exact") << "/Appends.txt" << true;
        QTest::newRow("upper case") << "/APPENDS.TXT" << true;
        QTest::newRow("mixed case") << "/aPPenDs.tXt" << true;
        QTest::newRow("backslash separator") << "\\Appends.txt" << true;
        QTest::newRow("in a subfolder") << "/Wordlists/FullWordList.txt" << true;
        QTest::newRow("subfolder in another case") << "/WORDLISTS\\fullwordlist.TXT" << true;
        QTest::newRow("missing") << "/Missing.txt" << false;
        QTest::newRow("missing folder") << "/nowhere/Appends.txt" << false;
        QTest::newRow("ends in slash") << "/Appends.txt/" << false;
        QTest::newRow("ends in backslash") << "\\wordlists\\" << false;
        QTest::newRow("a folder") << "/wordlists" << false;
        QTest::newRow("hidden file") << "/.Hidden.txt" << false;
        QTest::newRow("hidden file in another case") << "/.hidden.TXT" << false;
        QTest::newRow("dot") << "/." << false;
        QTest::newRow("wildcard") << "/*.txt" << false;
        QTest::newRow("file as folder") << "/Appends.txt/x" << false;
    }
    void xfileExists()
    {
        QFETCH(QString, relative);
        QFETCH(bool, exists);
        testing::TestFolder folder;
        folder.write(QStringLiteral("Appends.txt"), "\r\n");
        folder.write(QStringLiteral(".Hidden.txt"), "\r\n");
        folder.write(QStringLiteral("wordlists/FullWordList.txt"), "a\r\n");
        QCOMPARE(config::xfileExists(folder.path() + relative), exists);
    }

    void xfileExistsOnOddPaths()
    {
        QVERIFY(!config::xfileExists(QString()));
        QVERIFY(!config::xfileExists(QStringLiteral("/")));
        QVERIFY(!config::xfileExists(QStringLiteral("/proc/self/no-such-file")));
        QVERIFY(!config::xfileExists(QString(QChar(0))));
    }

    void xdirExists_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("exists");
        QTest::newRow("plain") << "/backups" << true;
        QTest::newRow("trailing slash") << "/backups/" << true;
        QTest::newRow("trailing backslash") << "\\backups\\" << true;
        QTest::newRow("other case") << "/BACKUPS" << true;
        QTest::newRow("other case, trailing backslash") << "\\Backups\\" << true;
        QTest::newRow("empty folder") << "/searches" << true;
        QTest::newRow("nested, backslashes") << "\\backups\\old" << true;
        QTest::newRow("hidden folder") << "/.cache" << true;
        QTest::newRow("the folder itself") << "" << true;
        QTest::newRow("a file") << "/Appends.txt" << false;
        QTest::newRow("a file, trailing slash") << "/Appends.txt/" << false;
        QTest::newRow("missing") << "/overflow" << false;
        QTest::newRow("missing, trailing slash") << "/overflow/" << false;
    }
    void xdirExists()
    {
        QFETCH(QString, relative);
        QFETCH(bool, exists);
        testing::TestFolder folder;
        folder.write(QStringLiteral("Appends.txt"), "\r\n");
        folder.write(QStringLiteral("backups/old/x.txt"), " \r\n");
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("searches")));
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral(".cache")));
        QCOMPARE(config::xdirExists(folder.path() + relative), exists);
    }

    void xdirExistsOnOddPaths()
    {
        QVERIFY(!config::xdirExists(QString()));
        QVERIFY(config::xdirExists(QStringLiteral("/")));
        QVERIFY(config::xdirExists(QStringLiteral("\\")));
        QVERIFY(!config::xdirExists(QString(QChar(0))));
    }

    void xcopyFileCopiesAndReplaces()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("TLDs.txt"), "com|whois.example|43|Enabled|25|No match\r\n");
        const QString source = folder.file(QStringLiteral("TLDs.txt"));
        const QString copy = folder.file(QStringLiteral("TLDsCopy.txt"));
        QVERIFY(config::xcopyFile(source, copy));
        QCOMPARE(folder.read(QStringLiteral("TLDsCopy.txt")), folder.read(QStringLiteral("TLDs.txt")));

        folder.write(QStringLiteral("TLDs.txt"), "net\r\n");
        QVERIFY(config::xcopyFile(source, copy));
        QCOMPARE(folder.read(QStringLiteral("TLDsCopy.txt")), QByteArray("net\r\n"));

        // A destination written in another case replaces the file that is there.
        QVERIFY(config::xcopyFile(folder.path() + QStringLiteral("\\tlds.TXT"),
                                  folder.path() + QStringLiteral("\\TLDSCOPY.txt")));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("TLDs.txt"), QStringLiteral("TLDsCopy.txt")}));
    }

    void xcopyFileCopiesAnEmptyFile()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("empty.txt"), QByteArray());
        folder.write(QStringLiteral("dest.txt"), "old\r\n");
        QVERIFY(config::xcopyFile(folder.file(QStringLiteral("empty.txt")),
                                  folder.file(QStringLiteral("dest.txt"))));
        QCOMPARE(folder.read(QStringLiteral("dest.txt")), QByteArray());
    }

    void failedCopyLeavesTheDestination_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::newRow("missing source") << "missing.txt"
                                        << "dest.txt";
        QTest::newRow("source is a folder") << "folder"
                                            << "dest.txt";
        QTest::newRow("destination is a folder") << "source.txt"
                                                 << "folder";
        QTest::newRow("destination folder missing") << "source.txt"
                                                    << "nowhere/dest.txt";
        QTest::newRow("destination ends in a separator") << "source.txt"
                                                         << "folder/";
        QTest::newRow("empty source") << ""
                                      << "dest.txt";
    }
    void failedCopyLeavesTheDestination()
    {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        testing::TestFolder folder;
        folder.write(QStringLiteral("source.txt"), "new\r\n");
        folder.write(QStringLiteral("dest.txt"), "old\r\n");
        folder.write(QStringLiteral("folder/inside.txt"), "x\r\n");
        const QString from = source.isEmpty() ? QString() : folder.file(source);
        QVERIFY(!config::xcopyFile(from, folder.file(destination)));
        QCOMPARE(folder.read(QStringLiteral("dest.txt")), QByteArray("old\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{QStringLiteral("dest.txt"), QStringLiteral("folder"),
                              QStringLiteral("source.txt")}));
        QCOMPARE(
            QDir(folder.file(QStringLiteral("folder"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("inside.txt")});
    }

    void copyThatFailsHalfwayLeavesTheDestination()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("source.txt"), "a long new content\r\n");
        folder.write(QStringLiteral("dest.txt"), "old\r\n");
        {
            core::WriteFaultScope fault(4);
            QVERIFY(!config::xcopyFile(folder.file(QStringLiteral("source.txt")),
                                       folder.file(QStringLiteral("dest.txt"))));
        }
        QCOMPARE(folder.read(QStringLiteral("dest.txt")), QByteArray("old\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("dest.txt"), QStringLiteral("source.txt")}));
    }

    void copyOntoItselfKeepsTheFile()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("same.txt"), "keep\r\n");
        QVERIFY(config::xcopyFile(folder.file(QStringLiteral("same.txt")),
                                  folder.file(QStringLiteral("SAME.txt"))));
        QCOMPARE(folder.read(QStringLiteral("same.txt")), QByteArray("keep\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("same.txt")});
    }

    // --- the program folder ----------------------------------------------------------

    void overrideArgumentWins()
    {
        testing::TestFolder folder;
        EnvScope env(config::kProgramFolderEnv, QByteArray(folder.file(QStringLiteral("from-env")).toUtf8()));
        const QString exe = folder.file(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(exe));
        const config::ProgramFolder pf =
            config::ProgramFolder::locate(folder.file(QStringLiteral("chosen/deeper")), exe);
        QCOMPARE(pf.root(), folder.file(QStringLiteral("chosen/deeper")));
        QVERIFY(QFileInfo(pf.root()).isDir());
        QCOMPARE(pf.shippedRoot(), exe);
        QVERIFY(!folder.exists(QStringLiteral("from-env")));
    }

    void relativeOverrideIsMadeAbsolute()
    {
        testing::TestFolder folder;
        EnvScope env(config::kProgramFolderEnv, std::nullopt);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        const config::ProgramFolder pf = config::ProgramFolder::locate(QStringLiteral("rel"), folder.path());
        QDir::setCurrent(previous);
        QCOMPARE(pf.root(), QDir(folder.path()).canonicalPath() + QStringLiteral("/rel"));
    }

    void environmentVariableIsUsed()
    {
        testing::TestFolder folder;
        EnvScope env(config::kProgramFolderEnv, QByteArray(folder.file(QStringLiteral("from-env")).toUtf8()));
        const config::ProgramFolder pf = config::ProgramFolder::locate(QString(), folder.path());
        QCOMPARE(pf.root(), folder.file(QStringLiteral("from-env")));
        QVERIFY(QFileInfo(pf.root()).isDir());
    }

    void writableExecutableFolderIsTheProgramFolder()
    {
        testing::TestFolder folder;
        EnvScope env(config::kProgramFolderEnv, std::nullopt);
        const config::ProgramFolder pf = config::ProgramFolder::locate(QString(), folder.path());
        QCOMPARE(pf.root(), folder.path());
        QCOMPARE(pf.shippedRoot(), folder.path());
        // The write probe leaves nothing behind.
        QVERIFY(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void readOnlyExecutableFolderUsesThePerUserFolder()
    {
        testing::TestFolder folder; // points XDG_DATA_HOME into the temporary folder
        EnvScope env(config::kProgramFolderEnv, std::nullopt);
        folder.write(QStringLiteral("install/Wordlists/FullWordList.txt"), "shipped\r\n");
        const QString exe = folder.file(QStringLiteral("install"));
        PermissionScope readOnly(exe, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                          QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                          QFileDevice::ReadOther | QFileDevice::ExeOther);
        if (canCreateFileIn(exe))
            QSKIP("this account can write into a folder with mode 0555 (it runs as root), so a read-only "
                  "executable folder cannot be made here");

        const config::ProgramFolder pf = config::ProgramFolder::locate(QString(), exe);
        const QString perUser = folder.file(QStringLiteral(".local/share/Brindlemoor/Wendlecott"));
        QCOMPARE(pf.root(), perUser);
        QVERIFY(QFileInfo(perUser).isDir());
        QCOMPARE(pf.shippedRoot(), exe);
        QCOMPARE(pf.path(QStringLiteral("\\Remembered.txt")), perUser + QStringLiteral("/Remembered.txt"));
        QCOMPARE(pf.shippedPath(QStringLiteral("\\wordlists\\FullWordList.txt")),
                 exe + QStringLiteral("/Wordlists/FullWordList.txt"));
        // The user's own copy wins once there is one.
        folder.write(QStringLiteral(".local/share/Brindlemoor/Wendlecott/wordlists/fullwordlist.txt"),
                     "mine\r\n");
        QCOMPARE(pf.shippedPath(QStringLiteral("\\Wordlists\\FullWordList.txt")),
                 perUser + QStringLiteral("/wordlists/fullwordlist.txt"));
    }

    void installedLayoutReadsShippedDataFromShare()
    {
        testing::TestFolder folder;
        EnvScope env(config::kProgramFolderEnv, std::nullopt);
        folder.write(QStringLiteral("prefix/share/wendlecott/wordlists/TwoLetter.txt"), "aa\r\n");
        QVERIFY(QDir().mkpath(folder.file(QStringLiteral("prefix/bin"))));
        const config::ProgramFolder pf = config::ProgramFolder::locate(
            folder.file(QStringLiteral("data")), folder.file(QStringLiteral("prefix/bin")));
        QCOMPARE(pf.shippedRoot(), folder.file(QStringLiteral("prefix/share/wendlecott")));
        QCOMPARE(pf.shippedPath(QStringLiteral("\\Wordlists\\TwoLetter.txt")),
                 folder.file(QStringLiteral("prefix/share/wendlecott/wordlists/TwoLetter.txt")));
    }

    // An installed copy run by an account that can write its bin/ (root, or a prefix of the
    // user's own) must still keep its files out of bin/.
    void installedCopyUsesThePerUserFolderEvenWhenItsFolderIsWritable()
    {
        testing::TestFolder folder;
        EnvScope env(config::kProgramFolderEnv, std::nullopt);
        folder.write(QStringLiteral("prefix/share/wendlecott/wordlists/AllTwoLetter.txt"), "aa\r\n");
        const QString bin = folder.file(QStringLiteral("prefix/bin"));
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(canCreateFileIn(bin));

        const config::ProgramFolder pf = config::ProgramFolder::locate(QString(), bin);
        const QString perUser = folder.file(QStringLiteral(".local/share/Brindlemoor/Wendlecott"));
        QCOMPARE(pf.root(), perUser);
        QVERIFY(QFileInfo(perUser).isDir());
        QCOMPARE(pf.shippedPath(QStringLiteral("\\Wordlists\\AllTwoLetter.txt")),
                 folder.file(QStringLiteral("prefix/share/wendlecott/wordlists/AllTwoLetter.txt")));
        QVERIFY(QDir(bin).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }

    // Only a folder share/wendlecott marks an installation; a file of that name does not.
    void fileNamedLikeTheDataFolderIsNoInstallation()
    {
        testing::TestFolder folder;
        EnvScope env(config::kProgramFolderEnv, std::nullopt);
        folder.write(QStringLiteral("prefix/share/wendlecott"), "not a folder\n");
        const QString bin = folder.file(QStringLiteral("prefix/bin"));
        QVERIFY(QDir().mkpath(bin));

        const config::ProgramFolder pf = config::ProgramFolder::locate(QString(), bin);
        QCOMPARE(pf.root(), bin);
        QCOMPARE(pf.shippedRoot(), bin);
    }

    void pathsMatchWithoutRegardToCase()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("wordlists/FullWordList.txt"), "a\r\n");
        const config::ProgramFolder pf(folder.path());
        QCOMPARE(pf.path(QStringLiteral("\\Wordlists\\fullwordlist.txt")),
                 folder.file(QStringLiteral("wordlists/FullWordList.txt")));
        QCOMPARE(pf.path(QStringLiteral("\\Overflow\\New.txt")),
                 folder.file(QStringLiteral("Overflow/New.txt")));
        QCOMPARE(pf.path(QString()), folder.path());
        QCOMPARE(pf.shippedPath(QStringLiteral("/WORDLISTS/FULLWORDLIST.TXT")),
                 folder.file(QStringLiteral("wordlists/FullWordList.txt")));
    }
};

QTEST_GUILESS_MAIN(TestFileUtils)
#include "tst_fileutils.moc"
