#pragma once

#include "core/base/UserNotice.h"

#include <QMessageBox>
#include <QPointer>
#include <QRect>

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
    // The area (global coordinates) the blocked notice is placed in when it opens; an empty
    // rectangle leaves the placing to the desktop.
    using Placement = std::function<QRect()>;

    explicit QtUserNotice(QWidget *parent = nullptr);
    ~QtUserNotice() override;
    QtUserNotice(const QtUserNotice &) = delete;
    QtUserNotice &operator=(const QtUserNotice &) = delete;

    void showMessage(const QString &title, const QString &text, core::NoticeIcon icon) override;
    bool askOkCancel(const QString &title, const QString &text) override;
    core::AbortRetryIgnore askAbortRetryIgnore(const QString &title, const QString &text) override;
    void showBlocked(const QString &server, const QString &response, const QString &domain) override;
    void showOverflowNotice() override;
    // Messages and questions over `owner` (a widget); the notice windows and the question
    // hook stay this notice's.
    std::unique_ptr<core::UserNotice> noticeFor(QObject *owner) override;

    void setQuestionHook(QuestionHook hook) { m_questionHook = std::move(hook); }
    // The window that messages and notice windows open over (the main window, once it exists).
    void setParentWidget(QWidget *parent) { m_parent = parent; }
    void setBlockedPlacement(Placement placement) { m_blockedPlacement = std::move(placement); }

    // The open notice windows, or null when closed (or never shown).
    BlockedNotice *blockedWindow() const;
    OverflowNotice *overflowWindow() const;
    // The last message box shown by showMessage while it is still open.
    QMessageBox *lastMessageBox() const { return m_lastMessage.data(); }
    // Closes the blocked notice, the overflow notice and the last message box (at shutdown).
    void closeWindows();

    // The title an empty title stands for: the application's name.
    static QString defaultTitle();
    // Where a window of `size` goes in `area`: at its top right corner, kept inside it as far
    // as the window fits.
    static QPoint placeAtTopRight(const QRect &area, const QSize &size);

private:
    // A window's notice: its boxes open over `parent`; the rest goes to `shared`.
    QtUserNotice(QWidget *parent, QtUserNotice &shared);

    QMessageBox::StandardButton ask(const QString &title, const QString &text, QMessageBox::Icon icon,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton fallback);

    QPointer<QWidget> m_parent;
    QtUserNotice *m_shared = nullptr; // the program's notice, for a window's notice
    QPointer<BlockedNotice> m_blocked;
    QPointer<OverflowNotice> m_overflow;
    QPointer<QMessageBox> m_lastMessage;
    QuestionHook m_questionHook;
    Placement m_blockedPlacement;
};

} // namespace wendlecott::ui
