#include "sources/EntryDomain.h"

#include "sources/TextOps.h"

namespace wendlecott::sources {

QString domainForEntry(const QString &entry, const QString &cmbTldsText, const QString &defaultExtension)
{
    // Cut and decode before cleaning: cleaning first would turn the scheme into part of the
    // name ("http://www.example.com" -> "httpwww.example.com") and the digits of an escape
    // into letters of it ("my%20shop" -> "my20shop").
    QString name = entry;
    const qsizetype colon = name.indexOf(u':');
    if (colon >= 0)
        name = name.mid(colon + 1);
    QString domain = xCorrectName(xurlEncode(name));
    // A control character (tab and line ends among them, also decoded from "%0A") never
    // reaches a whois server, which gets one line; it must not reach the lists either, or the
    // name filed and printed would differ from the name asked.
    const auto isControl = [](QChar c) { return c.category() == QChar::Other_Control; };
    domain.removeIf(isControl);
    const qsizetype dot = domain.indexOf(u'.');
    if (dot == 0 || domain.isEmpty())
        return {};
    if (dot < 0) {
        // The extension too (from the box or the settings), for the same reason.
        QString extension = cmbTldsText.isEmpty() ? defaultExtension : QLatin1Char('.') + cmbTldsText;
        domain += extension.removeIf(isControl);
    }
    return domain;
}

} // namespace wendlecott::sources
