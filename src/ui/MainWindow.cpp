#include "ui/MainWindow.h"

#include "config/AppState.h"
#include "config/FileUtils.h"
#include "config/SettingsKeys.h"
#include "core/lists/UnansweredNames.h"
#include "core/tld/TldTable.h"
#include "sources/ListRun.h"
#include "sources/MainWindowRules.h"
#include "ui/BlockedNotice.h"
#include "ui/CompanionWindows.h"
#include "ui/HelpWindow.h"
#include "ui/MainMenus.h"
#include "ui/OverflowNotice.h"
#include "ui/QtUserNotice.h"
#include "ui/ResultListsView.h"
#include "ui/RunControls.h"
#include "ui/StoreCommands.h"
#include "ui/TopStrip.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace wendlecott::ui {

namespace {

using sources::SourceKind;

std::optional<QString> nativeOpenFileDialog(QWidget *parent, const QString &folder, const QString &filter)
{
    const QString chosen = QFileDialog::getOpenFileName(parent, QString(), folder, filter);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

} // namespace

MainWindow::MainWindow(config::AppState &state, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_openFileDialog(&nativeOpenFileDialog)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kDesignCaption);

    m_companions = new CompanionWindows(m_state, this);
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(central);
    m_topStrip = new TopStrip(central);
    m_runControls = new RunControls(m_state, m_topStrip, this);
    m_topStrip->addControls(*m_runControls);
    m_menus = new MainMenus(*this, *m_runControls, m_state);
    m_resultFrame = new QGroupBox(kFrameCaption, central);
    m_resultFrame->setObjectName(QStringLiteral("Frame2"));
    m_listsView = new ResultListsView(m_state.lists(), m_resultFrame);
    m_listsView->addActions(m_menus->listActions());
    m_storeCommands = new StoreCommands(m_state, *m_companions, this);
    m_storeCommands->attach(*m_menus, *m_listsView);
    m_statusPanel = new StatusPanel(this);
    setStatusBar(m_statusPanel);
    m_statusPanel->setBackOffSource(
        [this] { return sources::pausedWhoisServers(m_state.table(), m_state.pacer()); });
    connectControls();
    refreshAvailability();
    connectRun();

    if (QtUserNotice *notice = widgetNotice()) {
        notice->setParentWidget(this);
        notice->setBlockedPlacement([this] { return blockedNoticeArea(); });
    }

    runStartup();
    updateMinimumSize();
}

void MainWindow::connectControls()
{
    connect(m_topStrip->sourceBox(), &QComboBox::activated, this, [this] { applySourceChoice(); });
    connect(m_topStrip->searchEdit(), &QLineEdit::textChanged, this, &MainWindow::searchTextChanged);
    connect(m_topStrip->searchButton(), &QPushButton::clicked, this, &MainWindow::openListBuilder);
    connect(m_topStrip->setupButton(), &QPushButton::clicked, this, &MainWindow::openSetup);
    connect(m_topStrip->websiteButton(), &QPushButton::clicked, this, &MainWindow::openWebsite);
    connect(m_runControls->startPositionEdit(), &QLineEdit::textChanged, this,
            &MainWindow::correctStartPosition);
    connect(m_runControls->startButton(), &QPushButton::clicked, this, &MainWindow::startRun);
    connect(m_runControls->stopButton(), &QPushButton::clicked, this, &MainWindow::stopRun);
    connect(&m_state.unanswered(), &core::UnansweredNames::countChanged, this,
            &MainWindow::updateRecheckAction);
}

void MainWindow::connectRun()
{
    connect(m_runControls, &RunControls::panelChanged, m_statusPanel, &StatusPanel::setPanelText);
    connect(m_runControls, &RunControls::stopped, this, &MainWindow::onRunStopped);
    connect(m_runControls, &RunControls::progressChanged, m_statusPanel, &StatusPanel::showProgress);
    connect(m_runControls, &RunControls::passedOver, m_statusPanel, &StatusPanel::showPassedOver);
    connect(m_runControls, &RunControls::invalidName, m_statusPanel, &StatusPanel::showInvalidName);
    connect(m_runControls, &RunControls::settledByDns, m_statusPanel, &StatusPanel::showSettledByDns);
    // Said once for a row of failed writes (the recorder sees to that), not once a second.
    connect(&m_state.positions(), &config::PositionRecorder::writeFailed, this, [this](const QString &why) {
        m_state.notice().showMessage(QString(),
                                     QStringLiteral("The position in the list could not be stored, so a "
                                                    "later run may not resume where this one stopped.\r\n") +
                                         why,
                                     core::NoticeIcon::Warning);
    });
    connect(&m_state.lists(), &core::ResultLists::whoisRequested, this, &MainWindow::openWhois);
}

