#include "TestFolder.h"
#include "core/base/TextFile.h"
#include "core/tld/TldTable.h"

#include <QSet>
#include <QtTest>

using namespace wendlecott;

namespace {

const QString S = core::kStandardSuccessWords;

// A table whose rows carry the given extensions, as the loader makes them from the file.
core::TldTable tableOf(const QStringList &extensions)
{
    QStringList lines;
    for (const QString &extension : extensions)
        lines.append(extension + QStringLiteral("|whois.") + extension + QStringLiteral("|43|Enabled|25|") +
                     S);
    return core::parseTldText(core::joinLinesCrLf(lines));
}

QStringList extensionsOf(const core::TldTable &table)
{
    QStringList extensions;
    for (const core::TldEntry &entry : table.rows)
        extensions.append(entry.extension);
    return extensions;
}

QStringList words(const char *spaced)
{
    return QString::fromLatin1(spaced).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestTldTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findTLD_data()
    {
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("useProxy");
        QTest::addColumn<int>("expected");

        const QStringList usual = words("de com uk");
        QTest::newRow("last label") << usual << QStringLiteral("example.de") << false << 0;
        QTest::newRow("name is lower-cased") << usual << QStringLiteral("EXAMPLE.DE") << false << 0;
        QTest::newRow("no dot gets com") << usual << QStringLiteral("example") << false << 1;
        QTest::newRow("two labels, unknown extension, gets com")
            << usual << QStringLiteral("example.xyz") << false << 1;
        QTest::newRow("trailing dot gets com") << usual << QStringLiteral("example.") << false << 1;
        QTest::newRow("no com row gives row 0")
            << words("de uk") << QStringLiteral("example.xyz") << false << 0;
        QTest::newRow("no dot, no com row gives row 0")
            << words("de uk") << QStringLiteral("example") << false << 0;
        QTest::newRow("last com row seen is the fallback")
            << words("com de com") << QStringLiteral("example.xyz") << false << 2;
        QTest::newRow("first of duplicates wins")
            << words("de com de") << QStringLiteral("a.de") << false << 0;
        QTest::newRow("com itself: first com row")
            << words("de com com") << QStringLiteral("a.com") << false << 1;
        QTest::newRow("uk before co.uk")
            << words("com co.uk uk") << QStringLiteral("example.co.uk") << false << 2;
        QTest::newRow("only co.uk") << words("com co.uk") << QStringLiteral("example.co.uk") << false << 1;
        QTest::newRow("four labels use the last two")
            << words("com co.uk") << QStringLiteral("a.b.example.co.uk") << false << 1;
        QTest::newRow("last two labels upper case")
            << words("com co.uk") << QStringLiteral("EXAMPLE.CO.UK") << false << 1;
        QTest::newRow("three labels, nothing serves") << usual << QStringLiteral("a.b.xyz") << false << -1;
        QTest::newRow("three labels, no com fallback")
            << words("com") << QStringLiteral("example.co.xyz") << false << -1;
        QTest::newRow("numeric extension") << words("com 64") << QStringLiteral("10.0.0.64") << false << 1;
        QTest::newRow("proxy row serves every name")
            << words("com de proxy") << QStringLiteral("example.de") << true << 2;
        QTest::newRow("proxy row serves a name without dot")
            << words("com proxy") << QStringLiteral("example") << true << 1;
        // Without a proxy row the first scan (for "proxy") fails and the fallback rules run:
        // a two-label name falls back to com, a longer one tries its last two labels.
        QTest::newRow("proxy mode, no proxy row, two labels")
            << words("de com") << QStringLiteral("example.de") << true << 1;
        QTest::newRow("proxy mode, no proxy row, three labels")
            << words("com uk co.uk") << QStringLiteral("example.co.uk") << true << 2;
        QTest::newRow("proxy mode, no proxy row, nothing")
            << words("com") << QStringLiteral("a.b.c") << true << -1;
        QTest::newRow("empty table") << QStringList() << QStringLiteral("example.com") << false << -1;
        QTest::newRow("empty table, no dot") << QStringList() << QStringLiteral("example") << false << -1;
    }
    void findTLD()
    {
        QFETCH(QStringList, extensions);
        QFETCH(QString, name);
        QFETCH(bool, useProxy);
        QFETCH(int, expected);
        QCOMPARE(core::findTLD(tableOf(extensions), name, useProxy), expected);
    }

    void upperCaseRowsAreLoadedLowerCaseAndTheFirstWins()
    {
        const core::TldTable table = core::parseTldText(QStringLiteral(
            "List|WHOIS.ONE.EXAMPLE|43|Enabled|25|One\r\nlist|whois.two|43|Enabled|25|Two\r\n"));
        QCOMPARE(extensionsOf(table), words("list list"));
        QCOMPARE(table.at(0).server, QStringLiteral("whois.one.example"));
        QCOMPARE(table.at(0).successWords, QStringLiteral("One"));
        QCOMPARE(core::findTLD(table, QStringLiteral("example.list"), false), 0);
    }

    void disabledRowsStillServe()
    {
        const core::TldTable table =
            core::parseTldText(QStringLiteral("com|a|43|Enabled|25|x\r\nde|b|43|enabled|25|y\r\n"));
        QVERIFY(!table.at(1).enabled);
        QCOMPARE(core::findTLD(table, QStringLiteral("example.de"), false), 1);
    }

    // The server a name is asked at: the row findTLD picks, else the registry fallback.
    void whoisServerFor_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("proxy");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("own row") << QStringLiteral("example.org") << false
                                 << QStringLiteral("whois.org.example") << 4343;
        QTest::newRow("com row") << QStringLiteral("example.com") << false
                                 << QStringLiteral("whois.com.example") << 43;
        QTest::newRow("proxy row") << QStringLiteral("example.org") << true << QStringLiteral("127.0.0.1")
                                   << 4300;
        QTest::newRow("server written with spaces")
            << QStringLiteral("example.io") << false << QStringLiteral("whois.io.example") << 43;
        QTest::newRow("row without a server")
            << QStringLiteral("example.tv") << false << QStringLiteral("fallback.example") << 4444;
        QTest::newRow("no row serves it")
            << QStringLiteral("a.example.zz") << false << QStringLiteral("fallback.example") << 4444;
    }
    void whoisServerFor()
    {
        QFETCH(QString, name);
        QFETCH(bool, proxy);
        QFETCH(QString, host);
        QFETCH(int, port);
        const core::TldTable table = core::parseTldText(core::joinLinesCrLf({
            QStringLiteral("com|whois.com.example|43|Enabled|25|") + S,
            QStringLiteral("org|whois.org.example|4343|Disabled|25|") + S,
            QStringLiteral("io| whois.io.example |43|Enabled|25|") + S,
            QStringLiteral("tv| |43|Enabled|25|") + S,
            QStringLiteral("proxy|127.0.0.1|4300|Enabled|25|") + S,
        }));
        QCOMPARE(table.size(), 5);
        const core::WhoisServer server =
            core::whoisServerFor(table, name, proxy, {QStringLiteral("fallback.example"), 4444});
        QCOMPARE(server.host, host);
        QCOMPARE(int(server.port), port);
    }

