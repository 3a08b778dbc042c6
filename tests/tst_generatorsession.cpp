#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "MemorySettingsStore.h"
#include "TestFolder.h"
#include "config/SettingsKeys.h"
#include "core/base/TextFile.h"
#include "sources/GeneratorSession.h"

#include <QtTest>

using namespace wendlecott;
using sources::AffixSwitch;

namespace {

const QByteArray kTlds = "com|whois.example|43|Enabled|25|No match\r\n"
                         "de|whois.example|43|Disabled|25|free\r\n"
                         "NET|whois.example|43|Enabled|25|No match\r\n"
                         "proxy|127.0.0.1|43|Enabled|25|No match\r\n";

QByteArray numberedAffixes(int count)
{
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines += "w" + QByteArray::number(i) + "\r\n";
    return lines;
}

QStringList texts(const char *spaceSeparated)
{
    return QString::fromLatin1(spaceSeparated).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// A session over a temporary program folder, with its fakes and a record of what it told.
struct Rig {
    explicit Rig(const QByteArray &appends = "\r\nmy\r\nbest\r\n")
    {
        folder.write(QStringLiteral("Appends.txt"), appends);
        folder.write(QStringLiteral("TLDs.txt"), kTlds);
        folder.write(QStringLiteral("CreatedDomains.txt"), "\r\n");
        open();
    }
    sources::GeneratorSession &open()
    {
        session = std::make_unique<sources::GeneratorSession>(config::ProgramFolder(folder.path()), settings,
                                                              notice, clock);
        session->setStartRun([this](qint64 count) {
            starts.append(count);
            events.append(QStringLiteral("start %1").arg(count));
        });
        QObject::connect(session.get(), &sources::GeneratorSession::statusChanged,
                         [this](const QString &text) { statuses.append(text); });
        QObject::connect(session.get(), &sources::GeneratorSession::namesAppended, [this] { ++slices; });
        QObject::connect(session.get(), &sources::GeneratorSession::generatingChanged, [this](bool on) {
            events.append(on ? QStringLiteral("generating") : QStringLiteral("idle"));
        });
        session->load();
        return *session;
    }
    // Starts a generation and lets every slice, the writing and the run's start happen.
    bool generate(const QString &base = QStringLiteral("shop"))
    {
        session->setBaseWord(base);
        const bool started = session->generateNames();
        clock.runDue();
        return started;
    }
    QByteArray created() const { return folder.read(QStringLiteral("CreatedDomains.txt")); }
    QStringList names() const { return session->names() ? session->names()->toStringList() : QStringList(); }

    testing::TestFolder folder;
    testing::MemorySettingsStore settings;
    testing::FakeNotice notice;
    testing::FakeScheduler clock;
    std::unique_ptr<sources::GeneratorSession> session;
    QList<qint64> starts;
    QStringList statuses;
    QStringList events;
    int slices = 0;
};

} // namespace

class TestGeneratorSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Opening -----------------------------------------------------------------------------

    void openingReadsListsAndSettings()
    {
        Rig rig("\r\nmy\r\n \r\nBest\r\n");
        rig.settings.set(config::keys::ChkAdd1, QStringLiteral("0"));
        rig.settings.set(config::keys::TxtMake, QStringLiteral("my shop"));
        const sources::GeneratorSession &s = rig.open();
        QCOMPARE(s.words(), texts("my Best"));
        QCOMPARE(s.extensions().size(), 2);
        QCOMPARE(s.extensions().at(0).text, QStringLiteral(".com"));
        QCOMPARE(s.extensions().at(1).text, QStringLiteral(".NET"));
        QVERIFY(s.extensions().at(0).checked && s.extensions().at(1).checked);
        QVERIFY(s.isSwitchOn(AffixSwitch::Prefixes)); // default "1"
        QVERIFY(!s.isSwitchOn(AffixSwitch::Suffixes));
        QVERIFY(s.isSwitchOn(AffixSwitch::Hyphens));
        QCOMPARE(s.baseWord(), QStringLiteral("my shop"));
        QCOMPARE(s.status(), QStringLiteral("Status..."));
        QVERIFY(!s.names());
        QCOMPARE(rig.settings.writeAttempts, 0); // restoring writes nothing
    }