MainWindow::~MainWindow()
{
    if (QtUserNotice *notice = widgetNotice()) {
        notice->setParentWidget(nullptr);
        notice->setBlockedPlacement({});
    }
}

QtUserNotice *MainWindow::widgetNotice() const
{
    return dynamic_cast<QtUserNotice *>(&m_state.notice());
}

GeneratorWindow *MainWindow::generatorWindow() const
{
    return m_companions->generator();
}

AboutWindow *MainWindow::aboutWindow() const
{
    return m_companions->about();
}

HelpWindow *MainWindow::helpWindow() const
{
    return m_companions->help();
}

void MainWindow::runStartup()
{
    // Caption, website button and frame caption.
    setWindowTitle(config::kProductName + QStringLiteral(" by ") + config::kCompanyName);
    m_topStrip->websiteButton()->setText(QStringLiteral("Visit ") + config::kProductWebAddress);
    m_resultFrame->setTitle(m_state.lists().purchaseLinkOn() ? kPurchaseFrameCaption : kFrameCaption);

    // Settings read, help flag, files, saved list, folders, TLD table, proxy, default
    // extension and the first-use flag, each step skipped when it fails.
    m_startup = config::runStartupSequence(m_state);
    if (m_startup.openHelp)
        m_companions->openHelpFile(m_startup.helpPath);
    // Maximised; without a window manager to do that, the window covers the screen itself.
    if (const QScreen *screen = this->screen())
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    // "wordNumber" (m_startup.wordNumber) would seed the run's position; every Start replaces
    // it with txtWordNum, so nothing reads it before then.
    m_runControls->setExtensionChoices(m_startup.tldChoices);

    if (m_startup.showFirstUseMessage)
        m_state.notice().showMessage(QString(), config::kFirstUseMessage, core::NoticeIcon::None);
}

void MainWindow::loadTLDs()
{
    m_runControls->setExtensionChoices(core::loadTLDs(m_state.tldPath()));
}

QStringList MainWindow::tickedExtensions() const
{
    return m_runControls->tickedExtensions();
}

void MainWindow::setExtensionTicked(const QString &extension, bool ticked)
{
    m_runControls->setExtensionTicked(extension, ticked);
}

bool MainWindow::isRunActive() const
{
    return m_runControls->isRunActive();
}

void MainWindow::setSetupOpener(std::function<void()> opener)
{
    m_setupOpener = std::move(opener);
    refreshAvailability();
}

void MainWindow::setListBuilderOpener(std::function<void()> opener)
{
    m_listBuilderOpener = std::move(opener);
    refreshAvailability();
}

void MainWindow::setBrowseOpener(std::function<void()> opener)
{
    m_browseOpener = std::move(opener);
    refreshAvailability();
}

void MainWindow::closeAtShutdown(QWidget *window)
{
    m_companions->closeAtShutdown(window);
}

void MainWindow::refreshAvailability()
{
    const bool setup = bool(m_setupOpener);
    m_topStrip->setWindowsAvailable(setup, bool(m_listBuilderOpener), bool(m_browseOpener));
    m_menus->setupAction()->setEnabled(setup);
    m_menus->setupAction()->setToolTip(setup ? QString() : kNotAvailableYet); // empty: the item's text
    setSourceChoiceEnabled(m_sourceChoiceEnabled);
}

void MainWindow::setSearchButtonEnabled(bool wanted)
{
    m_topStrip->setSearchButtonWanted(wanted);
}

// Combo1 and the Tools menu's sources go together: while a run goes neither may change it.
void MainWindow::setSourceChoiceEnabled(bool enabled)
{
    m_sourceChoiceEnabled = enabled;
    m_topStrip->sourceBox()->setEnabled(enabled);
    m_menus->setSourceItems(enabled, bool(m_browseOpener), bool(m_listBuilderOpener));
    updateRecheckAction();
}

