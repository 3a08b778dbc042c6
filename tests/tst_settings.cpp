#include "FakeNotice.h"
#include "MemorySettingsStore.h"
#include "TestFolder.h"
#include "config/MachineSettings.h"
#include "config/SettingsKeys.h"
#include "platform/IniMachineSettingsStore.h"
#include "platform/IniSettingsStore.h"
#include "platform/OldIniLayout.h"

#include <QSet>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <limits>
#include <sys/resource.h>
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

// QSettings keeps what it read of a file for the whole process and reads the file again only
// when its size or time changed. A test that means to read what is on disk, as the next
// start of the program would, adds a comment line to the file first.
void rereadFromDisk(const testing::TestFolder &folder, const QString &name)
{
    QFile file(folder.file(name));
    if (file.open(QIODevice::Append))
        file.write("; read again\n");
}

ino_t fileId(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// A record of the earlier store's journal; `escapedValue` as it stands between the quotes.
QByteArray journalRecord(const char *key, const char *escapedValue)
{
    return QByteArray("\n\"Settings\" \"") + key + "\"=\"" + escapedValue + "\"\n";
}

// While it lives, no file can grow past one byte, as on a full disk: every settings write
// fails, even run as root.
class DiskFullScope {
public:
    DiskFullScope()
    {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_limit);
        rlimit full = m_limit;
        full.rlim_cur = 1;
        ::setrlimit(RLIMIT_FSIZE, &full);
    }
    ~DiskFullScope()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_limit);
        std::signal(SIGXFSZ, m_handler);
    }
    DiskFullScope(const DiskFullScope &) = delete;
    DiskFullScope &operator=(const DiskFullScope &) = delete;

