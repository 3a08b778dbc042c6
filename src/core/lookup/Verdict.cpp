#include "core/lookup/Verdict.h"

#include <QStringList>

namespace wendlecott::core {

namespace {

// Words that mean the server refused to answer properly, tried only after the success words.
const QStringList &blockedWords()
{
    static const QStringList words{QStringLiteral("error"), QStringLiteral("quota"),
                                   QStringLiteral("blocked"), QStringLiteral("exceeded")};
    return words;
}

// Removes leading and trailing spaces (only spaces, as the success field is typed).
QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

Judgement judgeResponse(const QString &response, const QString &successWords)
{
    // An empty field has no item at all; "a," has an empty second item.
    if (!successWords.isEmpty()) {
        for (const QString &item : successWords.split(QLatin1Char(','))) {
            const QString word = trimSpaces(item);
            // An empty item occurs in every non-empty text.
            const bool found =
                word.isEmpty() ? !response.isEmpty() : response.contains(word, Qt::CaseInsensitive);
            if (found)
                return {LookupVerdict::Available, word, kRuleSuccessWord, {}};
        }
    }
    for (const QString &word : blockedWords()) {
        if (response.contains(word, Qt::CaseInsensitive))
            return {LookupVerdict::Blocked, {}, kRuleBlockedWord, {}};
    }
    return {LookupVerdict::Registered, {}, kRuleNoSuccessWord, {}};
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
    case LookupVerdict::Unknown:
        return QStringLiteral("Unknown");
    }
    return QStringLiteral("Registered");
}

} // namespace wendlecott::core
