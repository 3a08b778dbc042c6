// Registration details read from whois and RDAP answers: date formats row by row, the
// field rules at their edges, RDAP events, and the developers' corpus with the details its
// source expects (tests/data/whois/DETAILS.tsv), held to its expiry-date target.
#include "core/base/TextFile.h"
#include "core/lookup/DetailsTable.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/RegistrationDetails.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

using namespace wendlecott;
using core::RegistrationDetails;

namespace {

QString testData(const QString &relative)
{
    return QStringLiteral(WENDLECOTT_TESTDATA "/") + relative;
}

QString readAnswer(const QString &path)
{
    const core::Result<QString> text = core::readTextFile(path);
    return text ? text.value() : QString();
}

// The expected dates of DETAILS.tsv: "YYYY-MM-DD[ HH:MM[:SS]][ ZONE]" and ISO forms, read
// on their own so that the reader under test does not judge itself.
QDateTime expectedDate(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})(?:[ "
        "T](\\d{2}):(\\d{2})(?::(\\d{2}))?(?:\\.\\d+)?)?\\s*(Z|[A-Z]{3}|[+-]\\d{2}:?\\d{2})?$"));
    static const QMap<QString, int> zones{{QStringLiteral("GMT"), 0},
                                          {QStringLiteral("UTC"), 0},
                                          {QStringLiteral("EAT"), 3},
                                          {QStringLiteral("WAT"), 1}};
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    int offset = 0;
    const QString zone = m.captured(7);
    if (zone.startsWith(QLatin1Char('+')) || zone.startsWith(QLatin1Char('-'))) {
        const QString digits = zone.mid(1).remove(QLatin1Char(':'));
        offset = (digits.left(2).toInt() * 3600 + digits.mid(2).toInt() * 60) *
                 (zone.startsWith(QLatin1Char('-')) ? -1 : 1);
    } else if (!zone.isEmpty() && zone != QLatin1String("Z")) {
        if (!zones.contains(zone))
            return {};
        offset = zones.value(zone) * 3600;
    }
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    return QDateTime(date, time, Qt::OffsetFromUTC, offset).toUTC();
}

// Whether the answer holds a date's year (the day before or after too, as a zone may move a
// date across New Year).
bool answerHoldsYear(const QString &answer, const QDateTime &date)
{
    for (const int days : {-1, 0, 1}) {
        if (answer.contains(QString::number(date.addDays(days).date().year())))
            return true;
    }
    // Two-digit years ("16/09/14").
    return answer.contains(QString::number(date.date().year() % 100).rightJustified(2, QLatin1Char('0')));
}

struct DetailsRow {
    QString path;
    QString domain;
    QString tld;
    QString created;
    QString expires;
    QString updated;
    QString registrar;
    QString nameservers;
};

QList<DetailsRow> readDetailsRows()
{
    QList<DetailsRow> rows;
    const QStringList lines =
        readAnswer(testData(QStringLiteral("whois/DETAILS.tsv"))).split(QLatin1Char('\n'));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines.at(i).split(QLatin1Char('\t'));
        if (cells.size() < 7)
            continue;
        DetailsRow row{cells.at(0), cells.at(1), {},          cells.at(2),
                       cells.at(3), cells.at(4), cells.at(5), cells.at(6)};
        const QString folder = row.path.section(QLatin1Char('/'), 1, 1);
        row.tld = folder == QLatin1String("_host-level") ? row.domain.section(QLatin1Char('.'), 1) : folder;
        rows.append(row);
    }
    return rows;
}

QString iso(const QDateTime &date)
{
    return core::isoUtc(date);
}

