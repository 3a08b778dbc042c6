#include "ui/StoreCommands.h"

#include "config/AppState.h"
#include "config/WatchCheck.h"
#include "config/WatchMonitor.h"
#include "core/store/AnswerStore.h"
#include "ui/CompanionWindows.h"
#include "ui/ExportDialog.h"
#include "ui/MainMenus.h"
#include "ui/ResultListsView.h"
#include "ui/WatchWindow.h"

#include <QAction>
#include <QApplication>
#include <QStyle>
#include <QSystemTrayIcon>

namespace wendlecott::ui {

namespace {

void bringToFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

StoreCommands::StoreCommands(config::AppState &state, CompanionWindows &companions, QWidget *owner)
    : QObject(owner), m_state(state), m_companions(companions), m_owner(owner)
{
    m_monitor = std::make_unique<config::WatchMonitor>(
        state.answerStore(), state.settings(), state.scheduler(),
        [&state](const QStringList &names, std::function<void()> finished) {
            config::startWatchCheck(state, names, std::move(finished));
        });
    m_notifier = [this](const QString &title, const QString &text) { trayMessage(title, text); };
    connect(m_monitor.get(), &config::WatchMonitor::nameChanged, this, &StoreCommands::announce);
    connect(m_monitor.get(), &config::WatchMonitor::checkFinished, this, [this] {
        if (m_watch)
            m_watch->showChecking(false);
    });
}

StoreCommands::~StoreCommands() = default;

void StoreCommands::attach(MainMenus &menus, ResultListsView &lists)
{
    const bool available = m_state.answerStore() != nullptr;
    connect(menus.exportAction(), &QAction::triggered, this, &StoreCommands::openExport);
    connect(menus.watchListAction(), &QAction::triggered, this, &StoreCommands::openWatchList);
    for (QAction *action : {menus.exportAction(), menus.watchListAction()}) {
        action->setEnabled(available);
        action->setToolTip(available ? QString() : kNoStore);
    }
    ResultListsView::StoreHooks hooks;
    hooks.unavailable = kNoStore;
    if (available) {
        hooks.showStoredAnswer = [this](const QString &name) { return showStoredAnswer(name); };
        hooks.watch = [this](const QString &name) { watchName(name); };
    }
    lists.setStoreHooks(std::move(hooks));
    m_monitor->start();
}

ExportDialog *StoreCommands::exportDialog() const
{
    return m_export.data();
}

WatchWindow *StoreCommands::watchWindow() const
{
    return m_watch.data();
}

void StoreCommands::openExport()
{
    if (!m_export) {
        m_export = new ExportDialog(m_state.answerStore(), m_state.folder().root(), m_owner);
        m_export->setAttribute(Qt::WA_DeleteOnClose);
        m_companions.closeAtShutdown(m_export);
    }
    bringToFront(m_export);
}

void StoreCommands::openWatchList()
{
    if (!m_watch) {
        m_watch = new WatchWindow(m_state.answerStore(), m_owner);
        m_watch->setAttribute(Qt::WA_DeleteOnClose);
        m_companions.closeAtShutdown(m_watch);
        m_watch->setCheckNow([this] {
            const bool started = m_monitor->checkNow();
            if (started && m_watch)
                m_watch->showChecking(true);
            return started;
        });
    }
    m_watch->refresh();
    bringToFront(m_watch);
}

bool StoreCommands::showStoredAnswer(const QString &name)
{
    store::AnswerStore *answers = m_state.answerStore();
    const std::optional<store::StoredAnswer> stored = answers ? answers->latest(name) : std::nullopt;
    if (!stored)
        return false;
    m_companions.showStoredAnswer(*stored);
    return true;
}

void StoreCommands::watchName(const QString &name)
{
    store::AnswerStore *answers = m_state.answerStore();
    if (!answers)
        return;
    if (const core::Status added = answers->watchAdd({name}); !added) {
        m_state.notice().showMessage(
            QString(),
            QStringLiteral("%1 could not be added to the watch list: %2").arg(name, added.message()),
            core::NoticeIcon::Warning);
        return;
    }
    if (m_watch)
        m_watch->refresh();
}

QString StoreCommands::changeText(const QString &name, store::WatchChange change)
{
    switch (change) {
    case store::WatchChange::BecameAvailable:
        return QStringLiteral("%1 is available now.").arg(name);
    case store::WatchChange::StartedToDrop:
        return QStringLiteral("%1 has started to drop: its registry shows it pending delete or in the "
                              "redemption period.")
            .arg(name);
    case store::WatchChange::None:
        break;
    }
    return QString();
}

void StoreCommands::announce(const QString &name, store::WatchChange change)
{
    if (m_watch)
        m_watch->refresh();
    if (m_notifier)
        m_notifier(QStringLiteral("Watch list"), changeText(name, change));
}

// The desktop's notification service shows the message; the icon stays in the tray after it,
// so that a later message has somewhere to come from.
void StoreCommands::trayMessage(const QString &title, const QString &text)
{
    // A desktop without a tray or a notification service: the Watch window says it instead.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        openWatchList();
        m_watch->showNotice(text);
        return;
    }
    if (!m_tray) {
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull())
            icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
        m_tray = new QSystemTrayIcon(icon, this);
        m_tray->setToolTip(config::kProductName + QStringLiteral(": watch list"));
        connect(m_tray, &QSystemTrayIcon::messageClicked, this, &StoreCommands::openWatchList);
    }
    m_tray->show();
    m_tray->showMessage(title, text, QSystemTrayIcon::Information);
}

} // namespace wendlecott::ui
