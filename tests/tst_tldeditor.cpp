#include "FakeConnection.h"
#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "MemorySettingsStore.h"
#include "TestAppState.h"
#include "TestFolder.h"
#include "config/SettingsKeys.h"
#include "config/TldEditor.h"
#include "core/base/TextFile.h"
#include "core/lookup/EvidenceJudge.h"
#include "core/lookup/RdapBootstrap.h"
#include "core/lookup/RegistrarProbe.h"
#include "core/tld/TldTable.h"
#include "sources/TextOps.h"

#include <QtTest>

using namespace wendlecott;

namespace {

const QString S = core::kStandardSuccessWords;
const QString kTlds = QStringLiteral("TLDs.txt");

QString cleanName(const QString &name)
{
    return sources::xCorrectName(sources::xurlEncode(name));
}

// Rows written "a|b|c|d|e|f", one per list item.
QStringList rowTexts(const QList<QStringList> &rows)
{
    QStringList texts;
    for (const QStringList &row : rows)
        texts.append(row.join(QLatin1Char('|')));
    return texts;
}

QByteArray crlfLines(const QStringList &lines)
{
    return core::encodeText(core::joinLinesCrLf(lines));
}

// An editor over a temporary program folder, with fakes for the user, the clock and the
// test's connection.
struct Rig {
    explicit Rig(const QStringList &rows)
    {
        folder.write(kTlds, crlfLines(rows));
        state = testing::makeTestState({folder.path(), settings, notice, scheduler, [this] {
                                            auto made = std::make_unique<testing::FakeConnection>();
                                            connection = made.get();
                                            return made;
                                        }});
        (void)state->reloadTable();
        editor = std::make_unique<config::TldEditor>(*state, &cleanName);
        editor->open();
        notice.messages.clear();
    }

    QByteArray file() const { return folder.read(kTlds); }
    QStringList listRows() const { return rowTexts(editor->list().rows()); }
    int rowOf(const QString &extension) const
    {
        const QList<QStringList> &rows = editor->list().rows();
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (rows.at(i).value(0) == extension)
                return int(i);
        }
        return -1;
    }
    QStringList messageTexts() const
    {
        QStringList texts;
        for (const auto &message : notice.messages)
            texts.append(message.text);
        return texts;
    }

    testing::TestFolder folder;
    testing::MemorySettingsStore settings;
    testing::FakeNotice notice;
    testing::FakeScheduler scheduler;
    testing::FakeConnection *connection = nullptr; // owned by the editor's registrar probe
    std::unique_ptr<config::AppState> state;
    std::unique_ptr<config::TldEditor> editor;
};

const QStringList kUsualRows{
    QStringLiteral("com|whois.example|43|Enabled|25|No match"),
    QStringLiteral("de|whois.denic.example|43|Disabled|25|free"),
    QStringLiteral("proxy|127.0.0.1|4343|Enabled|25|") + S,
};

} // namespace