void MainWindow::updateRecheckAction()
{
    m_menus->updateRecheckAction(m_sourceChoiceEnabled && !isRunActive());
}

void MainWindow::applySourceChoice()
{
    applySelection(sources::selectSource(sourceCaption(), m_state.settings(), m_state.folder(), searchText()),
                   true);
}

void MainWindow::selectSourceItem(int index)
{
    // Only what the menu offers: not during a run, not a source whose window is missing.
    if (index < 0 || index >= m_topStrip->sourceBox()->count() ||
        !m_menus->toolsAction(std::size_t(index))->isEnabled())
        return;
    m_topStrip->sourceBox()->setCurrentIndex(index);
    applySourceChoice();
}

void MainWindow::applySelection(sources::SourceSelection selection, bool allowDialogs)
{
    if (!selection.known)
        return;
    if (selection.wordListControlsVisible)
        m_topStrip->setWordListControlsVisible(*selection.wordListControlsVisible);
    if (selection.searchControlsVisible)
        m_topStrip->setSearchControlsVisible(*selection.searchControlsVisible);

    if (selection.opens == sources::SourceWindow::CustomListDialog && allowDialogs) {
        std::optional<QString> chosen;
        if (m_openFileDialog)
            chosen = m_openFileDialog(this, selection.dialogFolder, selection.dialogFilter);
        sources::completeCustomList(selection, chosen, m_listPath);
    }

    if (selection.listPath)
        m_listPath = *selection.listPath;
    // The count first: txtWordNum's change handler measures the position against it.
    if (selection.wordMax)
        m_runControls->entryCountEdit()->setText(*selection.wordMax);
    if (selection.startEnabled)
        m_runControls->startButton()->setEnabled(*selection.startEnabled);
    if (selection.stopEnabled)
        m_runControls->stopButton()->setEnabled(*selection.stopEnabled);
    if (selection.searchTextEnabled)
        m_topStrip->searchEdit()->setEnabled(*selection.searchTextEnabled);
    if (selection.searchEngineEnabled)
        m_topStrip->searchTargetBox()->setEnabled(*selection.searchEngineEnabled);
    if (selection.searchButtonEnabled)
        setSearchButtonEnabled(*selection.searchButtonEnabled);
    if (selection.wordNumEnabled)
        m_runControls->startPositionEdit()->setEnabled(*selection.wordNumEnabled);
    if (selection.wordNum)
        m_runControls->startPositionEdit()->setText(*selection.wordNum);
    showSource();

    if (!allowDialogs)
        return;
    if (selection.opens == sources::SourceWindow::Generator)
        openGenerator();
    else if (selection.opens == sources::SourceWindow::Browse && m_browseOpener)
        m_browseOpener();
}

void MainWindow::correctStartPosition()
{
    QLineEdit *position = m_runControls->startPositionEdit();
    const QString fixed =
        sources::correctedStartPosition(position->text(), m_runControls->entryCountEdit()->text());
    if (fixed != position->text())
        position->setText(fixed);
}

void MainWindow::searchTextChanged()
{
    setSearchButtonEnabled(sources::searchButtonEnabled(searchText()));
}

void MainWindow::openGenerator()
{
    m_companions->openGenerator([this](qint64 count) { startListRun(count); });
}

void MainWindow::lockRunControls()
{
    for (QWidget *widget : std::initializer_list<QWidget *>{
             m_runControls->startButton(), m_runControls->stopButton(), m_runControls->startPositionEdit(),
             m_topStrip->searchTargetBox(), m_topStrip->searchEdit()})
        widget->setEnabled(false);
    setSourceChoiceEnabled(false);
    setSearchButtonEnabled(false);
}

void MainWindow::setReadOnly(const QString &reason)
{
    m_readOnlyReason = reason;
    if (!windowTitle().endsWith(QLatin1String(" (read-only)")))
        setWindowTitle(windowTitle() + QStringLiteral(" (read-only)"));
}

