#pragma once

#include "core/UserNotice.h"

#include <QMessageBox>
#include <QPointer>

#include <functional>
#include <optional>

namespace wendlecott::ui {

class BlockedNotice;
class OverflowNotice;

// The user notices as Qt widgets. Messages and the two notice windows are shown without
// waiting (no nested event loop inside the caller); the two questions wait for the answer.
class QtUserNotice final : public core::UserNotice {
public:
    // Answers a question without showing it when it returns a button (tests); otherwise the
    // box is shown and waited for.
    using QuestionHook = std::function<std::optional<QMessageBox::StandardButton>(const QMessageBox &box)>;

    explicit QtUserNotice(QWidget *parent = nullptr);
    ~QtUserNotice() override;
    QtUserNotice(const QtUserNotice &) = delete;
    QtUserNotice &operator=(const QtUserNotice &) = delete;

    void showMessage(const QString &title, const QString &text, core::NoticeIcon icon) override;
    bool askOkCancel(const QString &title, const QString &text) override;
    core::AbortRetryIgnore askAbortRetryIgnore(const QString &title, const QString &text) override;
    void showBlocked(const QString &server, const QString &response) override;
    void showOverflowNotice() override;

    void setQuestionHook(QuestionHook hook) { m_questionHook = std::move(hook); }
    // The window that messages and notice windows open over (the main window, once it exists).
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    // The open notice windows, or null when closed (or never shown).
    BlockedNotice *blockedWindow() const { return m_blocked.data(); }
    OverflowNotice *overflowWindow() const { return m_overflow.data(); }
    // The last message box shown by showMessage while it is still open.
    QMessageBox *lastMessageBox() const { return m_lastMessage.data(); }

    // The title an empty title stands for: the application's name.
    static QString defaultTitle();

private:
    QMessageBox::StandardButton ask(const QString &title, const QString &text, QMessageBox::Icon icon,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton fallback);

    QPointer<QWidget> m_parent;
    QPointer<BlockedNotice> m_blocked;
    QPointer<OverflowNotice> m_overflow;
    QPointer<QMessageBox> m_lastMessage;
    QuestionHook m_questionHook;
};

} // namespace wendlecott::ui
