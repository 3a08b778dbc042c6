#pragma once

#include "core/lookup/LookupEvidence.h"
#include "core/lookup/LookupSlot.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace wendlecott::testing {

// What a lookup slot handed back, judged as a lookup judges it with the success words.
struct SlotOutcome {
    QString name;
    core::LookupVerdict verdict = core::LookupVerdict::Unknown;
    QString matchedWord;
    QString response;
    QString server; // the host the connection went to
    quint16 port = 0;
};

// Records the answers of a lookup slot: whole answers as outcomes (judged with `successWords`),
// connections that could not be made as their causes.
struct SlotRecorder {
    QList<SlotOutcome> outcomes;
    QStringList failures;
    QString successWords = core::kStandardSuccessWords;

    void attach(core::LookupSlot &slot)
    {
        QObject::connect(&slot, &core::LookupSlot::finished, [this, &slot](const core::WhoisAnswer &answer) {
            if (answer.ending == core::WhoisEnding::NoConnection) {
                failures.append(answer.reason);
                return;
            }
            core::LookupEvidence evidence;
            evidence.name = slot.name();
            core::judgeExchange(evidence, answer, {core::VerdictRules::SuccessWords, successWords, nullptr});
            outcomes.append({evidence.name, evidence.verdict, evidence.matchedWord, evidence.answer,
                             answer.host, slot.port()});
        });
    }
};

} // namespace wendlecott::testing