// A run files into the folder's lists, which another process writes meanwhile.
bool MainWindow::refuseRunWhenReadOnly()
{
    if (m_readOnlyReason.isEmpty())
        return false;
    m_state.notice().showMessage(
        QString(), m_readOnlyReason + QStringLiteral("\r\nIt is open read-only here, so no run is started."),
        core::NoticeIcon::Information);
    return true;
}

void MainWindow::startRun()
{
    if (isRunActive() || refuseRunWhenReadOnly())
        return; // one run at a time
    lockRunControls();

    const sources::NameSource *source = sources::findNameSource(sourceCaption());
    if (source && source->kind == SourceKind::Search)
        m_runControls->startPositionEdit()->setText(
            QStringLiteral("1")); // the search lists always start at 1
    const qint32 start = sources::wholeNumber(m_runControls->startPositionEdit()->text());
    const qint32 count = sources::wholeNumber(m_runControls->entryCountEdit()->text());
    m_runControls->stopButton()->setEnabled(true);

    // The unanswered names chosen as a custom list: the run reads them as they stand now,
    // since it rewrites the file as it files them.
    if (m_state.unanswered().isThisFile(m_listPath)) {
        m_runControls->startChosenRun(m_state.unanswered().snapshotSource(), start, count);
        return;
    }
    sources::ListRunRequest request;
    request.listPath = m_listPath;
    request.resumeKey = source ? source->resumeKey : std::nullopt;
    request.extensionChoice = [box = m_runControls->extensionBox()] { return box->currentText(); };
    m_statusPanel->hidePassedOver();
    m_statusPanel->hideInvalidNames();
    m_statusPanel->hideSettledByDns();
    showSource();
    m_runControls->startChosenRun(sources::makeListRunSource(std::move(request), m_state), start, count);
}

void MainWindow::checkUnansweredAgain()
{
    const int count = m_state.unanswered().count();
    if (isRunActive() || count == 0 || refuseRunWhenReadOnly())
        return;
    lockRunControls();
    m_runControls->stopButton()->setEnabled(true);
    m_statusPanel->hideInvalidNames();
    m_runControls->startChosenRun(m_state.unanswered().snapshotSource(), 1, count);
}

void MainWindow::stopRun()
{
    m_runControls->stopRun();
}

void MainWindow::startListRun(qint64 entryCount)
{
    m_runControls->entryCountEdit()->setText(QString::number(entryCount));
    // A list written just now is checked from its first name, whatever position an earlier
    // run left in the box.
    m_runControls->startPositionEdit()->setText(QStringLiteral("1"));
    startRun();
}

QString MainWindow::searchText() const
{
    return m_topStrip->searchEdit()->text();
}

QString MainWindow::sourceCaption() const
{
    return m_topStrip->sourceBox()->currentText();
}

int MainWindow::searchTargetPosition() const
{
    return m_topStrip->searchTargetBox()->currentIndex();
}

// Stop, or the end of the list: the controls come back for the current source.
void MainWindow::onRunStopped()
{
    if (m_shuttingDown)
        return;
    Q_EMIT runEnded(); // listeners are queued: they find the controls back
    setSourceChoiceEnabled(true);
    const QString caption = sourceCaption();
    if (sources::reselectSourceAfterRun(caption)) {
        applySelection(sources::selectSource(caption, m_state.settings(), m_state.folder(), searchText()),
                       false);
        return;
    }
    m_runControls->startButton()->setEnabled(true);
    m_runControls->stopButton()->setEnabled(false);
    m_topStrip->searchEdit()->setEnabled(false);
    m_topStrip->searchTargetBox()->setEnabled(false);
    setSearchButtonEnabled(false);
    m_runControls->startPositionEdit()->setEnabled(true);
    m_runControls->startPositionEdit()->setText(
        config::readSetting(m_state.settings(), config::keys::CustWordNum, config::defaults::SourcePosition));
}

void MainWindow::openSetup()
{
    if (m_setupOpener)
        m_setupOpener();
}

void MainWindow::openListBuilder()
{
    if (m_listBuilderOpener)
        m_listBuilderOpener();
}

void MainWindow::openWebsite()
{
    m_companions->openWebsite();
}

void MainWindow::viewHelp()
{
    m_companions->viewHelp();
}

void MainWindow::showAbout()
{
    m_companions->showAbout();
}

void MainWindow::runEditMenuItem(int index)
{
    m_state.lists().runEditMenuItem(index);
}