// Prints how often the other details agree with DETAILS.tsv where it gives them; the source
// read some of them differently (zones, registrar names with or without a suffix), so these
// figures are for the record, not held to a target.
void reportOtherDetails()
{
    int counts[4] = {};
    int agree[4] = {};
    for (const DetailsRow &row : readDetailsRows()) {
        const RegistrationDetails got =
            core::whoisDetails(readAnswer(testData(QStringLiteral("whois/") + row.path)), row.tld);
        const auto sameDay = [](const QString &expected, const QDateTime &date) {
            return date.isValid() && date.date() == expectedDate(expected).date();
        };
        QStringList servers = row.nameservers.toLower().split(QLatin1Char(','), Qt::SkipEmptyParts);
        QStringList gotServers = got.nameservers;
        servers.sort();
        gotServers.sort();
        const bool given[4] = {!row.created.isEmpty() && expectedDate(row.created).isValid(),
                               !row.updated.isEmpty() && expectedDate(row.updated).isValid(),
                               !row.registrar.isEmpty(), !servers.isEmpty()};
        const bool same[4] = {sameDay(row.created, got.created), sameDay(row.updated, got.updated),
                              got.registrar.compare(row.registrar, Qt::CaseInsensitive) == 0,
                              servers == gotServers};
        for (int i = 0; i < 4; ++i) {
            counts[i] += given[i] ? 1 : 0;
            agree[i] += given[i] && same[i] ? 1 : 0;
        }
    }
    const char *names[4] = {"created", "updated", "registrar", "nameservers"};
    for (int i = 0; i < 4; ++i)
        qInfo().noquote() << QStringLiteral("%1 as expected: %2 of %3")
                                 .arg(QLatin1String(names[i]))
                                 .arg(agree[i])
                                 .arg(counts[i]);
}

} // namespace

class TestDetails : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void datesAreReadInTheFormatsRegistriesWrite_data();
    void datesAreReadInTheFormatsRegistriesWrite();
    void fieldsAreFoundUnderTheirNames_data();
    void fieldsAreFoundUnderTheirNames();
    void registryDateWinsOverRegistrarDateAndDomainOverContacts();
    void nameServersListedUnderTheirFieldAreRead();
    void rdapEventsRegistrarStatusAndNameServersAreRead_data();
    void rdapEventsRegistrarStatusAndNameServersAreRead();
    void onlyRegisteredAnswersGiveDetails();
    void jsonCarriesOnlyWhatWasFound();
    void isoTimesAreWrittenAsQtWritesThemInUtc();
    void corpusExpiryDatesAreRightToTheDay();
    void noAnswerOfTheCorpusGivesADateItDoesNotHold();
};