    // Without Appends.txt or TLDs.txt the lists are empty; nothing is created.
    void openingWithoutFiles()
    {
        Rig rig;
        QVERIFY(QFile::remove(rig.folder.file(QStringLiteral("Appends.txt"))));
        QVERIFY(QFile::remove(rig.folder.file(QStringLiteral("TLDs.txt"))));
        const sources::GeneratorSession &s = rig.open();
        QVERIFY(s.words().isEmpty());
        QVERIFY(s.extensions().isEmpty());
        QVERIFY(rig.notice.messages.isEmpty());
        QVERIFY(!rig.folder.exists(QStringLiteral("Appends.txt")));
    }

    void editsAreStoredAtOnce()
    {
        Rig rig;
        rig.session->setBaseWord(QStringLiteral("shop"));
        QCOMPARE(rig.settings.value(config::keys::TxtMake), QStringLiteral("shop"));
        rig.session->setSwitch(AffixSwitch::Hyphens, false);
        QCOMPARE(rig.settings.value(config::keys::ChkAdd2), QStringLiteral("0"));
        rig.session->setSwitch(AffixSwitch::Hyphens, true);
        QCOMPARE(rig.settings.value(config::keys::ChkAdd2), QStringLiteral("1"));
        rig.session->setSwitch(AffixSwitch::Prefixes, false);
        QCOMPARE(rig.settings.value(config::keys::ChkAdd0), QStringLiteral("0"));
        QVERIFY(!rig.settings.contains(config::keys::ChkAdd1));
        // Check marks of the extensions are not stored.
        rig.session->setExtensionChecked(0, false);
        rig.session->setExtensionChecked(7, false); // no such item: ignored
        rig.session->setExtensionChecked(-1, false);

        // A new session restores what the old one stored.
        const sources::GeneratorSession &s = rig.open();
        QCOMPARE(s.baseWord(), QStringLiteral("shop"));
        QVERIFY(!s.isSwitchOn(AffixSwitch::Prefixes));
        QVERIFY(s.isSwitchOn(AffixSwitch::Suffixes));
        QVERIFY(s.isSwitchOn(AffixSwitch::Hyphens));
        QVERIFY(s.extensions().at(0).checked);
    }

    // Generation --------------------------------------------------------------------------

    void generationRunsInSlicesThenWritesAndStarts()
    {
        Rig rig(numberedAffixes(300));
        rig.session->setSliceSize(100);
        rig.session->setBaseWord(QStringLiteral("shop"));
        QVERIFY(rig.session->generateNames());
        // Nothing is built inside the command; the slices come from the event loop.
        QVERIFY(rig.session->isGenerating());
        QCOMPARE(rig.session->names()->size(), 0);
        QVERIFY(rig.starts.isEmpty());
        QVERIFY(!rig.session->generateNames()); // one generation at a time

        rig.clock.runDue();
        QCOMPARE(rig.starts, QList<qint64>{3000});
        QVERIFY(rig.slices > 10);
        QVERIFY(!rig.session->isGenerating());
        // The inputs come back before the run starts.
        QCOMPARE(rig.events, QStringList({QStringLiteral("generating"), QStringLiteral("idle"),
                                          QStringLiteral("start 3000")}));
        QCOMPARE(rig.statuses.first(), QStringLiteral("Creating Domains - Created 1000 so far..."));
        QVERIFY(rig.statuses.contains(QStringLiteral("Created 3000 domains...  Sorting...")));
        QCOMPARE(rig.statuses.last(), QStringLiteral("Created 3000 domains...  Search Started"));
        QCOMPARE(rig.session->status(), rig.statuses.last());

        const QStringList names = rig.names();
        QCOMPARE(names.size(), 3000);
        QCOMPARE(names.mid(0, 3), texts("shop.com shop.net w0shop.com"));
        const QByteArray file = rig.created();
        QVERIFY(file.startsWith("shop.com\r\n\r\nshop.net\r\n\r\nw0shop.com\r\n\r\n"));
        QCOMPARE(file.count("\r\n\r\n"), 3000);
        QVERIFY(rig.notice.messages.isEmpty());
    }