void MainWindow::openWhois(const QString &domain)
{
    m_companions->openWhois(domain);
}

void MainWindow::showSource()
{
    m_statusPanel->showSource(m_topStrip->sourceBox()->currentText(), m_listPath);
}

QRect MainWindow::blockedNoticeArea() const
{
    if (!m_resultFrame->isVisible())
        return {};
    return QRect(m_resultFrame->mapToGlobal(QPoint(0, 0)), m_resultFrame->size());
}

void MainWindow::updateMinimumSize()
{
    // Every list is width / 5 − 250 twips wide: wide enough for its caption and buttons.
    const int column = twipsFromPixels(m_listsView->minimumColumnWidth());
    const int forLists = pixelsCoveringTwips(5 * (column + 250));
    const int least = pixelsCoveringTwips(kSnapTwips);
    setMinimumSize(std::max({least, forLists, m_statusPanel->leastWidth(), m_topStrip->controlsWidth(),
                             m_topStrip->buttonsWidth()}),
                   least);
}

MainLayoutMetrics MainWindow::layoutMetrics() const
{
    MainLayoutMetrics metrics;
    if (m_topStrip->rowCount() == 2) {
        // The second row of the strip pushes the result frame down by its height.
        const int extra = twipsFromPixels(m_topStrip->secondRowHeight());
        metrics.topStripHeight += extra;
        metrics.frameTop += extra;
    }
    return metrics;
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void MainWindow::applyLayout()
{
    if (!isMinimized())
        m_topStrip->fitRowsTo(width());
    const MainGeometry geometry = computeMainLayout(twipsFromPixels(width()), twipsFromPixels(height()),
                                                    isMinimized(), layoutMetrics());
    if (geometry.arrangement) {
        const MainArrangement &a = *geometry.arrangement;
        m_topStrip->setGeometry(pixelRect(a.topStrip));
        m_resultFrame->setGeometry(pixelRect(a.resultFrame));
        m_listsView->setGeometry(0, 0, m_resultFrame->width(), m_resultFrame->height());
        std::array<ResultListsView::ColumnPlacement, 5> places;
        for (std::size_t i = 0; i < places.size(); ++i) {
            places[i] = {pixelRect(a.columns[i].label), pixelRect(a.columns[i].list),
                         pixelRect(a.columns[i].buttons)};
        }
        m_listsView->placeColumns(places);
        // The status bar shares its width among the panels in the proportion of their widths.
        m_statusPanel->sharePanels(a.statusPanels);
        m_arrangement = a;
    }
    // A side below the minimum is made larger again.
    if (geometry.snapWidth || geometry.snapHeight) {
        resize(geometry.snapWidth ? pixelsCoveringTwips(*geometry.snapWidth) : width(),
               geometry.snapHeight ? pixelsCoveringTwips(*geometry.snapHeight) : height());
    }
}

// The first-use message and the guide open while the window is built, before it has a
// window of its own: once it is shown they are made its dependants and raised above it, so
// that a stacking window manager does not bury them under it.
void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    QPointer<QWidget> box = widgetNotice() ? widgetNotice()->lastMessageBox() : nullptr;
    QTimer::singleShot(0, m_companions, [this, box] {
        m_companions->raiseOverOwner({m_companions->help(), box});
    });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_shuttingDown) {
        m_shuttingDown = true;
        // No further name is dispatched; every socket is closed. Nothing is written: every
        // setting was saved when it changed.
        if (isRunActive())
            stopRun();
        m_companions->closeAll();
        if (QtUserNotice *notice = widgetNotice())
            notice->closeWindows();
        // Other windows opened over this one are hidden and go with it when the program
        // ends; they are not closed, so that no close handler writes a setting now (the
        // Setup window saves its default extension when it closes).
        for (QWidget *child : findChildren<QWidget *>()) {
            if (child->isWindow() && child->isVisible())
                child->hide();
        }
        // The other top-level windows (the splash, hidden since start-up, among them) close.
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (window != this && window->isWindow() && window->windowType() != Qt::ToolTip &&
                window->windowType() != Qt::Popup)
                window->close();
        }
        Q_EMIT shutDown();
    }
    QMainWindow::closeEvent(event);
}

} // namespace wendlecott::ui
