// The policies of the run engine, and the one place that picks a policy from the user's choices.
#include "core/run/CheckRun.h"
#include "core/tld/TldTable.h"

namespace wendlecott::core {

RunPolicy RunPolicy::described()
{
    RunPolicy policy;
    policy.describedPause = true;
    policy.passKeptAtStop = true;
    policy.refusalsAllowed = 1;
    policy.backOff = BackOffRules{0, 0, 0};
    policy.readAhead = 1;
    return policy;
}

RunPolicy RunPolicy::paced(int jobs, QStringList extensions)
{
    RunPolicy policy;
    policy.jobs = jobs;
    policy.extensions = std::move(extensions);
    return policy;
}

RunPolicy RunPolicy::browsing(int timeLimitTicks)
{
    RunPolicy policy = described();
    policy.describedPause = false;
    policy.passKeptAtStop = false;
    policy.pauseAfterAnswer = true;
    policy.timeLimitTicks = qMax(1, timeLimitTicks);
    policy.whoisStyle = WhoisStyle::SingleExchange;
    policy.restartCounters = false;
    return policy;
}

QStringList inTableOrder(const TldTable &table, const QStringList &extensions)
{
    QStringList wanted;
    for (QString extension : extensions) {
        extension = extension.trimmed().toLower();
        while (extension.startsWith(QLatin1Char('.')))
            extension.remove(0, 1);
        if (!extension.isEmpty() && !wanted.contains(extension))
            wanted.append(extension);
    }
    QStringList ordered;
    for (const TldEntry &row : table.rows) {
        const QString extension = row.extension.toLower();
        if (wanted.contains(extension) && !ordered.contains(extension))
            ordered.append(extension);
    }
    for (const QString &extension : wanted) {
        if (!ordered.contains(extension))
            ordered.append(extension);
    }
    return ordered;
}

RunPolicy runPolicyFor(const TldTable &table, const RunChoices &choices)
{
    if (choices.extensions.size() < 2 && choices.jobs <= 1 && !choices.dnsFirst.enabled)
        return RunPolicy::described();
    RunPolicy policy = RunPolicy::paced(choices.jobs, choices.extensions.size() >= 2
                                                          ? inTableOrder(table, choices.extensions)
                                                          : QStringList());
    policy.dnsFirst = choices.dnsFirst;
    return policy;
}

} // namespace wendlecott::core
