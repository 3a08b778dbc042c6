// The windows over the answer store, offscreen on real stores in temporary folders: the
// Watch window's sorting, marking and editing, the export dialog writing files that read back,
// the WHOIS window showing a stored answer, and all of them without a store.
#include "FakeNotice.h"
#include "FakePorts.h"
#include "FakeScheduler.h"
#include "FakeWhoisServer.h"
#include "TestFolder.h"
#include "config/AppState.h"
#include "config/SettingsKeys.h"
#include "config/WatchMonitor.h"
#include "core/base/Timing.h"
#include "core/lists/ResultLists.h"
#include "core/store/AnswerStore.h"
#include "core/tld/TldTable.h"
#include "platform/IniSettingsStore.h"
#include "ui/DesktopPorts.h"
#include "ui/ExportDialog.h"
#include "ui/MainWindow.h"
#include "ui/ResultListsView.h"
#include "ui/StoreCommands.h"
#include "ui/WatchWindow.h"
#include "ui/WhoisWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace wendlecott;
using core::LookupVerdict;
using ui::WatchWindow;

using wendlecott::testing::FakeWhoisServer;

namespace {

const QDateTime kNow(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC);

store::StoredAnswer answer(const QString &name, LookupVerdict verdict, int expiresIn = 0,
                           const QStringList &statuses = {}, int answeredDaysAgo = 1)
{
    store::StoredAnswer a;
    a.name = name;
    a.verdict = verdict;
    a.protocol = QStringLiteral("whois");
    a.server = QStringLiteral("whois.example:43");
    a.rule = QStringLiteral("no-success-word");
    a.answeredAt = kNow.addDays(-answeredDaysAgo);
    if (expiresIn != 0)
        a.details.expires = kNow.addDays(expiresIn);
    a.details.statuses = statuses;
    a.answer = QStringLiteral("Domain Name: %1\r\nRegistrar: Example, Inc.\r\n").arg(name.toUpper());
    return a;
}

struct Store {
    Store()
    {
        store::StoreOpening report;
        answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
        if (!answers)
            qFatal("no store: %s", qPrintable(report.problem.message()));
    }
    void record(const store::StoredAnswer &a) { QVERIFY(answers->record(a).ok()); }

    testing::TestFolder folder;
    std::unique_ptr<store::AnswerStore> answers;
};

// A watch list of four names: far from expiry, near it, never expiring (available), and in
// its redemption period.
void fillWatchList(Store &s)
{
    s.record(answer(QStringLiteral("alpha.com"), LookupVerdict::Registered, 200));
    s.record(answer(QStringLiteral("bravo.com"), LookupVerdict::Registered, 10));
    s.record(answer(QStringLiteral("charlie.com"), LookupVerdict::Available));
    s.record(answer(QStringLiteral("delta.com"), LookupVerdict::Registered, 100,
                    {QStringLiteral("redemptionPeriod https://icann.org/epp#redemptionPeriod")}));
    QVERIFY(s.answers
                ->watchAdd({QStringLiteral("delta.com"), QStringLiteral("charlie.com"),
                            QStringLiteral("alpha.com"), QStringLiteral("bravo.com")})
                .ok());
}

// The main window over a program folder of its own, started again as the user would.
struct Program {
    Program()
    {
        platform::IniSettingsStore settings(folder.file(QStringLiteral("settings")));
        (void)config::writeSetting(settings, config::keys::FirstUse, QStringLiteral("NO"));
        (void)config::writeSetting(settings, config::keys::ShowHelp, QStringLiteral("0"));
        start();
    }
    void start()
    {
        window.reset();
        state.reset();
        config::AppPorts ports;
        ports.notice = std::make_unique<testing::FakeNotice>();
        ports.opener = std::make_unique<testing::FakeOpener>();
        ports.clipboard = std::make_unique<testing::FakeClipboard>();
        state = std::make_unique<config::AppState>(
            config::ProgramFolder(folder.path()),
            ui::desktopPorts(std::move(ports), folder.file(QStringLiteral("settings"))));
        window = std::make_unique<ui::MainWindow>(*state);
    }
    template <typename T> T *find(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }

