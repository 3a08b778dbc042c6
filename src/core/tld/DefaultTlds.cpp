#include "core/tld/TldTable.h"

#include "core/base/TextFile.h"

#include <iterator>

namespace wendlecott::core {

namespace {

// Which success-word field a default row carries. Most rows use the standard words; rows
// whose server is known to misbehave carry a note in "#" first, so the Setup list shows it.
enum class SuccessGroup {
    Standard,
    ServerDown,
    Operator1,      // note ends " APPEARS TO BE DEFUNCT#", then ","
    Operator1Short, // same operator, note ends " APPEARS DEFUNCT#", no comma
    Operator2,
    Operator3,
    Operator4,
    Operator5,
    UnrecognizableCharacters,
    Offline,
    LowQueryLimit,
    Abandoned,
    WhoisServerDown,
    SeverDown,
    Available,
    NoEntriesFound,
    NothingFound,
    NoDataFound,
    Avail,
    NoEntry,
    NoExiste,
    Free,
    AvailableCaps,
    NoSuchDomain,
    NoEncontrado,
    IsFree,
    Nomatch,
    NoMatchFor,
};

struct DefaultRow {
    const char *extension;
    const char *server;
    SuccessGroup group;
};

// The defunct whois operators that the notes name, by their internet domain in capitals.
constexpr const char *kOperator1 = "ALTERNIC.NET";
constexpr const char *kOperator2 = "PACIFICROOT.COM";
constexpr const char *kOperator3 = "NAME-SPACE.COM";
constexpr const char *kOperator4 = "OPEN-RSC.ORG";
constexpr const char *kOperator5 = "ADNS.NET";

// The default table in file order; duplicates and upper-case forms are part of it.
constexpr DefaultRow kDefaultRows[] = {
    {"0", "whois.arin.net", SuccessGroup::Standard},
    {"128", "whois.arin.net", SuccessGroup::Standard},
    {"192", "whois.arin.net", SuccessGroup::Standard},
    {"64", "whois.arin.net", SuccessGroup::Standard},
    {"800", "whois.alternic.net", SuccessGroup::Operator1},
    {"888", "whois.alternic.net", SuccessGroup::Operator1},
    {"ac", "whois.nic.ac", SuccessGroup::Available},
    {"af", "whois.nic.af", SuccessGroup::ServerDown},
    {"al", "whois.ripe.net", SuccessGroup::NoEntriesFound},
    {"am", "whois.amnic.net", SuccessGroup::Standard},
    {"art", "whois.nic.art", SuccessGroup::Operator3},
    {"arts", "dns411.com", SuccessGroup::Operator3},
    {"as", "whois.nic.as", SuccessGroup::Standard},
    {"at", "whois.nic.at", SuccessGroup::NothingFound},
    {"au", "whois.auda.org.au", SuccessGroup::NoDataFound},
    {"ave", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"az", "whois.ripe.net", SuccessGroup::Standard},
    {"ba", "whois.ripe.net", SuccessGroup::Standard},
    {"bank", "whois.nic.bank", SuccessGroup::Operator3},
    {"be", "whois.dns.be", SuccessGroup::Standard},
    {"bg", "whois.register.bg", SuccessGroup::Standard},
    {"biz", "whois.nic.biz", SuccessGroup::Standard},
    {"blues", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"blues", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"bot", "whois.nic.bot", SuccessGroup::Operator2},
    {"br", "whois.registro.br", SuccessGroup::Standard},
    {"bt", "whois.nic.tm", SuccessGroup::Standard},
    {"by", "whois.cctld.by", SuccessGroup::Standard},
    {"ca", "whois.cira.ca", SuccessGroup::Avail},
    {"cc", "ccwhois.verisign-grs.com", SuccessGroup::Standard},
    {"cdn", "whois.alternic.net", SuccessGroup::Operator1},
    {"cgi", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"ch", "whois.nic.ch", SuccessGroup::NoEntry},
    {"ck", "whois.nic.ck", SuccessGroup::Standard},
    {"cl", "whois.nic.cl", SuccessGroup::NoExiste},
    {"cn", "whois.cnnic.cn", SuccessGroup::Standard},
    {"com", "whois.verisign-grs.com", SuccessGroup::Standard},
    {"corp", "whois.open-rsc.org", SuccessGroup::Operator4},
    {"cx", "whois.nic.cx", SuccessGroup::Standard},
    {"cy", "whois.ripe.net", SuccessGroup::Standard},
    {"cz", "whois.nic.cz", SuccessGroup::Standard},
    {"dds", "whois.nic.dds", SuccessGroup::Operator1},
    {"de", "whois.denic.de", SuccessGroup::Free},
    {"depot", "whois.alternic.net", SuccessGroup::Operator1},
    {"dev", "whois.nic.dev", SuccessGroup::Operator2},
    {"dir", "dns411.com", SuccessGroup::Operator3},
    {"dk", "whois.punktum.dk", SuccessGroup::Standard},
    {"dz", "whois.nic.dz", SuccessGroup::Standard},
    {"earth", "whois.nic.earth", SuccessGroup::Operator5},
    {"edu", "whois.educause.edu", SuccessGroup::Standard},
    {"ee", "whois.tld.ee", SuccessGroup::Standard},
    {"eg", "whois.ripe.net", SuccessGroup::Standard},
    {"es", "whois.ripe.net", SuccessGroup::NoEntriesFound},
    {"event", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"faq", "whois.alternic.net", SuccessGroup::Operator1},
    {"fi", "whois.fi", SuccessGroup::Standard},
    {"film", "whois.nic.film", SuccessGroup::Operator3},
    {"florida", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"fo", "whois.nic.fo", SuccessGroup::Standard},
    {"fr", "whois.nic.fr", SuccessGroup::NoEntriesFound},
    {"fund", "whois.nic.fund", SuccessGroup::Operator3},
    {"gallery", "whois.nic.gallery", SuccessGroup::Operator1},
    {"gb", "whois.ripe.net", SuccessGroup::Standard},
    {"ge", "whois.nic.ge", SuccessGroup::Standard},
    {"gm", "whois.ripe.net", SuccessGroup::Standard},
    {"gmbh", "whois.nic.gmbh", SuccessGroup::Operator1},
    {"gov", "whois.nic.gov", SuccessGroup::Standard},
    {"gr", "whois.ripe.net", SuccessGroup::Standard},
    {"gs", "whois.nic.gs", SuccessGroup::Standard},
    {"heck", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"help", "whois.nic.help", SuccessGroup::Operator3},
    {"here", "whois.nic.here", SuccessGroup::Operator2},
    {"here", "whois.nic.here", SuccessGroup::Operator2},
    {"hk", "whois.hkirc.hk", SuccessGroup::Standard},
    {"hosts", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"hotel", "dns411.com", SuccessGroup::Operator3},
    {"hr", "whois.dns.hr", SuccessGroup::Standard},
    {"hu", "whois.nic.hu", SuccessGroup::Standard},
    {"humanrights", "whois.alternic.net", SuccessGroup::Operator1},
    {"hwy", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"ie", "whois.weare.ie", SuccessGroup::Standard},
    {"il", "whois.isoc.org.il", SuccessGroup::Standard},
    {"info", "whois.nic.info", SuccessGroup::Standard},
    {"ins", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"int", "whois.iana.org", SuccessGroup::ServerDown},
    {"iq", "whois.cmc.iq", SuccessGroup::Operator1Short},
    {"is", "whois.isnic.is", SuccessGroup::Standard},
    {"isp", "dns411.com", SuccessGroup::Operator3},
    {"it", "whois.nic.it", SuccessGroup::AvailableCaps},
    {"java", "whois.nic.java", SuccessGroup::Operator2},
    {"jp", "whois.jprs.jp", SuccessGroup::UnrecognizableCharacters},
    {"kg", "whois.kg", SuccessGroup::ServerDown},
    {"kr", "whois.kr", SuccessGroup::Standard},
    {"li", "whois.nic.li", SuccessGroup::NoEntry},
    {"life", "whois.nic.life", SuccessGroup::Operator2},
    {"List", "whois.alternic.net", SuccessGroup::Standard},
    {"list", "whois.alternic.net", SuccessGroup::Operator1},
    {"llb", "whois.alternic.net", SuccessGroup::Operator1},
    {"lol", "whois.nic.lol", SuccessGroup::Operator2},
    {"lt", "whois.domreg.lt", SuccessGroup::Standard},
    {"lu", "whois.dns.lu", SuccessGroup::NoSuchDomain},
    {"luv", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"lv", "whois.nic.lv", SuccessGroup::Standard},
    {"ma", "whois.registre.ma", SuccessGroup::Standard},
    {"mart", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"mbx", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"md", "whois.nic.md", SuccessGroup::Standard},
    {"med", "whois.nic.med", SuccessGroup::Operator3},
    {"mil", "whois.nic.mil", SuccessGroup::Offline},
    {"mk", "whois.marnet.mk", SuccessGroup::Standard},
    {"moi", "whois.nic.moi", SuccessGroup::Operator2},
    {"ms", "whois.nic.ms", SuccessGroup::Standard},
    {"mt", "whois.nic.org.mt", SuccessGroup::Standard},
    {"music", "whois.nic.music", SuccessGroup::Operator3},
    {"mx", "whois.mx", SuccessGroup::NoEncontrado},
    {"net", "whois.verisign-grs.com", SuccessGroup::Standard},
    {"nic", "whois.alternic.net", SuccessGroup::Operator1},
    {"nl", "whois.domain-registry.nl", SuccessGroup::IsFree},
    {"no", "whois.norid.no", SuccessGroup::Standard},
    {"npo", "whois.open-rsc.org", SuccessGroup::Operator4},
    {"nu", "whois.iis.nu", SuccessGroup::Standard},
    {"org", "whois.pir.org", SuccessGroup::LowQueryLimit},
    {"php", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"pics", "whois.nic.pics", SuccessGroup::Operator2},
    {"pka", "whois.iana.org", SuccessGroup::ServerDown},
    {"pl", "whois.dns.pl", SuccessGroup::Standard},
    {"plan", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"prices", "whois.alternic.net", SuccessGroup::Operator1},
    {"proxy", "127.0.0.1", SuccessGroup::Standard},
    {"pt", "whois.dns.pt", SuccessGroup::Standard},
    {"pta", "whois.iana.org", SuccessGroup::ServerDown},
    {"radio", "whois.nic.radio", SuccessGroup::Operator3},
    {"ro", "whois.rotld.ro", SuccessGroup::Standard},
    {"rofl", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"ru", "whois.tcinet.ru", SuccessGroup::NoEntriesFound},
    {"safe", "whois.nic.safe", SuccessGroup::Operator1},
    {"Script", "whois.pacificroot.com", SuccessGroup::Standard},
    {"script", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"se", "whois.iis.se", SuccessGroup::Standard},
    {"sex", "whois.nic.sex", SuccessGroup::Abandoned},
    {"sg", "whois.sgnic.sg", SuccessGroup::Nomatch},
    {"sh", "whois.nic.sh", SuccessGroup::Standard},
    {"si", "whois.register.si", SuccessGroup::Standard},
    {"sk", "whois.sk-nic.sk", SuccessGroup::Standard},
    {"sky", "whois.nic.sky", SuccessGroup::Operator3},
    {"sm", "whois.nic.sm", SuccessGroup::Standard},
    {"speed", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"sql", "whois.alternic.net", SuccessGroup::Operator1},
    {"st", "whois.nic.st", SuccessGroup::Standard},
    {"su", "whois.tcinet.ru", SuccessGroup::Standard},
    {"swap", "whois.alternic.net", SuccessGroup::Operator1},
    {"tc", "whois.nic.tc", SuccessGroup::Standard},
    {"texas", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"tf", "whois.nic.tf", SuccessGroup::Standard},
    {"th", "whois.thnic.co.th", SuccessGroup::Standard},
    {"this", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"this", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"tj", "whois.nic.tj", SuccessGroup::ServerDown},
    {"tm", "whois.nic.tm", SuccessGroup::Standard},
    {"tn", "whois.ati.tn", SuccessGroup::Standard},
    {"to", "whois.tonicregistry.to", SuccessGroup::Standard},
    {"tr", "whois.trabis.gov.tr", SuccessGroup::Standard},
    {"tux", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"tw", "whois.twnic.net.tw", SuccessGroup::Standard},
    {"ua", "whois.ua", SuccessGroup::Standard},
    {"uk", "whois.nic.uk", SuccessGroup::NoMatchFor},
    {"us", "whois.nic.us", SuccessGroup::Standard},
    {"usa", "whois.adns.net", SuccessGroup::Operator5},
    {"va", "whois.ripe.net", SuccessGroup::Standard},
    {"ve", "whois.nic.ve", SuccessGroup::WhoisServerDown},
    {"vg", "whois.nic.vg", SuccessGroup::Standard},
    {"video", "whois.nic.video", SuccessGroup::Operator3},
    {"whois", "whois.iana.org", SuccessGroup::SeverDown},
    {"xxx", "whois.nic.xxx", SuccessGroup::Operator3},
    {"y3k", "whois.pacificroot.com", SuccessGroup::Operator2},
    {"yu", "whois.ripe.net", SuccessGroup::Standard},
    {"z", "whois.adns.net", SuccessGroup::Operator5},
    {"zine", "dns411.com", SuccessGroup::Operator3},
    {"zoo", "whois.alternic.net", SuccessGroup::Operator1},
};

// A note for the user, then a comma, then the standard words.
QString noteThenStandard(const char *note)
{
    return QLatin1String(note) + QLatin1Char(',') + kStandardSuccessWords;
}

// "#OPERATOR APPEARS DEFUNCT#" runs straight into the standard words, without a comma, as
// the table has always had it.
QString defunctThenStandard(const char *operatorDomain)
{
    return QLatin1Char('#') + QLatin1String(operatorDomain) + QLatin1String(" APPEARS DEFUNCT#") +
           kStandardSuccessWords;
}

QString successWordsFor(SuccessGroup group)
{
    switch (group) {
    case SuccessGroup::Standard:
        return kStandardSuccessWords;
    case SuccessGroup::ServerDown:
        return noteThenStandard("#SERVER DOWN#");
    case SuccessGroup::Operator1:
        return QLatin1Char('#') + QLatin1String(kOperator1) + QLatin1String(" APPEARS TO BE DEFUNCT#,") +
               kStandardSuccessWords;
    case SuccessGroup::Operator1Short:
        return defunctThenStandard(kOperator1);
    case SuccessGroup::Operator2:
        return defunctThenStandard(kOperator2);
    case SuccessGroup::Operator3:
        return defunctThenStandard(kOperator3);
    case SuccessGroup::Operator4:
        return defunctThenStandard(kOperator4);
    case SuccessGroup::Operator5:
        return defunctThenStandard(kOperator5);
    case SuccessGroup::UnrecognizableCharacters:
        return noteThenStandard("#APPEARS TO RETURN UNRECOGNIZABLE CHARACTERS#");
    case SuccessGroup::Offline:
        return noteThenStandard("#APPEARS TO BE OFFLINE#");
    case SuccessGroup::LowQueryLimit:
        return noteThenStandard("#VERY LOW QUERY LIMIT#");
    case SuccessGroup::Abandoned:
        return noteThenStandard("#TLD MAY HAVE BEEN ABANDONED#");
    case SuccessGroup::WhoisServerDown:
        return noteThenStandard("#WHOIS SERVER SEEMS DOWN#");
    case SuccessGroup::SeverDown:
        return noteThenStandard("#SEVER DOWN#");
    case SuccessGroup::Available:
        return QStringLiteral("Available");
    case SuccessGroup::NoEntriesFound:
        return QStringLiteral("No entries found");
    case SuccessGroup::NothingFound:
        return QStringLiteral("Nothing found");
    case SuccessGroup::NoDataFound:
        return QStringLiteral("No data found");
    case SuccessGroup::Avail:
        return QStringLiteral("AVAIL");
    case SuccessGroup::NoEntry:
        return QStringLiteral("We do not have an entry");
    case SuccessGroup::NoExiste:
        return QStringLiteral("No existe");
    case SuccessGroup::Free:
        return QStringLiteral("free");
    case SuccessGroup::AvailableCaps:
        return QStringLiteral("AVAILABLE");
    case SuccessGroup::NoSuchDomain:
        return QStringLiteral("No such domain");
    case SuccessGroup::NoEncontrado:
        return QStringLiteral("No Encontrado");
    case SuccessGroup::IsFree:
        return QStringLiteral("is free");
    case SuccessGroup::Nomatch:
        return QStringLiteral("NOMATCH");
    case SuccessGroup::NoMatchFor:
        return QStringLiteral("No match for");
    }
    return kStandardSuccessWords;
}

} // namespace

QList<QStringList> defaultTldRows()
{
    const QString port = QString::number(kDefaultPort);
    const QString throttle = QString::number(kDefaultThrottle);
    QList<QStringList> rows;
    rows.reserve(qsizetype(std::size(kDefaultRows)));
    for (const DefaultRow &row : kDefaultRows) {
        const QString extension = QLatin1String(row.extension);
        // Only com, net and the proxy row are offered at first; the rest wait for the user.
        const bool enabled = extension == QLatin1String("com") || extension == QLatin1String("net") ||
                             extension == kProxyExtension;
        rows.append({extension, QLatin1String(row.server), port,
                     enabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled"), throttle,
                     successWordsFor(row.group)});
    }
    return rows;
}

QString defaultTldText()
{
    QStringList lines;
    const QList<QStringList> rows = defaultTldRows();
    lines.reserve(rows.size() + 1);
    for (const QStringList &row : rows)
        lines.append(row.join(QLatin1Char('|')));
    // The file ends with an empty line.
    lines.append(QString());
    return joinLinesCrLf(lines);
}

} // namespace wendlecott::core
