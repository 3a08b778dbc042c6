#include "core/Verdict.h"

#include <QStringList>

namespace wendlecott::core {

namespace {

// Answers that mean the server refused to answer properly, tried in this order.
const QStringList &blockedWords()
{
    static const QStringList words{QStringLiteral("error"), QStringLiteral("quota"),
                                   QStringLiteral("blocked"), QStringLiteral("exceeded")};
    return words;
}

} // namespace

Judgement judgeResponse(const QString &response, const QString &successWords)
{
    // Success words win over blocked words; an empty item matches any non-empty answer.
    if (!successWords.isEmpty()) {
        const QStringList items = successWords.split(QLatin1Char(','));
        for (const QString &item : items) {
            const QString word = item.trimmed();
            const bool found =
                word.isEmpty() ? !response.isEmpty() : response.contains(word, Qt::CaseInsensitive);
            if (found)
                return {LookupVerdict::Available, word};
        }
    }
    for (const QString &word : blockedWords()) {
        if (response.contains(word, Qt::CaseInsensitive))
            return {LookupVerdict::Blocked, {}};
    }
    return {LookupVerdict::Registered, {}};
}

QString verdictName(LookupVerdict verdict)
{
    switch (verdict) {
    case LookupVerdict::Available:
        return QStringLiteral("Available");
    case LookupVerdict::Registered:
        return QStringLiteral("Registered");
    case LookupVerdict::Blocked:
        return QStringLiteral("Blocked");
    }
    return {};
}

} // namespace wendlecott::core