    // The switches and check marks of the moment are used; the words come from the file as
    // it is then, not from the list read at opening.
    void generationUsesTheStateOfTheMoment()
    {
        Rig rig;
        rig.session->setExtensionChecked(1, false);
        rig.session->setSwitch(AffixSwitch::Prefixes, false);
        rig.session->setSwitch(AffixSwitch::Hyphens, false);
        rig.folder.write(QStringLiteral("Appends.txt"), "Top\r\n");
        QVERIFY(rig.generate());
        QCOMPARE(rig.names(), texts("shop.com shopTop.com"));
        QCOMPARE(rig.session->words(), texts("my best")); // the list is not read again
        QCOMPARE(rig.created(), QByteArray("shop.com\r\n\r\nshopTop.com\r\n\r\n"));

        // Every extension unchecked: nothing is built, and a run over nothing still starts.
        rig.session->setExtensionChecked(0, false);
        QVERIFY(rig.generate());
        QVERIFY(rig.names().isEmpty());
        QCOMPARE(rig.starts, (QList<qint64>{2, 0}));
    }

    // More names than a 16-bit list could count: the file and the count hold every one.
    void countBeyond32767IsHandedOn()
    {
        Rig rig(numberedAffixes(4000));
        QVERIFY(rig.generate());
        QCOMPARE(rig.starts, QList<qint64>{40000});
        QCOMPARE(rig.session->names()->size(), 40000);
        QCOMPARE(rig.created().count("\r\n\r\n"), 40000);
    }

    void emptyAffixListStillStartsARun_data()
    {
        QTest::addColumn<QByteArray>("appends");
        QTest::newRow("blank and empty lines") << QByteArray("\r\n \r\n");
        QTest::newRow("an empty file") << QByteArray();
    }
    void emptyAffixListStillStartsARun()
    {
        QFETCH(QByteArray, appends);
        Rig rig(appends);
        QVERIFY(rig.session->words().isEmpty());
        QVERIFY(rig.generate());
        QCOMPARE(rig.starts, QList<qint64>{0});
        QCOMPARE(rig.created(), QByteArray());
        QCOMPARE(rig.session->status(), QStringLiteral("Created 0 domains...  Search Started"));
        QVERIFY(rig.notice.messages.isEmpty());
    }

    void missingAppendsStartsNothing()
    {
        Rig rig;
        QVERIFY(rig.generate()); // a list of names to be dropped
        rig.starts.clear();
        rig.events.clear();
        const QString statusBefore = rig.session->status();
        QVERIFY(QFile::remove(rig.folder.file(QStringLiteral("Appends.txt"))));
        QSignalSpy reset(rig.session.get(), &sources::GeneratorSession::namesReset);

        QVERIFY(!rig.generate());
        QCOMPARE(rig.notice.messages.size(), 1);
        QVERIFY(rig.notice.messages.first().text.contains(QStringLiteral("Appends.txt")));
        QVERIFY(!rig.session->isGenerating());
        QVERIFY(rig.events.isEmpty()); // the inputs never went
        QVERIFY(rig.starts.isEmpty());
        QVERIFY(reset.size() >= 1);
        QVERIFY(!rig.session->names());
        QCOMPARE(rig.session->status(), statusBefore);
        QVERIFY(rig.created().startsWith("shop.com\r\n\r\n")); // the last list stays on disk
        QVERIFY(!rig.folder.exists(QStringLiteral("Appends.txt")));
    }

