#include "core/run/RunFiler.h"

#include "core/base/UserNotice.h"
#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "core/lookup/AnswerRecorder.h"
#include "core/tld/ExtensionCheck.h"
#include "core/tld/TldTable.h"

namespace wendlecott::core {

LookupChoices RunEnvironment::choices() const
{
    if (lookupChoices)
        return lookupChoices();
    return LookupChoices::described(useProxy && useProxy());
}

RunFiler::RunFiler(const RunEnvironment &environment) : m_env(environment)
{
}

void RunFiler::beginRun()
{
    m_warned = false;
    m_passedOver = 0;
    m_invalidNames = 0;
    m_settledByDns = 0;
}

QString RunFiler::shownAnswer(const LookupEvidence &evidence)
{
    return evidence.protocol == LookupProtocol::Rdap
               ? QStringLiteral("HTTP %1\r\n%2").arg(evidence.httpStatus).arg(evidence.answer)
               : evidence.answer;
}

// A whois "not found" from a server that serves another registry (the .com row or the
// fallback, for a name without a row of its own) says nothing about the name.
LookupEvidence RunFiler::withoutForeignAvailable(LookupEvidence evidence) const
{
    if (evidence.verdict != LookupVerdict::Available || evidence.protocol != LookupProtocol::Whois)
        return evidence;
    const QString problem = fallbackProblem(evidence.name, m_env.table, m_env.choices().useProxy);
    if (!problem.isEmpty()) {
        evidence.verdict = LookupVerdict::Unknown;
        evidence.reason = problem;
    }
    return evidence;
}

void RunFiler::endRun()
{
    if (m_env.recorder)
        warnOnce(m_env.recorder->flush());
    if (m_env.unanswered)
        warnOnce(m_env.unanswered->flush());
}

void RunFiler::warnOnce(const Status &status)
{
    if (!status && !m_warned) {
        m_warned = true;
        m_env.notice.showMessage(QString(), status.message(), NoticeIcon::Warning);
    }
}

std::optional<LookupEvidence> RunFiler::reusableAnswer(const QString &domain) const
{
    const int days = m_env.reuseRegisteredDays ? m_env.reuseRegisteredDays() : 0;
    if (!m_env.recorder || days <= 0)
        return std::nullopt;
    return m_env.recorder->reusableAnswer(domain, days, QDateTime::currentDateTimeUtc());
}

RunRecord RunFiler::file(const LookupEvidence &asked)
{
    const LookupEvidence evidence = withoutForeignAvailable(asked);
    if (m_env.recorder && !evidence.reused)
        warnOnce(m_env.recorder->record(evidence));
    RunRecord record;
    record.name = evidence.name;
    record.server = evidence.server;
    record.evidence = evidence;
    switch (evidence.verdict) {
    case LookupVerdict::Available:
        record.kind = RunRecord::Kind::Available;
        if (const auto profile = m_env.lists.addAvailable(evidence.name))
            record.profileClass = profileClassName(*profile);
        settle(evidence.name);
        break;
    case LookupVerdict::Registered:
        record.kind = RunRecord::Kind::Registered;
        if (evidence.protocol == LookupProtocol::Dns)
            ++m_settledByDns;
        m_env.lists.addRegistered(evidence.name);
        settle(evidence.name);
        break;
    case LookupVerdict::Blocked:
        record.kind = RunRecord::Kind::Blocked;
        m_env.notice.showBlocked(evidence.server, shownAnswer(evidence), evidence.name);
        (void)keep(evidence.name); // a failed keep is said by keep
        break;
    case LookupVerdict::Unknown:
        // Never filed as Registered or Available. A time-out and a server that could not be
        // reached are said at once; an answer without a verdict only keeps the name.
        record.kind =
            evidence.ending == LookupEnding::TimedOut ? RunRecord::Kind::Timeout : RunRecord::Kind::Unknown;
        if (evidence.ending == LookupEnding::TimedOut)
            m_env.notice.showBlocked(evidence.server, QStringLiteral("Connection Timed Out"), evidence.name);
        else if (evidence.ending == LookupEnding::NoConnection)
            m_env.notice.showBlocked(
                evidence.server, QStringLiteral("Could not connect: %1").arg(evidence.reason), evidence.name);
        (void)keep(evidence.name); // a failed keep is said by keep
        break;
    }
    m_env.lists.checkOverflow();
    return record;
}

Status RunFiler::keep(const QString &name)
{
    if (!m_env.unanswered)
        return {};
    Status kept = m_env.unanswered->keep(name);
    warnOnce(kept);
    return kept;
}

void RunFiler::settle(const QString &name)
{
    if (m_env.unanswered)
        (void)m_env.unanswered->settle(name); // a name left in the file is only asked again
}

// The first name of a run that no row serves opens the "Error" box; the rest are only
// counted, so a long list with a missing row does not open a box per name.
int RunFiler::passOver(const QString &domain, const QString &reason)
{
    ++m_passedOver;
    if (m_passedOver == 1) {
        m_env.notice.showMessage(QStringLiteral("Error"), passedOverNoticeText(domain, reason),
                                 NoticeIcon::Warning);
    }
    (void)keep(domain); // a failed keep is said by keep
    return m_passedOver;
}

} // namespace wendlecott::core