void TestDetails::datesAreReadInTheFormatsRegistriesWrite_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("tld");
    QTest::addColumn<QString>("expected"); // ISO in UTC, empty: left out

    QTest::newRow("iso-z") << "2020-09-14T04:00:00Z"
                           << "com"
                           << "2020-09-14T04:00:00Z";
    QTest::newRow("iso-fraction") << "2014-01-24T02:22:24.0Z"
                                  << "so"
                                  << "2014-01-24T02:22:24Z";
    QTest::newRow("iso-offset-no-colon") << "2020-09-13T21:00:00-0700"
                                         << "com"
                                         << "2020-09-14T04:00:00Z";
    QTest::newRow("iso-offset-hours") << "2013-12-04 00:00:00+02"
                                      << "ua"
                                      << "2013-12-03T22:00:00Z";
    QTest::newRow("iso-offset-colon") << "2013-01-13T15:45:18+01:00"
                                      << "fr"
                                      << "2013-01-13T14:45:18Z";
    QTest::newRow("date-only") << "2014-04-21"
                               << "it"
                               << "2014-04-21T00:00:00Z";
    QTest::newRow("format-note-after") << "2011-11-09 (YYYY-MM-DD)"
                                       << "tw"
                                       << "2011-11-09T00:00:00Z";
    QTest::newRow("zone-name") << "01 Jan 2015 00:00 EAT"
                               << "ke"
                               << "2014-12-31T21:00:00Z";
    QTest::newRow("zone-in-brackets") << "2013/06/01 01:05:07 (JST)"
                                      << "jp"
                                      << "2013-05-31T16:05:07Z";
    QTest::newRow("unknown-zone") << "2014-05-01 10:00 XYZ"
                                  << "com"
                                  << "";
    QTest::newRow("ambiguous-zone") << "2014-05-01 10:00 CST"
                                    << "com"
                                    << "";
    QTest::newRow("slashes-ymd") << "2015/04/28"
                                 << "ca"
                                 << "2015-04-28T00:00:00Z";
    QTest::newRow("dots-ymd-time") << "2014.10.14 09:29:47"
                                   << "pl"
                                   << "2014-10-14T09:29:47Z";
    QTest::newRow("spaced-ymd") << "2015. 03. 02."
                                << "kr"
                                << "2015-03-02T00:00:00Z";
    QTest::newRow("compact") << "19990518 #162310"
                             << "br"
                             << "1999-05-18T00:00:00Z";
    QTest::newRow("year-month-name") << "2014-Aug-22."
                                     << "tr"
                                     << "2014-08-22T00:00:00Z";
    QTest::newRow("day-month-name") << "14-Feb-2015"
                                    << "uk"
                                    << "2015-02-14T00:00:00Z";
    QTest::newRow("upper-month") << "13-MAY-2014"
                                 << "my"
                                 << "2014-05-13T00:00:00Z";
    QTest::newRow("full-month") << "21-March-2015"
                                << "ie"
                                << "2015-03-21T00:00:00Z";
    QTest::newRow("ordinal") << "28th April 2014"
                             << "fj"
                             << "2014-04-28T00:00:00Z";
    QTest::newRow("ordinal-comma") << "7th April, 2018"
                                   << "ug"
                                   << "2018-04-07T00:00:00Z";
    QTest::newRow("month-first-name") << "May 22 2014"
                                      << "is"
                                      << "2014-05-22T00:00:00Z";
    QTest::newRow("ctime") << "Sun Mar 30 23:59:00 2014"
                           << "kg"
                           << "2014-03-30T23:59:00Z";
    QTest::newRow("ctime-zone") << "Fri Apr 18 23:59:59 GMT 2014"
                                << "us"
                                << "2014-04-18T23:59:59Z";
    QTest::newRow("day-first") << "03/08/2014 23:59:52"
                               << "im"
                               << "2014-08-03T23:59:52Z";
    QTest::newRow("day-first-dots") << "21.6.2013"
                                    << "fi"
                                    << "2013-06-21T00:00:00Z";
    QTest::newRow("day-first-zone") << "30/06/2014 00:00:00 EEST"
                                    << "bg"
                                    << "2014-06-29T21:00:00Z";
    QTest::newRow("month-first-tk") << "03/02/2012"
                                    << "tk"
                                    << "2012-03-02T00:00:00Z";
    QTest::newRow("two-digit-year-es") << "16/09/14"
                                       << "es"
                                       << "2014-09-16T00:00:00Z";
    QTest::newRow("two-digit-year-elsewhere") << "16/09/14"
                                              << "com"
                                              << "";
    QTest::newRow("no-such-day") << "2014-02-30"
                                 << "com"
                                 << "";
    QTest::newRow("no-such-month") << "31-Foo-2014"
                                   << "com"
                                   << "";
    QTest::newRow("month-13-not-read-day-first") << "13/25/2014"
                                                 << "com"
                                                 << "";
    QTest::newRow("tk-day-over-12-not-reread") << "13/02/2012"
                                               << "tk"
                                               << "";
    QTest::newRow("words") << "in 30 days"
                           << "com"
                           << "";
    QTest::newRow("empty") << ""
                           << "com"
                           << "";
}

void TestDetails::datesAreReadInTheFormatsRegistriesWrite()
{
    QFETCH(QString, value);
    QFETCH(QString, tld);
    QFETCH(QString, expected);
    QCOMPARE(iso(core::DetailsTable::builtIn().readDate(value, tld)), expected);
}