    // At the name limit the building stops; what was built is written, told and checked.
    void limitReachedWritesAndStartsWhatWasBuilt()
    {
        Rig rig(numberedAffixes(10));
        rig.session->setNameLimit(12);
        rig.session->setExtensionChecked(1, false);
        QVERIFY(rig.generate());
        QCOMPARE(rig.starts, QList<qint64>{12});
        QCOMPARE(rig.created().count("\r\n\r\n"), 12);
        QCOMPARE(rig.names().mid(0, 6),
                 texts("shop.com w0shop.com w0-shop.com shopw0.com shop-w0.com shop.com"));
        QCOMPARE(rig.notice.messages.size(), 1);
        QCOMPARE(rig.notice.messages.first().text, sources::nameLimitMessage(12));
        QCOMPARE(rig.notice.messages.first().icon, core::NoticeIcon::Information);
        QCOMPARE(rig.session->status(), QStringLiteral("Created 12 domains...  Search Started"));
    }

    void failedWriteStartsNoRun()
    {
        Rig rig;
        {
            core::WriteFaultScope fault(4);
            QVERIFY(rig.generate());
        }
        rig.clock.advance(1000);
        QVERIFY(!rig.session->isGenerating());
        QCOMPARE(rig.events, QStringList({QStringLiteral("generating"), QStringLiteral("idle")}));
        QVERIFY(rig.starts.isEmpty());
        QCOMPARE(rig.notice.messages.size(), 1);
        QCOMPARE(rig.notice.messages.first().icon, core::NoticeIcon::Warning);
        QCOMPARE(rig.session->status(), rig.notice.messages.first().text);
        QVERIFY(!rig.session->status().isEmpty());
        QCOMPARE(rig.created(), QByteArray("\r\n")); // the old list survives

        // The next generation, with room on the disk, goes through.
        QVERIFY(rig.generate());
        QCOMPARE(rig.starts, QList<qint64>{20});
    }

    // A generation begun before the last one's run started replaces that start.
    void newGenerationDropsAPendingStart()
    {
        Rig rig;
        bool again = true;
        QObject::connect(rig.session.get(), &sources::GeneratorSession::generatingChanged, [&](bool on) {
            if (!on && again) {
                again = false;
                rig.session->setSwitch(AffixSwitch::Suffixes, false);
                QVERIFY(rig.session->generateNames());
            }
        });
        QVERIFY(rig.generate());
        QCOMPARE(rig.starts, QList<qint64>{12});
        QCOMPARE(rig.created().count("\r\n\r\n"), 12);
    }

    void destroyedWhileGeneratingLeavesNothingBehind()
    {
        Rig rig(numberedAffixes(100));
        rig.session->setSliceSize(10);
        QVERIFY(rig.session->generateNames());
        rig.session.reset();
        rig.clock.advance(1000);
        QVERIFY(rig.starts.isEmpty());
        QCOMPARE(rig.created(), QByteArray("\r\n"));
    }

    // Add and Del ----------------------------------------------------------------------------

    void addAppendsToTheFileAndTheList()
    {
        Rig rig;
        QVERIFY(rig.session->addWord(QStringLiteral("Top")));
        QCOMPARE(rig.session->words(), texts("my best Top"));
        QCOMPARE(rig.folder.read(QStringLiteral("Appends.txt")), QByteArray("\r\nmy\r\nbest\r\nTop\r\n"));

        // An empty word: an empty line and an empty entry, skipped when the list is read again.
        QVERIFY(rig.session->addWord(QString()));
        QCOMPARE(rig.session->words(), (QStringList{QStringLiteral("my"), QStringLiteral("best"),
                                                    QStringLiteral("Top"), QString()}));
        QCOMPARE(rig.folder.read(QStringLiteral("Appends.txt")), QByteArray("\r\nmy\r\nbest\r\nTop\r\n\r\n"));
        rig.session->load();
        QCOMPARE(rig.session->words(), texts("my best Top"));
        QVERIFY(rig.notice.messages.isEmpty());
    }

    void failedAddChangesNothing()
    {
        Rig rig;
        {
            core::WriteFaultScope fault(0);
            QVERIFY(!rig.session->addWord(QStringLiteral("Top")));
        }
        QCOMPARE(rig.notice.messages.size(), 1);
        QCOMPARE(rig.session->words(), texts("my best"));
        QCOMPARE(rig.folder.read(QStringLiteral("Appends.txt")), QByteArray("\r\nmy\r\nbest\r\n"));
    }

