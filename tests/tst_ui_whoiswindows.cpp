#include "FakeConnection.h"
#include "FakeHttpClient.h"
#include "FakeScheduler.h"
#include "FakeWhoisServer.h"
#include "core/base/Timing.h"
#include "core/lookup/RdapBootstrap.h"
#include "core/tld/TldTable.h"
#include "core/tld/WhoisRequest.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"
#include "ui/BlockedNotice.h"
#include "ui/OverflowNotice.h"
#include "ui/QtUserNotice.h"
#include "ui/WhoisWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

using namespace wendlecott;
using testing::FakeWhoisServer;

Q_DECLARE_METATYPE(core::NoticeIcon)
Q_DECLARE_METATYPE(core::TldEntry)

namespace {

constexpr int kWaitMs = 10000; // bound of every wait on a real socket

core::TldEntry row(const QString &extension, const QString &server, quint16 port)
{
    core::TldEntry entry;
    entry.extension = extension;
    entry.server = server;
    entry.port = port;
    entry.enabled = true;
    entry.successWords = core::kStandardSuccessWords;
    return entry;
}

core::TldTable tableWith(QList<core::TldEntry> rows)
{
    core::TldTable table;
    table.rows = std::move(rows);
    return table;
}

const QString kLocalHost = QStringLiteral("127.0.0.1");

// A port on 127.0.0.1 where nothing listens: taken from a server that is closed again.
quint16 closedPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

// A factory of fake connections that tells the test which one the window got.
core::ConnectionFactory fakeFactory(testing::FakeConnection *&made)
{
    return [&made] {
        auto connection = std::make_unique<testing::FakeConnection>();
        made = connection.get();
        return connection;
    };
}

} // namespace

class TestWhoisWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setApplicationName(QStringLiteral("WendlecottTest"));
        QApplication::setApplicationDisplayName(QStringLiteral("WendlecottTest"));
    }

    void cleanup()
    {
        // Windows left by a failed test must not leak into the next one.
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->testAttribute(Qt::WA_DeleteOnClose))
                widget->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // --- the registrar-blocked notice ---

    void blockedNoticeHasItsCaptionAndTexts()
    {
        ui::BlockedNotice notice;
        QCOMPARE(notice.objectName(), QStringLiteral("frmBlocked"));
        QCOMPARE(notice.windowTitle(), QStringLiteral("Registrar blocked"));
        auto *label2 = notice.findChild<QLabel *>(QStringLiteral("Label2"));
        QVERIFY(label2);
        QCOMPARE(
            label2->text(),
            QStringLiteral("Your connections may be blocked by the following registar, or the registrar "
                           "might be timing out and causing slow searching.  Consider using throttling to "
                           "lower the amount of queries through the Setup menu or disable the TLD using "
                           "this registrar."));
        QStringList captions;
        for (const QLabel *label : notice.findChildren<QLabel *>())
            captions << label->text();
        QVERIFY(captions.contains(QStringLiteral("Registrar")));
        QVERIFY(captions.contains(QStringLiteral("Response:")));
        QVERIFY(captions.contains(QStringLiteral("Domain:")));
        auto *registrar = notice.findChild<QLineEdit *>(QStringLiteral("txtRegistrar"));
        auto *response = notice.findChild<QPlainTextEdit *>(QStringLiteral("txtResponse"));
        QVERIFY(registrar && response);
        QVERIFY(registrar->isReadOnly());
        QVERIFY(response->isReadOnly());
        QVERIFY(registrar->text().isEmpty());
        QVERIFY(response->toPlainText().isEmpty());
    }

    // The first refusal stays in the boxes with its domain; later ones are counted beneath.
    void blockedNoticeKeepsTheFirstAndCountsTheRest()
    {
        ui::BlockedNotice notice;
        auto *further = notice.findChild<QLabel *>(QStringLiteral("lblFurther"));
        QVERIFY(further);
        QVERIFY(further->isHidden());
        QVERIFY(notice.fill(QStringLiteral("whois.first.example"), QStringLiteral("quota exceeded\r\n"),
                            QStringLiteral("alpha.com")));
        QCOMPARE(notice.furtherCount(), 0);
        QVERIFY(!notice.fill(QStringLiteral("whois.second.example"), QStringLiteral("Connection Timed Out"),
                             QStringLiteral("bravo.net")));
        QCOMPARE(notice.findChild<QLineEdit *>(QStringLiteral("txtRegistrar"))->text(),
                 QStringLiteral("whois.first.example"));
        QCOMPARE(notice.findChild<QLineEdit *>(QStringLiteral("txtDomain"))->text(),
                 QStringLiteral("alpha.com"));
        QCOMPARE(notice.registrar(), QStringLiteral("whois.first.example"));
        QCOMPARE(notice.domain(), QStringLiteral("alpha.com"));
        QVERIFY(notice.response().startsWith(QStringLiteral("quota exceeded")));
        QVERIFY(!further->isHidden());
        QCOMPARE(further->text(), QStringLiteral("1 more refusal or time-out since this notice opened. The "
                                                 "latest: bravo.net at whois.second.example."));
        QVERIFY(!notice.fill(QStringLiteral("whois.third.example"), QStringLiteral("denied"), QString()));
        QCOMPARE(notice.furtherCount(), 2);
        QCOMPARE(further->text(), QStringLiteral("2 more refusals or time-outs since this notice opened. The "
                                                 "latest: whois.third.example."));
        QCOMPARE(notice.domain(), QStringLiteral("alpha.com"));
    }

    void blockedNoticeFilledWithoutServerStillKeepsItsAnswer()
    {
        ui::BlockedNotice notice;
        QVERIFY(notice.fill(QString(), QStringLiteral("first")));
        QVERIFY(!notice.fill(QStringLiteral("whois.late.example"), QStringLiteral("second")));
        QCOMPARE(notice.response(), QStringLiteral("first"));
    }

    void blockedResponseShowsMarkupLiterally_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("bold") << QStringLiteral("<b>bold</b>");
        QTest::newRow("html document") << QStringLiteral("<html><body><h1>Blocked</h1></body></html>");
        QTest::newRow("entity") << QStringLiteral("a &amp; b &lt;c&gt;");
        QTest::newRow("image") << QStringLiteral("<img src=\"http://127.0.0.1/x.png\">error");
    }
    void blockedResponseShowsMarkupLiterally()
    {
        QFETCH(QString, answer);
        ui::BlockedNotice notice;
        notice.fill(answer, answer);
        QCOMPARE(notice.findChild<QPlainTextEdit *>(QStringLiteral("txtResponse"))->toPlainText(), answer);
        QCOMPARE(notice.findChild<QLineEdit *>(QStringLiteral("txtRegistrar"))->text(), answer);
    }

    // --- the overflow notice ---

    void overflowNoticeHasItsCaptionTextAndButton()
    {
        ui::OverflowNotice form;
        QCOMPARE(form.objectName(), QStringLiteral("Form2"));
        QCOMPARE(form.windowTitle(), QStringLiteral("File backup"));
        const QString expected =
            QStringLiteral("One of your lists has reached 20000 entries.  They have been saved and cleared.  "
                           "You may find your backed up lists in the quillmere /overflow/ directory.");
        const auto labels = form.findChildren<QLabel *>();
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.first()->text(), expected);
        const auto buttons = form.findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.first()->text(), QStringLiteral("Ok"));

        form.show();
        QVERIFY(form.isVisible());
        QVERIFY(!form.isModal());
        buttons.first()->click();
        QVERIFY(!form.isVisible());
    }

    // --- the notice adapter ---

    void showMessageReturnsAtOnceWithTheBoxOpen_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<core::NoticeIcon>("icon");
        QTest::addColumn<QString>("expectedTitle");
        QTest::addColumn<int>("expectedIcon");
        QTest::newRow("error box") << QStringLiteral("Error") << core::NoticeIcon::Critical
                                   << QStringLiteral("Error") << int(QMessageBox::Critical);
        QTest::newRow("default title") << QString() << core::NoticeIcon::Information
                                       << QStringLiteral("WendlecottTest") << int(QMessageBox::Information);
        QTest::newRow("warning") << QStringLiteral("Setup") << core::NoticeIcon::Warning
                                 << QStringLiteral("Setup") << int(QMessageBox::Warning);
        QTest::newRow("no icon") << QStringLiteral("Note") << core::NoticeIcon::None << QStringLiteral("Note")
                                 << int(QMessageBox::NoIcon);
    }
    void showMessageReturnsAtOnceWithTheBoxOpen()
    {
        QFETCH(QString, title);
        QFETCH(core::NoticeIcon, icon);
        QFETCH(QString, expectedTitle);
        QFETCH(int, expectedIcon);

        ui::QtUserNotice notice;
        const QString text = QStringLiteral("File C:\\<b>lists</b>\\x.txt not found.");
        // A nested event loop would not return here until the box is answered; the test would hang.
        notice.showMessage(title, text, icon);
        QPointer<QMessageBox> box = notice.lastMessageBox();
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowTitle(), expectedTitle);
        QCOMPARE(box->text(), text);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(int(box->icon()), expectedIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));

        box->button(QMessageBox::Ok)->click();
        QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), kWaitMs); // deleted once closed
    }

    void questionsShowTheirButtonsAndReturnTheAnswer()
    {
        ui::QtUserNotice notice;
        QMessageBox::StandardButtons seenButtons;
        QString seenTitle;
        QString seenText;
        QMessageBox::StandardButton reply = QMessageBox::Ok;
        notice.setQuestionHook([&](const QMessageBox &box) -> std::optional<QMessageBox::StandardButton> {
            seenButtons = box.standardButtons();
            seenTitle = box.windowTitle();
            seenText = box.text();
            return reply;
        });

        QVERIFY(notice.askOkCancel(QStringLiteral("Overwrite"), QStringLiteral("Replace the list?")));
        QCOMPARE(seenButtons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(seenTitle, QStringLiteral("Overwrite"));
        QCOMPARE(seenText, QStringLiteral("Replace the list?"));
        reply = QMessageBox::Cancel;
        QVERIFY(!notice.askOkCancel(QString(), QStringLiteral("Replace the list?")));
        QCOMPARE(seenTitle, QStringLiteral("WendlecottTest"));

        const QList<std::pair<QMessageBox::StandardButton, core::AbortRetryIgnore>> answers{
            {QMessageBox::Abort, core::AbortRetryIgnore::Abort},
            {QMessageBox::Retry, core::AbortRetryIgnore::Retry},
            {QMessageBox::Ignore, core::AbortRetryIgnore::Ignore},
        };
        for (const auto &[button, expected] : answers) {
            reply = button;
            QCOMPARE(notice.askAbortRetryIgnore(QStringLiteral("Error"), QStringLiteral("Disk full")),
                     expected);
            QCOMPARE(seenButtons, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        }
    }

    void questionWaitsForTheUsersClick()
    {
        ui::QtUserNotice notice;
        int attempts = 0;
        QTimer clicker;
        clicker.setInterval(5);
        connect(&clicker, &QTimer::timeout, this, [&] {
            if (++attempts > 2000) { // about ten seconds: give up rather than hang
                clicker.stop();
                if (QWidget *modal = QApplication::activeModalWidget())
                    modal->close();
                return;
            }
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (box && box->isVisible() && box->button(QMessageBox::Retry)) {
                    clicker.stop();
                    box->button(QMessageBox::Retry)->click();
                    return;
                }
            }
        });
        clicker.start();
        QCOMPARE(notice.askAbortRetryIgnore(QStringLiteral("Error"), QStringLiteral("Disk full")),
                 core::AbortRetryIgnore::Retry);
        QVERIFY(attempts <= 2000);
    }

    void blockedNoticeIsFilledOnlyWhileEmptyAndMadeAnewAfterClosing()
    {
        ui::QtUserNotice notice;
        QVERIFY(!notice.blockedWindow());

        notice.showBlocked(QStringLiteral("whois.one.example"), QStringLiteral("Your quota is exceeded"),
                           QStringLiteral("one.com"));
        QPointer<ui::BlockedNotice> first = notice.blockedWindow();
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QVERIFY(!first->isModal());
        QCOMPARE(first->windowModality(), Qt::NonModal);
        QCOMPARE(first->registrar(), QStringLiteral("whois.one.example"));

        notice.showBlocked(QStringLiteral("whois.two.example"), QStringLiteral("Connection Timed Out"),
                           QStringLiteral("two.com"));
        QCOMPARE(notice.blockedWindow(), first.data());
        QCOMPARE(first->registrar(), QStringLiteral("whois.one.example"));
        QCOMPARE(first->domain(), QStringLiteral("one.com"));
        QCOMPARE(first->furtherCount(), 1);
        QCOMPARE(first->response(), QStringLiteral("Your quota is exceeded"));

        first->close();
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), kWaitMs);
        QVERIFY(!notice.blockedWindow());

        notice.showBlocked(QStringLiteral("whois.two.example"), QStringLiteral("Connection Timed Out"),
                           QStringLiteral("two.com"));
        QVERIFY(notice.blockedWindow());
        QVERIFY(notice.blockedWindow()->isVisible());
        QCOMPARE(notice.blockedWindow()->domain(), QStringLiteral("two.com"));
        QCOMPARE(notice.blockedWindow()->furtherCount(), 0); // a new notice counts anew
        QCOMPARE(notice.blockedWindow()->registrar(), QStringLiteral("whois.two.example"));
        QCOMPARE(notice.blockedWindow()->response(), QStringLiteral("Connection Timed Out"));
    }

    // A window's notice: boxes over that window, the notice windows and the question hook
    // shared with the program's notice.
    void windowNoticeOpensOverItsWindow()
    {
        QWidget mainWindow;
        QWidget other(&mainWindow, Qt::Window);
        ui::QtUserNotice notice(&mainWindow);
        const QWidget *askedOver = nullptr;
        notice.setQuestionHook([&](const QMessageBox &box) -> std::optional<QMessageBox::StandardButton> {
            askedOver = box.parentWidget();
            return QMessageBox::Ok;
        });
        std::unique_ptr<core::UserNotice> own = notice.noticeFor(&other);
        own->showMessage(QString(), QStringLiteral("about the other window"), core::NoticeIcon::None);
        QPointer<QMessageBox> box = other.findChild<QMessageBox *>();
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), &other);
        QVERIFY(!notice.lastMessageBox()); // not the main window's box
        QVERIFY(own->askOkCancel(QStringLiteral("Sure?"), QStringLiteral("Go on?")));
        QCOMPARE(askedOver, &other);

        own->showBlocked(QStringLiteral("whois.example"), QStringLiteral("denied"), QStringLiteral("a.com"));
        QVERIFY(notice.blockedWindow());
        QCOMPARE(notice.blockedWindow()->domain(), QStringLiteral("a.com"));
        QCOMPARE(notice.blockedWindow()->parentWidget(), &mainWindow);
        // A notice for a window of a window still shares the one blocked notice.
        notice.noticeFor(nullptr)->showBlocked(QStringLiteral("w"), QStringLiteral("x"),
                                               QStringLiteral("b.com"));
        QCOMPARE(notice.blockedWindow()->furtherCount(), 1);
        box->close();
    }

    void blockedNoticeIsPlacedInTheGivenArea_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("top right") << QRect(100, 50, 1000, 600) << QSize(460, 360) << QPoint(640, 50);
        QTest::newRow("area narrower than the notice")
            << QRect(100, 50, 300, 600) << QSize(460, 360) << QPoint(100, 50);
    }
    void blockedNoticeIsPlacedInTheGivenArea()
    {
        QFETCH(QRect, area);
        QFETCH(QSize, size);
        QFETCH(QPoint, expected);
        QCOMPARE(ui::QtUserNotice::placeAtTopRight(area, size), expected);

        ui::QtUserNotice notice;
        notice.setBlockedPlacement([area] { return area; });
        notice.showBlocked(QStringLiteral("w"), QStringLiteral("x"), QStringLiteral("a.com"));
        QCOMPARE(notice.blockedWindow()->pos(),
                 ui::QtUserNotice::placeAtTopRight(area, notice.blockedWindow()->size()));
    }

    void overflowNoticeShowsWithoutWaitingAndOnce()
    {
        ui::QtUserNotice notice;
        notice.showOverflowNotice();
        QPointer<ui::OverflowNotice> form = notice.overflowWindow();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("File backup"));
        notice.showOverflowNotice(); // a second overflow while it is open brings up the same notice
        QCOMPARE(notice.overflowWindow(), form.data());

        form->findChild<QPushButton *>()->click();
        QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), kWaitMs);
        QVERIFY(!notice.overflowWindow());
    }

    void noticeWindowsGoWithTheAdapter()
    {
        QPointer<ui::BlockedNotice> blocked;
        QPointer<ui::OverflowNotice> overflow;
        {
            ui::QtUserNotice notice;
            notice.showBlocked(QStringLiteral("whois.example"), QStringLiteral("error"),
                               QStringLiteral("x.com"));
            notice.showOverflowNotice();
            blocked = notice.blockedWindow();
            overflow = notice.overflowWindow();
        }
        QVERIFY(blocked.isNull());
        QVERIFY(overflow.isNull());
    }

    // --- the WHOIS window: the request ---

    void requestBytes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("plain") << QStringLiteral("example.com") << QByteArray("example.com\r\n");
        QTest::newRow("case kept") << QStringLiteral("Example.COM") << QByteArray("Example.COM\r\n");
        QTest::newRow("international") << QString::fromUtf8("b\xc3\xbc"
                                                            "cher.de")
                                       << QByteArray("xn--bcher-kva.de\r\n");
        QTest::newRow("no second line") << QStringLiteral("a.com\r\nb.com") << QByteArray("a.comb.com\r\n");
        QTest::newRow("empty") << QString() << QByteArray("\r\n");
    }
    void requestBytes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, request);
        QCOMPARE(core::whoisRequest(name), request);
    }

    // --- the WHOIS window against a local whois server ---

    void showsTheAnswerOfTheRowsServerAsPlainText()
    {
        FakeWhoisServer server;
        FakeWhoisServer fallback;
        QVERIFY(server.start());
        QVERIFY(fallback.start());
        const QByteArray answer = "Domain Name: EXAMPLE.TEST\r\n<b>bold</b> &amp; <i>more</i>\r\n"
                                  "Registrar: Example Registrar, Inc.\r\n";
        server.answer(QStringLiteral("example.test"), answer);

        platform::QtScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table =
            tableWith({row(QStringLiteral("com"), QStringLiteral("whois.invalid"), 43),
                       row(QStringLiteral("test"), kLocalHost, server.port())});
        ui::WhoisWindow window(QStringLiteral("example.test"), table, false,
                               platform::QtWhoisConnection::factory(), scheduler, timing);
        window.setFallbackServer({kLocalHost, fallback.port()});
        QCOMPARE(window.windowTitle(), QStringLiteral("WHOIS Information"));
        QCOMPARE(window.font().family(), QStringLiteral("Verdana"));
        auto *text1 = window.findChild<QPlainTextEdit *>(QStringLiteral("text1"));
        QVERIFY(text1);
        QVERIFY(text1->isReadOnly());

        window.askServer();
        window.show();
        QCOMPARE(window.server(), (core::WhoisServer{kLocalHost, server.port()}));
        QTRY_VERIFY_WITH_TIMEOUT(window.isFinished(), kWaitMs);
        QCOMPARE(text1->toPlainText(),
                 QStringLiteral("Domain Name: EXAMPLE.TEST\n<b>bold</b> &amp; <i>more</i>\n"
                                "Registrar: Example Registrar, Inc.\n"));
        QCOMPARE(server.rawRequests(), QList<QByteArray>{QByteArray("example.test\r\n")});
        QCOMPARE(fallback.connectionCount(), 0);
    }

    // Each answer the window gets is kept by its recorder (the answer store); a recorder
    // that cannot keep it is named on the evidence line, and the answer is still shown.
    void answersAreKeptByTheRecorder_data()
    {
        QTest::addColumn<bool>("keeps");
        QTest::newRow("kept") << true;
        QTest::newRow("write fails") << false;
    }

    void answersAreKeptByTheRecorder()
    {
        QFETCH(bool, keeps);
        struct Recorder final : core::AnswerRecorder {
            bool keeps = true;
            QList<core::LookupEvidence> kept;
            core::Status record(const core::LookupEvidence &evidence) override
            {
                kept.append(evidence);
                return keeps
                           ? core::Status()
                           : core::Status::failure(core::ErrorCode::WriteFailed, QStringLiteral("disk full"));
            }
            core::Status flush() override { return {}; }
            std::optional<core::LookupEvidence> reusableAnswer(const QString &, int,
                                                               const QDateTime &) override
            {
                return std::nullopt;
            }
        } recorder;
        recorder.keeps = keeps;
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("example.test"), "Domain Name: EXAMPLE.TEST\r\n");
        platform::QtScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table = tableWith({row(QStringLiteral("test"), kLocalHost, server.port())});
        ui::WhoisWindow window(QStringLiteral("example.test"), table, false,
                               platform::QtWhoisConnection::factory(), scheduler, timing);
        window.setRecorder(&recorder);
        window.askServer();
        QTRY_VERIFY_WITH_TIMEOUT(window.isFinished(), kWaitMs);
        QCOMPARE(recorder.kept.size(), 1);
        QCOMPARE(recorder.kept.first().name, QStringLiteral("example.test"));
        QCOMPARE(window.evidenceText().contains(QStringLiteral("not kept in the answer store: disk full")),
                 !keeps);
    }

    void answerInPiecesIsShownWhole()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        QByteArray answer;
        for (int i = 0; i < 40; ++i)
            answer += "line " + QByteArray::number(i) + " of the record\r\n";
        server.script(QStringLiteral("chunks.test"), {FakeWhoisServer::Mode::Chunked, answer, 50, 1});

        platform::QtScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table = tableWith({row(QStringLiteral("test"), kLocalHost, server.port())});
        ui::WhoisWindow window(QStringLiteral("chunks.test"), table, false,
                               platform::QtWhoisConnection::factory(), scheduler, timing);
        window.askServer();
        QTRY_VERIFY_WITH_TIMEOUT(window.isFinished(), kWaitMs);
        QCOMPARE(window.shownText(),
                 QString::fromLatin1(answer).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }

    void nameWithoutARowGoesToTheFallbackServer_data()
    {
        QTest::addColumn<QList<core::TldEntry>>("rows");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty table") << QList<core::TldEntry>{} << QStringLiteral("example.com");
        QTest::newRow("three labels, no row")
            << QList<core::TldEntry>{row(QStringLiteral("org"), QStringLiteral("whois.invalid"), 43)}
            << QStringLiteral("www.example.zz");
    }
    void nameWithoutARowGoesToTheFallbackServer()
    {
        QFETCH(QList<core::TldEntry>, rows);
        QFETCH(QString, name);
        FakeWhoisServer fallback;
        QVERIFY(fallback.start());
        fallback.answer(name, "No match for \"" + name.toUpper().toLatin1() + "\".\r\n");

        platform::QtScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table = tableWith(rows);
        ui::WhoisWindow window(name, table, false, platform::QtWhoisConnection::factory(), scheduler, timing);
        window.setFallbackServer({kLocalHost, fallback.port()});
        window.askServer();
        QTRY_VERIFY_WITH_TIMEOUT(window.isFinished(), kWaitMs);
        QCOMPARE(window.server(), (core::WhoisServer{kLocalHost, fallback.port()}));
        QCOMPARE(fallback.requests(), QList<QByteArray>{name.toLatin1()});
        QCOMPARE(window.shownText(), QStringLiteral("No match for \"%1\".\n").arg(name.toUpper()));
    }

    void proxyModeAsksTheProxyRowWithTheNameUnchanged()
    {
        FakeWhoisServer proxy;
        QVERIFY(proxy.start());
        platform::QtScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table =
            tableWith({row(QStringLiteral("de"), QStringLiteral("whois.invalid"), 43),
                       row(QStringLiteral("proxy"), kLocalHost, proxy.port())});
        ui::WhoisWindow window(QStringLiteral("example.de"), table, true,
                               platform::QtWhoisConnection::factory(), scheduler, timing);
        window.askServer();
        QTRY_VERIFY_WITH_TIMEOUT(window.isFinished(), kWaitMs);
        QCOMPARE(proxy.rawRequests(), QList<QByteArray>{QByteArray("example.de\r\n")});
    }

    void silentServerIsGivenUpWithALine()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({FakeWhoisServer::Mode::Silent, {}});
        platform::QtScheduler scheduler;
        core::Timing timing;
        timing.whoisViewerTimeoutMs = 200;
        const core::TldTable table = tableWith({row(QStringLiteral("net"), kLocalHost, server.port())});
        ui::WhoisWindow window(QStringLiteral("quiet.net"), table, false,
                               platform::QtWhoisConnection::factory(), scheduler, timing);
        window.askServer();
        QTRY_VERIFY_WITH_TIMEOUT(window.isFinished(), kWaitMs);
        QCOMPARE(window.shownText(),
                 QStringLiteral("No answer from 127.0.0.1:%1 after 0.2 seconds.").arg(server.port()));
        QCOMPARE(server.requests(), QList<QByteArray>{QByteArray("quiet.net")});
    }

    void refusedConnectionIsReported()
    {
        const quint16 port = closedPort();
        QVERIFY(port != 0);
        platform::QtScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table = tableWith({row(QStringLiteral("com"), kLocalHost, port)});
        ui::WhoisWindow window(QStringLiteral("refused.com"), table, false,
                               platform::QtWhoisConnection::factory(), scheduler, timing);
        window.askServer();
        QTRY_VERIFY_WITH_TIMEOUT(window.isFinished(), kWaitMs);
        QVERIFY2(window.shownText().startsWith(QStringLiteral("Could not connect to 127.0.0.1:%1").arg(port)),
                 qPrintable(window.shownText()));
    }

    void serverClosingWithoutAnswerIsSaidSo()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({FakeWhoisServer::Mode::CloseAtOnce, {}});
        platform::QtScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table = tableWith({row(QStringLiteral("com"), kLocalHost, server.port())});
        ui::WhoisWindow window(QStringLiteral("empty.com"), table, false,
                               platform::QtWhoisConnection::factory(), scheduler, timing);
        window.askServer();
        QTRY_VERIFY_WITH_TIMEOUT(window.isFinished(), kWaitMs);
        QCOMPARE(window.shownText(),
                 QStringLiteral("127.0.0.1:%1 closed the connection without an answer.").arg(server.port()));
    }

    void endlessAnswerIsCutAtOneMebibyte()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({FakeWhoisServer::Mode::Endless, {}});
        platform::QtScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table = tableWith({row(QStringLiteral("com"), kLocalHost, server.port())});
        ui::WhoisWindow window(QStringLiteral("flood.com"), table, false,
                               platform::QtWhoisConnection::factory(), scheduler, timing);
        window.askServer();
        QTRY_VERIFY_WITH_TIMEOUT(window.isFinished(), kWaitMs);
        const QString text = window.shownText();
        const QString status =
            QStringLiteral("127.0.0.1:%1 sent more than 1 MiB; the answer is cut off there.")
                .arg(server.port());
        QVERIFY(text.startsWith(status + QStringLiteral("\n\n")));
        QCOMPARE(text.size() - status.size() - 2, core::kMaxResponseBytes);
    }

    void replacingTheWindowShowsOnlyTheSecondAnswer()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.script(QStringLiteral("first.com"), {FakeWhoisServer::Mode::Silent, {}});
        server.answer(QStringLiteral("second.com"), "Domain Name: SECOND.COM\r\n");
        platform::QtScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table = tableWith({row(QStringLiteral("com"), kLocalHost, server.port())});

        QPointer<ui::WhoisWindow> current;
        QPointer<ui::WhoisWindow> first =
            ui::WhoisWindow::replaceAndShow(current, QStringLiteral("first.com"), table, false,
                                            platform::QtWhoisConnection::factory(), scheduler, timing);
        QVERIFY(first->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kWaitMs);

        QPointer<ui::WhoisWindow> second =
            ui::WhoisWindow::replaceAndShow(current, QStringLiteral("second.com"), table, false,
                                            platform::QtWhoisConnection::factory(), scheduler, timing);
        QCOMPARE(current.data(), second.data());
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(second->isFinished(), kWaitMs);
        QCOMPARE(second->shownText(), QStringLiteral("Domain Name: SECOND.COM\n"));
        QVERIFY(second->isVisible());
        second->close();
        QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), kWaitMs);
    }

    // --- the WHOIS window's timing and closing, with a scripted connection and clock ---

    void silenceLimitCountsFromOpening()
    {
        testing::FakeScheduler scheduler;
        testing::FakeConnection *connection = nullptr;
        const core::Timing timing; // 30 s
        const core::TldTable table =
            tableWith({row(QStringLiteral("net"), QStringLiteral("whois.example.net"), 43)});
        ui::WhoisWindow window(QStringLiteral("slow.net"), table, false, fakeFactory(connection), scheduler,
                               timing);
        window.askServer();
        QVERIFY(connection);
        QCOMPARE(connection->opens.size(), 1);
        QCOMPARE(connection->opens.first().host, QStringLiteral("whois.example.net"));
        connection->peerAccept();
        QCOMPARE(connection->sent, QByteArray("slow.net\r\n"));
        connection->peerSend("Domain Name: SLOW.NET\r\nRegis");

        scheduler.advance(29999);
        QVERIFY(!window.isFinished());
        QVERIFY(window.shownText().isEmpty());
        scheduler.advance(1);
        QVERIFY(window.isFinished());
        QCOMPARE(window.shownText(),
                 QStringLiteral("whois.example.net:43 did not finish its answer within 30 seconds; "
                                "this is what arrived:\n\nDomain Name: SLOW.NET\nRegis"));
        QVERIFY(!connection->isOpen());

        // Whatever the connection still reports afterwards changes nothing.
        connection->peerSend("trar: late\r\n");
        connection->peerClose();
        QVERIFY(window.shownText().endsWith(QStringLiteral("Regis")));
    }

    void brokenConnectionKeepsWhatArrived()
    {
        testing::FakeScheduler scheduler;
        testing::FakeConnection *connection = nullptr;
        const core::Timing timing;
        const core::TldTable table =
            tableWith({row(QStringLiteral("net"), QStringLiteral("whois.example.net"), 43)});
        ui::WhoisWindow window(QStringLiteral("broken.net"), table, false, fakeFactory(connection), scheduler,
                               timing);
        window.askServer();
        connection->peerAccept();
        connection->peerSend("Domain Name: BROKEN.NET\r\n");
        connection->peerFail(QStringLiteral("reset by peer"));
        QVERIFY(window.isFinished());
        QCOMPARE(window.shownText(),
                 QStringLiteral("The connection to whois.example.net:43 broke: reset by peer\n\n"
                                "Domain Name: BROKEN.NET\n"));
        QCOMPARE(scheduler.pendingCount(), std::size_t(0));
    }

    void utf8AnswerCutAtTheLimitStaysUtf8()
    {
        testing::FakeScheduler scheduler;
        testing::FakeConnection *connection = nullptr;
        const core::Timing timing;
        const core::TldTable table =
            tableWith({row(QStringLiteral("de"), QStringLiteral("whois.example.de"), 43)});
        ui::WhoisWindow window(QStringLiteral("big.de"), table, false, fakeFactory(connection), scheduler,
                               timing);
        window.askServer();
        connection->peerAccept();
        // "ü" is two bytes; an odd prefix puts the limit in the middle of one.
        QByteArray chunk = "x";
        while (chunk.size() <= core::kMaxResponseBytes)
            chunk += "\xc3\xbc";
        connection->peerSend(chunk);
        QVERIFY(window.isFinished());
        QVERIFY(!connection->isOpen());
        const qsizetype characters = (core::kMaxResponseBytes - 2) / 2;
        QCOMPARE(window.shownText(),
                 QStringLiteral("whois.example.de:43 sent more than 1 MiB; the answer is cut off "
                                "there.\n\nx") +
                     QString(characters, QChar(0xfc)));
    }

    void closingTheWindowClosesItsConnection()
    {
        testing::FakeScheduler scheduler;
        testing::FakeConnection *connection = nullptr;
        const core::Timing timing;
        const core::TldTable table =
            tableWith({row(QStringLiteral("com"), QStringLiteral("whois.example.com"), 43)});
        ui::WhoisWindow window(QStringLiteral("open.com"), table, false, fakeFactory(connection), scheduler,
                               timing);
        window.askServer();
        window.show();
        connection->peerAccept();
        QVERIFY(connection->isOpen());
        window.close();
        QVERIFY(!connection->isOpen());
        QCOMPARE(scheduler.pendingCount(), std::size_t(0)); // the silence limit is gone too
        QVERIFY(!window.isFinished());
    }

    // With RDAP chosen the window asks the registry's RDAP server and shows the JSON answer
    // indented, the verdict and its evidence above it; a name without RDAP goes over whois.
    void rdapAnswerWithItsEvidence()
    {
        testing::FakeScheduler scheduler;
        const core::Timing timing;
        const core::TldTable table =
            tableWith({row(QStringLiteral("de"), QStringLiteral("whois.de.test"), 43)});
        const core::RdapBootstrap bootstrap =
            core::RdapBootstrap::parse("{\"services\":[[[\"com\"],[\"https://rdap.test/v1/\"]]]}").value();
        testing::FakeHttpClient http;
        QList<testing::FakeConnection *> connections;
        ui::WhoisWindow window(
            QStringLiteral("taken.com"), table, false,
            [&connections] {
                auto made = std::make_unique<testing::FakeConnection>();
                connections.append(made.get());
                return made;
            },
            scheduler, timing);
        window.setLookup(core::LookupChoices::forPreference(true, false), {&bootstrap, &http, nullptr});
        window.askServer();
        QCOMPARE(http.requests.size(), 1);
        QCOMPARE(http.requests.first().url.toString(),
                 QStringLiteral("https://rdap.test/v1/domain/taken.com"));
        QVERIFY(!window.isFinished());
        scheduler.advance(42);
        http.last()->respond(200, "{\"objectClassName\":\"domain\",\"ldhName\":\"TAKEN.COM\"}");
        QVERIFY(window.isFinished());
        QVERIFY2(window.shownText().contains(QStringLiteral("\n    \"ldhName\": \"TAKEN.COM\"")),
                 qPrintable(window.shownText()));
        QCOMPARE(
            window.evidenceText(),
            QStringLiteral("Registered (domain-object) from https://rdap.test/v1/domain/taken.com over rdap, "
                           "HTTP 200, 50 bytes in 42 ms"));
        QVERIFY(connections.first()->opens.isEmpty());
        QCOMPARE(window.windowTitle(), QStringLiteral("WHOIS Information (RDAP)"));

        // The same window asked about a name whose extension has no RDAP service: whois.
        ui::WhoisWindow whois(
            QStringLiteral("frei.de"), table, false,
            [&connections] {
                auto made = std::make_unique<testing::FakeConnection>();
                connections.append(made.get());
                return made;
            },
            scheduler, timing);
        whois.setLookup(core::LookupChoices::forPreference(true, false), {&bootstrap, &http, nullptr});
        whois.askServer();
        testing::FakeConnection &connection = *connections.last();
        QCOMPARE(connection.opens.first().host, QStringLiteral("whois.de.test"));
        connection.peerAccept();
        connection.peerSend("Domain: frei.de\r\nStatus: free\r\n");
        connection.peerClose();
        QVERIFY(whois.isFinished());
        QVERIFY2(whois.evidenceText().startsWith(QStringLiteral("Available (")),
                 qPrintable(whois.evidenceText()));
        QCOMPARE(whois.shownText(), QStringLiteral("Domain: frei.de\nStatus: free\n"));
        QCOMPARE(whois.windowTitle(), QStringLiteral("WHOIS Information"));
    }

    // Esc closes the answer window and the blocked notice, as it closes a dialog.
    void escapeClosesTheWindows()
    {
        testing::FakeScheduler scheduler;
        const core::Timing timing;
        testing::FakeConnection *made = nullptr;
        const core::TldTable table = tableWith({row(QStringLiteral("test"), kLocalHost, 43)});
        ui::WhoisWindow whois(QStringLiteral("a.test"), table, false, fakeFactory(made), scheduler, timing);
        ui::BlockedNotice notice;
        for (QWidget *window : std::initializer_list<QWidget *>{&whois, &notice}) {
            window->show();
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            QTest::keyClick(window, Qt::Key_Escape);
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
        }
    }
};

QTEST_MAIN(TestWhoisWindows)
#include "tst_ui_whoiswindows.moc"
