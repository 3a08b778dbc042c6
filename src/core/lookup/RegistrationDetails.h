#pragma once

#include "core/lookup/DetailsTable.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

namespace wendlecott::core {

struct LookupEvidence;

// What an answer says about a registration. A detail the answer does not hold, or holds in
// a form that cannot be read, is left out: an invalid date, an empty text, an empty list.
struct RegistrationDetails {
    QDateTime created; // UTC
    QDateTime expires; // UTC
    QDateTime updated; // UTC
    QString registrar;
    QStringList statuses;    // as the registry writes them, in answer order, no repeats
    QStringList nameservers; // lower case, without a final dot, in answer order, no repeats

    bool isEmpty() const;
    bool operator==(const RegistrationDetails &other) const = default;
};

// The details in a whois answer for a name under extension `tld` ("de", "co.uk"; case and a
// leading dot do not matter), read by the rules of `table`.
RegistrationDetails whoisDetails(QStringView answer, const QString &tld,
                                 const DetailsTable &table = DetailsTable::builtIn());

// The details in an RDAP domain answer: its events (registration, expiration, last changed),
// the entity with role registrar (its vCard "fn", else "org", else its handle), status and nameservers.
RegistrationDetails rdapDetails(const QJsonObject &domain);
// The same from the answer's text; nothing when it is no JSON object.
RegistrationDetails rdapDetails(const QString &answer);

// The details in the answer of a finished lookup, read the way its protocol writes them.
RegistrationDetails detailsOf(const LookupEvidence &evidence);

// A date as the program writes it: ISO 8601 in UTC, "2024-05-01T12:00:00Z"; empty when invalid.
QString isoUtc(const QDateTime &dateTime);
// The same text for a time in milliseconds since 1970, to the second below it, written into
// `text` without Qt (a million of them in an export); false, and nothing written, for a year
// beyond 1 to 9999, which isoUtc leaves to Qt.
bool writeIsoUtc(qint64 msecs, std::array<char, 20> &text);

// The details as one JSON object: created, expires, updated, registrar, statuses,
// nameservers; a detail not found is absent.
QJsonObject detailsJson(const RegistrationDetails &details);
// Back from such an object; what is not there or cannot be read stays empty.
RegistrationDetails detailsFromJson(const QJsonObject &object);

} // namespace wendlecott::core