private:
    rlimit m_limit{};
    void (*m_handler)(int) = nullptr;
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // --- the key table ---------------------------------------------------------------

    void keyTableNamesEveryKeyOnce()
    {
        const QList<SettingKey> all = config::allSettingKeys();
        QCOMPARE(all.size(), 30);
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
        QTest::newRow("DnsFirst") << keys::DnsFirst << defaults::DnsFirst << "0";
        QTest::newRow("DnsServer") << keys::DnsServer << defaults::DnsServer << "";
        QTest::newRow("DnsQueriesPerSecond")
            << keys::DnsQueriesPerSecond << defaults::DnsQueriesPerSecond << "200";
        QTest::newRow("WatchHours") << keys::WatchHours << defaults::WatchHours << "12";
        QTest::newRow("ReuseRegisteredDays")
            << keys::ReuseRegisteredDays << defaults::ReuseRegisteredDays << "0";
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
        rereadFromDisk(folder, QStringLiteral("config/Brindlemoor/Tarnhollow.ini"));
        rereadFromDisk(folder, QStringLiteral("config/Brindlemoor/Wendlecott.ini"));
        platform::IniSettingsStore restarted(dir);
        for (const SettingKey &key : all)
            QCOMPARE(config::readSetting(restarted, key, QStringLiteral("missing")),
                     QStringLiteral("value of ") + key.key);

        // One file per application key, the section as the group, nothing else left behind.
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{QStringLiteral("Tarnhollow.ini"), QStringLiteral("Wendlecott.ini")}));
        const QString positions = iniText(folder, QStringLiteral("config/Brindlemoor/Tarnhollow.ini"));
        QVERIFY(positions.startsWith(QStringLiteral("[Settings]\n")));
        QVERIFY(positions.contains(QStringLiteral("\nwordNumber=value of wordNumber\n")));
        QVERIFY(!positions.contains(QStringLiteral("Throttle")));
    }

    void aWriteReplacesTheValue()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("2")).ok());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("2"));
        // On disk at once, before anything else happens.
        QCOMPARE(iniText(folder, QStringLiteral("Tarnhollow.ini")),
                 QStringLiteral("[Settings]\nwordNumber=2\n"));
    }

    void writingTheSameValueWritesNothing()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        const QFileInfo before(folder.file(QStringLiteral("Tarnhollow.ini")));
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        QVERIFY(store
                    .saveSettings(config::kPositionsApp, config::kSettingsSection,
                                  {{QStringLiteral("wordNumber"), QStringLiteral("1")}})
                    .ok());
        // Not replaced: the same file, not a new one with the same text.
        const QFileInfo after(folder.file(QStringLiteral("Tarnhollow.ini")));
        QCOMPARE(after.fileTime(QFileDevice::FileModificationTime),
                 before.fileTime(QFileDevice::FileModificationTime));
        QCOMPARE(fileId(after.filePath()), fileId(before.filePath()));
    }

    void severalValuesAreWrittenTogether()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1")).ok());
        const QList<config::SettingValue> values{{QStringLiteral("wordNumber"), QStringLiteral("8")},
                                                 {QStringLiteral("FullWordNum"), QStringLiteral("9")}};
        QVERIFY(store.saveSettings(config::kPositionsApp, config::kSettingsSection, values).ok());
        QCOMPARE(iniText(folder, QStringLiteral("Tarnhollow.ini")),
                 QStringLiteral("[Settings]\nFullWordNum=9\nwordNumber=8\n"));
        // A batch with a key missing is refused whole.
        const QList<config::SettingValue> bad{{QStringLiteral("wordNumber"), QStringLiteral("10")},
                                              {QString(), QStringLiteral("11")}};
        QCOMPARE(store.saveSettings(config::kPositionsApp, config::kSettingsSection, bad).code(),
                 core::ErrorCode::InvalidInput);
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("8"));
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
        QTest::newRow("commas") << QStringLiteral("a, b,c");
        QTest::newRow("looks like a group") << QStringLiteral("[Settings]");
        QTest::newRow("looks like a typed value") << QStringLiteral("@Variant(x)");
        QTest::newRow("quoted") << QStringLiteral("\"quoted\"");
        QTest::newRow("one quote") << QStringLiteral("\"");
        QTest::newRow("backslashes") << QStringLiteral("C:\\path\\n\\x41\\");
        QTest::newRow("non-ASCII") << QString::fromUtf8("naïve – Tōkyō 東京 😀");
        QTest::newRow("tab and line ends") << QStringLiteral("a\tb\r\nc\nd\re");
        QTest::newRow("control characters") << QString::fromUtf16(u"\u0001\u001f\u007f");
        QTest::newRow("no-break space at the end") << QString::fromUtf16(u"x\u00a0");
        QTest::newRow("byte order mark") << QString::fromUtf16(u"\ufeffx");
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
        rereadFromDisk(folder, QStringLiteral("Wendlecott.ini"));
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
        const QStringList names{QStringLiteral("a=b"),         QStringLiteral(" blank"),
                                QStringLiteral("[x]"),         QStringLiteral(";c"),
                                QStringLiteral("\"q\""),       QStringLiteral("sl/ash"),
                                QStringLiteral("back\\slash"), QStringLiteral(".hidden")};
        {
            platform::IniSettingsStore store(folder.path());
            for (const QString &name : names)
                QVERIFY(store.saveSetting(name, name, name, QStringLiteral("v") + name).ok());
        }
        for (const QString &file : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden))
            rereadFromDisk(folder, file);
        const platform::IniSettingsStore restarted(folder.path());
        for (const QString &name : names)
            QCOMPARE(restarted.getSetting(name, name, name, QString()), QStringLiteral("v") + name);
        // Application keys never leave the folder or hide their file.
        for (const QString &file : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(!file.startsWith(QLatin1Char('.')), qPrintable(file));
    }

    void fileOfAnApplicationKeyIsFoundWithoutRegardToCase()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("wendlecott.INI"), "[Settings]\nThrottle=40\n");
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QString()), QStringLiteral("40"));
        QVERIFY(config::writeSetting(store, config::keys::Throttle, QStringLiteral("50")).ok());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("wendlecott.INI")});
        QCOMPARE(iniText(folder, QStringLiteral("wendlecott.INI")),
                 QStringLiteral("[Settings]\nThrottle=50\n"));
    }

    void handEditedFileKeepsItsOtherGroups()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("Wendlecott.ini"), "; my notes\n"
                                                       "[Other]\n"
                                                       "Throttle=999\n"
                                                       "\n"
                                                       "[ Settings ]\n"
                                                       "  DefaultExt =  .net  \n"
                                                       "\n"
                                                       "[Last]\n"
                                                       "x=1\n");
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::DefaultExt, QString()), QStringLiteral(".net"));
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QStringLiteral("25")),
                 QStringLiteral("25"));
        QVERIFY(config::writeSetting(store, config::keys::Throttle, QStringLiteral("30")).ok());
        // Comments go; every group stays.
        QSettings file(folder.file(QStringLiteral("Wendlecott.ini")), QSettings::IniFormat);
        QCOMPARE(file.allKeys(),
                 (QStringList{QStringLiteral("Last/x"), QStringLiteral("Other/Throttle"),
                              QStringLiteral("Settings/DefaultExt"), QStringLiteral("Settings/Throttle")}));
        QCOMPARE(file.value(QStringLiteral("Other/Throttle")).toString(), QStringLiteral("999"));
        QCOMPARE(file.value(QStringLiteral("Settings/Throttle")).toString(), QStringLiteral("30"));
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
        // Both write the same key in turn: the later write wins for both.
        QVERIFY(config::writeSetting(writer, config::keys::CustWordNum, QStringLiteral("a")).ok());
        QVERIFY(config::writeSetting(const_cast<platform::IniSettingsStore &>(reader),
                                     config::keys::CustWordNum, QStringLiteral("b"))
                    .ok());
        QCOMPARE(config::readSetting(writer, config::keys::CustWordNum, QString()), QStringLiteral("b"));
    }

    void anotherProcessWritesAtTheSameTime()
    {
        // The desktop program and wendlecott-cli share the files: a forked process writes
        // one key while this one writes another; neither loses the other's values.
        testing::TestFolder folder;
        constexpr int kWrites = 40;
        const QString app = config::kPositionsApp;
        const QString section = config::kSettingsSection;
        const auto write = [&](platform::IniSettingsStore &store, const QString &key, int value) {
            return store.saveSetting(app, section, key, QString::number(value)).ok();
        };
        const auto read = [&](const platform::IniSettingsStore &store, const QString &key) {
            return store.getSetting(app, section, key, QStringLiteral("0")).toInt();
        };
        platform::IniSettingsStore store(folder.path());
        QVERIFY(write(store, QStringLiteral("mine"), 0));

        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // No test macros here: the child reports through its exit status only.
            platform::IniSettingsStore other(folder.path());
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
        const QString text = iniText(folder, QStringLiteral("Tarnhollow.ini"));
        QVERIFY2(text.contains(QStringLiteral("\nmine=%1\n").arg(kWrites)), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\ntheirs=%1\n").arg(kWrites)), qPrintable(text));
    }

    void iniFileEditedByHandIsSeen()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::WordNumber, QStringLiteral("2")).ok());
        QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QStringLiteral("1")),
                 QStringLiteral("1"));
        // Rewritten in place, as an editor may: same file, other content.
        folder.write(QStringLiteral("Tarnhollow.ini"), "[Settings]\nwordNumber=1\nFullWordNum=40\n");
        QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QStringLiteral("1")),
                 QStringLiteral("40"));
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("1"));
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
        QCOMPARE(iniText(folder, QStringLiteral("config/Brindlemoor/Tarnhollow.ini")),
                 QStringLiteral("[Settings]\nFullWordNum=4\nwordNumber=3\n"));
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
        // Nothing of it is kept.
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QStringLiteral("25")),
                 QStringLiteral("25"));
    }

    void failedWriteKeepsTheFileAndIsStoredLater()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        QVERIFY(config::writeSetting(store, config::keys::Throttle, QStringLiteral("30")).ok());
        QVERIFY(config::writeSetting(store, config::keys::DefaultExt, QStringLiteral(".org")).ok());
        const QByteArray before = folder.read(QStringLiteral("Wendlecott.ini"));
        core::Status status;
        core::Status again;
        {
            const DiskFullScope full;
            status = config::writeSetting(store, config::keys::Throttle, QStringLiteral("40"));
            // Written once more while the disk is still full: still not stored.
            again = config::writeSetting(store, config::keys::Throttle, QStringLiteral("40"));
        }
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QCOMPARE(again.code(), core::ErrorCode::WriteFailed);
        QCOMPARE(folder.read(QStringLiteral("Wendlecott.ini")), before);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Wendlecott.ini")});
        // Once the disk has room again, the next write stores it with its own value.
        QVERIFY(config::writeSetting(store, config::keys::DefaultExt, QStringLiteral(".net")).ok());
        QCOMPARE(iniText(folder, QStringLiteral("Wendlecott.ini")),
                 QStringLiteral("[Settings]\nDefaultExt=.net\nThrottle=40\n"));
    }

    void failedFirstWriteMakesNoFile()
    {
        testing::TestFolder folder;
        platform::IniSettingsStore store(folder.path());
        core::Status status;
        {
            const DiskFullScope full;
            status = config::writeSetting(store, config::keys::WordNumber, QStringLiteral("1"));
        }
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QVERIFY(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void unreadableFileIsNotOverwritten()
    {
        // A folder where the file should be cannot be read; writing must not replace it.
        testing::TestFolder folder;
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("Wendlecott.ini/keep")));
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QStringLiteral("25")),
                 QStringLiteral("25"));
        QCOMPARE(config::writeSetting(store, config::keys::Throttle, QStringLiteral("30")).code(),
                 core::ErrorCode::WriteFailed);
        QCOMPARE(config::writeSetting(store, config::keys::DefaultExt, QStringLiteral(".net")).code(),
                 core::ErrorCode::WriteFailed);
        QVERIFY(folder.exists(QStringLiteral("Wendlecott.ini/keep")));
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QStringLiteral("25")),
                 QStringLiteral("25"));
    }

    // A settings file that is a FIFO, or a link to one, is neither read (that would hold the
    // program at start) nor replaced: the readers get their defaults, writes fail saying why.
    void settingsFilesThatAreNoRegularFilesAreLeftAlone_data()
    {
        QTest::addColumn<bool>("link");
        QTest::newRow("fifo") << false;
        QTest::newRow("link to a fifo") << true;
    }
    void settingsFilesThatAreNoRegularFilesAreLeftAlone()
    {
        QFETCH(bool, link);
        testing::TestFolder outside;
        testing::TestFolder folder;
        const QString fifo = link ? outside.file(QStringLiteral("fifo")) : QString();
        const auto place = [&](const QString &path) {
            if (!link)
                return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
            return (QFileInfo::exists(fifo) || ::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0) &&
                   QFile::link(fifo, path);
        };
        QVERIFY(place(folder.file(QStringLiteral("Wendlecott.ini"))));
        QVERIFY(place(folder.file(QStringLiteral("machine.ini"))));

        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QStringLiteral("25")),
                 QStringLiteral("25"));
        const core::Status written =
            config::writeSetting(store, config::keys::Throttle, QStringLiteral("30"));
        QCOMPARE(written.code(), core::ErrorCode::WriteFailed);
        QVERIFY2(written.message().contains(QStringLiteral("not a regular file")),
                 qPrintable(written.message()));

        platform::IniMachineSettingsStore machine(folder.file(QStringLiteral("machine.ini")));
        QCOMPARE(machine
                     .getSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                                 QStringLiteral("chkProxy"), QStringLiteral("0"))
                     .code(),
                 core::ErrorCode::ReadFailed);
        QCOMPARE(machine
                     .saveSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"),
                                  QStringLiteral("chkProxy"), QStringLiteral("1"))
                     .code(),
                 core::ErrorCode::WriteFailed);
        for (const QString &name : {QStringLiteral("Wendlecott.ini"), QStringLiteral("machine.ini")}) {
            const QFileInfo info(folder.file(name));
            QVERIFY(!info.isFile());
            QCOMPARE(info.isSymLink(), link);
        }
    }

    void malformedFileIsReadAndRepairedByAWrite()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("Wendlecott.ini"), "[Settings]\nThrottle=40\n\"unclosed\n");
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::Throttle, QString()), QStringLiteral("40"));
        QVERIFY(config::writeSetting(store, config::keys::DefaultExt, QStringLiteral(".net")).ok());
        QCOMPARE(config::readSetting(store, config::keys::DefaultExt, QString()), QStringLiteral(".net"));
        // ... but a write that then fails is still a failure.
        folder.write(QStringLiteral("Wendlecott.ini"), "[Settings]\nThrottle=40\n\"unclosed\n");
        core::Status status;
        {
            const DiskFullScope full;
            status = config::writeSetting(store, config::keys::Throttle, QStringLiteral("50"));
        }
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
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

    // --- files of the earlier layout -------------------------------------------------

    void oldLayoutReadsBackUnchanged()
    {
        // As the earlier store wrote it: CR LF, values quoted only where they had to be,
        // commas and semicolons as they stand.
        testing::TestFolder folder;
        folder.write(QStringLiteral("Wendlecott.ini"),
                     "; my notes\r\n"
                     "[Settings]\r\n"
                     "Throttle=30\r\n"
                     "DefaultExt=.net\r\n"
                     "txtMake=shop, store; more\r\n"
                     "DefaultSearch=\"  Google \\\"x\\\"\\n\\x01\\u00e9 \"\r\n"
                     "chkAdd0=\"\"\r\n"
                     "junk line\r\n"
                     "throttle=99\r\n"
                     "\r\n"
                     "[Other]\r\n"
                     "x=a,b\r\n");
        const auto expect = [](const config::SettingsStore &store) {
            QCOMPARE(config::readSetting(store, config::keys::Throttle, QString()), QStringLiteral("30"));
            QCOMPARE(config::readSetting(store, config::keys::DefaultExt, QString()), QStringLiteral(".net"));
            QCOMPARE(config::readSetting(store, config::keys::TxtMake, QString()),
                     QStringLiteral("shop, store; more"));
            QCOMPARE(config::readSetting(store, config::keys::DefaultSearch, QString()),
                     QString::fromUtf16(u"  Google \"x\"\n\u0001\u00e9 "));
            QCOMPARE(config::readSetting(store, config::keys::ChkAdd0, QStringLiteral("1")),
                     QStringLiteral(""));
            QCOMPARE(store.getSetting(QStringLiteral("Wendlecott"), QStringLiteral("Other"),
                                      QStringLiteral("x"), QString()),
                     QStringLiteral("a,b"));
        };
        {
            const platform::IniSettingsStore store(folder.path());
            expect(store);
        }
        // Taken over: QSettings wrote it anew, and reads it as it was.
        QVERIFY(!folder.read(QStringLiteral("Wendlecott.ini")).contains("\r\n"));
        rereadFromDisk(folder, QStringLiteral("Wendlecott.ini"));
        const platform::IniSettingsStore restarted(folder.path());
        expect(restarted);
    }

    void oldLayoutNamesTakeTheProgramsSpelling()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("Tarnhollow.ini"), "[settings]\r\nWORDNUMBER=12\r\nfullwordnum=3\r\n");
        const platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("12"));
        QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QString()), QStringLiteral("3"));
    }

    void latin1FileOfTheOldLayoutIsRead()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("Wendlecott.ini"), "[Settings]\r\ntxtMake=caf\xe9\r\n");
        const platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::TxtMake, QString()), QString::fromUtf8("café"));
    }

    void oldJournalIsPlayedOverTheFile_data()
    {
        QTest::addColumn<int>("cut");
        const QByteArray record = journalRecord("wordNumber", "7");
        // Every length a write that died part-way could leave, up to all but the line end;
        // and the whole record.
        for (int cut = 0; cut <= record.size(); ++cut)
            QTest::newRow(qPrintable(QStringLiteral("%1 of %2 bytes").arg(cut).arg(record.size()))) << cut;
    }
    void oldJournalIsPlayedOverTheFile()
    {
        QFETCH(int, cut);
        testing::TestFolder folder;
        folder.write(QStringLiteral("Tarnhollow.ini"), "[Settings]\r\nwordNumber=5\r\nTwoWordNum=2\r\n");
        const QByteArray last = journalRecord("wordNumber", "7");
        folder.write(QStringLiteral("Tarnhollow.ini.journal"),
                     journalRecord("wordNumber", "6") + journalRecord("FullWordNum", "a\\nb \\\"c\\\"") +
                         last.left(cut));
        const platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()),
                 cut == last.size() ? QStringLiteral("7") : QStringLiteral("6"));
        QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QString()),
                 QStringLiteral("a\nb \"c\""));
        QCOMPARE(config::readSetting(store, config::keys::TwoWordNum, QString()), QStringLiteral("2"));
        // The journal's values are in the INI file now, and the journal is gone.
        QVERIFY(!folder.exists(QStringLiteral("Tarnhollow.ini.journal")));
        QVERIFY(iniText(folder, QStringLiteral("Tarnhollow.ini")).contains(QStringLiteral("TwoWordNum=2")));
    }

    void oldJournalLinesThatAreNoRecordAreSkipped()
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

    void oldStoreStoppedInAnyStateLosesNothing_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QByteArray>("journal");
        QTest::addColumn<QString>("leftover");
        const QByteArray before = "[Settings]\r\nwordNumber=5\r\nFullWordNum=3\r\n";
        const QByteArray after = "[Settings]\r\nwordNumber=7\r\nFullWordNum=3\r\nTwoWordNum=4\r\n";
        const QByteArray journal = "\n\"Settings\" \"wordNumber\"=\"6\"\n"
                                   "\n\"Settings\" \"TwoWordNum\"=\"4\"\n"
                                   "\n\"Settings\" \"wordNumber\"=\"7\"\n";
        // It folded the journal in by writing a temporary file and renaming it over the INI
        // file, then removing the journal; the program may have ended at any of these steps.
        QTest::newRow("ended writing the new INI file") << before << journal << ".Tarnhollow.ini.a1B2c3";
        QTest::newRow("ended after the rename, before removing the journal") << after << journal << "";
        QTest::newRow("ended after removing the journal") << after << QByteArray() << "";
        QTest::newRow("INI file removed by hand") << QByteArray() << journal << "";
    }
    void oldStoreStoppedInAnyStateLosesNothing()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QByteArray, journal);
        QFETCH(QString, leftover);
        testing::TestFolder folder;
        if (!ini.isNull())
            folder.write(QStringLiteral("Tarnhollow.ini"), ini);
        if (!journal.isNull())
            folder.write(QStringLiteral("Tarnhollow.ini.journal"), journal);
        if (!leftover.isEmpty())
            folder.write(leftover, "[Settings]\r\nwordNum");
        platform::IniSettingsStore store(folder.path());
        QCOMPARE(config::readSetting(store, config::keys::WordNumber, QString()), QStringLiteral("7"));
        QCOMPARE(config::readSetting(store, config::keys::FullWordNum, QString()),
                 ini.isNull() ? QString() : QStringLiteral("3"));
        QCOMPARE(config::readSetting(store, config::keys::TwoWordNum, QString()), QStringLiteral("4"));
        QVERIFY(config::writeSetting(store, config::keys::FullWordNum, QStringLiteral("8")).ok());
        QVERIFY(!folder.exists(QStringLiteral("Tarnhollow.ini.journal")));
        QCOMPARE(iniText(folder, QStringLiteral("Tarnhollow.ini")),
                 QStringLiteral("[Settings]\nFullWordNum=8\nTwoWordNum=4\nwordNumber=7\n"));
    }

    void oldLayoutThatCannotBeWrittenIsLeftAsItWas()
    {
        testing::TestFolder folder;
        const QByteArray ini = "[Settings]\r\nwordNumber=5\r\n";
        const QByteArray journal = "\n\"Settings\" \"wordNumber\"=\"6\"\n";
        folder.write(QStringLiteral("Tarnhollow.ini"), ini);
        folder.write(QStringLiteral("Tarnhollow.ini.journal"), journal);
        core::Status status;
        {
            const DiskFullScope full;
            status = platform::takeOverOldLayout(folder.file(QStringLiteral("Tarnhollow.ini")));
        }
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QCOMPARE(folder.read(QStringLiteral("Tarnhollow.ini")), ini);
        QCOMPARE(folder.read(QStringLiteral("Tarnhollow.ini.journal")), journal);
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
        rereadFromDisk(folder, QStringLiteral("machine.ini"));
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
        // Under the store path, as QSettings sees groups.
        const QSettings file(path, QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("SOFTWARE/Brindlemoor/Wendlecott/Settings/chkProxy")).toString(),
                 QStringLiteral("1"));
    }

    void machineStoreReadsTheOldLayout()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("machine.ini"), "[SOFTWARE\\Brindlemoor\\Wendlecott\\Settings]\r\n"
                                                    "chkProxy=\"1\"\r\n"
                                                    "odd=\" a=\\\"b\\\" ; x \"\r\n");
        const platform::IniMachineSettingsStore store(folder.file(QStringLiteral("machine.ini")));
        const auto read = [&store](const char *key) {
            return store
                .getSetting(QStringLiteral("Wendlecott"), QStringLiteral("Settings"), QLatin1String(key),
                            QStringLiteral("missing"))
                .value();
        };
        QCOMPARE(read("chkProxy"), QStringLiteral("1"));
        QCOMPARE(read("odd"), QStringLiteral(" a=\"b\" ; x "));
    }

    void machineValueThatIsNotText_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("isText");
        QTest::newRow("binary") << QByteArray("chkProxy=@ByteArray(1)") << false;
        QTest::newRow("typed") << QByteArray("chkProxy=@Rect(1 2 3 4)") << false;
        QTest::newRow("list") << QByteArray("chkProxy=1, 0") << false;
        QTest::newRow("quoted list") << QByteArray("chkProxy=\"1, 0\"") << true;
        QTest::newRow("quoted text") << QByteArray("chkProxy=\"dword:1\"") << true;
        QTest::newRow("registry-export look") << QByteArray("chkProxy=dword:00000001") << true;
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
