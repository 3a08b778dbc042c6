#pragma once

#include "core/tld/TldTable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

// What the tests of the two page extractions share: small TLD tables and the real pages kept
// in tests/data/html.
namespace wendlecott::testing {

inline core::TldEntry tldRow(const QString &extension, bool enabled)
{
    core::TldEntry entry;
    entry.extension = extension;
    entry.server = QStringLiteral("whois.example");
    entry.enabled = enabled;
    return entry;
}

// com, net, org, info, de, us and uk enabled; fr disabled; the proxy row enabled.
inline core::TldTable extractionTable()
{
    core::TldTable table;
    for (const char *extension : {"com", "net", "org", "info", "de", "us", "uk"})
        table.rows.append(tldRow(QString::fromLatin1(extension), true));
    table.rows.append(tldRow(QStringLiteral("fr"), false));
    table.rows.append(tldRow(QStringLiteral("proxy"), true));
    return table;
}

inline core::TldTable tableOf(const QStringList &enabled)
{
    core::TldTable table;
    for (const QString &extension : enabled)
        table.rows.append(tldRow(extension, true));
    return table;
}

inline QStringList latin1List(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list.append(QString::fromLatin1(text));
    return list;
}

// The .html files of tests/data/html/<folder>, by name.
inline QStringList pageFiles(const QString &folder)
{
    const QDir dir(QStringLiteral(WENDLECOTT_TESTDATA "/html/") + folder);
    QStringList files;
    for (const QString &name : dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name))
        files.append(dir.filePath(name));
    return files;
}

inline QByteArray pageBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A domain as a user means it: labels of letters, digits and hyphens, at least two of them.
inline bool isCleanDomain(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[\\p{L}\\p{N}-]+(\\.[\\p{L}\\p{N}-]+)+$"));
    return pattern.match(name).hasMatch();
}

// The first name that repeats an earlier one or occurs inside one (without regard to case),
// or the empty text.
inline QString firstRepeatedName(const QStringList &names)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        for (qsizetype j = 0; j < i; ++j) {
            if (names.at(j).contains(names.at(i), Qt::CaseInsensitive))
                return names.at(i);
        }
    }
    return {};
}

} // namespace wendlecott::testing