    void emptyTableAsksTheRegistryFallback()
    {
        const core::WhoisServer server =
            core::whoisServerFor(core::TldTable{}, QStringLiteral("example.com"), false);
        QCOMPARE(server.host, QStringLiteral("whois.verisign-grs.com"));
        QCOMPARE(server.port, quint16(43));
    }

    void parseRow_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("isRow");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("throttle");
        QTest::addColumn<bool>("enabled");

        QTest::newRow("ordinary") << QStringLiteral("com|w|43|Enabled|25|x") << true << 43 << 25 << true;
        QTest::newRow("status in lower case")
            << QStringLiteral("com|w|43|enabled|25|x") << true << 43 << 25 << false;
        QTest::newRow("status with a space")
            << QStringLiteral("com|w|43|Enabled |25|x") << true << 43 << 25 << false;
        QTest::newRow("highest port")
            << QStringLiteral("com|w|65535|Disabled|0|x") << true << 65535 << 0 << false;
        QTest::newRow("port above 32767")
            << QStringLiteral("com|w|40000|Enabled|25|x") << true << 40000 << 25 << true;
        QTest::newRow("numbers with spaces")
            << QStringLiteral("com|w| 43 |Enabled| 25|x") << true << 43 << 25 << true;
        QTest::newRow("empty success words")
            << QStringLiteral("com|w|43|Enabled|25|") << true << 43 << 25 << true;
        QTest::newRow("seven fields")
            << QStringLiteral("com|w|43|Enabled|25|x|y") << true << 43 << 25 << true;
        QTest::newRow("five fields") << QStringLiteral("com|w|43|Enabled|25") << false << 0 << 0 << false;
        QTest::newRow("no separator") << QStringLiteral("garbage") << false << 0 << 0 << false;
        QTest::newRow("port 0") << QStringLiteral("com|w|0|Enabled|25|x") << false << 0 << 0 << false;
        QTest::newRow("port 65536") << QStringLiteral("com|w|65536|Enabled|25|x") << false << 0 << 0 << false;
        QTest::newRow("port empty") << QStringLiteral("com|w||Enabled|25|x") << false << 0 << 0 << false;
        QTest::newRow("port with letters")
            << QStringLiteral("com|w|43a|Enabled|25|x") << false << 0 << 0 << false;
        QTest::newRow("port negative")
            << QStringLiteral("com|w|-43|Enabled|25|x") << false << 0 << 0 << false;
        QTest::newRow("port huge") << QStringLiteral("com|w|99999999999|Enabled|25|x") << false << 0 << 0
                                   << false;
        QTest::newRow("throttle fraction")
            << QStringLiteral("com|w|43|Enabled|2.5|x") << false << 0 << 0 << false;
        QTest::newRow("throttle negative")
            << QStringLiteral("com|w|43|Enabled|-1|x") << false << 0 << 0 << false;
        QTest::newRow("throttle beyond int")
            << QStringLiteral("com|w|43|Enabled|2147483648|x") << false << 0 << 0 << false;
    }
    void parseRow()
    {
        QFETCH(QString, line);
        QFETCH(bool, isRow);
        QFETCH(int, port);
        QFETCH(int, throttle);
        QFETCH(bool, enabled);
        const core::TldTable table =
            core::parseTldText(QStringLiteral("\r\n \r\n") + line + QStringLiteral("\r\n"));
        if (!isRow) {
            QCOMPARE(table.size(), 0);
            QCOMPARE(table.skipped.size(), 1);
            QCOMPARE(table.skipped.first().lineNumber, 3);
            QCOMPARE(table.skipped.first().text, line);
            QVERIFY(!table.skipped.first().reason.isEmpty());
            return;
        }
        QCOMPARE(table.size(), 1);
        QVERIFY(table.skipped.isEmpty());
        QCOMPARE(int(table.at(0).port), port);
        QCOMPARE(table.at(0).throttle, throttle);
        QCOMPARE(table.at(0).enabled, enabled);
        QCOMPARE(table.at(0).successWords, line.section(QLatin1Char('|'), 5, 5));
    }

    void loaderKeepsTheTableWhenTheFileHasNoRows()
    {
        testing::TestFolder folder;
        const QString path = folder.file(core::kTldFileName);
        core::TldTable table = tableOf(words("com net"));
        table.skipped.append({1, QStringLiteral("x"), QStringLiteral("old")});

        QCOMPARE(core::loadTLDTable(table, path).code(), core::ErrorCode::NotFound);
        QCOMPARE(table.size(), 2);

        folder.write(core::kTldFileName, "\r\n \r\n\r\n");
        QVERIFY(core::loadTLDTable(table, path).ok());
        QCOMPARE(extensionsOf(table), words("com net"));
        QVERIFY(table.skipped.isEmpty());

        // Lines that are there but malformed replace the table: the Setup window shows why.
        folder.write(core::kTldFileName, "de|w|port|Enabled|25|x\r\n");
        QVERIFY(core::loadTLDTable(table, path).ok());
        QCOMPARE(table.size(), 0);
        QCOMPARE(table.skipped.size(), 1);

        folder.write(core::kTldFileName, "de|w|43|Enabled|25|x\r\nbad\r\nfr|w|43|Disabled|25|y");
        QVERIFY(core::loadTLDTable(table, path).ok());
        QCOMPARE(extensionsOf(table), words("de fr"));
        QCOMPARE(table.skipped.size(), 1);
        QCOMPARE(table.skipped.first().lineNumber, 2);
    }

    void defaultTable()
    {
        const core::TldTable table = core::parseTldText(core::defaultTldText());
        QCOMPARE(table.size(), 179);
        QVERIFY(table.skipped.isEmpty());

        const QStringList order =
            QStringLiteral(
                "0, 128, 192, 64, 800, 888, ac, af, al, am, art, arts, as, at, au, ave, az, ba, bank, be, "
                "bg, biz, "
                "blues, blues, bot, br, bt, by, ca, cc, cdn, cgi, ch, ck, cl, cn, com, corp, cx, cy, cz, "
                "dds, de, "
                "depot, dev, dir, dk, dz, earth, edu, ee, eg, es, event, faq, fi, film, florida, fo, fr, "
                "fund, "
                "gallery, gb, ge, gm, gmbh, gov, gr, gs, heck, help, here, here, hk, hosts, hotel, hr, hu, "
                "humanrights, hwy, ie, il, info, ins, int, iq, is, isp, it, java, jp, kg, kr, li, life, "
                "List, list, "
                "llb, lol, lt, lu, luv, lv, ma, mart, mbx, md, med, mil, mk, moi, ms, mt, music, mx, net, "
                "nic, nl, "
                "no, npo, nu, org, php, pics, pka, pl, plan, prices, proxy, pt, pta, radio, ro, rofl, ru, "
                "safe, "
                "Script, script, se, sex, sg, sh, si, sk, sky, sm, speed, sql, st, su, swap, tc, texas, tf, "
                "th, "
                "this, this, tj, tm, tn, to, tr, tux, tw, ua, uk, us, usa, va, ve, vg, video, whois, xxx, "
                "y3k, yu, "
                "z, zine, zoo")
                .split(QStringLiteral(", "));
        QStringList fileExtensions;
        for (const QStringList &row : core::defaultTldRows())
            fileExtensions.append(row.first());
        QCOMPARE(fileExtensions, order);

        QStringList enabled;
        for (const core::TldEntry &entry : table.rows) {
            QCOMPARE(entry.port, quint16(43));
            QCOMPARE(entry.throttle, 25);
            QVERIFY(!entry.server.isEmpty());
            if (entry.enabled)
                enabled.append(entry.extension);
        }
        QCOMPARE(enabled, words("com net proxy"));

        const int proxy = core::findTLD(table, QStringLiteral("example.de"), true);
        QCOMPARE(table.at(proxy).extension, QStringLiteral("proxy"));
        QCOMPARE(table.at(proxy).server, QStringLiteral("127.0.0.1"));
        QCOMPARE(table.at(proxy).successWords, S);
        const int com = core::findTLD(table, QStringLiteral("example.com"), false);
        const int net = core::findTLD(table, QStringLiteral("example.net"), false);
        QCOMPARE(table.at(com).server, table.at(net).server);
        QCOMPARE(core::findTLD(table, QStringLiteral("example.xyz"), false), com);
    }

    void defaultServersMatchTheSharedList()
    {
        QFile tsv(QStringLiteral(WENDLECOTT_TABLES "/default-whois-servers.tsv"));
        QVERIFY(tsv.open(QIODevice::ReadOnly));
        const QStringList lines = core::splitLines(core::decodeText(tsv.readAll())).mid(1);
        const QList<QStringList> rows = core::defaultTldRows();
        QCOMPARE(lines.size(), rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QStringList fields = lines.at(i).split(QLatin1Char('\t'));
            QCOMPARE(rows.at(i).at(0), fields.at(0));
            QCOMPARE(rows.at(i).at(1), fields.at(1));
        }
    }

    void defaultSuccessWords_data()
    {
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QString>("successWords");
        const auto row = [](const char *name, const char *extensions, const QString &successWords) {
            QTest::newRow(name) << words(extensions) << successWords;
        };
        const auto noted = [](const char *note) { return QLatin1String(note) + QLatin1Char(',') + S; };
        row("standard",
            "0 128 192 64 am as az ba be bg biz br bt by cc ck cn com cx cy cz dk dz edu ee eg fi fo gb ge "
            "gm gov gr "
            "gs hk hr hu ie il info is kr List lt lv ma md mk ms mt net no nu pl proxy pt ro Script se sh si "
            "sk sm "
            "st su tc tf th tm tn to tr tw ua us va vg yu",
            S);
        row("server down", "af int kg pka pta tj", noted("#SERVER DOWN#"));
        row("operator 1",
            "800 888 cdn dds depot faq gallery gmbh humanrights list llb nic prices safe sql swap zoo",
            noted("#ALTERNIC.NET APPEARS TO BE DEFUNCT#"));
        row("operator 1, no comma", "iq", QStringLiteral("#ALTERNIC.NET APPEARS DEFUNCT#") + S);
        row("operator 2",
            "ave blues blues bot cgi dev event florida heck here here hosts hwy ins java life lol luv mart "
            "mbx moi "
            "php pics plan rofl script speed texas this this tux y3k",
            QStringLiteral("#PACIFICROOT.COM APPEARS DEFUNCT#") + S);
        row("operator 3", "art arts bank dir film fund help hotel isp med music radio sky video xxx zine",
            QStringLiteral("#NAME-SPACE.COM APPEARS DEFUNCT#") + S);
        row("operator 4", "corp npo", QStringLiteral("#OPEN-RSC.ORG APPEARS DEFUNCT#") + S);
        row("operator 5", "earth usa z", QStringLiteral("#ADNS.NET APPEARS DEFUNCT#") + S);
        row("unrecognizable", "jp", noted("#APPEARS TO RETURN UNRECOGNIZABLE CHARACTERS#"));
        row("offline", "mil", noted("#APPEARS TO BE OFFLINE#"));
        row("query limit", "org", noted("#VERY LOW QUERY LIMIT#"));
        row("abandoned", "sex", noted("#TLD MAY HAVE BEEN ABANDONED#"));
        row("whois server down", "ve", noted("#WHOIS SERVER SEEMS DOWN#"));
        row("sever down", "whois", noted("#SEVER DOWN#"));
        row("Available", "ac", QStringLiteral("Available"));
        row("No entries found", "al es fr ru", QStringLiteral("No entries found"));
        row("Nothing found", "at", QStringLiteral("Nothing found"));
        row("No data found", "au", QStringLiteral("No data found"));
        row("AVAIL", "ca", QStringLiteral("AVAIL"));
        row("We do not have an entry", "ch li", QStringLiteral("We do not have an entry"));
        row("No existe", "cl", QStringLiteral("No existe"));
        row("free", "de", QStringLiteral("free"));
        row("AVAILABLE", "it", QStringLiteral("AVAILABLE"));
        row("No such domain", "lu", QStringLiteral("No such domain"));
        row("No Encontrado", "mx", QStringLiteral("No Encontrado"));
        row("is free", "nl", QStringLiteral("is free"));
        row("NOMATCH", "sg", QStringLiteral("NOMATCH"));
        row("No match for", "uk", QStringLiteral("No match for"));
    }
    void defaultSuccessWords()
    {
        QFETCH(QStringList, extensions);
        QFETCH(QString, successWords);
        const QList<QStringList> rows = core::defaultTldRows();
        // Every row of the listed extensions, duplicates included, carries exactly these words.
        QStringList found;
        for (const QStringList &row : rows) {
            QCOMPARE(row.size(), 6);
            if (extensions.contains(row.at(0))) {
                QCOMPARE(row.at(5), successWords);
                found.append(row.at(0));
            }
        }
        QStringList expected = extensions;
        expected.sort();
        found.sort();
        QCOMPARE(found, expected);
    }

    void writeDefaultTLDs()
    {
        testing::TestFolder folder;
        const QString path = folder.file(core::kTldFileName);
        QVERIFY(core::writeDefaultTLDs(path, false).ok());
        const QByteArray written = folder.read(core::kTldFileName);
        QCOMPARE(written, core::encodeText(core::defaultTldText()));
        QVERIFY(written.startsWith("0|whois.arin.net|43|Disabled|25|No match,"));
        QVERIFY(written.endsWith("No entries found\r\n\r\n"));
        QCOMPARE(written.count("\r\n"), 180);

        core::TldTable table;
        QVERIFY(core::loadTLDTable(table, path).ok());
        QCOMPARE(table.size(), 179);
        QVERIFY(table.skipped.isEmpty());

        // An existing file is left alone; force restores the defaults over it.
        folder.write(core::kTldFileName, "mine|w|43|Enabled|25|x\r\n");
        QVERIFY(core::writeDefaultTLDs(path, false).ok());
        QCOMPARE(folder.read(core::kTldFileName), QByteArray("mine|w|43|Enabled|25|x\r\n"));
        QVERIFY(core::writeDefaultTLDs(path, true).ok());
        QCOMPARE(folder.read(core::kTldFileName), written);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{core::kTldFileName});
    }

    void saveTLD_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("duplicates both replaced")
            << QByteArray("de|old1|43|Enabled|25|a\r\ncom|c|43|Enabled|25|b\r\nde|old2|43|Enabled|25|c\r\n")
            << QStringLiteral("DE")
            << QByteArray("de|new|44|Disabled|30|No match\r\ncom|c|43|Enabled|25|b\r\n"
                          "de|new|44|Disabled|30|No match\r\n\r\n");
        QTest::newRow("upper-case row never matched")
            << QByteArray("List|w|43|Enabled|25|a\r\n") << QStringLiteral("List")
            << QByteArray("List|w|43|Enabled|25|a\r\n\r\nlist|new|44|Disabled|30|No match\r\n");
        QTest::newRow("new extension appended after the empty line")
            << QByteArray("com|c|43|Enabled|25|b\r\n") << QStringLiteral("xyz")
            << QByteArray("com|c|43|Enabled|25|b\r\n\r\nxyz|new|44|Disabled|30|No match\r\n");
        QTest::newRow("blank lines dropped, other lines kept as written")
            << QByteArray("\r\nCOM|C|43|enabled|25|b\r\n \r\n\r\nde|x|43|Enabled|25|a\r\nodd line\r\n\r\n")
            << QStringLiteral("de")
            << QByteArray("COM|C|43|enabled|25|b\r\nde|new|44|Disabled|30|No match\r\nodd line\r\n\r\n");
        QTest::newRow("last line without line end")
            << QByteArray("de|x|43|Enabled|25|a") << QStringLiteral("de")
            << QByteArray("de|new|44|Disabled|30|No match\r\n\r\n");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("de")
                                    << QByteArray("\r\nde|new|44|Disabled|30|No match\r\n");
    }
    void saveTLD()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, extension);
        QFETCH(QByteArray, after);
        testing::TestFolder folder;
        folder.write(core::kTldFileName, before);
        const QString path = folder.file(core::kTldFileName);
        QVERIFY(core::saveTLD(path, extension, QStringLiteral("new"), QStringLiteral("44"), false,
                              QStringLiteral("30"), QStringLiteral("No match"))
                    .ok());
        QCOMPARE(folder.read(core::kTldFileName), after);
        // No temporary copy is left behind.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{core::kTldFileName});
        // Readers pass over the empty line.
        core::TldTable table;
        QVERIFY(core::loadTLDTable(table, path).ok());
        QVERIFY(core::findTLD(table, QStringLiteral("example.") + extension.toLower(), false) >= 0);
    }

    void saveTLDCreatesAMissingFile()
    {
        testing::TestFolder folder;
        const QString path = folder.file(core::kTldFileName);
        QVERIFY(core::saveTLD(path, QStringLiteral("de"), QStringLiteral("w"), QStringLiteral("43"), true,
                              QStringLiteral("25"), S)
                    .ok());
        QCOMPARE(folder.read(core::kTldFileName),
                 QByteArray("\r\nde|w|43|Enabled|25|") + S.toLatin1() + "\r\n");
    }

    void saveTLDRefusesFieldsThatWouldBreakTheFile_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("successWords");
        QTest::newRow("bar in a field") << QStringLiteral("a|b") << S;
        QTest::newRow("line break in a field") << QStringLiteral("w") << QStringLiteral("a\r\nb");
    }
    void saveTLDRefusesFieldsThatWouldBreakTheFile()
    {
        QFETCH(QString, server);
        QFETCH(QString, successWords);
        testing::TestFolder folder;
        folder.write(core::kTldFileName, "de|w|43|Enabled|25|a\r\n");
        const QString path = folder.file(core::kTldFileName);
        QCOMPARE(core::saveTLD(path, QStringLiteral("de"), server, QStringLiteral("43"), true,
                               QStringLiteral("25"), successWords)
                     .code(),
                 core::ErrorCode::InvalidInput);
        QCOMPARE(core::appendTLD(path, QStringLiteral("fr"), server, QStringLiteral("43"), kEnabled(),
                                 QStringLiteral("25"), successWords)
                     .code(),
                 core::ErrorCode::InvalidInput);
        QCOMPARE(folder.read(core::kTldFileName), QByteArray("de|w|43|Enabled|25|a\r\n"));
    }

    void appendTLD()
    {
        testing::TestFolder folder;
        const QString path = folder.file(core::kTldFileName);
        QVERIFY(core::appendTLD(path, QStringLiteral("DE"), QStringLiteral("W"), QStringLiteral("43"),
                                QStringLiteral("enabled"), QStringLiteral("25"), QStringLiteral("x"))
                    .ok());
        QCOMPARE(folder.read(core::kTldFileName), QByteArray("de|W|43|enabled|25|x\r\n"));
        // A last line without its line end keeps its own line.
        folder.write(core::kTldFileName, "com|c|43|Enabled|25|b");
        QVERIFY(core::appendTLD(path, QStringLiteral("fr"), QStringLiteral("f"), QStringLiteral("43"),
                                kEnabled(), QStringLiteral("25"), QStringLiteral("y"))
                    .ok());
        QCOMPARE(folder.read(core::kTldFileName),
                 QByteArray("com|c|43|Enabled|25|b\r\nfr|f|43|Enabled|25|y\r\n"));
    }

    void rewriteTLDs()
    {
        testing::TestFolder folder;
        const QString path = folder.file(core::kTldFileName);
        folder.write(core::kTldFileName, "old|o|43|Enabled|25|x\r\n");
        const QList<QStringList> rows{
            {QStringLiteral("List"), QStringLiteral("w"), QStringLiteral("43"), QStringLiteral("Enabled"),
             QStringLiteral("25"), QStringLiteral("a,b")},
            {QStringLiteral("de"), QStringLiteral("d"), QStringLiteral("43"), QStringLiteral("Disabled"),
             QStringLiteral("25"), QString()},
        };
        QVERIFY(core::rewriteTLDs(path, rows).ok());
        QCOMPARE(folder.read(core::kTldFileName),
                 QByteArray("List|w|43|Enabled|25|a,b\r\n\r\nde|d|43|Disabled|25|\r\n\r\n"));
        core::TldTable table;
        QVERIFY(core::loadTLDTable(table, path).ok());
        QCOMPARE(extensionsOf(table), words("list de"));
        QVERIFY(table.skipped.isEmpty());

        QVERIFY(core::rewriteTLDs(path, {}).ok());
        QCOMPARE(folder.read(core::kTldFileName), QByteArray());
    }

    // Every write replaces the file whole or not at all.
    void failedWritesKeepTheOldFile_data()
    {
        QTest::addColumn<int>("operation");
        QTest::newRow("saveTLD replacing") << 0;
        QTest::newRow("saveTLD appending") << 1;
        QTest::newRow("appendTLD") << 2;
        QTest::newRow("rewriteTLDs") << 3;
        QTest::newRow("writeDefaultTLDs force") << 4;
    }
    void failedWritesKeepTheOldFile()
    {
        QFETCH(int, operation);
        testing::TestFolder folder;
        const QString path = folder.file(core::kTldFileName);
        const QByteArray old("com|c|43|Enabled|25|b\r\nde|d|43|Enabled|25|a\r\n\r\n");
        folder.write(core::kTldFileName, old);
        const QString n43 = QStringLiteral("43");
        const QString n25 = QStringLiteral("25");
        core::Status status;
        {
            core::WriteFaultScope fault(10);
            switch (operation) {
            case 0:
                status = core::saveTLD(path, QStringLiteral("de"), QStringLiteral("n"), n43, true, n25, S);
                break;
            case 1:
                status = core::saveTLD(path, QStringLiteral("fr"), QStringLiteral("n"), n43, true, n25, S);
                break;
            case 2:
                status =
                    core::appendTLD(path, QStringLiteral("fr"), QStringLiteral("n"), n43, kEnabled(), n25, S);
                break;
            case 3:
                status = core::rewriteTLDs(
                    path, {{QStringLiteral("fr"), QStringLiteral("n"), n43, kEnabled(), n25, S}});
                break;
            default:
                status = core::writeDefaultTLDs(path, true);
                break;
            }
        }
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QCOMPARE(folder.read(core::kTldFileName), old);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{core::kTldFileName});
    }

    void firstDefaultWriteThatFailsLeavesNoFile()
    {
        testing::TestFolder folder;
        const QString path = folder.file(core::kTldFileName);
        {
            core::WriteFaultScope fault(100);
            QCOMPARE(core::writeDefaultTLDs(path, false).code(), core::ErrorCode::WriteFailed);
        }
        QVERIFY(QDir(folder.path()).entryList(QDir::Files).isEmpty());
    }

    void loadTLDs()
    {
        testing::TestFolder folder;
        const QString path = folder.file(core::kTldFileName);
        QVERIFY(core::loadTLDs(path).isEmpty());

        folder.write(core::kTldFileName, "com|c|43|Enabled|25|b\r\n"
                                         "\r\n"
                                         " Net |n|43|Enabled\r\n"
                                         "de|d|43|enabled|25|a\r\n"
                                         "fr|f|43|Disabled|25|a\r\n"
                                         "proxy|127.0.0.1|43|Enabled|25|a\r\n"
                                         "PROXY|127.0.0.1|43|Enabled|25|a\r\n"
                                         "uk|u|43\r\n"
                                         "Enabled\r\n"
                                         "  |x|43|Enabled|25|a\r\n"
                                         "com|again|43|Enabled|25|b\r\n");
        QCOMPARE(core::loadTLDs(path),
                 (QStringList{QStringLiteral("com"), QStringLiteral("Net"), QStringLiteral("com")}));

        QVERIFY(core::writeDefaultTLDs(path, true).ok());
        QCOMPARE(core::loadTLDs(path), words("com net"));
    }

    void fillTLDList()
    {
        testing::TestFolder folder;
        const QString path = folder.file(core::kTldFileName);
        folder.write(core::kTldFileName,
                     "List|WHOIS.X|43|enabled|25|A,b\r\n\r\n \r\nde|d\r\nfr|f|43|Enabled|25|a|b\r\n");
        core::TldListModel model;
        QCOMPARE(model.columnCount(), 6);
        QStringList headers;
        for (int c = 0; c < model.columnCount(); ++c)
            headers.append(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        QCOMPARE(headers, words("Extension Server Port Status Throttle Success"));

        core::fillTLDList(model, path);
        QCOMPARE(model.rowCount(), 3);
        const auto cell = [&](int r, int c) {
            return model.data(model.index(r, c), Qt::DisplayRole).toString();
        };
        QStringList first;
        for (int c = 0; c < 6; ++c)
            first.append(cell(0, c));
        QCOMPARE(first,
                 (QStringList{QStringLiteral("List"), QStringLiteral("WHOIS.X"), QStringLiteral("43"),
                              QStringLiteral("enabled"), QStringLiteral("25"), QStringLiteral("A,b")}));
        QCOMPARE(cell(1, 1), QStringLiteral("d"));
        QCOMPARE(cell(1, 2), QString());
        QCOMPARE(cell(1, 5), QString());
        QCOMPARE(cell(2, 5), QStringLiteral("a"));

        // After a deletion the Setup window writes the remaining rows back as they were.
        model.removeRowAt(0);
        QVERIFY(core::rewriteTLDs(path, model.rows()).ok());
        QCOMPARE(folder.read(core::kTldFileName), QByteArray("de|d\r\n\r\nfr|f|43|Enabled|25|a|b\r\n\r\n"));

        // Refilling replaces everything; a missing file leaves the list empty.
        QFile::remove(path);
        core::fillTLDList(model, path);
        QCOMPARE(model.rowCount(), 0);
    }

private:
    static QString kEnabled() { return core::kEnabledStatus; }
};

QTEST_GUILESS_MAIN(TestTldTable)
#include "tst_tldtable.moc"