    testing::TestFolder folder;
    std::unique_ptr<config::AppState> state;
    std::unique_ptr<ui::MainWindow> window;
};

QStringList names(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *name : list)
        out << QString::fromLatin1(name);
    return out;
}

} // namespace

class TestStoreWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void watchWindowSortsByWhatColumnsMean()
    {
        Store s;
        fillWatchList(s);
        WatchWindow window(s.answers.get());
        window.setClock([] { return kNow; });
        window.refresh();
        QCOMPARE(window.columnTexts(WatchWindow::Name),
                 names({"alpha.com", "bravo.com", "charlie.com", "delta.com"}));
        // Days as numbers (10 before 100), the name without an expiry after the others.
        window.table()->sortByColumn(WatchWindow::DaysLeft, Qt::AscendingOrder);
        QCOMPARE(window.columnTexts(WatchWindow::Name),
                 names({"bravo.com", "delta.com", "alpha.com", "charlie.com"}));
        QCOMPARE(window.columnTexts(WatchWindow::DaysLeft), names({"10", "100", "200", ""}));
        window.table()->sortByColumn(WatchWindow::Expires, Qt::AscendingOrder);
        QCOMPARE(window.columnTexts(WatchWindow::Expires),
                 names({"2026-06-11", "2026-09-09", "2026-12-18", ""}));
        window.table()->sortByColumn(WatchWindow::Verdict, Qt::DescendingOrder);
        QCOMPARE(window.columnTexts(WatchWindow::Verdict).first(), QStringLiteral("Registered"));
    }

    void watchWindowMarksWhatWantsAttention()
    {
        Store s;
        fillWatchList(s);
        WatchWindow window(s.answers.get());
        window.setClock([] { return kNow; });
        window.refresh();
        QHash<QString, QString> reasons;
        const QAbstractItemModel *model = window.table()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < WatchWindow::ColumnCount; ++column) {
                const QModelIndex cell = model->index(row, column);
                // The whole row is marked, never a part of it.
                QCOMPARE(cell.data(WatchWindow::kMarkedRole).toBool(),
                         model->index(row, 0).data(WatchWindow::kMarkedRole).toBool());
            }
            if (model->index(row, 0).data(WatchWindow::kMarkedRole).toBool())
                reasons.insert(model->index(row, 0).data().toString(),
                               model->index(row, 0).data(Qt::ToolTipRole).toString());
        }
        QCOMPARE(reasons.size(), 2);
        QCOMPARE(reasons.value(QStringLiteral("bravo.com")), QStringLiteral("Expires in 10 days"));
        QCOMPARE(reasons.value(QStringLiteral("delta.com")), QStringLiteral("redemptionPeriod"));
        QVERIFY(model->index(0, 0).data(Qt::BackgroundRole).isNull()); // alpha.com stays plain
    }

    void watchWindowAddsAndRemoves()
    {
        Store s;
        fillWatchList(s);
        WatchWindow window(s.answers.get());
        window.refresh();
        window.table()->selectRow(0); // alpha.com
        window.table()->selectionModel()->select(window.table()->model()->index(2, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(window.removeSelected().ok());
        QCOMPARE(s.answers->watchedNames().value(), names({"delta.com", "bravo.com"}));
        QCOMPARE(window.columnTexts(WatchWindow::Name), names({"bravo.com", "delta.com"}));
        // Names typed in a row, separated any way; case does not matter.
        auto *edit = window.findChild<QLineEdit *>(QStringLiteral("txtWatchName"));
        edit->setText(QStringLiteral(" Echo.com, foxtrot.net;alpha.com "));
        window.findChild<QPushButton *>(QStringLiteral("cmdWatchAdd"))->click();
        QVERIFY(edit->text().isEmpty());
        QCOMPARE(window.columnTexts(WatchWindow::Name),
                 names({"alpha.com", "bravo.com", "delta.com", "echo.com", "foxtrot.net"}));
        // A name never answered has only its name.
        QCOMPARE(window.columnTexts(WatchWindow::LastChecked).at(3), QString());
    }

    void exportWritesFilesThatReadBack()
    {
        Store s;
        s.record(answer(QStringLiteral("old.com"), LookupVerdict::Registered, 50, {}, 40));
        s.record(answer(QStringLiteral("comma,\"quote\".com"), LookupVerdict::Registered, 60));
        s.record(answer(QStringLiteral("free.com"), LookupVerdict::Available));
        ui::ExportDialog dialog(s.answers.get(), s.folder.path());
        dialog.show();
        QCOMPARE(dialog.path(), s.folder.file(QStringLiteral("answers.csv")));
        dialog.verdictBox()->setCurrentIndex(dialog.verdictBox()->findData(QStringLiteral("registered")));
        QVERIFY(dialog.exportNow().ok());
        QVERIFY(!dialog.isVisible());
        const QList<QByteArray> lines = s.folder.read(QStringLiteral("answers.csv")).split('\n');
        QVERIFY(lines.first().startsWith("name,verdict,answered_at,expires,"));
        QCOMPARE(lines.size(), 4); // header, two names, the empty piece after the last line end
        QVERIFY(lines.at(1).startsWith("\"comma,\"\"quote\"\".com\",registered,"));
        QVERIFY(lines.at(2).startsWith("old.com,registered,2026-04-22T12:00:00Z,2026-07-21T12:00:00Z,"));

        // JSON, every verdict, answers from a day on: the file name follows the format.
        ui::ExportDialog json(s.answers.get(), s.folder.path());
        json.formatBox()->setCurrentIndex(json.formatBox()->findData(QStringLiteral("json")));
        QCOMPARE(json.path(), s.folder.file(QStringLiteral("answers.json")));
        json.sinceBox()->setChecked(true);
        json.sinceEdit()->setDate(kNow.date().addDays(-30));
        QVERIFY(json.exportNow().ok());
        const QJsonArray objects =
            QJsonDocument::fromJson(s.folder.read(QStringLiteral("answers.json"))).array();
        QCOMPARE(objects.size(), 2);
        QCOMPARE(objects.at(0).toObject().value(QStringLiteral("name")).toString(),
                 QStringLiteral("comma,\"quote\".com"));
        QCOMPARE(objects.at(1).toObject().value(QStringLiteral("verdict")).toString(),
                 QStringLiteral("available"));
    }

    void exportFailuresAreShownAndKeepTheDialog()
    {
        Store s;
        s.record(answer(QStringLiteral("a.com"), LookupVerdict::Registered));
        ui::ExportDialog dialog(s.answers.get(), s.folder.path());
        dialog.show();
        const QString nowhere = s.folder.file(QStringLiteral("no/such/folder/out.csv"));
        dialog.pathEdit()->setText(nowhere);
        const core::Status failed = dialog.exportNow();
        QVERIFY(!failed.ok());
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.problemText().contains(QDir::toNativeSeparators(nowhere)));
        QVERIFY(!QFileInfo::exists(nowhere));

        // No file yet: the save-file dialog is asked; cancelling it writes nothing.
        int asked = 0;
        dialog.setSaveFileDialog([&asked](QWidget *, const QString &, const QString &filter) {
            ++asked;
            return filter.contains(QLatin1String("*.csv")) ? QString() : QStringLiteral("wrong filter");
        });
        dialog.pathEdit()->clear();
        QCOMPARE(dialog.exportNow().code(), core::ErrorCode::Cancelled);
        QCOMPARE(asked, 1);
        QVERIFY(dialog.isVisible());
    }

    void withoutStoreEverythingSaysWhy()
    {
        WatchWindow watch(nullptr);
        for (const char *name : {"cmdWatchAdd", "cmdWatchRemove", "cmdWatchCheck"}) {
            auto *button = watch.findChild<QPushButton *>(QLatin1String(name));
            QVERIFY(!button->isEnabled());
            QVERIFY(!button->toolTip().isEmpty());
        }
        watch.setCheckNow([] { return true; });
        QVERIFY(!watch.findChild<QPushButton *>(QStringLiteral("cmdWatchCheck"))->isEnabled());
        QVERIFY(watch.addNames(QStringLiteral("a.com")).ok()); // nothing to do, nothing broken

        testing::TestFolder folder;
        ui::ExportDialog dialog(nullptr, folder.path());
        QVERIFY(!dialog.exportButton()->isEnabled());
        QVERIFY(!dialog.exportButton()->toolTip().isEmpty());
        QVERIFY(!dialog.exportNow().ok());
        QVERIFY(!folder.exists(QStringLiteral("answers.csv")));
    }

    // After a restart the store still holds the answer of a listed name: "Show answer"
    // shows that answer, "Watch" puts the name on the watch list that Tools opens, and File
    // opens the export.
    void theMainWindowReachesTheStoreAfterARestart()
    {
        // The watch check asks a whois server of the test's own: the name has freed up.
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("kept.com"), "No match for \"KEPT.COM\".\r\n");
        Program p;
        p.folder.write(QStringLiteral("TLDs.txt"),
                       QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\n").arg(server.port()).toUtf8());
        QVERIFY(p.state->answerStore());
        QVERIFY(p.state->answerStore()
                    ->record(answer(QStringLiteral("kept.com"), LookupVerdict::Registered, 90))
                    .ok());
        p.start();
        p.state->lists().model(core::ListId::Registered)->append({QStringLiteral("kept.com")});
        ui::ResultListsView *lists = p.window->resultListsView();
        QMenu *menu = lists->entryMenu(core::ListId::Registered, 0, p.window.get());
        menu->findChild<QAction *>(QStringLiteral("mnuShowAnswer"))->trigger();
        menu->findChild<QAction *>(QStringLiteral("mnuWatchEntry"))->trigger();
        delete menu;
        auto *whois = p.find<ui::WhoisWindow>("frmWhois");
        QVERIFY(whois);
        QVERIFY(whois->shownText().startsWith(QStringLiteral("Domain Name: KEPT.COM")));
        QCOMPARE(p.state->answerStore()->watchedNames().value(), QStringList{QStringLiteral("kept.com")});

        QAction *watchList = p.window->findChild<QAction *>(QStringLiteral("mnuWatchList"));
        QVERIFY(watchList->isEnabled());
        watchList->trigger();
        auto *watch = p.find<WatchWindow>("frmWatch");
        QVERIFY(watch && watch->isVisible());
        QCOMPARE(watch->columnTexts(WatchWindow::Name), QStringList{QStringLiteral("kept.com")});
        // A check tells the window when it is done; the change it finds goes to the notifier.
        config::WatchMonitor &monitor = p.window->storeCommands()->monitor();
        QVERIFY(monitor.isScheduled());
        QSignalSpy changes(&monitor, &config::WatchMonitor::nameChanged);
        QVERIFY(monitor.checkNow());
        QTRY_VERIFY(!monitor.isChecking());
        QCOMPARE(server.rawRequests(), QList<QByteArray>{QByteArray("kept.com\r\n")});
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first().at(1).value<store::WatchChange>(), store::WatchChange::BecameAvailable);

        p.window->findChild<QAction *>(QStringLiteral("mnuExportAnswers"))->trigger();
        QVERIFY(p.find<ui::ExportDialog>("frmExport"));
    }

    // The stored answer is shown as it was kept, with when and where it came from; asking
    // anew is one click away.
    void whoisWindowShowsAStoredAnswer()
    {
        testing::FakeScheduler scheduler;
        core::TldTable table;
        ui::WhoisWindow window(QStringLiteral("kept.com"), table, false, {}, scheduler, core::Timing{});
        store::StoredAnswer kept = answer(QStringLiteral("kept.com"), LookupVerdict::Registered, 30);
        window.showStored(kept);
        QVERIFY(window.isFinished());
        QCOMPARE(window.shownText(), QStringLiteral("Domain Name: KEPT.COM\nRegistrar: Example, Inc.\n"));
        QVERIFY(window.evidenceText().startsWith(
            QStringLiteral("Registered (no-success-word) from whois.example:43")));
        QVERIFY(window.evidenceText().endsWith(QStringLiteral("stored answer of 2026-05-31 12:00:00 UTC")));
        QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("cmdAskAgain"))->isHidden());
        kept.answer.clear();
        window.showStored(kept);
        QVERIFY(!window.shownText().isEmpty()); // says that no text was kept
    }
};

QTEST_MAIN(TestStoreWindows)
#include "tst_ui_storewindows.moc"
