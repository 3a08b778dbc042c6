// Writes the first corpus of every fuzz target from the repository's test data, each input
// in the form its target reads (fields separated by NUL bytes):
//   make_seeds REPOSITORY OUTPUT
// makes OUTPUT/<target>/ for fuzz_textops, fuzz_tldtable, fuzz_verdict, fuzz_dnsreply,
// fuzz_entrydomain, fuzz_searchextraction, fuzz_pageextraction, fuzz_rdapanswer,
// fuzz_rdapbootstrap and fuzz_evidencerules.
#include "core/tld/TldTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace wendlecott;

namespace {

class SeedWriter {
public:
    SeedWriter(const QString &output, const QString &target) : m_dir(output + QLatin1Char('/') + target)
    {
        QDir().mkpath(m_dir);
    }
    void add(const QList<QByteArray> &fields)
    {
        QFile file(m_dir + QStringLiteral("/seed-%1").arg(m_count++, 4, 10, QLatin1Char('0')));
        if (file.open(QIODevice::WriteOnly))
            file.write(fields.join('\0'));
    }

private:
    QString m_dir;
    int m_count = 0;
};

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString &dir, const QString &pattern)
{
    QStringList paths;
    for (const QString &name : QDir(dir).entryList({pattern}, QDir::Files, QDir::Name))
        paths.append(dir + QLatin1Char('/') + name);
    return paths;
}

// Lines of the pages that hold an address, cut to a length a name operation sees.
QList<QByteArray> addressLines(const QStringList &pages, int wanted)
{
    QList<QByteArray> lines;
    for (const QString &page : pages) {
        for (const QByteArray &line : readBytes(page).split('\n')) {
            if (line.contains("http") && lines.size() < wanted)
                lines.append(line.left(400));
        }
    }
    return lines;
}

void textSeeds(const QString &repo, const QString &output)
{
    SeedWriter seeds(output, QStringLiteral("fuzz_textops"));
    const QByteArray ownTable = "co|whois.example|43|Enabled|0|No match\r\n"
                                "c m|whois.example|43|Enabled|0|\r\nproxy|p.example|43|Enabled|0|\r\n";
    int i = 0;
    for (const QByteArray &line : addressLines(
             filesIn(repo + QStringLiteral("/tests/data/html/pages"), QStringLiteral("*.html")), 120))
        seeds.add({line, "com", "net", ++i % 4 == 0 ? ownTable : QByteArray()});
    for (const QByteArray text : {"my%20shop%2520x%0A", "nb sp;&nbsp;a.b?c", "www.shop.example.co.uk",
                                  "http://a.com\" b.net/ c.org:", "x.COMMUNITY"})
        seeds.add({text, "%2", "%", ownTable});
}

void tableSeeds(const QString &output)
{
    SeedWriter seeds(output, QStringLiteral("fuzz_tldtable"));
    const QByteArray table = core::defaultTldText().toUtf8();
    seeds.add({table, "www.example.co.uk"});
    seeds.add({table, "xn--mnchen-3ya.de"});
    seeds.add({"com|a|43|Enabled|0|x\r\n|||\r\nnet|b|99999|Enabled|0|\r\nde|c|43|Disabled|-1|\r\n", "a.b.c"});
    seeds.add({"proxy|whois.example|4343|Enabled|25|No match\n", "example.com"});
}

void verdictSeeds(const QString &repo, const QString &output)
{
    SeedWriter seeds(output, QStringLiteral("fuzz_verdict"));
    const QString whois = repo + QStringLiteral("/tests/data/whois");
    const QByteArray standard = core::kStandardSuccessWords.toUtf8();
    const QByteArray someRules = readBytes(repo + QStringLiteral("/data/whois-evidence.tsv")).right(3000);
    const QList<QByteArray> manifest = readBytes(whois + QStringLiteral("/MANIFEST.tsv")).split('\n');
    for (qsizetype i = 1; i < manifest.size(); ++i) {
        const QList<QByteArray> fields = manifest.at(i).split('\t');
        if (fields.size() < 3)
            continue;
        const QByteArray answer = readBytes(whois + QLatin1Char('/') + QString::fromUtf8(fields.at(0)));
        const QByteArray name = i % 2 == 0 ? QByteArray() : "example." + fields.at(2);
        seeds.add({fields.at(2), name, standard, i % 10 == 0 ? someRules : QByteArray(), answer});
    }
}

// The replies captured from Knot, each with the name it was asked about.
void dnsSeeds(const QString &repo, const QString &output)
{
    SeedWriter seeds(output, QStringLiteral("fuzz_dnsreply"));
    const QString dir = repo + QStringLiteral("/tests/data/dns/");
    const QList<std::pair<const char *, QByteArray>> replies{{"referral", "taken.dlg"},
                                                             {"referral-glue", "glued.dlg"},
                                                             {"answer", "dlg"},
                                                             {"nxdomain", "free.dlg"},
                                                             {"nodata", "webonly.dlg"},
                                                             {"truncated", "huge.dlg"},
                                                             {"servfail", "foo.broken"},
                                                             {"refused", "foo.other"},
                                                             {"wildcard", "abcdefghijklmnopqrst.wild"}};
    for (const auto &[file, name] : replies)
        seeds.add({name, readBytes(dir + QLatin1String(file) + QStringLiteral(".bin"))});
}