class TestTldEditor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // "Add/Save" -------------------------------------------------------------------------

    void addSave_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("typed"); // extension, server, port, throttle, success
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("throttleShown");
        QTest::addColumn<QString>("successShown");

        QTest::newRow("new row, empty throttle and success")
            << kUsualRows
            << QStringList{QStringLiteral("org"), QStringLiteral("whois.org.example"), QStringLiteral("43"),
                           QString(), QString()}
            << (kUsualRows + QStringList{QStringLiteral("org|whois.org.example|43|Enabled|25|") + S})
            << QStringLiteral("25") << S;
        QTest::newRow("blank throttle and success count as empty")
            << kUsualRows
            << QStringList{QStringLiteral("org"), QStringLiteral("w"), QStringLiteral("43"),
                           QStringLiteral("  "), QStringLiteral(" ")}
            << (kUsualRows + QStringList{QStringLiteral("org|w|43|Enabled|25|") + S}) << QStringLiteral("25")
            << S;
        QTest::newRow("typed values are kept")
            << kUsualRows
            << QStringList{QStringLiteral("org"), QStringLiteral("w"), QStringLiteral("4300"),
                           QStringLiteral("100"), QStringLiteral("NOT FOUND, nothing")}
            << (kUsualRows + QStringList{QStringLiteral("org|w|4300|Enabled|100|NOT FOUND, nothing")})
            << QStringLiteral("100") << QStringLiteral("NOT FOUND, nothing");
        QTest::newRow("existing row replaced in place")
            << kUsualRows
            << QStringList{QStringLiteral("com"), QStringLiteral("whois.other"), QStringLiteral("43"),
                           QStringLiteral("30"), QStringLiteral("No match")}
            << QStringList{QStringLiteral("com|whois.other|43|Enabled|30|No match"), kUsualRows.at(1),
                           kUsualRows.at(2)}
            << QStringLiteral("30") << QStringLiteral("No match");
        QTest::newRow("both duplicates replaced")
            << QStringList{QStringLiteral("here|a|43|Enabled|25|x"), QStringLiteral("com|c|43|Enabled|25|x"),
                           QStringLiteral("here|b|43|Enabled|25|y")}
            << QStringList{QStringLiteral("here"), QStringLiteral("n"), QStringLiteral("43"),
                           QStringLiteral("25"), QStringLiteral("z")}
            << QStringList{QStringLiteral("here|n|43|Enabled|25|z"), QStringLiteral("com|c|43|Enabled|25|x"),
                           QStringLiteral("here|n|43|Enabled|25|z")}
            << QStringLiteral("25") << QStringLiteral("z");
        QTest::newRow("upper-case input is stored lower-case")
            << kUsualRows
            << QStringList{QStringLiteral("ORG"), QStringLiteral("w"), QStringLiteral("43"),
                           QStringLiteral("25"), QStringLiteral("z")}
            << (kUsualRows + QStringList{QStringLiteral("org|w|43|Enabled|25|z")}) << QStringLiteral("25")
            << QStringLiteral("z");
        QTest::newRow("upper-case row is not matched, a row is appended")
            << QStringList{QStringLiteral("List|a|43|Disabled|25|x")}
            << QStringList{QStringLiteral("list"), QStringLiteral("n"), QStringLiteral("43"),
                           QStringLiteral("25"), QStringLiteral("z")}
            << QStringList{QStringLiteral("List|a|43|Disabled|25|x"),
                           QStringLiteral("list|n|43|Enabled|25|z")}
            << QStringLiteral("25") << QStringLiteral("z");
        QTest::newRow("blanks and a leading dot are not part of the extension")
            << kUsualRows
            << QStringList{QStringLiteral(" .org "), QStringLiteral(" w "), QStringLiteral(" 43 "),
                           QStringLiteral(" 25 "), QStringLiteral("z")}
            << (kUsualRows + QStringList{QStringLiteral("org|w|43|Enabled|25|z")}) << QStringLiteral("25")
            << QStringLiteral("z");
    }
    void addSave()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, after);
        QFETCH(QString, throttleShown);
        QFETCH(QString, successShown);

        Rig rig(before);
        config::TldFields fields{typed[0], typed[1], typed[2], typed[3], typed[4]};
        const std::optional<int> row = rig.editor->addSave(fields);
        QVERIFY(row.has_value());
        QVERIFY(rig.notice.messages.isEmpty());
        QCOMPARE(rig.listRows(), after);
        QCOMPARE(fields.throttle, throttleShown);
        QCOMPARE(fields.success, successShown);
        // The row it returns holds the saved extension.
        QCOMPARE(rig.editor->list().row(*row).value(0), fields.extension.toLower());
        // The file ends with an empty line and the program-wide table was reloaded.
        QVERIFY(rig.file().endsWith("\r\n"));
        core::TldTable fromDisk;
        QVERIFY(core::loadTLDTable(fromDisk, rig.folder.file(kTlds)).ok());
        QCOMPARE(rig.state->table().size(), fromDisk.size());
        const int index =
            core::findTLD(rig.state->table(), QStringLiteral("example.") + fields.extension.toLower(), false);
        QCOMPARE(rig.state->table().at(index).server, fromDisk.at(index).server);
    }

    void addSaveKeepsTheClickedRowsStatus()
    {
        Rig rig(kUsualRows);
        std::optional<config::TldFields> fields = rig.editor->rowClicked(rig.rowOf(QStringLiteral("de")));
        QVERIFY(fields.has_value());
        QCOMPARE(fields->server, QStringLiteral("whois.denic.example"));
        QCOMPARE(fields->success, QStringLiteral("free"));
        QVERIFY(!rig.editor->editEnabled());
        fields->server = QStringLiteral("whois.new.example");
        QVERIFY(rig.editor->addSave(*fields).has_value());
        QVERIFY(rig.listRows().contains(QStringLiteral("de|whois.new.example|43|Disabled|25|free")));
        QVERIFY(
            !rig.state->table().at(core::findTLD(rig.state->table(), QStringLiteral("x.de"), false)).enabled);

        // After "New Extension" the same extension is saved enabled; throttle and success stay.
        rig.editor->newExtension(*fields);
        QVERIFY(fields->extension.isEmpty() && fields->server.isEmpty() && fields->port.isEmpty());
        QCOMPARE(fields->throttle, QStringLiteral("25"));
        QCOMPARE(fields->success, QStringLiteral("free"));
        QVERIFY(rig.editor->editEnabled());
        *fields = {QStringLiteral("de"), QStringLiteral("whois.new.example"), QStringLiteral("43"),
                   fields->throttle, fields->success};
        QVERIFY(rig.editor->addSave(*fields).has_value());
        QVERIFY(rig.listRows().contains(QStringLiteral("de|whois.new.example|43|Enabled|25|free")));
        QVERIFY(
            rig.state->table().at(core::findTLD(rig.state->table(), QStringLiteral("x.de"), false)).enabled);
    }

    void addSaveRefusesMissingFields_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::newRow("no extension") << QStringList{QString(), QStringLiteral("w"), QStringLiteral("43")};
        QTest::newRow("no server") << QStringList{QStringLiteral("org"), QString(), QStringLiteral("43")};
        QTest::newRow("no port") << QStringList{QStringLiteral("org"), QStringLiteral("w"), QString()};
        QTest::newRow("blank server")
            << QStringList{QStringLiteral("org"), QStringLiteral("   "), QStringLiteral("43")};
        QTest::newRow("only a dot") << QStringList{QStringLiteral("."), QStringLiteral("w"),
                                                   QStringLiteral("43")};
        QTest::newRow("a bar would split the row")
            << QStringList{QStringLiteral("org"), QStringLiteral("w|x"), QStringLiteral("43")};
    }
    void addSaveRefusesMissingFields()
    {
        QFETCH(QStringList, typed);
        Rig rig(kUsualRows);
        const QByteArray before = rig.file();
        config::TldFields fields{typed[0], typed[1], typed[2], QString(), QString()};
        QVERIFY(!rig.editor->addSave(fields).has_value());
        QCOMPARE(rig.messageTexts(), QStringList{config::kMissingFieldsMessage});
        QCOMPARE(rig.file(), before);
        QCOMPARE(rig.state->table().size(), 3);
    }

    void failedWriteIsReportedAndTheFileSurvives()
    {
        Rig rig(kUsualRows);
        const QByteArray before = rig.file();
        config::TldFields fields{QStringLiteral("org"), QStringLiteral("w"), QStringLiteral("43"), QString(),
                                 QString()};
        {
            core::WriteFaultScope fault(10);
            QVERIFY(!rig.editor->addSave(fields).has_value());
            QVERIFY(!rig.editor->toggleRow(0).has_value());
            QVERIFY(!rig.editor->deleteRow(0));
            QVERIFY(!rig.editor->restoreDefaults());
            QVERIFY(!rig.editor->writeDebugFile().ok());
        }
        QCOMPARE(rig.notice.messages.size(), 5);
        QCOMPARE(rig.file(), before);
        QCOMPARE(rig.listRows(), kUsualRows);
        QCOMPARE(rig.state->table().size(), 3);
    }

    // "Enable/Disable" -------------------------------------------------------------------

    void toggle_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Enabled") << QStringLiteral("Enabled") << QStringLiteral("Disabled");
        QTest::newRow("Disabled") << QStringLiteral("Disabled") << QStringLiteral("Enabled");
        QTest::newRow("lower-case enabled") << QStringLiteral("enabled") << QStringLiteral("Enabled");
        QTest::newRow("empty") << QString() << QStringLiteral("Enabled");
        QTest::newRow("anything") << QStringLiteral("on") << QStringLiteral("Enabled");
    }
    void toggle()
    {
        QFETCH(QString, status);
        QFETCH(QString, expected);
        Rig rig({QStringLiteral("com|whois.example|43|Enabled|25|x"),
                 QStringLiteral("org|whois.org|4300|") + status + QStringLiteral("|70|No match,free")});
        rig.editor->rowClicked(1);
        const std::optional<int> row = rig.editor->toggleRow(1);
        QVERIFY(row.has_value());
        QCOMPARE(*row, 1);
        QCOMPARE(rig.listRows().at(1),
                 QStringLiteral("org|whois.org|4300|") + expected + QStringLiteral("|70|No match,free"));
        QCOMPARE(rig.state->table().at(1).enabled, expected == QLatin1String("Enabled"));
        // The edit boxes show that row: saving it again keeps the new status.
        QCOMPARE(rig.editor->editEnabled(), expected == QLatin1String("Enabled"));
    }

    void toggleWithoutARowChangesNothing()
    {
        Rig rig(kUsualRows);
        const QByteArray before = rig.file();
        QVERIFY(!rig.editor->toggleRow(-1).has_value());
        QVERIFY(!rig.editor->toggleRow(3).has_value());
        QCOMPARE(rig.file(), before);
    }

    // "Delete Selected" ------------------------------------------------------------------

    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void deleteAsksFirst()
    {
        QFETCH(bool, answer);
        Rig rig(kUsualRows);
        const QByteArray before = rig.file();
        rig.notice.okCancelAnswer = answer;
        QCOMPARE(rig.editor->deleteRow(1), answer);
        // The question names the row it is about.
        QCOMPARE(rig.notice.questions,
                 QStringList{QStringLiteral("Delete?\nReally delete this TLD from the list?\r\n\r\n"
                                            "de (server whois.denic.example, port 43)")});
        if (!answer) {
            QCOMPARE(rig.file(), before);
            QCOMPARE(rig.listRows(), kUsualRows);
            return;
        }
        // An empty line after every remaining row.
        QCOMPARE(rig.file(), crlfLines({kUsualRows.at(0), QString(), kUsualRows.at(2), QString()}));
        QCOMPARE(rig.listRows(), (QStringList{kUsualRows.at(0), kUsualRows.at(2)}));
        QCOMPARE(rig.state->table().size(), 2);
        QCOMPARE(core::findTLD(rig.state->table(), QStringLiteral("x.de"), false),
                 0); // de is gone: the com row
    }

    void deleteWithoutARowAsksNothing()
    {
        Rig rig(kUsualRows);
        QVERIFY(!rig.editor->deleteRow(-1));
        QVERIFY(rig.notice.questions.isEmpty());
    }

    void deleteWritesTheRowsInListOrder()
    {
        Rig rig(kUsualRows);
        QVERIFY(rig.editor->sortByColumn(0, false)); // ascending: com, de, proxy
        QVERIFY(rig.editor->sortByColumn(0, false)); // descending: proxy, de, com
        QCOMPARE(rig.listRows(), (QStringList{kUsualRows.at(2), kUsualRows.at(1), kUsualRows.at(0)}));
        QVERIFY(rig.editor->deleteRow(1));
        QCOMPARE(rig.file(), crlfLines({kUsualRows.at(2), QString(), kUsualRows.at(0), QString()}));
    }

    // "Restore Defaults" -----------------------------------------------------------------

    void restoreDefaults_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    // Every row the user made is at stake, so the user is asked first.
    void restoreDefaults()
    {
        QFETCH(bool, answer);
        Rig rig({QStringLiteral("zz|w|43|Enabled|25|x")});
        const QByteArray before = rig.file();
        rig.notice.okCancelAnswer = answer;
        QCOMPARE(rig.editor->restoreDefaults(), answer);
        QCOMPARE(rig.notice.questions,
                 QStringList{QStringLiteral("Restore Defaults?\nReplace the 1 rows of the list with the 179 "
                                            "rows of the default table?\r\n\r\nRows you added or changed "
                                            "are lost.")});
        if (!answer) {
            QCOMPARE(rig.file(), before);
            QCOMPARE(rig.listRows(), QStringList{QStringLiteral("zz|w|43|Enabled|25|x")});
            QCOMPARE(rig.state->table().size(), 1);
            return;
        }
        QCOMPARE(rig.file(), core::encodeText(core::defaultTldText()));
        QCOMPARE(rig.editor->list().rowCount(), 179);
        QCOMPARE(rig.state->table().size(), 179);
        QCOMPARE(rig.listRows(), rowTexts(core::defaultTldRows()));
    }

    // "DEBUG" ----------------------------------------------------------------------------

    void debugFile()
    {
        Rig rig(
            {QStringLiteral("com|whois.example|43|Enabled|25|No match,AVAIL"), QStringLiteral("short|x")});
        rig.folder.write(QStringLiteral("debug.txt"), "old content that must go\r\n");
        QVERIFY(rig.editor->writeDebugFile().ok());
        // The user is told where the file went.
        QCOMPARE(rig.notice.messages.size(), 1);
        QCOMPARE(rig.notice.messages.at(0).title, QStringLiteral("DEBUG"));
        QCOMPARE(rig.notice.messages.at(0).text,
                 QStringLiteral("The list of 2 rows was written to ") +
                     QDir::toNativeSeparators(rig.folder.path() + QStringLiteral("/debug.txt")));
        QCOMPARE(
            rig.folder.read(QStringLiteral("debug.txt")),
            QByteArray("strTemp = strTemp & \"com|whois.example|43|Enabled|25|No match,AVAIL\" & vbcrlf\r\n"
                       "strTemp = strTemp & \"short|x||||\" & vbcrlf\r\n"));
        // In list order.
        QVERIFY(rig.editor->sortByColumn(0, false));
        QVERIFY(rig.editor->sortByColumn(0, false));
        QVERIFY(rig.editor->writeDebugFile().ok());
        QVERIFY(rig.folder.read(QStringLiteral("debug.txt")).startsWith("strTemp = strTemp & \"short|"));
    }

    void debugFileOfAnEmptyList()
    {
        Rig rig(QStringList{});
        QVERIFY(rig.editor->writeDebugFile().ok());
        QVERIFY(rig.folder.exists(QStringLiteral("debug.txt")));
        QCOMPARE(rig.folder.read(QStringLiteral("debug.txt")), QByteArray());
    }

    // The proxy heading ------------------------------------------------------------------

    void proxyRowIsNamedOrMissing()
    {
        Rig rig(kUsualRows);
        QCOMPARE(rig.editor->proxyRowText(),
                 QStringLiteral("the row \"proxy\" in the list below: 127.0.0.1, port 4343 (Enabled)"));
        rig.notice.okCancelAnswer = true;
        QVERIFY(rig.editor->deleteRow(rig.rowOf(QStringLiteral("proxy"))));
        QVERIFY(rig.editor->proxyRowText().contains(QStringLiteral("there is none yet")));
        // An extension that only starts with "proxy" is not the proxy row.
        QVERIFY(config::proxyRowText({{QStringLiteral("proxyx"), QStringLiteral("w")}})
                    .contains(QStringLiteral("there is none yet")));
    }

    // Sorting ----------------------------------------------------------------------------

    void sortDirectionIsSharedByAllColumns()
    {
        Rig rig({QStringLiteral("b|w|43|Enabled|25|x"), QStringLiteral("a|w|43|Enabled|100|x"),
                 QStringLiteral("C|w|43|Enabled|3|x")});
        const auto column = [&rig](int index) {
            QStringList texts;
            for (const QStringList &row : rig.editor->list().rows())
                texts.append(row.value(index));
            return texts;
        };
        QVERIFY(rig.editor->sortByColumn(4, false));
        QCOMPARE(column(4), (QStringList{QStringLiteral("100"), QStringLiteral("25"), QStringLiteral("3")}));
        // Another column: the direction is reversed all the same.
        QVERIFY(rig.editor->sortByColumn(0, false));
        QCOMPARE(column(0), (QStringList{QStringLiteral("C"), QStringLiteral("b"), QStringLiteral("a")}));
        QVERIFY(rig.editor->sortByColumn(0, false));
        QCOMPARE(column(0), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("C")}));
        QVERIFY(rig.editor->sortByColumn(4, false));
        QCOMPARE(column(4), (QStringList{QStringLiteral("3"), QStringLiteral("25"), QStringLiteral("100")}));
        QCOMPARE(rig.editor->sortState().column, 4);
        QVERIFY(!rig.editor->sortState().ascending);

        // The list stays sorted when a change fills it again.
        config::TldFields fields{QStringLiteral("d"), QStringLiteral("w"), QStringLiteral("43"),
                                 QStringLiteral("50"), QStringLiteral("x")};
        const std::optional<int> saved = rig.editor->addSave(fields);
        QVERIFY(saved.has_value());
        QCOMPARE(*saved, 0);
        QCOMPARE(column(4), (QStringList{QStringLiteral("50"), QStringLiteral("3"), QStringLiteral("25"),
                                         QStringLiteral("100")}));
    }

    void sortEdges()
    {
        Rig empty(QStringList{});
        QVERIFY(empty.editor->sortByColumn(0, true));
        QVERIFY(!empty.editor->sortState().sorted); // nothing to sort, nothing changed

        Rig rig(kUsualRows);
        QVERIFY(!rig.editor->sortByColumn(6, false));
        QVERIFY(rig.notice.messages.isEmpty());
        QVERIFY(!rig.editor->sortByColumn(-1, true));
        QCOMPARE(rig.notice.messages.size(), 1);
        QCOMPARE(rig.notice.messages[0].title, QStringLiteral("Error in Function : EnhListView_SortColumns"));
        QVERIFY(rig.notice.messages[0].text.startsWith(QLatin1String("Error ")));
        QVERIFY(rig.notice.messages[0].text.contains(QLatin1Char('\t')));
        QCOMPARE(rig.listRows(), kUsualRows);
    }

    // Preferences ------------------------------------------------------------------------

    void openingStoresWhatItShows()
    {
        testing::TestFolder folder;
        folder.write(kTlds, crlfLines(kUsualRows));
        testing::MemorySettingsStore settings;
        testing::FakeNotice notice;
        testing::FakeScheduler scheduler;
        auto state = testing::makeTestState({folder.path(), settings, notice, scheduler,
                                             [] { return std::make_unique<testing::FakeConnection>(); }});
        (void)state->preferences().setUseProxy(
            true); // whatever it was, the box decides once the window is open
        settings.clear();
        config::TldEditor editor(*state, &cleanName);
        const config::SetupOpening opening = editor.open();
        QCOMPARE(opening.throttle, QStringLiteral("20"));
        QCOMPARE(opening.search, QStringLiteral("Google"));
        QCOMPARE(opening.defaultExtension, QStringLiteral(".com"));
        QVERIFY(!opening.proxyChecked);
        QVERIFY(!state->preferences().useProxy());
        QCOMPARE(settings.value(config::keys::Throttle), QStringLiteral("20"));
        QCOMPARE(settings.value(config::keys::DefaultExt), QStringLiteral(".com"));
        QCOMPARE(settings.value(config::keys::DefaultSearch), QStringLiteral("Google"));
        QVERIFY(editor.editEnabled());
        QCOMPARE(editor.list().rowCount(), 3);
    }

    // The main window makes its run before the program state is opened: what the run was given
    // must be what opening loads (the folder's evidence rules and RDAP bootstrap), not a copy
    // that opening throws away.
    void aRunMadeBeforeOpeningUsesWhatOpeningLoads()
    {
        testing::TestFolder folder;
        folder.write(kTlds, crlfLines(kUsualRows));
        folder.write(QStringLiteral("whois-evidence.tsv"), "available\t*\tlocal-free\t^nothing here$\n");
        folder.write(
            QStringLiteral("rdap-dns-bootstrap.json"),
            "{\"publication\":\"2027-01-01\",\"services\":[[[\"zz\"],[\"https://rdap.zz.test/\"]]]}");
        testing::MemorySettingsStore settings;
        testing::FakeNotice notice;
        testing::FakeScheduler scheduler;
        auto state = testing::makeTestState({folder.path(), settings, notice, scheduler,
                                             [] { return std::make_unique<testing::FakeConnection>(); }});
        const core::RunEnvironment early = state->runEnvironment();
        QVERIFY(state->open().ok());
        QCOMPARE(early.services.judge, &state->evidenceJudge());
        QCOMPARE(early.services.judge->judge(QStringLiteral("nothing here"), QStringLiteral("com")).rule,
                 QStringLiteral("local-free"));
        QCOMPARE(early.services.bootstrap, &state->bootstrap());
        QCOMPARE(early.services.bootstrap->publication(), QStringLiteral("2027-01-01"));
        QCOMPARE(early.unanswered, &state->unanswered());
    }

    void openingShowsStoredValues()
    {
        Rig rig(kUsualRows);
        rig.settings.set(config::keys::Throttle, QStringLiteral("150"));
        rig.settings.set(config::keys::DefaultSearch, QStringLiteral("Yahoo"));
        rig.settings.set(config::keys::ChkProxy, QStringLiteral("1"));
        (void)rig.state->preferences().setDefaultExtension(QStringLiteral(".org"));
        const config::SetupOpening opening = rig.editor->open();
        QCOMPARE(opening.throttle, QStringLiteral("150"));
        QCOMPARE(opening.search, QStringLiteral("Yahoo"));
        QCOMPARE(opening.defaultExtension, QStringLiteral(".org"));
        QVERIFY(opening.proxyChecked);
        QVERIFY(rig.state->preferences().useProxy());
        QCOMPARE(rig.settings.value(config::keys::DefaultExt), QStringLiteral(".org"));
    }

    void proxySwitch()
    {
        Rig rig(kUsualRows);
        rig.editor->proxyClicked(true);
        QVERIFY(rig.state->preferences().useProxy());
        QCOMPARE(rig.settings.value(config::keys::ChkProxy), QStringLiteral("1"));
        rig.editor->proxyClicked(false);
        QVERIFY(!rig.state->preferences().useProxy());
        QCOMPARE(rig.settings.value(config::keys::ChkProxy), QStringLiteral("0"));
    }

    void textsAreStoredOnEveryChange()
    {
        Rig rig(kUsualRows);
        rig.settings.writes.clear();
        rig.editor->throttleChanged(QStringLiteral("3"));
        rig.editor->throttleChanged(QStringLiteral("35"));
        rig.editor->searchChanged(QStringLiteral("Yah"));
        rig.editor->defaultExtensionChanged(QStringLiteral(".n"));
        QCOMPARE(rig.settings.writes,
                 (QStringList{QStringLiteral("Throttle=3"), QStringLiteral("Throttle=35"),
                              QStringLiteral("DefaultSearch=Yah"), QStringLiteral("DefaultExt=.n")}));
        QCOMPARE(rig.state->preferences().defaultExtension(), QStringLiteral(".n"));
    }

    void defaultExtensionRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QString() << QStringLiteral(".com");
        QTest::newRow("blanks") << QStringLiteral("  ") << QStringLiteral(".com");
        QTest::newRow("no dot") << QStringLiteral("org") << QStringLiteral(".org");
        QTest::newRow("with dot") << QStringLiteral(".net") << QStringLiteral(".net");
        QTest::newRow("inner dot kept") << QStringLiteral("co.uk") << QStringLiteral("co.uk");
    }
    void defaultExtensionRule()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        Rig rig(kUsualRows);
        QCOMPARE(rig.editor->defaultExtensionLeft(typed), expected);
        QCOMPARE(rig.state->preferences().defaultExtension(), expected);
        QCOMPARE(rig.settings.value(config::keys::DefaultExt), expected);

        // Closing the window takes the field as leaving it does.
        rig.state->preferences().defaultExtension().clear();
        QCOMPARE(rig.editor->windowClosing(typed), expected);
        QCOMPARE(rig.state->preferences().defaultExtension(), expected);
    }

    // Skipped rows -----------------------------------------------------------------------

    void skippedRowsAreNamed()
    {
        Rig rig({QStringLiteral("com|w|43|Enabled|25|x"), QStringLiteral("bad|w|forty|Enabled|25|x"),
                 QStringLiteral("short|w|43"), QStringLiteral("de|w|43|Enabled|25|x")});
        QCOMPARE(rig.editor->list().rowCount(), 4); // the list shows every row of the file
        QCOMPARE(rig.state->table().size(), 2);
        QCOMPARE(
            rig.editor->skippedRowsText(),
            QStringLiteral("2 rows of TLDs.txt could not be read and are not used: line 2 (the port is not a "
                           "whole number), line 3 (fewer than six fields)."));

        // Mending the row through the editor clears the line.
        config::TldFields fields = *rig.editor->rowClicked(1);
        fields.port = QStringLiteral("43");
        QVERIFY(rig.editor->addSave(fields).has_value());
        QVERIFY(rig.editor->skippedRowsText().contains(
            QLatin1String("1 row of TLDs.txt could not be read and is not used: line 3")));
    }

    void skippedRowsNoticeNamesTheFirstTen()
    {
        QCOMPARE(config::skippedRowsNotice({}), QString());
        QList<core::SkippedRow> skipped;
        for (int i = 1; i <= 12; ++i)
            skipped.append({i, QStringLiteral("x"), QStringLiteral("r")});
        const QString text = config::skippedRowsNotice(skipped);
        QVERIFY(text.startsWith(
            QLatin1String("12 rows of TLDs.txt could not be read and are not used: line 1 (r)")));
        QVERIFY(text.contains(QLatin1String("line 10 (r)")));
        QVERIFY(!text.contains(QLatin1String("line 11")));
        QVERIFY(text.endsWith(QLatin1String(" and 2 more.")));
    }

    // The registrar test over a scripted connection ----------------------------------------

    void testName_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("testName");
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("Google and com") << QStringLiteral("Google") << QStringLiteral("com")
                                        << QStringLiteral("Google.com") << QByteArray("Google.com\r\n");
        QTest::newRow("field ending in a dot")
            << QStringLiteral("Google.") << QStringLiteral("com") << QStringLiteral("Google.com")
            << QByteArray("Google.com\r\n");
        QTest::newRow("escapes decoded, then cleaned")
            << QStringLiteral("My%20Site") << QStringLiteral("com") << QStringLiteral("My%20Site.com")
            << QByteArray("MySite.com\r\n");
        QTest::newRow("punctuation removed") << QStringLiteral("it's") << QStringLiteral("de")
                                             << QStringLiteral("it's.de") << QByteArray("its.de\r\n");
    }
    void testName()
    {
        QFETCH(QString, field);
        QFETCH(QString, extension);
        QFETCH(QString, testName);
        QFETCH(QByteArray, request);
        Rig rig(kUsualRows);
        QVERIFY(rig.editor->testRow(rig.rowOf(extension), field, [] { return QStringLiteral("No match"); }));
        QCOMPARE(rig.editor->testName(), testName);
        QCOMPARE(rig.connection->opens.size(), 1);
        const int row = core::findTLD(rig.state->table(), QString::fromLatin1(request.chopped(2)), false);
        QCOMPARE(rig.connection->opens[0].host, rig.state->table().at(row).server);
        rig.connection->peerAccept();
        QCOMPARE(rig.connection->sent, request);
    }

    void testUsesTheProxyRowInProxyMode()
    {
        Rig rig(kUsualRows);
        (void)rig.state->preferences().setUseProxy(true);
        QVERIFY(
            rig.editor->testRow(rig.rowOf(QStringLiteral("de")), QStringLiteral("Google"), [] { return S; }));
        QCOMPARE(rig.connection->opens[0].host, QStringLiteral("127.0.0.1"));
        QCOMPARE(rig.connection->opens[0].port, quint16(4343));
        rig.connection->peerAccept();
        QCOMPARE(rig.connection->sent, QByteArray("Google.de\r\n")); // the name itself is unchanged
    }

    void testWithoutARowDoesNothing()
    {
        Rig rig(kUsualRows);
        QVERIFY(!rig.editor->testRow(-1, QStringLiteral("Google"), [] { return S; }));
        QVERIFY(rig.connection->opens.isEmpty());
        QVERIFY(rig.notice.messages.isEmpty());
    }

    void testNameThatNoRowServes()
    {
        // The selected row is one the loader skipped, so no row of the table serves its names.
        Rig rig({QStringLiteral("co.uk|w|43|Enabled|25|x"), QStringLiteral("bad|w|forty|Enabled|25|x")});
        QVERIFY(!rig.editor->testRow(1, QStringLiteral("a.b"), [] { return S; }));
        QVERIFY(rig.connection->opens.isEmpty());
        QCOMPARE(rig.notice.messages.size(), 1);
    }

    void testTimesOutAtTheFifthTick()
    {
        Rig rig(kUsualRows);
        QVERIFY(rig.editor->testRow(0, QStringLiteral("Google"), [] { return S; }));
        rig.scheduler.advance(4000);
        QVERIFY(rig.notice.messages.isEmpty());
        QVERIFY(rig.editor->registrarProbe().isRunning());
        rig.scheduler.advance(1000);
        QCOMPARE(rig.messageTexts(), QStringList{QStringLiteral("Connection timed out")});
        QVERIFY(!rig.editor->registrarProbe().isRunning());
        QVERIFY(!rig.connection->isOpen());
        rig.scheduler.advance(20000);
        QCOMPARE(rig.notice.messages.size(), 1);
    }

    void timeOutCountsFromTheConnection()
    {
        Rig rig(kUsualRows);
        QVERIFY(rig.editor->testRow(0, QStringLiteral("Google"), [] { return S; }));
        rig.scheduler.advance(3000);
        rig.connection->peerAccept();
        rig.connection->peerSend("partial answer");
        rig.scheduler.advance(4999);
        QVERIFY(rig.notice.messages.isEmpty());
        rig.scheduler.advance(1);
        QCOMPARE(rig.messageTexts(), QStringList{QStringLiteral("Connection timed out")});
    }

    void refusedConnectionEndsInTheTimeOut()
    {
        Rig rig(kUsualRows);
        QVERIFY(rig.editor->testRow(0, QStringLiteral("Google"), [] { return S; }));
        rig.connection->peerFail();
        QVERIFY(rig.notice.messages.isEmpty());
        rig.scheduler.advance(5000);
        QCOMPARE(rig.messageTexts(), QStringList{QStringLiteral("Connection timed out")});
    }

    void failedSendEndsQuietly()
    {
        Rig rig(kUsualRows);
        QVERIFY(rig.editor->testRow(0, QStringLiteral("Google"), [] { return S; }));
        rig.connection->failSends = true;
        rig.connection->peerAccept();
        QVERIFY(!rig.connection->isOpen());
        QVERIFY(!rig.editor->registrarProbe().isRunning());
        rig.scheduler.advance(30000);
        QVERIFY(rig.notice.messages.isEmpty());
    }

    void answerIsJudgedWithTheSuccessBoxNow()
    {
        Rig rig(kUsualRows);
        QString box = QStringLiteral("No match");
        QVERIFY(rig.editor->testRow(0, QStringLiteral("Google"), [&box] { return box; }));
        rig.connection->peerAccept();
        rig.connection->peerSend("Domain not found, status: free\r\n");
        box = QStringLiteral("status: free"); // edited while the test runs
        rig.connection->peerClose();
        QCOMPARE(rig.notice.messages.size(), 1);
        QCOMPARE(
            rig.notice.messages[0].text,
            QStringLiteral("Appears to be: AVAILABLE\r\nSuccess word: status: free\r\nDomain: Google.com\r\n"
                           "whois.example:43\r\n\r\nDomain not found, status: free\r\n"));
        QVERIFY(!rig.editor->registrarProbe().isRunning());
        rig.scheduler.advance(10000);
        QCOMPARE(rig.notice.messages.size(), 1);
    }

    void newTestAbandonsThePrevious()
    {
        Rig rig(kUsualRows);
        QVERIFY(rig.editor->testRow(0, QStringLiteral("first"), [] { return S; }));
        rig.connection->peerAccept();
        rig.scheduler.advance(3000);
        QVERIFY(rig.editor->testRow(1, QStringLiteral("second"), [] { return S; }));
        QCOMPARE(rig.connection->opens.size(), 2);
        QCOMPARE(rig.connection->opens[1].host, QStringLiteral("whois.denic.example"));
        rig.scheduler.advance(4000); // the first test's fifth tick would have come by now
        QVERIFY(rig.notice.messages.isEmpty());
        rig.connection->peerAccept();
        QCOMPARE(rig.connection->sends.last(), QByteArray("second.de\r\n"));
        rig.connection->peerSend("Domain: second.de\r\n");
        rig.connection->peerClose();
        QCOMPARE(rig.notice.messages.size(), 1);
        QVERIFY(rig.notice.messages[0].text.startsWith(QLatin1String(
            "Appears to be: Registered\r\nDomain: second.de\r\nwhois.denic.example:43\r\n\r\n")));
    }
};

QTEST_GUILESS_MAIN(TestTldEditor)
#include "tst_tldeditor.moc"