void TestDetails::fieldsAreFoundUnderTheirNames_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("tld");
    QTest::addColumn<QString>("expires");
    QTest::addColumn<QString>("registrar");

    QTest::newRow("colon") << "Registry Expiry Date: 2018-03-15T04:00:00Z\nRegistrar: Example Inc.\n"
                           << "net"
                           << "2018-03-15T04:00:00Z"
                           << "Example Inc.";
    QTest::newRow("other-case-and-gaps")
        << "REGISTRY_EXPIRY-DATE: 2018-03-15T04:00:00Z\nREGISTRAR:\tExample Inc.\n"
        << "net"
        << "2018-03-15T04:00:00Z"
        << "Example Inc.";
    QTest::newRow("dotted-leader") << "Expires on..............: 2014-Aug-22."
                                   << "tr"
                                   << "2014-08-22T00:00:00Z"
                                   << "";
    QTest::newRow("brackets") << "[Expires on]                    2014/05/31"
                              << "jp"
                              << "2014-05-31T00:00:00Z"
                              << "";
    QTest::newRow("list-mark") << "d [Record Expired]              13-MAY-2014"
                               << "my"
                               << "2014-05-13T00:00:00Z"
                               << "";
    QTest::newRow("no-separator") << "    Record expires on 2011-11-09 (YYYY-MM-DD)"
                                  << "tw"
                                  << "2011-11-09T00:00:00Z"
                                  << "";
    QTest::newRow("underscore-names") << "date_renewal: 2014-06-25\nRegistrar_Name:  X\n"
                                      << "co.ca"
                                      << "2014-06-25T00:00:00Z"
                                      << "X";
    QTest::newRow("value-on-next-line") << "    Registrar:\n        Markmonitor Inc.\n"
                                        << "uk"
                                        << ""
                                        << "Markmonitor Inc.";
    QTest::newRow("registrar-url-is-not-registrar") << "Registrar URL: http://x.example\n"
                                                    << "com"
                                                    << ""
                                                    << "";
    QTest::newRow("comment-line") << "% Expiration Date: 2014-01-01\n"
                                  << "com"
                                  << ""
                                  << "";
    QTest::newRow("scoped-to-tld") << "Data de expiração / Expiration Date (dd/mm/yyyy): 28/02/2015"
                                   << "pt"
                                   << "2015-02-28T00:00:00Z"
                                   << "";
    QTest::newRow("unreadable-left-out") << "Expiration Date: soon\n"
                                         << "com"
                                         << ""
                                         << "";
    QTest::newRow("quoted") << "expired: \"2013-01-13T15:45:18+01:00\""
                            << "fr"
                            << "2013-01-13T14:45:18Z"
                            << "";
    QTest::newRow("line-of-two-kinds") << "status:     OK-UNTIL 20140903121852"
                                       << "com.ua"
                                       << "2014-09-03T12:18:52Z"
                                       << "";
    QTest::newRow("longer-name-first") << "Expires On: 2014-04-19T12:22:08Z"
                                       << "name"
                                       << "2014-04-19T12:22:08Z"
                                       << "";
}

void TestDetails::fieldsAreFoundUnderTheirNames()
{
    QFETCH(QString, answer);
    QFETCH(QString, tld);
    QFETCH(QString, expires);
    QFETCH(QString, registrar);
    const RegistrationDetails details = core::whoisDetails(answer, tld);
    QCOMPARE(iso(details.expires), expires);
    QCOMPARE(details.registrar, registrar);
}

void TestDetails::registryDateWinsOverRegistrarDateAndDomainOverContacts()
{
    const QString answer = QStringLiteral("Registrar Registration Expiration Date: 2020-01-01T00:00:00Z\n"
                                          "Registry Expiry Date: 2019-06-01T00:00:00Z\n"
                                          "Created: 1999-12-10 00:00:00\n"
                                          "Admin\n  Created: 2013-04-21 01:05:35\n"
                                          "Domain Status: clientDeleteProhibited https://icann.org/epp#x\n"
                                          "Domain Status: clientDeleteProhibited https://icann.org/epp#x\n"
                                          "Domain Status: serverHold\n"
                                          // a letter outside ASCII that folds to the name's own
                                          "DOMAIN \u017FTATUS: pendingDelete\n");
    const RegistrationDetails details = core::whoisDetails(answer, QStringLiteral("com"));
    QCOMPARE(iso(details.expires), QStringLiteral("2019-06-01T00:00:00Z"));
    QCOMPARE(iso(details.created), QStringLiteral("1999-12-10T00:00:00Z"));
    QCOMPARE(details.statuses, (QStringList{QStringLiteral("clientDeleteProhibited"),
                                            QStringLiteral("serverHold"), QStringLiteral("pendingDelete")}));
}

