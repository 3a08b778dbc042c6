#include "ui/MainMenus.h"

#include "config/AppState.h"
#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "sources/MainWindowRules.h"
#include "ui/MainWindow.h"
#include "ui/ResultListsView.h"
#include "ui/RunControls.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace wendlecott::ui {

MainMenus::MainMenus(MainWindow &window, RunControls &run, config::AppState &state)
    : QObject(&window), m_window(window), m_run(run), m_state(state)
{
    QMenuBar *bar = window.menuBar();
    buildFileMenu(bar->addMenu(QStringLiteral("&File")));
    buildEditMenu(bar->addMenu(QStringLiteral("&Edit")));
    buildToolsMenu(bar->addMenu(QStringLiteral("&Tools")));

    QMenu *options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    options->setToolTipsVisible(true);
    m_setupAction = options->addAction(QStringLiteral("&Setup"));
    m_setupAction->setObjectName(QStringLiteral("mnuSetup"));
    connect(m_setupAction, &QAction::triggered, &window, &MainWindow::openSetup);

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *viewHelp = help->addAction(QStringLiteral("&View Help"));
    viewHelp->setObjectName(QStringLiteral("mnuViewHelp"));
    viewHelp->setShortcut(QKeySequence(Qt::Key_F1));
    viewHelp->setShortcutContext(Qt::ApplicationShortcut); // F1 from any window of the program
    connect(viewHelp, &QAction::triggered, &window, &MainWindow::viewHelp);

    QMenu *about = bar->addMenu(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAboutMenu"));
    QAction *aboutThis = about->addAction(QStringLiteral("&About this software"));
    aboutThis->setObjectName(QStringLiteral("mnuAbout"));
    connect(aboutThis, &QAction::triggered, &window, &MainWindow::showAbout);
}

void MainMenus::buildFileMenu(QMenu *file)
{
    file->setObjectName(QStringLiteral("mnuFile"));
    buildRunMenuItems(file);
    file->setToolTipsVisible(true);
    m_exportAction = file->addAction(QStringLiteral("Export &answers…"));
    m_exportAction->setObjectName(QStringLiteral("mnuExportAnswers"));
    file->addSeparator();
    QAction *exit = file->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q)); // Quit, whatever the desktop's own keys
    connect(exit, &QAction::triggered, &m_window, &QWidget::close);
}

// Start and Stop as menu items with their keys. They do what the buttons do, and only while
// the button could be clicked.
void MainMenus::buildRunMenuItems(QMenu *file)
{
    m_startAction = file->addAction(QStringLiteral("&Start"));
    m_startAction->setObjectName(QStringLiteral("mnuStart"));
    m_startAction->setShortcut(QKeySequence(Qt::Key_F5));
    connect(m_startAction, &QAction::triggered, this, [this] {
        if (m_run.startAllowed())
            m_window.startRun();
    });
    m_stopAction = file->addAction(QStringLiteral("S&top"));
    m_stopAction->setObjectName(QStringLiteral("mnuStop"));
    m_stopAction->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(m_stopAction, &QAction::triggered, this, [this] {
        if (m_run.stopAllowed())
            m_window.stopRun();
    });
    file->addSeparator();
    // The items, and so their keys, follow the buttons whenever these change, not only when
    // the menu opens.
    connect(file, &QMenu::aboutToShow, this, &MainMenus::followRunButtons);
    m_startButton = m_run.startButton();
    m_stopButton = m_run.stopButton();
    m_startButton->installEventFilter(this);
    m_stopButton->installEventFilter(this);
    followRunButtons();
}

void MainMenus::followRunButtons()
{
    if (!m_startButton || !m_stopButton)
        return; // the window is going
    m_startAction->setEnabled(m_run.startAllowed());
    m_stopAction->setEnabled(m_run.stopAllowed());
}

bool MainMenus::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        followRunButtons();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// The list commands by position, then Copy and Delete for the list the user works in. Their
// keys act only while a list has the focus, so the text boxes keep Ctrl+C and Delete.
void MainMenus::buildEditMenu(QMenu *edit)
{
    edit->setObjectName(QStringLiteral("mnuEdit"));
    const auto &items = core::ResultLists::editMenuItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        QAction *action = edit->addAction(items[i].caption);
        action->setObjectName(QStringLiteral("mnuEditItem_%1").arg(i));
        connect(action, &QAction::triggered, this, [this, i] { m_window.runEditMenuItem(int(i)); });
    }
    edit->addSeparator();
    m_copySelected = edit->addAction(QStringLiteral("&Copy Selected"));
    m_copySelected->setObjectName(QStringLiteral("mnuCopySelected"));
    m_copySelected->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m_deleteSelected = edit->addAction(QStringLiteral("&Delete Selected"));
    m_deleteSelected->setObjectName(QStringLiteral("mnuDeleteSelected"));
    m_deleteSelected->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction *action : {m_copySelected, m_deleteSelected})
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_copySelected, &QAction::triggered, this, [this] {
        ResultListsView *lists = m_window.resultListsView();
        const core::ListId id = lists->currentList();
        if (id != core::ListId::None)
            lists->copySelected(id);
    });
    connect(m_deleteSelected, &QAction::triggered, this, [this] {
        ResultListsView *lists = m_window.resultListsView();
        const core::ListId id = lists->currentList();
        if (id != core::ListId::None)
            lists->deleteSelected(id);
    });
}

void MainMenus::buildToolsMenu(QMenu *tools)
{
    tools->setObjectName(QStringLiteral("mnuTools"));
    tools->setToolTipsVisible(true);
    const auto &sources = sources::nameSources();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        QAction *action = tools->addAction(sources[i].caption);
        action->setObjectName(QStringLiteral("mnuToolsItem_%1").arg(i));
        connect(action, &QAction::triggered, this, [this, i] { m_window.selectSourceItem(int(i)); });
        m_toolsActions[i] = action;
    }
    tools->addSeparator();
    m_recheckAction = tools->addAction(QString());
    m_recheckAction->setObjectName(QStringLiteral("mnuCheckUnanswered"));
    connect(m_recheckAction, &QAction::triggered, &m_window, &MainWindow::checkUnansweredAgain);
    m_watchListAction = tools->addAction(QStringLiteral("&Watch list"));
    m_watchListAction->setObjectName(QStringLiteral("mnuWatchList"));
}

void MainMenus::setSourceItems(bool enabled, bool browseAvailable, bool builderAvailable)
{
    const auto &sources = sources::nameSources();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        bool available = true;
        switch (sources::windowNeededBy(int(i))) {
        case sources::SourceWindowNeeded::Browse:
            available = browseAvailable;
            break;
        case sources::SourceWindowNeeded::ListBuilder:
            available = builderAvailable;
            break;
        case sources::SourceWindowNeeded::None:
            break;
        }
        m_toolsActions[i]->setEnabled(enabled && available);
        m_toolsActions[i]->setToolTip(available ? sources[i].caption : MainWindow::kNotAvailableYet);
    }
}

void MainMenus::updateRecheckAction(bool allowed)
{
    const int count = m_state.unanswered().count();
    m_recheckAction->setText(QStringLiteral("Check unanswered names again (%1)").arg(count));
    m_recheckAction->setEnabled(count > 0 && allowed);
}

} // namespace wendlecott::ui
