#include "core/lookup/LookupEvidence.h"

#include "core/lookup/EvidenceJudge.h"
#include "core/lookup/RdapQuery.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonValue>

namespace wendlecott::core {

namespace {

struct Named {
    const char *name;
    int value;
};

constexpr Named kProtocols[] = {{"whois", int(LookupProtocol::Whois)},
                                {"rdap", int(LookupProtocol::Rdap)},
                                {"auto", int(LookupProtocol::Auto)},
                                {"dns", int(LookupProtocol::Dns)}};
constexpr Named kRules[] = {{"words", int(VerdictRules::SuccessWords)},
                            {"evidence", int(VerdictRules::Evidence)}};
constexpr Named kEndings[] = {
    {"answered", int(LookupEnding::Answered)},          {"cap-reached", int(LookupEnding::CapReached)},
    {"no-connection", int(LookupEnding::NoConnection)}, {"send-failed", int(LookupEnding::SendFailed)},
    {"timed-out", int(LookupEnding::TimedOut)},         {"too-large", int(LookupEnding::TooLarge)},
    {"redirects", int(LookupEnding::TooManyRedirects)}, {"stopped", int(LookupEnding::Stopped)}};

template <std::size_t N> QString nameOf(const Named (&table)[N], int value)
{
    for (const Named &entry : table) {
        if (entry.value == value)
            return QString::fromLatin1(entry.name);
    }
    return {};
}

template <std::size_t N> std::optional<int> valueOf(const Named (&table)[N], const QString &name)
{
    for (const Named &entry : table) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.value;
    }
    return std::nullopt;
}

// The extension a whois answer is judged under: everything after the name's first label.
QString extensionOf(const QString &name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.mid(dot + 1);
}

const EvidenceJudge &builtInJudge()
{
    static const EvidenceJudge judge;
    return judge;
}

LookupEnding endingOf(WhoisEnding ending)
{
    switch (ending) {
    case WhoisEnding::ServerClosed:
        return LookupEnding::Answered;
    case WhoisEnding::CapReached:
        return LookupEnding::CapReached;
    case WhoisEnding::NoConnection:
        return LookupEnding::NoConnection;
    case WhoisEnding::SendFailed:
        return LookupEnding::SendFailed;
    case WhoisEnding::TimedOut:
        return LookupEnding::TimedOut;
    }
    return LookupEnding::NoConnection;
}

LookupEnding endingOf(HttpEnding ending)
{
    switch (ending) {
    case HttpEnding::Finished:
        return LookupEnding::Answered;
    case HttpEnding::NetworkError:
        return LookupEnding::NoConnection;
    case HttpEnding::TooLarge:
        return LookupEnding::TooLarge;
    case HttpEnding::TimedOut:
        return LookupEnding::TimedOut;
    case HttpEnding::TooManyRedirects:
        return LookupEnding::TooManyRedirects;
    }
    return LookupEnding::NoConnection;
}

Judgement judgeWhoisAnswer(const LookupEvidence &evidence, const WhoisAnswer &answer, const WhoisRules &rules)
{
    if (rules.rules == VerdictRules::Evidence) {
        const EvidenceJudge &judge = rules.judge ? *rules.judge : builtInJudge();
        return judge.judge(answer.text, extensionOf(evidence.name), evidence.name);
    }
    if (answer.bytes.isEmpty())
        return {LookupVerdict::Unknown, {}, QStringLiteral("no-answer"), {}};
    return judgeResponse(answer.text, rules.successWords);
}

void take(LookupEvidence &evidence, const Judgement &judgement)
{
    evidence.verdict = judgement.verdict;
    evidence.rule = judgement.rule;
    evidence.matchedWord = judgement.matchedWord;
    evidence.evidenceLine = judgement.evidence;
}

} // namespace

QString protocolName(LookupProtocol protocol)
{
    return nameOf(kProtocols, int(protocol));
}

std::optional<LookupProtocol> protocolFromName(const QString &name)
{
    const std::optional<int> value = valueOf(kProtocols, name);
    if (!value || LookupProtocol(*value) == LookupProtocol::Dns)
        return std::nullopt;
    return LookupProtocol(*value);
}