void entrySeeds(const QString &repo, const QString &output)
{
    SeedWriter seeds(output, QStringLiteral("fuzz_entrydomain"));
    const QList<QByteArray> words = readBytes(repo + QStringLiteral("/data/FullWordList.txt")).split('\n');
    for (qsizetype i = 0; i < words.size() && i < 60000; i += 1000)
        seeds.add({words.at(i).trimmed(), i % 2000 == 0 ? "net" : "", ".com"});
    for (const QByteArray entry : {"http://www.example.com", "my%20shop", ":", " ", "a.b", "%252520x",
                                   "mailto:someone@example.org", "%2E%2Eb", "münchen"})
        seeds.add({entry, "", ".com"});
}

void pageSeeds(const QString &repo, const QString &output, const QString &target, const QString &folder)
{
    SeedWriter seeds(output, target);
    const QStringList pages = filesIn(repo + folder, QStringLiteral("*.html"));
    for (qsizetype i = 0; i < pages.size(); ++i) {
        seeds.add({readBytes(pages.at(i))});
        // Two pages of one run share the duplicate test.
        if (i + 1 < pages.size() && i % 4 == 0)
            seeds.add({readBytes(pages.at(i)).left(20000), readBytes(pages.at(i + 1)).left(20000)});
    }
    seeds.add(
        {"<Frame name=a\r\nsrc=\"http://frames.example.com/x\">\r\nhttp://www.shop.example.net/ a@b.org"});
}

void rdapAnswerSeeds(const QString &repo, const QString &output)
{
    SeedWriter seeds(output, QStringLiteral("fuzz_rdapanswer"));
    const QString rdap = repo + QStringLiteral("/tests/data/rdap");
    const QList<QByteArray> manifest = readBytes(rdap + QStringLiteral("/MANIFEST.tsv")).split('\n');
    for (qsizetype i = 1; i < manifest.size(); ++i) {
        const QList<QByteArray> fields = manifest.at(i).split('\t');
        if (fields.size() < 8)
            continue;
        const QByteArray body = readBytes(rdap + QLatin1Char('/') + QString::fromUtf8(fields.at(0)));
        const QByteArray status = fields.at(4).isEmpty() ? QByteArray("200") : fields.at(4);
        seeds.add({fields.at(7), QByteArray(), status, body});
        seeds.add({"other." + fields.at(2), QByteArray(), status, body.left(2000)});
    }
    seeds.add({"a.com", QByteArray(), "404", ""});
    seeds.add({"a.com", QByteArray(), "404", "<html><body>Not Found</body></html>"});
    seeds.add({"a.com", QByteArray(), "429", "{\"errorCode\":429}"});
    seeds.add({"a.com", QByteArray(), "503", "{\"description\":[\"quota exceeded\"]}"});
    seeds.add({"a.com", QByteArray(1, '\2'), "200", "{\"objectClassName\":\"domain\""});
}

void rdapBootstrapSeeds(const QString &repo, const QString &output)
{
    SeedWriter seeds(output, QStringLiteral("fuzz_rdapbootstrap"));
    const QByteArray file = readBytes(repo + QStringLiteral("/data/rdap-dns-bootstrap.json"));
    seeds.add({"www.example.com", file});
    seeds.add({"example.co.uk.", file.left(4000)});
    const QByteArray small = "{\"publication\":\"2024-01-01T00:00:00Z\",\"services\":["
                             "[[\"com\",\"NET\"],[\"http://a.example/rdap\",\"https://a.example/rdap/\"]],"
                             "[[\"co.uk\",\"com\"],[\"https://b.example/\"]],"
                             "[[\"xn--p1ai\"],[\"ftp://c.example/\"]]]}";
    for (const QByteArray name : {"a.com", "a.b.co.uk", "xn--e1afmkfd.xn--p1ai", "com", "a.net."})
        seeds.add({name, small});
}

void evidenceSeeds(const QString &repo, const QString &output)
{
    SeedWriter seeds(output, QStringLiteral("fuzz_evidencerules"));
    const QByteArray rules = readBytes(repo + QStringLiteral("/data/whois-evidence.tsv"));
    const QByteArray answer = readBytes(repo + QStringLiteral("/tests/data/whois/MANIFEST.tsv")).left(3000);
    // Pieces of the built-in table, one rule kind after another.
    for (qsizetype from = 0; from < rules.size(); from += 2500)
        seeds.add({rules.mid(from, 3000), answer});
    seeds.add({"available\t*\tno-match\t^no match\nblocked\t*\tno-match\tquota\n"
               "available\tde,.co.uk\tno-match\t-\nname\t*\tdn\tDomain Name\nfree\t*\tf\t(\n",
               "No match for \"A.COM\".\r\nquota exceeded\r\n"});
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make_seeds REPOSITORY OUTPUT\n");
        return 2;
    }
    const QString repo = args.at(1);
    const QString output = args.at(2);
    textSeeds(repo, output);
    tableSeeds(output);
    verdictSeeds(repo, output);
    dnsSeeds(repo, output);
    entrySeeds(repo, output);
    pageSeeds(repo, output, QStringLiteral("fuzz_searchextraction"), QStringLiteral("/tests/data/html/serp"));
    pageSeeds(repo, output, QStringLiteral("fuzz_pageextraction"), QStringLiteral("/tests/data/html/pages"));
    rdapAnswerSeeds(repo, output);
    rdapBootstrapSeeds(repo, output);
    evidenceSeeds(repo, output);
    QTextStream(stdout) << "seeds written to " << output << "\n";
    return 0;
}