void TestDetails::nameServersListedUnderTheirFieldAreRead()
{
    const QString answer =
        QStringLiteral("Name servers:\n    NS1.Example.NET.   192.0.2.1\n    ns2.example.net\n\n"
                       "Name Server: ns2.example.net\nnserver: ns3.example.org 192.0.2.3\n"
                       "Name Server: not a host\nName Server: localhost\nName Server: ns4..example.org\n"
                       "Name Server: .ns5.example.org\nName Server: ns6.example.org..\n"
                       "Name Server: ns7.ex\u00e4mple.org\nName Server: ns_8.ex-ample.org,ns9.example.org\n");
    const RegistrationDetails details = core::whoisDetails(answer, QStringLiteral("uk"));
    QCOMPARE(details.nameservers,
             (QStringList{QStringLiteral("ns1.example.net"), QStringLiteral("ns2.example.net"),
                          QStringLiteral("ns3.example.org"), QStringLiteral("ns6.example.org"),
                          QStringLiteral("ns_8.ex-ample.org")}));
}

void TestDetails::rdapEventsRegistrarStatusAndNameServersAreRead_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("created");
    QTest::addColumn<QString>("expires");
    QTest::addColumn<QString>("updated");
    QTest::addColumn<QString>("registrar");
    QTest::addColumn<int>("nameservers");

    QTest::newRow("verisign") << "rdap.verisign.com/registered-3.json"
                              << "1997-09-15T04:00:00Z"
                              << "2028-09-14T04:00:00Z"
                              << "2019-09-09T15:39:04Z"
                              << "MarkMonitor Inc." << 4;
    QTest::newRow("offset-without-colon") << "rdap.markmonitor.com/registered-1.json"
                                          << "1997-09-15T07:00:00Z"
                                          << "2028-09-13T07:00:00Z"
                                          << "2019-09-09T15:39:04Z"
                                          << "MarkMonitor Inc." << 4;
    QTest::newRow("offset-with-colon") << "rdap.nic.cz/registered-2.json"
                                       << "2001-09-14T11:51:00Z"
                                       << "2025-09-15T12:00:00Z"
                                       << "2018-01-09T13:40:37Z"
                                       << "" << -1;
    QTest::newRow("no-expiry") << "rdap.norid.no/registered-1.json"
                               << "2017-01-24T12:09:23Z"
                               << ""
                               << "2021-01-14T05:16:59Z"
                               << "" << -1;
    QTest::newRow("fraction") << "rdap.zdnsgtld.com/registered-1.json"
                              << "2014-11-17T16:00:29Z"
                              << "2021-11-17T16:00:29Z"
                              << "2020-09-14T20:40:57Z"
                              << "" << -1;
}

void TestDetails::rdapEventsRegistrarStatusAndNameServersAreRead()
{
    QFETCH(QString, file);
    QFETCH(QString, created);
    QFETCH(QString, expires);
    QFETCH(QString, updated);
    QFETCH(QString, registrar);
    QFETCH(int, nameservers);
    const RegistrationDetails details =
        core::rdapDetails(readAnswer(testData(QStringLiteral("rdap/") + file)));
    QCOMPARE(iso(details.created), created);
    QCOMPARE(iso(details.expires), expires);
    QCOMPARE(iso(details.updated), updated);
    if (!registrar.isEmpty())
        QCOMPARE(details.registrar, registrar);
    if (nameservers >= 0)
        QCOMPARE(details.nameservers.size(), nameservers);
    for (const QString &server : details.nameservers)
        QVERIFY2(server == server.toLower() && !server.endsWith(QLatin1Char('.')), qPrintable(server));
}

void TestDetails::onlyRegisteredAnswersGiveDetails()
{
    core::LookupEvidence evidence;
    evidence.name = QStringLiteral("example.com");
    evidence.answer = QStringLiteral("Domain Name: OTHER.COM\nRegistry Expiry Date: 2020-01-01T00:00:00Z\n");
    evidence.verdict = core::LookupVerdict::Unknown;
    QVERIFY(core::detailsOf(evidence).isEmpty());
    evidence.verdict = core::LookupVerdict::Registered;
    QCOMPARE(iso(core::detailsOf(evidence).expires), QStringLiteral("2020-01-01T00:00:00Z"));
    evidence.protocol = core::LookupProtocol::Rdap;
    evidence.answer = QStringLiteral("<html>not json</html>");
    QVERIFY(core::detailsOf(evidence).isEmpty());
}

