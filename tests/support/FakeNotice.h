#pragma once

#include "core/base/UserNotice.h"

#include <QList>
#include <QStringList>

namespace wendlecott::testing {

// Records what the logic told the user; answers questions as the test says.
class FakeNotice final : public core::UserNotice {
public:
    struct Message {
        QString title;
        QString text;
        core::NoticeIcon icon;
    };

    void showMessage(const QString &title, const QString &text, core::NoticeIcon icon) override
    {
        messages.append({title, text, icon});
    }
    bool askOkCancel(const QString &title, const QString &text) override
    {
        questions.append(title + QLatin1Char('\n') + text);
        return okCancelAnswer;
    }
    core::AbortRetryIgnore askAbortRetryIgnore(const QString &title, const QString &text) override
    {
        questions.append(title + QLatin1Char('\n') + text);
        if (abortRetryIgnoreAnswers.isEmpty())
            return core::AbortRetryIgnore::Abort;
        return abortRetryIgnoreAnswers.takeFirst();
    }
    void showBlocked(const QString &server, const QString &response, const QString &domain) override
    {
        ++blockedShown;
        blockedDomains.append(domain);
        if (blockedServer.isEmpty()) {
            blockedServer = server;
            blockedResponse = response;
        }
    }
    void showOverflowNotice() override { ++overflowShown; }

    // Closes the blocked notice, so the next one fills it again.
    void closeBlocked()
    {
        blockedServer.clear();
        blockedResponse.clear();
    }

    QList<Message> messages;
    QStringList questions;
    bool okCancelAnswer = true;
    QList<core::AbortRetryIgnore> abortRetryIgnoreAnswers;
    int blockedShown = 0;
    QString blockedServer;
    QString blockedResponse;
    QStringList blockedDomains; // every call's domain, in order
    int overflowShown = 0;
};

} // namespace wendlecott::testing
