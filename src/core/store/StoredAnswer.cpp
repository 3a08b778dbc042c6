#include "core/store/StoredAnswer.h"

#include "core/lookup/DomainLookup.h"

#include <array>

namespace wendlecott::store {

namespace {

constexpr std::array<std::pair<core::LookupVerdict, const char *>, 4> kVerdictKeys{{
    {core::LookupVerdict::Available, "available"},
    {core::LookupVerdict::Registered, "registered"},
    {core::LookupVerdict::Blocked, "blocked"},
    {core::LookupVerdict::Unknown, "unknown"},
}};

} // namespace

QString verdictKey(core::LookupVerdict verdict)
{
    for (const auto &[v, key] : kVerdictKeys) {
        if (v == verdict)
            return QLatin1String(key);
    }
    return QStringLiteral("unknown");
}

std::optional<core::LookupVerdict> verdictFromKey(const QString &key)
{
    for (const auto &[v, k] : kVerdictKeys) {
        if (key.compare(QLatin1String(k), Qt::CaseInsensitive) == 0)
            return v;
    }
    return std::nullopt;
}

QString cutToUtf8Bytes(const QString &text, qsizetype maxBytes)
{
    // A character takes at most 3 bytes per UTF-16 unit, so short texts need no counting.
    if (text.size() * 3 <= maxBytes)
        return text;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype size = pair ? 4 : c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        i += pair ? 2 : 1;
    }
    return text.left(i);
}

StoredAnswer storedAnswer(const core::LookupEvidence &evidence, const core::RegistrationDetails &details,
                          const QDateTime &when)
{
    StoredAnswer stored;
    stored.name = evidence.name.trimmed().toLower();
    stored.extension = stored.name.section(QLatin1Char('.'), 1);
    stored.verdict = evidence.verdict;
    stored.protocol = core::protocolName(evidence.protocol);
    stored.server = evidence.protocol == core::LookupProtocol::Whois && evidence.port != 0
                        ? QStringLiteral("%1:%2").arg(evidence.server).arg(evidence.port)
                        : evidence.server;
    stored.rule = evidence.matchedWord.isEmpty() ? evidence.rule : evidence.matchedWord;
    stored.httpStatus = evidence.httpStatus;
    stored.bytes = evidence.answerBytes;
    stored.elapsedMs = evidence.elapsedMs;
    stored.answeredAt = when.toUTC();
    stored.details = details;
    stored.answer = cutToUtf8Bytes(evidence.answer, kMaxStoredAnswerBytes);
    return stored;
}

} // namespace wendlecott::store

namespace wendlecott::store {

core::LookupEvidence reusedEvidence(const StoredAnswer &answer)
{
    core::LookupEvidence evidence;
    evidence.name = answer.name;
    evidence.verdict = answer.verdict;
    evidence.protocol = core::protocolFromName(answer.protocol).value_or(core::LookupProtocol::Whois);
    evidence.server = answer.server;
    // whois servers are stored as "host:port"
    if (const qsizetype colon = answer.server.lastIndexOf(QLatin1Char(':'));
        evidence.protocol == core::LookupProtocol::Whois && colon > 0) {
        bool ok = false;
        const quint16 port = answer.server.mid(colon + 1).toUShort(&ok);
        if (ok) {
            evidence.server = answer.server.left(colon);
            evidence.port = port;
        }
    }
    evidence.rule = answer.rule;
    evidence.httpStatus = answer.httpStatus;
    evidence.answerBytes = answer.bytes;
    evidence.answer = answer.answer;
    evidence.reused = true;
    return evidence;
}

} // namespace wendlecott::store
