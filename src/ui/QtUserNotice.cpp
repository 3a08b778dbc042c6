#include "ui/QtUserNotice.h"

#include "core/base/ShownText.h"
#include "ui/BlockedNotice.h"
#include "ui/OverflowNotice.h"

#include <QGuiApplication>

#include <algorithm>

namespace wendlecott::ui {

namespace {

QMessageBox::Icon toQtIcon(core::NoticeIcon icon)
{
    switch (icon) {
    case core::NoticeIcon::None:
        return QMessageBox::NoIcon;
    case core::NoticeIcon::Information:
        return QMessageBox::Information;
    case core::NoticeIcon::Warning:
        return QMessageBox::Warning;
    case core::NoticeIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// Messages quote file names and whois text: never let them be taken for markup.
void preparePlain(QMessageBox &box, const QString &title, const QString &text)
{
    box.setWindowTitle(title.isEmpty() ? QtUserNotice::defaultTitle() : title);
    box.setTextFormat(Qt::PlainText);
    // Text from files or servers inside a message: its control characters shown, not obeyed.
    box.setText(core::escapeControls(text));
}

} // namespace

QtUserNotice::QtUserNotice(QWidget *parent) : m_parent(parent)
{
}

QtUserNotice::QtUserNotice(QWidget *parent, QtUserNotice &shared) : m_parent(parent), m_shared(&shared)
{
}

// The notice windows do not outlive the adapter that made them.
QtUserNotice::~QtUserNotice()
{
    delete m_blocked.data();
    delete m_overflow.data();
}

QString QtUserNotice::defaultTitle()
{
    return QGuiApplication::applicationDisplayName();
}

std::unique_ptr<core::UserNotice> QtUserNotice::noticeFor(QObject *owner)
{
    QtUserNotice &shared = m_shared ? *m_shared : *this;
    return std::unique_ptr<core::UserNotice>(new QtUserNotice(qobject_cast<QWidget *>(owner), shared));
}

BlockedNotice *QtUserNotice::blockedWindow() const
{
    return m_shared ? m_shared->blockedWindow() : m_blocked.data();
}

OverflowNotice *QtUserNotice::overflowWindow() const
{
    return m_shared ? m_shared->overflowWindow() : m_overflow.data();
}

void QtUserNotice::closeWindows()
{
    if (auto *blocked = blockedWindow())
        blocked->close();
    if (auto *overflow = overflowWindow())
        overflow->close();
    if (QMessageBox *box = lastMessageBox())
        box->close();
}

void QtUserNotice::showMessage(const QString &title, const QString &text, core::NoticeIcon icon)
{
    auto *box = new QMessageBox(m_parent.data());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(toQtIcon(icon));
    preparePlain(*box, title, text);
    box->setStandardButtons(QMessageBox::Ok);
    m_lastMessage = box;
    // open() shows the box window-modal and returns at once; the caller goes on.
    box->open();
}

QMessageBox::StandardButton QtUserNotice::ask(const QString &title, const QString &text,
                                              QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton fallback)
{
    QMessageBox box(m_parent.data());
    box.setIcon(icon);
    preparePlain(box, title, text);
    box.setStandardButtons(buttons);
    const QuestionHook &hook = m_shared ? m_shared->m_questionHook : m_questionHook;
    if (hook) {
        if (const auto answer = hook(box))
            return *answer;
    }
    const int result = box.exec();
    // Closing the box with its title-bar button or Escape gives the escape button's answer.
    const auto answer = static_cast<QMessageBox::StandardButton>(result);
    return buttons.testFlag(answer) ? answer : fallback;
}

bool QtUserNotice::askOkCancel(const QString &title, const QString &text)
{
    return ask(title, text, QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel,
               QMessageBox::Cancel) == QMessageBox::Ok;
}

core::AbortRetryIgnore QtUserNotice::askAbortRetryIgnore(const QString &title, const QString &text)
{
    switch (ask(title, text, QMessageBox::Warning,
                QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Abort)) {
    case QMessageBox::Retry:
        return core::AbortRetryIgnore::Retry;
    case QMessageBox::Ignore:
        return core::AbortRetryIgnore::Ignore;
    default:
        return core::AbortRetryIgnore::Abort;
    }
}

QPoint QtUserNotice::placeAtTopRight(const QRect &area, const QSize &size)
{
    const int x = std::max(area.left(), area.right() + 1 - size.width());
    return {x, area.top()};
}

void QtUserNotice::showBlocked(const QString &server, const QString &response, const QString &domain)
{
    if (m_shared) {
        m_shared->showBlocked(server, response, domain);
        return;
    }
    if (!m_blocked) {
        // A closed notice is gone; the next one starts empty.
        m_blocked = new BlockedNotice(m_parent.data());
        m_blocked->setAttribute(Qt::WA_DeleteOnClose);
        // Beside the lists, clear of the strip with Start and Stop.
        const QRect area = m_blockedPlacement ? m_blockedPlacement() : QRect();
        if (!area.isEmpty())
            m_blocked->move(placeAtTopRight(area, m_blocked->frameGeometry().size()));
    }
    m_blocked->show();
    m_blocked->fill(server, response, domain);
}

void QtUserNotice::showOverflowNotice()
{
    if (m_shared) {
        m_shared->showOverflowNotice();
        return;
    }
    if (!m_overflow) {
        m_overflow = new OverflowNotice(m_parent.data());
        m_overflow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_overflow->show();
    m_overflow->raise();
}

} // namespace wendlecott::ui
