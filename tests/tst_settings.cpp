#include "FakeNotice.h"
#include "MemorySettingsStore.h"
#include "TestFolder.h"
#include "config/MachineSettings.h"
#include "config/SettingsKeys.h"
#include "core/TextFile.h"
#include "platform/FolderLock.h"
#include "platform/IniJournal.h"
#include "platform/IniMachineSettingsStore.h"
#include "platform/IniSettingsStore.h"

#include <QSet>
#include <QtTest>

#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace wendlecott;
using config::SettingKey;

Q_DECLARE_METATYPE(wendlecott::config::SettingKey)
Q_DECLARE_METATYPE(std::optional<qint32>)
Q_DECLARE_METATYPE(std::optional<bool>)

namespace {

QString iniText(const testing::TestFolder &folder, const QString &name)
{
    return QString::fromUtf8(folder.read(name));
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // --- the key table ---------------------------------------------------------------

    void keyTableNamesEveryKeyOnce()
    {
        const QList<SettingKey> all = config::allSettingKeys();
        QCOMPARE(all.size(), 23);
        QSet<QString> seen;
        for (const SettingKey &key : all) {
            QVERIFY2(key.app == QLatin1String("Wendlecott") || key.app == QLatin1String("Tarnhollow"),
                     qPrintable(key.key));
            QVERIFY2(!seen.contains(key.key.toLower()), qPrintable(key.key));
            seen.insert(key.key.toLower());
        }
        QCOMPARE(config::keys::WordNumber.app, QStringLiteral("Tarnhollow"));
        QCOMPARE(config::keys::Throttle.app, config::kProductName);
        QCOMPARE(config::kSettingsSection, QStringLiteral("Settings"));
    }

    void chkAddKeyByBoxIndex()
    {
        QCOMPARE(config::chkAddKey(0).key, QStringLiteral("chkAdd0"));
        QCOMPARE(config::chkAddKey(1).key, QStringLiteral("chkAdd1"));
        QCOMPARE(config::chkAddKey(2).key, QStringLiteral("chkAdd2"));
        // An index that no box has must not overwrite a box's switch.
        QCOMPARE(config::chkAddKey(3).key, QStringLiteral("chkAdd3"));
        QCOMPARE(config::chkAddKey(-1).key, QStringLiteral("chkAdd-1"));
    }

    void readerDefaults_data()
    {
        QTest::addColumn<SettingKey>("key");
        QTest::addColumn<QString>("readerDefault");
        QTest::addColumn<QString>("expected");
        using namespace config;
        QTest::newRow("Throttle at start-up") << keys::Throttle << defaults::ThrottleAtStartup << "25";
        QTest::newRow("Throttle in Setup") << keys::Throttle << defaults::ThrottleInSetup << "20";
        QTest::newRow("Throttle in browse mode") << keys::Throttle << defaults::ThrottleInBrowse << "100";
        QTest::newRow("DefaultExt") << keys::DefaultExt << defaults::DefaultExt << ".com";
        QTest::newRow("DefaultSearch") << keys::DefaultSearch << defaults::DefaultSearch << "Google";
        QTest::newRow("chkProxy") << keys::ChkProxy << defaults::ChkProxy << "0";
        QTest::newRow("showHelp") << keys::ShowHelp << defaults::ShowHelp << "1";
        QTest::newRow("FirstUse") << keys::FirstUse << defaults::FirstUse << "";
        QTest::newRow("txtMake") << keys::TxtMake << defaults::TxtMake << "";
        QTest::newRow("chkAdd0") << chkAddKey(0) << defaults::ChkAdd << "1";
        QTest::newRow("chkAdd1") << chkAddKey(1) << defaults::ChkAdd << "1";
        QTest::newRow("chkAdd2") << chkAddKey(2) << defaults::ChkAdd << "1";
        QTest::newRow("IgnorePermissionDeniedError")
            << keys::IgnorePermissionDeniedError << defaults::IgnorePermissionDeniedError << "0";
        QTest::newRow("wordNumber") << keys::WordNumber << defaults::WordNumber << "0";
        QTest::newRow("FullWordNum") << keys::FullWordNum << defaults::SourcePosition << "1";
        QTest::newRow("TwoWordNum") << keys::TwoWordNum << defaults::SourcePosition << "1";
        QTest::newRow("ThreeWordNum") << keys::ThreeWordNum << defaults::SourcePosition << "1";
        QTest::newRow("FourWordNum") << keys::FourWordNum << defaults::SourcePosition << "1";
        QTest::newRow("CustWordNum") << keys::CustWordNum << defaults::SourcePosition << "1";
    }
    void readerDefaults()
    {
        QFETCH(SettingKey, key);
        QFETCH(QString, readerDefault);
        QFETCH(QString, expected);
        testing::TestFolder folder;
        const platform::IniSettingsStore store(folder.file(QStringLiteral("config")));
        QCOMPARE(config::readSetting(store, key, readerDefault), expected);
        QVERIFY(!QFileInfo::exists(folder.file(QStringLiteral("config"))));
    }

    void numericDefaultsConvert()
    {
        testing::TestFolder folder;
        const platform::IniSettingsStore store(folder.file(QStringLiteral("config")));
        using namespace config;
        QCOMPARE(readInt32Setting(store, keys::Throttle, defaults::ThrottleAtStartup),
                 std::optional<qint32>(25));
        QCOMPARE(readInt32Setting(store, keys::WordNumber, defaults::WordNumber), std::optional<qint32>(0));
        QCOMPARE(readInt32Setting(store, keys::CustWordNum, defaults::SourcePosition),
                 std::optional<qint32>(1));
        QCOMPARE(readTruthSetting(store, keys::ChkProxy, defaults::ChkProxy), std::optional<bool>(false));
    }

    void storedTextThatIsNoNumberLeavesTheReaderAlone()
    {
        testing::MemorySettingsStore store;
        store.set(config::keys::Throttle, QStringLiteral("abc"));
        QCOMPARE(config::readInt32Setting(store, config::keys::Throttle, config::defaults::ThrottleAtStartup),
                 std::optional<qint32>());
    }

    // --- conversions -----------------------------------------------------------------

    void toInt32_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<qint32>>("expected");
        const auto none = std::optional<qint32>();
        QTest::newRow("plain") << "25" << std::optional<qint32>(25);
        QTest::newRow("zero") << "0" << std::optional<qint32>(0);
        QTest::newRow("negative") << "-7" << std::optional<qint32>(-7);
        QTest::newRow("leading blank") << " 25" << std::optional<qint32>(25);
        QTest::newRow("trailing blank") << "25 " << std::optional<qint32>(25);
        QTest::newRow("plus sign") << "+7" << std::optional<qint32>(7);
        QTest::newRow("largest") << "2147483647" << std::optional<qint32>(std::numeric_limits<qint32>::max());
        QTest::newRow("smallest") << "-2147483648"
                                  << std::optional<qint32>(std::numeric_limits<qint32>::min());
        QTest::newRow("overflow") << "2147483648" << none;
        QTest::newRow("underflow") << "-2147483649" << none;
        QTest::newRow("far too large") << "99999999999999999999" << none;
        QTest::newRow("empty") << "" << none;
        QTest::newRow("blank") << " " << none;
        QTest::newRow("letters") << "abc" << none;
        QTest::newRow("trailing letters") << "12abc" << none;
        QTest::newRow("fraction") << "1.5" << none;
        QTest::newRow("hex") << "0x10" << none;
        QTest::newRow("inner blank") << "1 000" << none;
    }
    void toInt32()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<qint32>, expected);
        QCOMPARE(config::toInt32(text), expected);
    }

    void toTruth_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<bool>>("expected");
        const auto yes = std::optional<bool>(true);
        const auto no = std::optional<bool>(false);
        const auto none = std::optional<bool>();
        QTest::newRow("1") << "1" << yes;
        QTest::newRow("0") << "0" << no;
        QTest::newRow("-1") << "-1" << yes;
        QTest::newRow("any non-zero") << "25" << yes;
        QTest::newRow("True") << "True" << yes;
        QTest::newRow("FALSE") << "FALSE" << no;
        QTest::newRow("blanks around") << " 1 " << yes;
        QTest::newRow("beyond 64 bits") << "99999999999999999999" << yes;
        QTest::newRow("zero fraction") << "0.0" << no;
        QTest::newRow("fraction") << "0.5" << yes;
        QTest::newRow("empty") << "" << none;
        QTest::newRow("letters") << "abc" << none;
        QTest::newRow("yes") << "yes" << none;
        QTest::newRow("nan") << "nan" << none;
        QTest::newRow("inf") << "inf" << none;
    }
    void toTruth()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<bool>, expected);
        QCOMPARE(config::toTruth(text), expected);
    }

    // --- the per-user INI store ------------------------------------------------------

    void everyKeySurvivesARestart()
    {
        testing::TestFolder folder;
        const QString dir = folder.file(QStringLiteral("config/Brindlemoor"));
        const QList<SettingKey> all = config::allSettingKeys();
        {
            platform::IniSettingsStore store(dir);
            for (const SettingKey &key : all) {
                const core::Status status =
                    config::writeSetting(store, key, QStringLiteral("value of ") + key.key);
                QVERIFY2(status.ok(), qPrintable(status.message()));
                QCOMPARE(config::readSetting(store, key, QStringLiteral("missing")),
                         QStringLiteral("value of ") + key.key);
            }
        }
        platform::IniSettingsStore restarted(dir);
        for (const SettingKey &key : all)
            QCOMPARE(config::readSetting(restarted, key, QStringLiteral("missing")),
                     QStringLiteral("value of ") + key.key);

        // One file per application key, the section as the group, once the journals are in.
        QVERIFY(restarted.compact(config::kPositionsApp).ok());
        QVERIFY(restarted.compact(config::kProductName).ok());
        QCOMPARE(QDir(dir).entryList(QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("Tarnhollow.ini"), QStringLiteral("Wendlecott.ini")}));
        const QString positions = iniText(folder, QStringLiteral("config/Brindlemoor/Tarnhollow.ini"));
        QVERIFY(positions.startsWith(QStringLiteral("[Settings]\r\n")));
        QVERIFY(positions.contains(QStringLiteral("\r\nwordNumber=value of wordNumber\r\n")));
        QVERIFY(!positions.contains(QStringLiteral("Throttle")));
    }

    void aWriteReplacesTheValue()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("2")).ok());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("2"));
        // The second write went to the journal; folding it in gives the file as a rewrite would.
        QVERIFY(folder.exists(QStringLiteral("Tarnhollow.ini.journal")));
        QVERIFY(store.compact(config::kPositionsApp).ok());
        QCOMPARE(iniText(folder, QStringLiteral("Tarnhollow.ini")),
                 QStringLiteral("[Settings]\r\nwordNumber=2\r\n"));
        QVERIFY(!folder.exists(QStringLiteral("Tarnhollow.ini.journal")));
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("2"));
    }

    void writingTheSameValueWritesNothing()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        const QByteArray before = folder.read(QStringLiteral("Tarnhollow.ini"));
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        QVERIFY(!folder.exists(QStringLiteral("Tarnhollow.ini.journal")));
        QCOMPARE(folder.read(QStringLiteral("Tarnhollow.ini")), before);
    }

    void oddValuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("one blank") << QStringLiteral(" ");
        QTest::newRow("leading blanks") << QStringLiteral("  lead");
        QTest::newRow("trailing blank") << QStringLiteral("trail ");
        QTest::newRow("inner blanks") << QStringLiteral("a  b");
        QTest::newRow("equals") << QStringLiteral("a=b=c");
        QTest::newRow("starts with equals") << QStringLiteral("=x");
        QTest::newRow("semicolon") << QStringLiteral("a;b");
        QTest::newRow("starts with semicolon") << QStringLiteral(";not a comment");
        QTest::newRow("starts with hash") << QStringLiteral("#not a comment");
        QTest::newRow("looks like a group") << QStringLiteral("[Settings]");
        QTest::newRow("quoted") << QStringLiteral("\"quoted\"");
        QTest::newRow("one quote") << QStringLiteral("\"");
        QTest::newRow("backslashes") << QStringLiteral("C:\\path\\n\\x41");
        QTest::newRow("non-ASCII") << QString::fromUtf8("naïve – Tōkyō 東京 😀");
        QTest::newRow("tab and line ends") << QStringLiteral("a\tb\r\nc\nd\re");
        QTest::newRow("control characters") << QString::fromUtf16(u"\u0001\u001f\u007f");
        QTest::newRow("no-break space at the end") << QString::fromUtf16(u"x\u00a0");
        QTest::newRow("byte order mark") << QString::fromUtf16(u"\ufeffx");
        QTest::newRow("lone surrogate") << QString(QChar(0xd800));
        QTest::newRow("typed-data look") << QStringLiteral("dword:00000001");
    }
    void oddValuesRoundTrip()
    {
        QFETCH(QString, value);
        testing::TestFolder folder;
        {
            platform::IniSettingsStore store(folder.path());
            QVERIFY(config::writeSetting(store, config::keys::TxtMake, value).ok());
            QVERIFY(config::writeSetting(store, config::keys::DefaultSearch, QStringLiteral("after")).ok());
        }
        const platform::IniSettingsStore restarted(folder.path());
        const QString read = config::readSetting(restarted, config::keys::TxtMake, QStringLiteral("missing"));
        QCOMPARE(read, value);
        QCOMPARE(read.isNull(), false); // written empty is not missing
        QCOMPARE(config::readSetting(restarted, config::keys::DefaultSearch, QString()),
                 QStringLiteral("after"));
    }

    void oddNamesRoundTrip()
    {
        testing::TestFolder folder;
        const QStringList names{QStringLiteral("a=b"),    QStringLiteral(" blank"), QStringLiteral("[x]"),
                                QStringLiteral(";c"),     QStringLiteral("\"q\""),  QStringLiteral("sl/ash"),
                                QStringLiteral(".hidden")};
        {
            platform::IniSettingsStore store(folder.path());
            for (const QString &name : names)
                QVERIFY(store.saveSetting(name, name, name, QStringLiteral("v") + name).ok());
        }
        const platform::IniSettingsStore restarted(folder.path());
        for (const QString &name : names)
            QCOMPARE(restarted.getSetting(name, name, name, QString()), QStringLiteral("v") + name);
        // Application keys never leave the folder or hide their file.
        for (const QString &file : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(!file.startsWith(QLatin1Char('.')), qPrintable(file));
    }

    void namesMatchWithoutRegardToCase()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(store
                    .saveSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                                 QStringLiteral("Throttle"), QStringLiteral("40"))
                    .ok());
        QCOMPARE(store.getSetting(QStringLiteral("WENDLECOTT"), QStringLiteral("settings"),
                                  QStringLiteral("throttle"), QString()),
                 QStringLiteral("40"));
        QVERIFY(store
                    .saveSetting(QStringLiteral("wendlecott"), QStringLiteral("SETTINGS"),
                                 QStringLiteral("THROTTLE"), QStringLiteral("50"))
                    .ok());
        QCOMPARE(store.getSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                                  QStringLiteral("Throttle"), QString()),
                 QStringLiteral("50"));
        QVERIFY(store.compact(QStringLiteral("WENDLECOTT")).ok());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("Wendlecott.ini")});
        QCOMPARE(iniText(folder, QStringLiteral("Wendlecott.ini")),
                 QStringLiteral("[Settings]\r\nThrottle=50\r\n"));
    }

    void handEditedFileKeepsItsOtherLines()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("Wendlecott.ini"), "; my notes\n"
                                                       "[Other]\n"
                                                       "Throttle=999\n"
                                                       "\n"
                                                       "[ Settings ]\n"
                                                       "  DefaultExt =  .net  \n"
                                                       "junk line\n"
                                                       "\n"
                                                       "[Last]\n"
                                                       "x=1\n");
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::DefaultExt, QString()), QStringLiteral(".net"));
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QStringLiteral("25")),
                 QStringLiteral("25"));
        QVERIFY(config::writeSetting(store, config::keys::Throttle, QStringLiteral("30")).ok());
        QVERIFY(store.compact(config::kProductName).ok());
        QCOMPARE(iniText(folder, QStringLiteral("Wendlecott.ini")),
                 QStringLiteral("; my notes\r\n"
                                "[Other]\r\n"
                                "Throttle=999\r\n"
                                "\r\n"
                                "[ Settings ]\r\n"
                                "  DefaultExt =  .net  \r\n"
                                "Throttle=30\r\n"
                                "junk line\r\n"
                                "\r\n"
                                "[Last]\r\n"
                                "x=1\r\n"));
    }

    void latin1FileIsRead()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("Wendlecott.ini"), "[Settings]\r\ntxtMake=caf\xe9\r\n");
        const platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::TxtMake, QString()), QString::fromUtf8("café"));
    }

    void anotherStoreSeesAWriteAtOnce()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore writer(folder.path());
        const platform::IniSettingsStore reader(folder.path());
        QCOMPARE(config::readSetting(reader, config::keys::WordNumber, QStringLiteral("0")),
                 QStringLiteral("0"));
        QVERIFY(config::writeSetting(writer, config::keys::WordNumber, QStringLiteral("17")).ok());
        QCOMPARE(config::readSetting(reader, config::keys::WordNumber, QStringLiteral("0")),
                 QStringLiteral("17"));
    }

    // --- the journal beside each INI file ---------------------------------------------

    void interleavedWritesOfTwoStoresAreSeenAtOnce_data()
    {
        QTest::addColumn<qint64>("firstLimit");
        QTest::addColumn<qint64>("secondLimit");
        QTest::newRow("journal only") << qint64(1 << 20) << qint64(1 << 20);
        QTest::newRow("the first folds it in often") << qint64(200) << qint64(1 << 20);
        QTest::newRow("both fold it in often") << qint64(150) << qint64(230);
    }
    void interleavedWritesOfTwoStoresAreSeenAtOnce()
    {
        QFETCH(qint64, firstLimit);
        QFETCH(qint64, secondLimit);
        testing::TestFolder folder;
        platform::IniSettingsStore first(folder.path());
        platform::IniSettingsStore second(folder.path());
        first.setJournalLimit(firstLimit);
        second.setJournalLimit(secondLimit);
        const auto read = [](const platform::IniSettingsStore &store, const SettingKey &key) {
            return config::readSetting(store, key, QStringLiteral("none"));
        };
        for (int i = 1; i <= 300; ++i) {
            const QString n = QString::number(i);
            QVERIFY(config::writeSetting(first, config::keys::WordNumber, n).ok());
            QCOMPARE(read(second, config::keys::WordNumber), n);
            QVERIFY(config::writeSetting(second, config::keys::FullWordNum, n).ok());
            QCOMPARE(read(first, config::keys::FullWordNum), n);
            QCOMPARE(read(first, config::keys::WordNumber), n);
            // Both write the same key in turn: the later write wins for both.
            QVERIFY(config::writeSetting(first, config::keys::CustWordNum, QStringLiteral("a") + n).ok());
            QVERIFY(config::writeSetting(second, config::keys::CustWordNum, QStringLiteral("b") + n).ok());
            QCOMPARE(read(first, config::keys::CustWordNum), QStringLiteral("b") + n);
            QCOMPARE(read(second, config::keys::CustWordNum), QStringLiteral("b") + n);
        }
        const platform::IniSettingsStore restarted(folder.path());
        QCOMPARE(read(restarted, config::keys::WordNumber), QStringLiteral("300"));
        QCOMPARE(read(restarted, config::keys::FullWordNum), QStringLiteral("300"));
        QCOMPARE(read(restarted, config::keys::CustWordNum), QStringLiteral("b300"));
    }

    void anotherProcessWritesAtTheSameTime_data()
    {
        QTest::addColumn<qint64>("limit");
        QTest::newRow("default journal limit") << platform::IniSettingsStore::kDefaultJournalLimit;
        QTest::newRow("folded in every few writes") << qint64(300);
    }
    void anotherProcessWritesAtTheSameTime()
    {
        // The desktop program and wendlecott-cli share the files: a forked process writes
        // one key while this one writes another, both folding the journal in as they go.
        QFETCH(qint64, limit);
        testing::TestFolder folder;
        constexpr int kWrites = 400;
        const QString app = config::kPositionsApp;
        const QString section = config::kSettingsSection;
        const auto write = [&](platform::IniSettingsStore &store, const QString &key, int value) {
            return store.saveSetting(app, section, key, QString::number(value)).ok();
        };
        const auto read = [&](const platform::IniSettingsStore &store, const QString &key) {
            return store.getSetting(app, section, key, QStringLiteral("0")).toInt();
        };
        platform::IniSettingsStore store(folder.path());
        store.setJournalLimit(limit);
        QVERIFY(write(store, QStringLiteral("mine"), 0));

        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // No test macros here: the child reports through its exit status only.
            platform::IniSettingsStore other(folder.path());
            other.setJournalLimit(limit);
            int seen = 0;
            bool ok = true;
            for (int i = 1; i <= kWrites; ++i) {
                ok = ok && write(other, QStringLiteral("theirs"), i) &&
                     read(other, QStringLiteral("theirs")) == i;
                const int mine = read(other, QStringLiteral("mine"));
                ok = ok && mine >= seen;
                seen = mine;
            }
            ::_exit(ok ? 0 : 1);
        }
        int seen = 0;
        bool forward = true;
        bool ownWritesSeen = true;
        for (int i = 1; i <= kWrites; ++i) {
            ownWritesSeen = ownWritesSeen && write(store, QStringLiteral("mine"), i) &&
                            read(store, QStringLiteral("mine")) == i;
            const int theirs = read(store, QStringLiteral("theirs"));
            forward = forward && theirs >= seen;
            seen = theirs;
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(ownWritesSeen);
        QVERIFY2(forward, "a value of the other process went back");
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(read(store, QStringLiteral("theirs")), kWrites);
        const platform::IniSettingsStore restarted(folder.path());
        QCOMPARE(read(restarted, QStringLiteral("mine")), kWrites);
        QCOMPARE(read(restarted, QStringLiteral("theirs")), kWrites);
    }

    void journalRecordIsOneLine()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("17")).ok());
        QVERIFY(config::writeSetting(store, config::keys::FullWordNum, QStringLiteral("a\nb \"c\"")).ok());
        QCOMPARE(folder.read(QStringLiteral("Tarnhollow.ini.journal")),
                 QByteArray("\n\"Settings\" \"wordNumber\"=\"17\"\n"
                            "\n\"Settings\" \"FullWordNum\"=\"a\\nb \\\"c\\\"\"\n"));
    }

    void cutRecordIsNeverTaken_data()
    {
        QTest::addColumn<int>("cut");
        const QByteArray record = platform::encodeIniJournalRecord(
            QStringLiteral("Settings"), QStringLiteral("wordNumber"), QStringLiteral("7"));
        // Every length a write that died part-way could leave, up to all but the line end.
        for (int cut = 0; cut < record.size(); ++cut)
            QTest::newRow(qPrintable(QStringLiteral("%1 of %2 bytes").arg(cut).arg(record.size()))) << cut;
    }
    void cutRecordIsNeverTaken()
    {
        QFETCH(int, cut);
        const auto record = [](const char *key, const char *value) {
            return platform::encodeIniJournalRecord(QStringLiteral("Settings"), QString::fromLatin1(key),
                                                    QString::fromLatin1(value));
        };
        testing::TestFolder folder;
        folder.write(QStringLiteral("Tarnhollow.ini"), "[Settings]\r\nwordNumber=5\r\n");
        folder.write(QStringLiteral("Tarnhollow.ini.journal"),
                     record("wordNumber", "6") + record("wordNumber", "7").left(cut));
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("6"));

        // Another program's next record lands after the cut one: that one counts, the cut one not.
        {
            QFile journal(folder.file(QStringLiteral("Tarnhollow.ini.journal")));
            QVERIFY(journal.open(QIODevice::Append));
            journal.write(record("FullWordNum", "9"));
        }
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("6"));
        QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QString()), QStringLiteral("9"));

        // So do this store's own, and a store that reads the journal from the start agrees.
        QVERIFY(config::writeSetting(store, config::keys::TwoWordNum, QStringLiteral("3")).ok());
        const platform::IniSettingsStore restarted(folder.path());
        QCOMPARE(config::readSetting(restarted, config::keys::WordNumber, QString()), QStringLiteral("6"));
        QCOMPARE(config::readSetting(restarted, config::keys::FullWordNum, QString()), QStringLiteral("9"));
        QCOMPARE(config::readSetting(restarted, config::keys::TwoWordNum, QString()), QStringLiteral("3"));

        QVERIFY(store.compact(config::kPositionsApp).ok());
        QCOMPARE(iniText(folder, QStringLiteral("Tarnhollow.ini")),
                 QStringLiteral("[Settings]\r\nwordNumber=6\r\nFullWordNum=9\r\nTwoWordNum=3\r\n"));
    }

    void recordFinishedLaterIsRead()
    {
        // A reader may look while the record is still arriving; it takes it once whole.
        const QByteArray record = platform::encodeIniJournalRecord(
            QStringLiteral("Settings"), QStringLiteral("wordNumber"), QString::fromUtf8("7 – é"));
        for (int split : {1, 5, int(record.size()) - 1}) {
            testing::TestFolder folder;
            folder.write(QStringLiteral("Tarnhollow.ini"), "[Settings]\r\nwordNumber=5\r\n");
            folder.write(QStringLiteral("Tarnhollow.ini.journal"), record.left(split));
            const platform::IniSettingsStore store(folder.path());
            QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("5"));
            QFile journal(folder.file(QStringLiteral("Tarnhollow.ini.journal")));
            QVERIFY(journal.open(QIODevice::Append));
            journal.write(record.mid(split));
            journal.close();
            QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()),
                     QString::fromUtf8("7 – é"));
        }
    }

    void linesThatAreNoRecordAreSkipped()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("Tarnhollow.ini"), "[Settings]\r\nwordNumber=5\r\n");
        folder.write(QStringLiteral("Tarnhollow.ini.journal"), "\n\"Settings\" \"wordNumber\"=\"6\"\n"
                                                               "\ngarbage\n"
                                                               "\n\"Settings\" \"wordNumber\"=7\n"
                                                               "\n\"Settings\" \"wordNumber\"=\"8\" \n"
                                                               "\n\"Settings\" \"wordNumber\"=\"\xff\"\n"
                                                               "\n\"Settings\"=\"9\"\n"
                                                               "\n\"Settings\" \"FullWordNum\"=\"4\"\n");
        const platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("6"));
        QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QString()), QStringLiteral("4"));
    }

    void journalIsFoldedInOnceItPassesTheLimit()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("Tarnhollow.ini"), "; positions\r\n[Settings]\r\nwordNumber=0\r\n\r\n"
                                                       "[Other]\r\nx=1\r\n");
        constexpr qint64 kLimit = 1024;
        platform::IniSettingsStore store(folder.path());
        store.setJournalLimit(kLimit);
        const platform::IniSettingsStore reader(folder.path());
        const QString journal = folder.file(QStringLiteral("Tarnhollow.ini.journal"));
        qint64 largest = 0;
        qint64 previous = 0;
        int folds = 0;
        for (int i = 1; i <= 3000; ++i) {
            QVERIFY(config::writeSetting(store, config::keys::WordNumber, QString::number(i)).ok());
            QVERIFY(config::writeSetting(store, config::keys::FullWordNum, QString::number(2 * i)).ok());
            const qint64 size = QFileInfo(journal).size();
            largest = std::max(largest, size);
            folds += size < previous ? 1 : 0;
            previous = size;
            if (i % 97 == 0) {
                QCOMPARE(config::readSetting(reader, config::keys::WordNumber, QString()),
                         QString::number(i));
                QCOMPARE(config::readSetting(reader, config::keys::FullWordNum, QString()),
                         QString::number(2 * i));
            }
        }
        QVERIFY2(largest <= kLimit + 64, qPrintable(QString::number(largest)));
        QVERIFY2(folds >= 50, qPrintable(QString::number(folds)));
        const platform::IniSettingsStore restarted(folder.path());
        QCOMPARE(config::readSetting(restarted, config::keys::WordNumber, QString()), QStringLiteral("3000"));
        QCOMPARE(config::readSetting(restarted, config::keys::FullWordNum, QString()),
                 QStringLiteral("6000"));
        QVERIFY(store.compact(config::kPositionsApp).ok());
        QCOMPARE(iniText(folder, QStringLiteral("Tarnhollow.ini")),
                 QStringLiteral("; positions\r\n[Settings]\r\nwordNumber=3000\r\nFullWordNum=6000\r\n\r\n"
                                "[Other]\r\nx=1\r\n"));
        QVERIFY(!QFileInfo::exists(journal));
    }

    void crashWhileFoldingInLosesNothing_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QByteArray>("journal");
        QTest::addColumn<QString>("leftover");
        const QByteArray before = "[Settings]\r\nwordNumber=5\r\nFullWordNum=3\r\n";
        const QByteArray after = "[Settings]\r\nwordNumber=7\r\nFullWordNum=3\r\nTwoWordNum=4\r\n";
        const QByteArray journal = "\n\"Settings\" \"wordNumber\"=\"6\"\n"
                                   "\n\"Settings\" \"TwoWordNum\"=\"4\"\n"
                                   "\n\"Settings\" \"wordNumber\"=\"7\"\n";
        // The rewrite goes to a temporary file that is then renamed over the INI file.
        QTest::newRow("died writing the new INI file") << before << journal << ".Tarnhollow.ini.a1B2c3";
        QTest::newRow("died after the rename, before removing the journal") << after << journal << "";
        QTest::newRow("died after removing the journal") << after << QByteArray() << "";
    }
    void crashWhileFoldingInLosesNothing()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QByteArray, journal);
        QFETCH(QString, leftover);
        testing::TestFolder folder;
        folder.write(QStringLiteral("Tarnhollow.ini"), ini);
        if (!journal.isNull())
            folder.write(QStringLiteral("Tarnhollow.ini.journal"), journal);
        if (!leftover.isEmpty())
            folder.write(leftover, "[Settings]\r\nwordNum");
        const auto expect = [](const config::SettingsStore &store, const char *word, const char *full,
                               const char *two) {
            QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QLatin1String(word));
            QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QString()), QLatin1String(full));
            QCOMPARE(config::readSetting(store, config::keys::TwoWordNum, QString()), QLatin1String(two));
        };
        platform::IniSettingsStore store(folder.path());
        expect(store, "7", "3", "4");
        QVERIFY(config::writeSetting(store, config::keys::FullWordNum, QStringLiteral("8")).ok());
        expect(store, "7", "8", "4");
        QVERIFY(store.compact(config::kPositionsApp).ok());
        QVERIFY(!folder.exists(QStringLiteral("Tarnhollow.ini.journal")));
        QCOMPARE(iniText(folder, QStringLiteral("Tarnhollow.ini")),
                 QStringLiteral("[Settings]\r\nwordNumber=7\r\nFullWordNum=8\r\nTwoWordNum=4\r\n"));
        expect(platform::IniSettingsStore(folder.path()), "7", "8", "4");
    }

    void journalWithoutItsIniFileIsKept()
    {
        // The INI file deleted by hand: the journal's values still count, and the next write
        // makes an INI file that holds them.
        testing::TestFolder folder;
        folder.write(QStringLiteral("Tarnhollow.ini.journal"), "\n\"Settings\" \"wordNumber\"=\"6\"\n");
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("6"));
        QVERIFY(config::writeSetting(store, config::keys::FullWordNum, QStringLiteral("2")).ok());
        QCOMPARE(iniText(folder, QStringLiteral("Tarnhollow.ini")),
                 QStringLiteral("[Settings]\r\nwordNumber=6\r\nFullWordNum=2\r\n"));
        QVERIFY(!folder.exists(QStringLiteral("Tarnhollow.ini.journal")));
    }

    void iniFileEditedByHandIsSeen()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("2")).ok());
        QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QStringLiteral("1")),
                 QStringLiteral("1"));
        // Rewritten in place, as an editor may: same file, other content.
        folder.write(QStringLiteral("Tarnhollow.ini"), "[Settings]\r\nwordNumber=1\r\nFullWordNum=40\r\n");
        QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QStringLiteral("1")),
                 QStringLiteral("40"));
        // The journal's later value still wins over the file's.
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("2"));
    }

    void removedFolderIsMadeAgain()
    {
        testing::TestFolder folder;
        const QString dir = folder.file(QStringLiteral("config/Brindlemoor"));
        platform::IniSettingsStore store(dir);
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("2")).ok());
        QVERIFY(QDir(dir).removeRecursively());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QStringLiteral("0")),
                 QStringLiteral("0"));
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("3")).ok());
        QVERIFY(config::writeSetting(store, config::keys::FullWordNum, QStringLiteral("4")).ok());
        const platform::IniSettingsStore restarted(dir);
        QCOMPARE(config::readSetting(restarted, config::keys::WordNumber, QString()), QStringLiteral("3"));
        QCOMPARE(config::readSetting(restarted, config::keys::FullWordNum, QString()), QStringLiteral("4"));
    }

    void writersTakeTurnsOnTheFolder()
    {
        testing::TestFolder folder;
        {
            const platform::FolderLock first(folder.path());
            QVERIFY(first.isLocked());
            const platform::FolderLock second(folder.path(), 0);
            QVERIFY(!second.isLocked());
        }
        const platform::FolderLock again(folder.path(), 0);
        QVERIFY(again.isLocked());
        const platform::FolderLock missing(folder.file(QStringLiteral("missing")), 0);
        QVERIFY(!missing.isLocked());

        // The lock leaves nothing in the folder.
        QVERIFY(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }

    void readersShareTheFolderLock()
    {
        testing::TestFolder folder;
        // Readers and appenders share the lock; a rewrite waits for all of them, and they for it.
        const QByteArray path = QFile::encodeName(folder.path());
        const int fd1 = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int fd2 = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(fd1 >= 0 && fd2 >= 0);
        {
            platform::FolderLock reader(fd1, platform::FolderLock::Mode::Shared, 0);
            const platform::FolderLock appender(fd2, platform::FolderLock::Mode::Shared, 0);
            QVERIFY(reader.isLocked());
            QVERIFY(appender.isLocked());
            QVERIFY(!platform::FolderLock(folder.path(), 0).isLocked());
            reader.unlock();
            QVERIFY(!reader.isLocked());
            QVERIFY(!platform::FolderLock(folder.path(), 0).isLocked());
        }
        {
            const platform::FolderLock rewriter(fd1, platform::FolderLock::Mode::Exclusive, 0);
            QVERIFY(rewriter.isLocked());
            QVERIFY(!platform::FolderLock(fd2, platform::FolderLock::Mode::Shared, 0).isLocked());
        }
        QVERIFY(platform::FolderLock(fd2, platform::FolderLock::Mode::Shared, 0).isLocked());
        // The caller's descriptors stay open.
        QCOMPARE(::fcntl(fd1, F_GETFD) >= 0, true);
        ::close(fd1);
        ::close(fd2);
    }

    void defaultFolderFollowsXdgConfigHome()
    {
        testing::TestFolder folder; // points XDG_CONFIG_HOME into the temporary folder
        platform::IniSettingsStore store;
        QCOMPARE(store.folder(), QDir::cleanPath(folder.file(QStringLiteral(".config/Brindlemoor"))));
        QVERIFY(config::writeSetting(store, config::keys::FirstUse, QStringLiteral("NO")).ok());
        QVERIFY(folder.exists(QStringLiteral(".config/Brindlemoor/Wendlecott.ini")));
    }

    void writeIntoAFolderThatCannotBeMadeFails()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("blocker"), "a file where the folder should be");
        platform::IniSettingsStore store(folder.file(QStringLiteral("blocker/Brindlemoor")));
        const core::Status status = config::writeSetting(store, config::keys::Throttle, QStringLiteral("30"));
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QStringLiteral("25")),
                 QStringLiteral("25"));
    }

    void failedWriteKeepsTheOldValues()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::Throttle, QStringLiteral("30")).ok());
        QVERIFY(config::writeSetting(store, config::keys::DefaultExt, QStringLiteral(".org")).ok());
        const QByteArray before = folder.read(QStringLiteral("Wendlecott.ini"));
        {
            core::WriteFaultScope fault(5);
            const core::Status status =
                config::writeSetting(store, config::keys::Throttle, QStringLiteral("40"));
            QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        }
        QCOMPARE(folder.read(QStringLiteral("Wendlecott.ini")), before);
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QString()), QStringLiteral("30"));
        QCOMPARE(config::readSetting(store, config::keys::DefaultExt, QString()), QStringLiteral(".org"));

        // The part of the failed record that reached the journal never counts, not even
        // once later records follow it.
        QVERIFY(config::writeSetting(store, config::keys::DefaultExt, QStringLiteral(".net")).ok());
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QString()), QStringLiteral("30"));
        QCOMPARE(config::readSetting(store, config::keys::DefaultExt, QString()), QStringLiteral(".net"));
        const platform::IniSettingsStore restarted(folder.path());
        QCOMPARE(config::readSetting(restarted, config::keys::Throttle, QString()), QStringLiteral("30"));
        QCOMPARE(config::readSetting(restarted, config::keys::DefaultExt, QString()), QStringLiteral(".net"));
        // Nor is it folded into the INI file.
        QVERIFY(store.compact(config::kProductName).ok());
        QVERIFY(!iniText(folder, QStringLiteral("Wendlecott.ini")).contains(QStringLiteral("40")));
    }

    void failedFirstWriteMakesNoFile()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        {
            core::WriteFaultScope fault(3);
            QCOMPARE(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).code(),
                     core::ErrorCode::WriteFailed);
        }
        QVERIFY(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QStringLiteral("0")),
                 QStringLiteral("0"));
    }

    void unreadableFileIsNotOverwritten_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<QString>("readBack");
        // A folder where a file should be cannot be read; writing must not replace it or
        // write beside it.
        QTest::newRow("the INI file") << "Wendlecott.ini"
                                      << "25";
        QTest::newRow("the journal") << "Wendlecott.ini.journal"
                                     << "20";
    }
    void unreadableFileIsNotOverwritten()
    {
        QFETCH(QString, blocked);
        QFETCH(QString, readBack);
        testing::TestFolder folder;
        if (blocked != QLatin1String("Wendlecott.ini"))
            folder.write(QStringLiteral("Wendlecott.ini"), "[Settings]\r\nThrottle=20\r\n");
        QVERIFY(QDir(folder.path()).mkpath(blocked + QStringLiteral("/keep")));
        const QByteArray before = folder.read(QStringLiteral("Wendlecott.ini"));
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QStringLiteral("25")), readBack);
        QCOMPARE(config::writeSetting(store, config::keys::Throttle, QStringLiteral("30")).code(),
                 core::ErrorCode::WriteFailed);
        QCOMPARE(config::writeSetting(store, config::keys::DefaultExt, QStringLiteral(".net")).code(),
                 core::ErrorCode::WriteFailed);
        QCOMPARE(store.compact(config::kProductName).code(), core::ErrorCode::WriteFailed);
        QVERIFY(folder.exists(blocked + QStringLiteral("/keep")));
        QCOMPARE(folder.read(QStringLiteral("Wendlecott.ini")), before);
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QStringLiteral("25")), readBack);
    }

    void emptyAddressReadsTheDefaultAndIsNotWritten_data()
    {
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::newRow("no application key") << ""
                                            << "Settings"
                                            << "Throttle";
        QTest::newRow("no section") << "Wendlecott"
                                    << ""
                                    << "Throttle";
        QTest::newRow("no key") << "Wendlecott"
                                << "Settings"
                                << "";
    }
    void emptyAddressReadsTheDefaultAndIsNotWritten()
    {
        QFETCH(QString, app);
        QFETCH(QString, section);
        QFETCH(QString, key);
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(store.saveSetting(app, section, key, QStringLiteral("1")).code(),
                 core::ErrorCode::InvalidInput);
        QCOMPARE(store.getSetting(app, section, key, QStringLiteral("dflt")), QStringLiteral("dflt"));
        QVERIFY(QDir(folder.path()).entryList(QDir::Files).isEmpty());
    }

    // --- the machine-wide store ------------------------------------------------------

    void machineAddressErrors_data()
    {
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty application key") << ""
                                               << "Settings"
                                               << "chkProxy"
                                               << "AppName may not be empty";
        QTest::newRow("blank application key") << "  "
                                               << "Settings"
                                               << "chkProxy"
                                               << "AppName may not be empty";
        QTest::newRow("empty section") << "Wendlecott"
                                       << ""
                                       << "chkProxy"
                                       << "Section may not be empty";
        QTest::newRow("blank section") << "Wendlecott"
                                       << " "
                                       << "chkProxy"
                                       << "Section may not be empty";
        QTest::newRow("empty key") << "Wendlecott"
                                   << "Settings"
                                   << ""
                                   << "Key may not be empty";
        QTest::newRow("all empty: the application key first") << ""
                                                              << ""
                                                              << ""
                                                              << "AppName may not be empty";
    }
    void machineAddressErrors()
    {
        QFETCH(QString, app);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, message);
        testing::TestFolder folder;
        platform::IniMachineSettingsStore store(folder.file(QStringLiteral("machine.ini")));
        const core::Result<QString> read = store.getSetting(app, section, key, QStringLiteral("0"));
        QCOMPARE(read.code(), core::ErrorCode::InvalidInput);
        QCOMPARE(read.message(), message);
        const core::Status write = store.saveSetting(app, section, key, QStringLiteral("1"));
        QCOMPARE(write.code(), core::ErrorCode::InvalidInput);
        QCOMPARE(write.message(), message);
        QVERIFY(!folder.exists(QStringLiteral("machine.ini")));
    }

    void machineReadsGiveTheDefaultWhenMissing()
    {
        testing::TestFolder folder;
        platform::IniMachineSettingsStore store(folder.file(QStringLiteral("sub/machine.ini")));
        const QString app = QStringLiteral("Wendlecott");
        const QString section = QStringLiteral("Settings");
        // No file at all.
        QCOMPARE(store.getSetting(app, section, QStringLiteral("chkProxy"), QStringLiteral("0")).value(),
                 QStringLiteral("0"));
        // The file, but not the path.
        QVERIFY(
            store.saveSetting(QStringLiteral("Tarnhollow"), section, QStringLiteral("x"), QStringLiteral("1"))
                .ok());
        QCOMPARE(store.getSetting(app, section, QStringLiteral("chkProxy"), QStringLiteral("0")).value(),
                 QStringLiteral("0"));
        // The path, but not the value.
        QVERIFY(store.saveSetting(app, section, QStringLiteral("other"), QStringLiteral("1")).ok());
        QCOMPARE(store.getSetting(app, section, QStringLiteral("chkProxy"), QStringLiteral("dflt")).value(),
                 QStringLiteral("dflt"));
    }

    void machineRoundTripWithTrimmedPath()
    {
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("machine.ini"));
        {
            platform::IniMachineSettingsStore store(path);
            QVERIFY(store
                        .saveSetting(QStringLiteral(" Wendlecott "), QStringLiteral("Settings "),
                                     QStringLiteral("chkProxy"), QStringLiteral("1"))
                        .ok());
            QVERIFY(store
                        .saveSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                                     QStringLiteral("odd"), QStringLiteral(" a=\"b\" ; é "))
                        .ok());
        }
        const platform::IniMachineSettingsStore restarted(path);
        QCOMPARE(restarted
                     .getSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                                 QStringLiteral("chkProxy"), QStringLiteral("0"))
                     .value(),
                 QStringLiteral("1"));
        QCOMPARE(restarted
                     .getSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                                 QStringLiteral("odd"), QString())
                     .value(),
                 QStringLiteral(" a=\"b\" ; é "));
        const QString text = iniText(folder, QStringLiteral("machine.ini"));
        QVERIFY2(text.startsWith(QStringLiteral("[SOFTWARE\\Brindlemoor\\Wendlecott\\Settings]\r\n"
                                                "chkProxy=\"1\"\r\n")),
                 qPrintable(text));
    }

    void machineValueThatIsNotText_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("isText");
        QTest::newRow("dword") << QByteArray("chkProxy=dword:00000001") << false;
        QTest::newRow("qword") << QByteArray("chkProxy=qword:0000000000000001") << false;
        QTest::newRow("binary") << QByteArray("chkProxy=hex:01,00") << false;
        QTest::newRow("multi-string") << QByteArray("chkProxy=hex(7):41,00,00,00") << false;
        QTest::newRow("quoted text") << QByteArray("chkProxy=\"dword:1\"") << true;
        QTest::newRow("plain text") << QByteArray("chkProxy=1") << true;
    }
    void machineValueThatIsNotText()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, isText);
        testing::TestFolder folder;
        folder.write(QStringLiteral("machine.ini"),
                     "[SOFTWARE\\Brindlemoor\\Wendlecott\\Settings]\r\n" + line + "\r\n");
        const platform::IniMachineSettingsStore store(folder.file(QStringLiteral("machine.ini")));
        const core::Result<QString> read =
            store.getSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                             QStringLiteral("chkProxy"), QStringLiteral("0"));
        QCOMPARE(read.ok(), isText);
        if (!isText)
            QCOMPARE(read.message(), QStringLiteral("Registry data not a string"));
    }

    void machinePathThatCannotBeOpened()
    {
        testing::TestFolder folder;
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("machine.ini")));
        platform::IniMachineSettingsStore store(folder.file(QStringLiteral("machine.ini")));
        const core::Result<QString> read =
            store.getSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                             QStringLiteral("chkProxy"), QStringLiteral("0"));
        QCOMPARE(read.code(), core::ErrorCode::ReadFailed);
        QCOMPARE(read.message(), QStringLiteral("Could not open registry section"));
        QCOMPARE(store
                     .saveSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                                  QStringLiteral("chkProxy"), QStringLiteral("1"))
                     .code(),
                 core::ErrorCode::WriteFailed);
        QVERIFY(QFileInfo(folder.file(QStringLiteral("machine.ini"))).isDir());
    }

    void machineWriteThatCannotBeStoredFails()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("blocker"), "x");
        platform::IniMachineSettingsStore store(folder.file(QStringLiteral("blocker/machine.ini")));
        QCOMPARE(store
                     .saveSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                                  QStringLiteral("chkProxy"), QStringLiteral("1"))
                     .code(),
                 core::ErrorCode::WriteFailed);
    }

    // --- the "Permission Denied" question --------------------------------------------

    void permissionDeniedTextIsExact()
    {
        QCOMPARE(
            config::permissionDeniedText(),
            QStringLiteral(
                "Wendlecott requires read/write access to the system registry and hard drive in order to run "
                "properly.  This user account does not have the proper permissions set.  As a result some or "
                "all of your settings may not be properly saved.  Please contact your system administrator "
                "or "
                "change the permission settings for this account.\r\n\r\nIf you would like to prevent this "
                "error message from being displayed again, please press 'Ignore'."));
    }

    void abortGivesUpTheWrite()
    {
        testing::MemoryMachineSettingsStore machine;
        testing::MemorySettingsStore settings;
        testing::FakeNotice notice;
        machine.failAllWrites = true;
        notice.abortRetryIgnoreAnswers = {core::AbortRetryIgnore::Abort};
        config::MachineSettings store(machine, settings, notice);

        const core::Status status = store.write(config::keys::ChkProxy, QStringLiteral("1"));
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QCOMPARE(notice.questions,
                 QStringList{QStringLiteral("Permission Denied\n") + config::permissionDeniedText()});
        QCOMPARE(machine.writeAttempts, 1);
        QVERIFY(!settings.contains(config::keys::IgnorePermissionDeniedError));
        // Abort does not silence the next failure.
        notice.abortRetryIgnoreAnswers = {core::AbortRetryIgnore::Abort};
        QVERIFY(!store.write(config::keys::ChkProxy, QStringLiteral("1")).ok());
        QCOMPARE(notice.questions.size(), 2);
    }

    void retryRepeatsTheWrite()
    {
        testing::MemoryMachineSettingsStore machine;
        testing::MemorySettingsStore settings;
        testing::FakeNotice notice;
        machine.failNextWrites = 2;
        notice.abortRetryIgnoreAnswers = {core::AbortRetryIgnore::Retry, core::AbortRetryIgnore::Retry};
        config::MachineSettings store(machine, settings, notice);

        QVERIFY(store.write(config::keys::ChkProxy, QStringLiteral("1")).ok());
        QCOMPARE(notice.questions.size(), 2);
        QCOMPARE(machine.writeAttempts, 3);
        QCOMPARE(store.read(config::keys::ChkProxy, QStringLiteral("0")).value(), QStringLiteral("1"));
        QVERIFY(!settings.contains(config::keys::IgnorePermissionDeniedError));
    }

    void ignoreSilencesLaterFailures()
    {
        testing::MemoryMachineSettingsStore machine;
        testing::MemorySettingsStore settings;
        testing::FakeNotice notice;
        machine.failAllWrites = true;
        notice.abortRetryIgnoreAnswers = {core::AbortRetryIgnore::Ignore};
        config::MachineSettings store(machine, settings, notice);

        QCOMPARE(store.write(config::keys::ChkProxy, QStringLiteral("1")).code(),
                 core::ErrorCode::WriteFailed);
        QCOMPARE(notice.questions.size(), 1);
        QCOMPARE(settings.value(config::keys::IgnorePermissionDeniedError), QStringLiteral("1"));

        QCOMPARE(store.write(config::keys::ChkProxy, QStringLiteral("0")).code(),
                 core::ErrorCode::WriteFailed);
        QCOMPARE(notice.questions.size(), 1);
        QCOMPARE(machine.writeAttempts, 2);
    }

    void questionDependsOnTheStoredSwitch_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("asked");
        QTest::newRow("missing") << QString() << true;
        QTest::newRow("0") << "0" << true;
        QTest::newRow("1") << "1" << false;
        QTest::newRow("other text") << "True" << true;
        QTest::newRow("1 with a blank") << " 1" << true;
    }
    void questionDependsOnTheStoredSwitch()
    {
        QFETCH(QString, stored);
        QFETCH(bool, asked);
        testing::MemoryMachineSettingsStore machine;
        testing::MemorySettingsStore settings;
        testing::FakeNotice notice;
        machine.failAllWrites = true;
        if (!stored.isNull())
            settings.set(config::keys::IgnorePermissionDeniedError, stored);
        config::MachineSettings store(machine, settings, notice);
        QVERIFY(!store.write(config::keys::ChkProxy, QStringLiteral("1")).ok());
        QCOMPARE(notice.questions.size(), asked ? 1 : 0);
    }

    void addressErrorIsNotAPermissionQuestion()
    {
        testing::MemoryMachineSettingsStore machine;
        testing::MemorySettingsStore settings;
        testing::FakeNotice notice;
        config::MachineSettings store(machine, settings, notice);
        const core::Status status =
            store.write(QString(), QStringLiteral("Settings"), QStringLiteral("k"), QStringLiteral("1"));
        QCOMPARE(status.message(), QStringLiteral("AppName may not be empty"));
        QVERIFY(notice.questions.isEmpty());
        QCOMPARE(store.read(QStringLiteral("Wendlecott"), QStringLiteral("Settings"), QString(), QString())
                     .message(),
                 QStringLiteral("Key may not be empty"));
    }

    void realStoreThatCannotBeWrittenAsks()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("blocker"), "x");
        platform::IniMachineSettingsStore machine(folder.file(QStringLiteral("blocker/machine.ini")));
        platform::IniSettingsStore settings(folder.file(QStringLiteral("config")));
        testing::FakeNotice notice;
        notice.abortRetryIgnoreAnswers = {core::AbortRetryIgnore::Retry, core::AbortRetryIgnore::Ignore};
        config::MachineSettings store(machine, settings, notice);
        QVERIFY(!store.write(config::keys::ChkProxy, QStringLiteral("1")).ok());
        QCOMPARE(notice.questions.size(), 2);
        const platform::IniSettingsStore restarted(folder.file(QStringLiteral("config")));
        QCOMPARE(
            config::readSetting(restarted, config::keys::IgnorePermissionDeniedError, QStringLiteral("0")),
            QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