QString rulesName(VerdictRules rules)
{
    return nameOf(kRules, int(rules));
}

std::optional<VerdictRules> rulesFromName(const QString &name)
{
    const std::optional<int> value = valueOf(kRules, name);
    return value ? std::optional<VerdictRules>(VerdictRules(*value)) : std::nullopt;
}

QString endingName(LookupEnding ending)
{
    return nameOf(kEndings, int(ending));
}

QJsonObject evidenceJson(const LookupEvidence &evidence, bool withAnswer)
{
    QJsonObject object;
    object.insert(QStringLiteral("name"), evidence.name);
    object.insert(QStringLiteral("verdict"), verdictName(evidence.verdict));
    object.insert(QStringLiteral("protocol"), protocolName(evidence.protocol));
    if (evidence.protocol == LookupProtocol::Whois)
        object.insert(QStringLiteral("rules"), rulesName(evidence.rules));
    object.insert(QStringLiteral("server"), evidence.server);
    object.insert(QStringLiteral("port"), int(evidence.port));
    if (!evidence.url.isEmpty())
        object.insert(QStringLiteral("url"), evidence.url);
    object.insert(QStringLiteral("rule"), evidence.rule);
    if (!evidence.matchedWord.isEmpty())
        object.insert(QStringLiteral("word"), evidence.matchedWord);
    if (!evidence.evidenceLine.isEmpty())
        object.insert(QStringLiteral("evidence"), evidence.evidenceLine);
    if (evidence.protocol == LookupProtocol::Rdap)
        object.insert(QStringLiteral("status"), evidence.httpStatus);
    if (evidence.retryAfterSeconds)
        object.insert(QStringLiteral("retryAfter"), double(*evidence.retryAfterSeconds));
    object.insert(QStringLiteral("bytes"), double(evidence.answerBytes));
    object.insert(QStringLiteral("ms"), double(evidence.elapsedMs));
    if (evidence.protocol == LookupProtocol::Whois)
        object.insert(QStringLiteral("connections"), evidence.connections);
    object.insert(QStringLiteral("ending"), endingName(evidence.ending));
    if (!evidence.reason.isEmpty())
        object.insert(QStringLiteral("reason"), evidence.reason);
    if (evidence.reused)
        object.insert(QStringLiteral("reused"), true);
    if (evidence.protocol == LookupProtocol::Dns) {
        object.insert(QStringLiteral("nameServers"), QJsonArray::fromStringList(evidence.nameServers));
        object.insert(QStringLiteral("time"), evidence.time.toString(Qt::ISODateWithMs));
    }
    if (withAnswer)
        object.insert(QStringLiteral("answer"), evidence.answer);
    return object;
}

void judgeExchange(LookupEvidence &evidence, const WhoisAnswer &answer, const WhoisRules &rules)
{
    if (!answer.host.isEmpty())
        evidence.server = answer.host;
    if (answer.port != 0)
        evidence.port = answer.port;
    evidence.answer = answer.text;
    evidence.answerBytes = answer.bytes.size();
    evidence.reason = answer.reason;
    evidence.ending = endingOf(answer.ending);
    if (evidence.ending == LookupEnding::Answered || evidence.ending == LookupEnding::CapReached) {
        take(evidence, judgeWhoisAnswer(evidence, answer, rules));
        return;
    }
    evidence.verdict = LookupVerdict::Unknown; // no whole answer: nothing to judge
    evidence.rule = endingName(evidence.ending);
}

void judgeExchange(LookupEvidence &evidence, const HttpResponse &response)
{
    take(evidence, judgeRdapAnswer(response, evidence.name));
    evidence.httpStatus = response.status;
    if (response.finalUrl.isValid() && !response.finalUrl.isEmpty())
        evidence.url = response.finalUrl.toString();
    evidence.answerBytes = response.body.size();
    evidence.answer = whoisAnswerText(response.body);
    evidence.reason = response.error;
    evidence.retryAfterSeconds =
        retryAfterSeconds(response.header(QByteArrayLiteral("Retry-After")), QDateTime::currentDateTimeUtc());
    evidence.ending = endingOf(response.ending);
}

} // namespace wendlecott::core