    void delWithoutSelectionChangesNothing_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("none selected") << -1;
        QTest::newRow("past the end") << 2;
    }
    void delWithoutSelectionChangesNothing()
    {
        QFETCH(int, index);
        Rig rig;
        QVERIFY(!rig.session->removeWord(index));
        QCOMPARE(rig.notice.messages.size(), 1);
        QCOMPARE(rig.notice.messages.first().text,
                 QStringLiteral("You must first select an item to remove from the list."));
        QCOMPARE(rig.notice.messages.first().icon, core::NoticeIcon::None);
        QCOMPARE(rig.session->words(), texts("my best"));
        QCOMPARE(rig.folder.read(QStringLiteral("Appends.txt")), QByteArray("\r\nmy\r\nbest\r\n"));
    }

    void delRemovesEveryLineButOneEntry()
    {
        Rig rig("my\r\nbest\r\nmy\r\n");
        QCOMPARE(rig.session->words(), texts("my best my"));
        QVERIFY(rig.session->removeWord(2));
        QVERIFY(rig.notice.messages.isEmpty());
        QCOMPARE(rig.session->words(), texts("my best"));
        QCOMPARE(rig.folder.read(QStringLiteral("Appends.txt")), QByteArray("best\r\n\r\n"));
    }

    void failedDelChangesNothing()
    {
        Rig rig;
        {
            core::WriteFaultScope fault(1);
            QVERIFY(!rig.session->removeWord(0));
        }
        QCOMPARE(rig.notice.messages.size(), 1);
        QCOMPARE(rig.session->words(), texts("my best"));
        QCOMPARE(rig.folder.read(QStringLiteral("Appends.txt")), QByteArray("\r\nmy\r\nbest\r\n"));
    }

    // Save Domains As -------------------------------------------------------------------------

    void saveAsProposesCopiesOrCancels()
    {
        Rig rig;
        rig.folder.write(QStringLiteral("CreatedDomains.txt"), "shop.com\r\n\r\n");
        rig.session->setBaseWord(QStringLiteral("shop"));
        const QString proposed = rig.session->proposedSavePath();
        QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("shop.txt"));
        QCOMPARE(QFileInfo(QFileInfo(proposed).path()).canonicalFilePath(),
                 QFileInfo(rig.folder.file(QStringLiteral("CustomLists"))).canonicalFilePath());

        // Cancelled: nothing saved, but the starting folder now exists.
        QVERIFY(!rig.session->saveDomainsAs(QString()));
        QCOMPARE(QDir(rig.folder.file(QStringLiteral("CustomLists"))).entryList(QDir::Files), QStringList());

        // Chosen: the file is copied, replacing what was there.
        rig.folder.write(QStringLiteral("CustomLists/mine.txt"), "old\r\n");
        QVERIFY(rig.session->saveDomainsAs(rig.folder.file(QStringLiteral("CustomLists/mine.txt"))));
        QCOMPARE(rig.folder.read(QStringLiteral("CustomLists/mine.txt")), QByteArray("shop.com\r\n\r\n"));
        QVERIFY(rig.notice.messages.isEmpty());
    }

    void failedSaveKeepsTheOldFileAndTells()
    {
        Rig rig;
        rig.folder.write(QStringLiteral("CustomLists/mine.txt"), "kept\r\n");
        {
            core::WriteFaultScope fault(1);
            QVERIFY(!rig.session->saveDomainsAs(rig.folder.file(QStringLiteral("CustomLists/mine.txt"))));
        }
        QCOMPARE(rig.notice.messages.size(), 1);
        QCOMPARE(rig.notice.messages.first().icon, core::NoticeIcon::Warning);
        QCOMPARE(rig.folder.read(QStringLiteral("CustomLists/mine.txt")), QByteArray("kept\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestGeneratorSession)
#include "tst_generatorsession.moc"
