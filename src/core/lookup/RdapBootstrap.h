#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace wendlecott::core {

// The bootstrap file in the program folder; without it (or when it does not parse) the copy
// built into the program serves.
inline const QString kRdapBootstrapFileName = QStringLiteral("rdap-dns-bootstrap.json");
// Where IANA publishes the current file.
inline const QString kRdapBootstrapAddress = QStringLiteral("https://data.iana.org/rdap/dns.json");
// A bootstrap file is about 100 KB; a download larger than this is no bootstrap file.
inline constexpr qint64 kMaxRdapBootstrapBytes = qint64(8) << 20;

// IANA's RDAP bootstrap for domain names: which RDAP servers answer for which extensions.
// Copies are cheap enough to replace the one in use when a newer file arrives.
class RdapBootstrap {
public:
    RdapBootstrap() = default;

    // Reads bootstrap JSON (an object with "services": [[labels], [addresses]] entries).
    // Anything else, a service without labels or without an http(s) address included, is
    // refused with InvalidInput and a message that says why.
    static Result<RdapBootstrap> parse(const QByteArray &json);
    // The copy built into the program.
    static const RdapBootstrap &builtIn();
    // The program folder's file when it is there and parses, else the built-in copy. When
    // the folder's file is there but passed over, `problem` says why.
    static RdapBootstrap forProgramFolder(const QString &programFolder, QString *problem = nullptr);
    // The program folder's file (its name matched without regard to case).
    static QString pathIn(const QString &programFolder);

    bool isEmpty() const { return m_bases.isEmpty(); }
    QString publication() const { return m_publication; } // as the file writes it
    int serviceCount() const { return m_services; }
    int extensionCount() const { return int(m_bases.size()); }
    // Where the copy came from: "built-in" or the file's path.
    QString source() const { return m_source; }
    void setSource(const QString &source) { m_source = source; }

    // The extension that serves `name`: the longest run of its last labels that the file
    // lists ("co.uk" before "uk"), compared in lower case and IDNA form; a trailing dot does
    // not count. Empty when none does.
    QString extensionFor(const QString &name) const;
    // The base address to ask about `name` (https preferred; ends with "/"), or nothing.
    std::optional<QUrl> baseUrlFor(const QString &name) const;

private:
    QHash<QString, QList<QUrl>> m_bases; // extension -> addresses, https ones first
    QString m_publication;
    QString m_source;
    int m_services = 0;
};

// `name` in lower case and IDNA (ASCII) form, without a trailing dot; empty when it cannot
// be written so.
QString idnaName(const QString &name);

} // namespace wendlecott::core