void TestDetails::jsonCarriesOnlyWhatWasFound()
{
    RegistrationDetails details;
    QCOMPARE(core::detailsJson(details), QJsonObject());
    details.expires = QDateTime(QDate(2030, 1, 2), QTime(3, 4, 5), Qt::UTC);
    details.nameservers = QStringList{QStringLiteral("ns1.example.net")};
    const QJsonObject json = core::detailsJson(details);
    QCOMPARE(json.keys(), (QStringList{QStringLiteral("expires"), QStringLiteral("nameservers")}));
    QCOMPARE(json.value(QLatin1String("expires")).toString(), QStringLiteral("2030-01-02T03:04:05Z"));
    QCOMPARE(core::detailsFromJson(json), details);
}

void TestDetails::isoTimesAreWrittenAsQtWritesThemInUtc()
{
    QCOMPARE(core::isoUtc(QDateTime()), QString());
    const QList<QDateTime> times{
        QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC),
        QDateTime(QDate(2024, 2, 29), QTime(9, 5, 7, 250), Qt::UTC),
        QDateTime(QDate(2026, 12, 31), QTime(23, 30), Qt::OffsetFromUTC, -3600), // next year in UTC
        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC),
        QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(-44, 3, 15), QTime(12, 0), Qt::UTC),
    };
    for (const QDateTime &time : times)
        QCOMPARE(core::isoUtc(time), time.toUTC().toString(Qt::ISODate));
    QCOMPARE(core::isoUtc(times.at(3)), QStringLiteral("2027-01-01T00:30:00Z"));
}

void TestDetails::corpusExpiryDatesAreRightToTheDay()
{
    int measured = 0;
    int right = 0;
    int unreadableExpectation = 0;
    QStringList misses;
    for (const DetailsRow &row : readDetailsRows()) {
        if (row.expires.isEmpty())
            continue;
        const QDateTime expected = expectedDate(row.expires);
        if (!expected.isValid()) {
            ++unreadableExpectation;
            continue;
        }
        ++measured;
        const QString answer = readAnswer(testData(QStringLiteral("whois/") + row.path));
        const QDateTime got = core::whoisDetails(answer, row.tld).expires;
        if (got.isValid() && got.date() == expected.date())
            ++right;
        else
            misses.append(row.path + QLatin1Char(' ') + row.expires + QStringLiteral(" -> ") + iso(got));
    }
    const double share = measured ? 100.0 * right / measured : 0.0;
    qInfo().noquote() << QStringLiteral(
                             "expiry dates right to the day: %1 of %2 (%3 %), %4 expectations not dates")
                             .arg(right)
                             .arg(measured)
                             .arg(share, 0, 'f', 1)
                             .arg(unreadableExpectation);
    for (const QString &miss : misses)
        qInfo().noquote() << "  missed:" << miss;
    reportOtherDetails();
    QVERIFY(measured >= 190);
    QVERIFY2(share >= 95.0, qPrintable(QString::number(share)));
}

void TestDetails::noAnswerOfTheCorpusGivesADateItDoesNotHold()
{
    int answers = 0;
    QDirIterator it(testData(QStringLiteral("whois")), {QStringLiteral("*.txt")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(testData(QStringLiteral("whois"))).relativeFilePath(path);
        const QString tld = relative.section(QLatin1Char('/'), -2, -2);
        const QString answer = readAnswer(path);
        const RegistrationDetails details = core::whoisDetails(answer, tld);
        for (const QDateTime &date : {details.created, details.expires, details.updated}) {
            if (date.isValid())
                QVERIFY2(answerHoldsYear(answer, date), qPrintable(relative + QLatin1Char(' ') + iso(date)));
        }
        if (relative.section(QLatin1Char('/'), -1).startsWith(QLatin1String("available")))
            QVERIFY2(!details.expires.isValid(), qPrintable(relative));
        ++answers;
    }
    QVERIFY(answers > 600);
}

QTEST_GUILESS_MAIN(TestDetails)
#include "tst_details.moc"
