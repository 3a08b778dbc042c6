#include "ui/MainWindow.h"

#include "config/AppState.h"
#include "config/FileUtils.h"
#include "config/SettingsKeys.h"
#include "core/CheckRun.h"
#include "core/ShownText.h"
#include "core/TldTable.h"
#include "core/UnansweredNames.h"
#include "sources/ListRun.h"
#include "ui/AboutWindow.h"
#include "ui/BlockedNotice.h"
#include "ui/GeneratorWindow.h"
#include "ui/HelpWindow.h"
#include "ui/OverflowNotice.h"
#include "ui/QtUserNotice.h"
#include "ui/ResultListsView.h"
#include "ui/WhoisWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <memory>

namespace wendlecott::ui {

namespace {

using sources::SourceKind;

// Combo1's items that open a window which is not always there.
constexpr int kBrowseItem = 0;
constexpr int kYahooItem = 2;
constexpr int kGoogleItem = 3;

const QFont &verdana()
{
    static const QFont font(QStringLiteral("Verdana"));
    return font;
}

std::optional<QString> nativeOpenFileDialog(QWidget *parent, const QString &folder, const QString &filter)
{
    const QString chosen = QFileDialog::getOpenFileName(parent, QString(), folder, filter);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

// A box's text as a whole number, as the run takes its positions: a text that is no number
// counts 0, one beyond the 32-bit range is held at its edge.
qint32 wholeNumber(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return 0;
    return qint32(
        std::clamp<qlonglong>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(verdana());
    return label;
}

QPushButton *makeButton(const QString &name, const QString &caption, const QString &tooltip, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    if (!tooltip.isEmpty())
        button->setToolTip(tooltip);
    return button;
}

void setItemAvailable(QComboBox *combo, int index, bool available, const QString &tooltip)
{
    auto *model = qobject_cast<QStandardItemModel *>(combo->model());
    if (!model)
        return;
    if (QStandardItem *item = model->item(index)) {
        item->setEnabled(available);
        item->setToolTip(available ? QString() : tooltip);
    }
}

} // namespace

MainWindow::MainWindow(config::AppState &state, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_openFileDialog(&nativeOpenFileDialog)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kDesignCaption);

    m_run = new core::CheckRun(m_state.runEnvironment(), m_state.scheduler(), m_state.timing(),
                               m_state.connections(), core::RunPolicy::described(), this);
    m_run->setObjectName(QStringLiteral("CheckRun"));

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(central);
    buildMenus();
    buildTopStrip(central);
    buildResultArea(central);
    buildStatusBar();
    refreshAvailability();

    connect(m_run, &core::CheckRun::panelChanged, this, [this](int panel, const QString &text) {
        if (panel >= 0 && panel < int(m_panels.size()))
            m_panels[std::size_t(panel)]->setText(text);
    });
    // The positions are stored before the controls read them back.
    connect(m_run, &core::CheckRun::stopped, &m_state.positions(), &config::PositionRecorder::flush);
    connect(m_run, &core::CheckRun::stopped, this, &MainWindow::onRunStopped);
    // Said once for a row of failed writes (the recorder sees to that), not once a second.
    connect(&m_state.positions(), &config::PositionRecorder::writeFailed, this, [this](const QString &why) {
        m_state.notice().showMessage(QString(),
                                     QStringLiteral("The position in the list could not be stored, so a "
                                                    "later run may not resume where this one stopped.\r\n") +
                                         why,
                                     core::NoticeIcon::Warning);
    });
    connect(m_run, &core::CheckRun::progressChanged, this, &MainWindow::showProgress);
    connect(m_run, &core::CheckRun::namePassedOver, this,
            [this](const QString &, int count) { showPassedOver(count); });
    connect(&m_state.lists(), &core::ResultLists::whoisRequested, this, &MainWindow::openWhois);

    if (QtUserNotice *notice = widgetNotice()) {
        notice->setParentWidget(this);
        notice->setBlockedPlacement([this] { return blockedNoticeArea(); });
    }

    runStartup();
    updateMinimumSize();
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
    return m_generator.data();
}

AboutWindow *MainWindow::aboutWindow() const
{
    return m_about.data();
}

HelpWindow *MainWindow::helpWindow() const
{
    return m_help.data();
}

// Building ------------------------------------------------------------------------------

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    buildRunMenuItems(file);
    QAction *exit = file->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q)); // Quit, whatever the desktop's own keys
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    const auto &items = core::ResultLists::editMenuItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        QAction *action = edit->addAction(items[i].caption);
        action->setObjectName(QStringLiteral("mnuEditItem_%1").arg(i));
        connect(action, &QAction::triggered, this, [this, i] { runEditMenuItem(int(i)); });
    }
    buildListMenuItems(edit);

    QMenu *tools = bar->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    tools->setToolTipsVisible(true);
    const auto &sources = sources::nameSources();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        QAction *action = tools->addAction(sources[i].caption);
        action->setObjectName(QStringLiteral("mnuToolsItem_%1").arg(i));
        connect(action, &QAction::triggered, this, [this, i] { selectSourceItem(int(i)); });
        m_toolsActions[i] = action;
    }
    tools->addSeparator();
    m_recheckAction = tools->addAction(QString());
    m_recheckAction->setObjectName(QStringLiteral("mnuCheckUnanswered"));
    connect(m_recheckAction, &QAction::triggered, this, &MainWindow::checkUnansweredAgain);
    connect(&m_state.unanswered(), &core::UnansweredNames::countChanged, this,
            &MainWindow::updateRecheckAction);
    updateRecheckAction();

    QMenu *options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    options->setToolTipsVisible(true);
    m_setupAction = options->addAction(QStringLiteral("&Setup"));
    m_setupAction->setObjectName(QStringLiteral("mnuSetup"));
    connect(m_setupAction, &QAction::triggered, this, &MainWindow::openSetup);

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *viewHelp = help->addAction(QStringLiteral("&View Help"));
    viewHelp->setObjectName(QStringLiteral("mnuViewHelp"));
    viewHelp->setShortcut(QKeySequence(Qt::Key_F1));
    viewHelp->setShortcutContext(Qt::ApplicationShortcut); // F1 from any window of the program
    connect(viewHelp, &QAction::triggered, this, &MainWindow::viewHelp);

    QMenu *about = bar->addMenu(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAboutMenu"));
    QAction *aboutThis = about->addAction(QStringLiteral("&About this software"));
    aboutThis->setObjectName(QStringLiteral("mnuAbout"));
    connect(aboutThis, &QAction::triggered, this, &MainWindow::showAbout);
}

// Start and Stop as menu items with their keys. They do what the buttons do, and only while
// the button could be clicked.
void MainWindow::buildRunMenuItems(QMenu *file)
{
    m_startAction = file->addAction(QStringLiteral("&Start"));
    m_startAction->setObjectName(QStringLiteral("mnuStart"));
    m_startAction->setShortcut(QKeySequence(Qt::Key_F5));
    connect(m_startAction, &QAction::triggered, this, [this] {
        if (m_startButton->isEnabled() && m_startButton->isVisibleTo(this))
            startRun();
    });
    m_stopAction = file->addAction(QStringLiteral("S&top"));
    m_stopAction->setObjectName(QStringLiteral("mnuStop"));
    m_stopAction->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(m_stopAction, &QAction::triggered, this, [this] {
        if (m_stopButton->isEnabled())
            stopRun();
    });
    file->addSeparator();
    connect(file, &QMenu::aboutToShow, this, [this] {
        m_startAction->setEnabled(m_startButton->isEnabled() && m_startButton->isVisibleTo(this));
        m_stopAction->setEnabled(m_stopButton->isEnabled());
    });
}

// Copy and Delete for the list the user works in. Their keys act only while a list has the
// focus, so the text boxes keep Ctrl+C and Delete for themselves.
void MainWindow::buildListMenuItems(QMenu *edit)
{
    edit->addSeparator();
    QAction *copy = edit->addAction(QStringLiteral("&Copy Selected"));
    copy->setObjectName(QStringLiteral("mnuCopySelected"));
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    QAction *remove = edit->addAction(QStringLiteral("&Delete Selected"));
    remove->setObjectName(QStringLiteral("mnuDeleteSelected"));
    remove->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction *action : {copy, remove})
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    // The lists view exists only later; the actions are added to it in buildResultArea.
    connect(copy, &QAction::triggered, this, [this] {
        const core::ListId id = m_listsView->currentList();
        if (id != core::ListId::None)
            m_listsView->copySelected(id);
    });
    connect(remove, &QAction::triggered, this, [this] {
        const core::ListId id = m_listsView->currentList();
        if (id != core::ListId::None)
            m_listsView->deleteSelected(id);
    });
}

void MainWindow::buildTopStrip(QWidget *central)
{
    m_topStrip = new QFrame(central);
    m_topStrip->setObjectName(QStringLiteral("Frame1"));
    m_topStrip->setFrameShape(QFrame::NoFrame);
    // One row of controls; a window too narrow for it puts Setup and the website button on a
    // second row rather than cut captions short.
    m_stripRows = new QVBoxLayout(m_topStrip);
    // The strip is 200 twips wider than the window: keep its right end clear of the edge.
    m_stripRows->setContentsMargins(kStripMargin, 4, kStripMargin + pixelsCoveringTwips(200), 4);
    m_stripRows->setSpacing(0);
    m_firstRow = new QHBoxLayout;
    m_firstRow->setSpacing(kStripSpacing);
    m_secondRow = new QHBoxLayout;
    m_secondRow->setSpacing(kStripSpacing);
    m_stripRows->addLayout(m_firstRow);
    m_stripRows->addLayout(m_secondRow);

    buildSourceControls();
    buildRunControls();
    buildSearchControls();
    m_setupButton = makeButton(QStringLiteral("cmdSetup"), QStringLiteral("Setup"), QString(), m_topStrip);
    connect(m_setupButton, &QPushButton::clicked, this, &MainWindow::openSetup);
    m_websiteButton = makeButton(QStringLiteral("cmdWebsite"), QString(), QString(), m_topStrip);
    connect(m_websiteButton, &QPushButton::clicked, this, &MainWindow::openWebsite);

    for (QWidget *widget : std::initializer_list<QWidget *>{
             m_sourceLabel, m_sourceBox, m_startLabel, m_startPositionEdit, m_ofLabel, m_entryCountEdit,
             m_startButton, m_stopButton, m_extensionLabel, m_extensionBox, m_extensionTicks, m_searchLabel,
             m_searchEdit, m_searchTargetLabel, m_searchTargetBox, m_searchButton})
        m_firstRow->addWidget(widget);
    m_firstRow->addStretch(1);
    m_firstRow->addWidget(m_setupButton);
    m_firstRow->addWidget(m_websiteButton);
    m_secondRow->addStretch(1);

    setSearchControlsVisible(false);
    m_searchEdit->setEnabled(false);
    m_searchTargetBox->setEnabled(false);
}

void MainWindow::setStripRowCount(int rows)
{
    if (rows == m_stripRowCount)
        return;
    m_stripRowCount = rows;
    QHBoxLayout *from = rows == 1 ? m_secondRow : m_firstRow;
    QHBoxLayout *to = rows == 1 ? m_firstRow : m_secondRow;
    for (QWidget *button : {m_setupButton, m_websiteButton}) {
        from->removeWidget(button);
        to->addWidget(button); // after the row's stretch: at its right end
    }
    m_stripRows->setSpacing(rows == 1 ? 0 : kStripSpacing);
}

// "Search Type:" and Combo1, the name sources.
void MainWindow::buildSourceControls()
{
    const QString sourceTip = QStringLiteral("Select the type of search you would like to run");
    m_sourceLabel = makeLabel(QStringLiteral("Label6"), QStringLiteral("Search Type:"), m_topStrip);
    m_sourceLabel->setToolTip(sourceTip);
    m_sourceBox = new QComboBox(m_topStrip);
    m_sourceBox->setObjectName(QStringLiteral("Combo1"));
    m_sourceBox->setToolTip(sourceTip);
    for (const sources::NameSource &source : sources::nameSources())
        m_sourceBox->addItem(source.caption);
    m_sourceBox->setCurrentIndex(-1); // no source until the user picks one
    m_sourceBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_sourceBox, &QComboBox::activated, this, [this] { applySourceChoice(); });
}

// The positions, Start and Stop, and the extension box of a run over a list.
void MainWindow::buildRunControls()
{
    m_startLabel = makeLabel(QStringLiteral("wLabel1"), QStringLiteral("Start Number:"), m_topStrip);
    m_startPositionEdit = new QLineEdit(QStringLiteral("1"), m_topStrip);
    m_startPositionEdit->setObjectName(QStringLiteral("txtWordNum"));
    m_startPositionEdit->setFixedWidth(80);
    m_ofLabel = makeLabel(QStringLiteral("wLabel2"), QStringLiteral("of"), m_topStrip);
    m_entryCountEdit = new QLineEdit(QStringLiteral("1"), m_topStrip);
    m_entryCountEdit->setObjectName(QStringLiteral("txtWordMax"));
    m_entryCountEdit->setToolTip(QStringLiteral("The number of entries on your list."));
    m_entryCountEdit->setFixedWidth(80);
    connect(m_startPositionEdit, &QLineEdit::textChanged, this, &MainWindow::correctStartPosition);

    m_startButton = makeButton(QStringLiteral("cmdDoSearch"), QStringLiteral("Start"),
                               QStringLiteral("Click here to start searching your list."), m_topStrip);
    m_startButton->setEnabled(false); // until a source is chosen
    connect(m_startButton, &QPushButton::clicked, this, &MainWindow::startRun);
    m_stopButton = makeButton(QStringLiteral("Command3"), QStringLiteral("Stop"),
                              QStringLiteral("Click here to stop searching names"), m_topStrip);
    m_stopButton->setEnabled(false);
    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stopRun);

    m_extensionLabel = makeLabel(QStringLiteral("sLblTLD"), QStringLiteral("TLD:"), m_topStrip);
    m_extensionBox = new QComboBox(m_topStrip);
    m_extensionBox->setObjectName(QStringLiteral("cmbTLDs"));
    m_extensionBox->setEditable(true);
    m_extensionBox->setInsertPolicy(QComboBox::NoInsert);
    m_extensionBox->setMinimumContentsLength(6);
    // Beside cmbTLDs: several extensions ticked for one run.
    m_extensionTicks = new QToolButton(m_topStrip);
    m_extensionTicks->setObjectName(QStringLiteral("cmdTLDs"));
    m_extensionTicks->setText(QStringLiteral("TLDs"));
    m_extensionTicks->setToolTip(
        QStringLiteral("Tick two or more extensions to check every name in each of them."));
    m_extensionTicks->setPopupMode(QToolButton::InstantPopup);
    m_extensionTicks->setMenu(new QMenu(m_extensionTicks));
}

// The search box of the two search-engine sources.
void MainWindow::buildSearchControls()
{
    m_searchLabel = makeLabel(QStringLiteral("SLabel1"), QStringLiteral("Search String:"), m_topStrip);
    m_searchEdit = new QLineEdit(m_topStrip);
    m_searchEdit->setObjectName(QStringLiteral("txtSearch"));
    m_searchEdit->setToolTip(QStringLiteral("Enter a search string"));
    m_searchEdit->setMinimumWidth(160);
    connect(m_searchEdit, &QLineEdit::textChanged, this, &MainWindow::searchTextChanged);
    m_searchTargetLabel = makeLabel(QStringLiteral("SLabel2"), QStringLiteral("Get"), m_topStrip);
    m_searchTargetBox = new QComboBox(m_topStrip);
    m_searchTargetBox->setObjectName(QStringLiteral("Combo2"));
    m_searchTargetBox->setToolTip(QStringLiteral("The approximate number of domains to find, if available."));
    m_searchTargetBox->addItems({QStringLiteral("~100 Domains"), QStringLiteral("~200 Domains"),
                                 QStringLiteral("~500 Domains"), QStringLiteral("~1000 Domains")});
    m_searchTargetBox->setCurrentIndex(0);
    m_searchButton = makeButton(QStringLiteral("cmdCreate"), QStringLiteral("Search"), QString(), m_topStrip);
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::openListBuilder);
}

void MainWindow::buildResultArea(QWidget *central)
{
    m_resultFrame = new QGroupBox(kFrameCaption, central);
    m_resultFrame->setObjectName(QStringLiteral("Frame2"));
    m_listsView = new ResultListsView(m_state.lists(), m_resultFrame);
    for (const char *name : {"mnuCopySelected", "mnuDeleteSelected"}) {
        if (auto *action = findChild<QAction *>(QLatin1String(name)))
            m_listsView->addAction(action);
    }
}

void MainWindow::buildStatusBar()
{
    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        auto *panel = new QLabel(core::CheckRun::idlePanelText(i), m_statusBar);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The panels take the shares the resize rules give them, whatever text they show.
        panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        m_statusBar->addWidget(panel, i == 2 ? 2 : 1);
        m_panels[std::size_t(i)] = panel;
    }

    m_sourcePanel = new QLabel(m_statusBar);
    m_sourcePanel->setObjectName(QStringLiteral("lblSource"));
    m_sourcePanel->setTextFormat(Qt::PlainText);
    m_passedOverPanel = new QLabel(m_statusBar);
    m_passedOverPanel->setObjectName(QStringLiteral("lblPassedOver"));
    m_passedOverPanel->setToolTip(
        QStringLiteral("Names of this run whose extension no enabled TLD row serves: they were not "
                       "looked up. Add or enable their rows in Setup."));
    m_passedOverPanel->hide();
    m_progress = new QProgressBar(m_statusBar);
    m_progress->setObjectName(QStringLiteral("prgRun"));
    m_progress->setToolTip(
        QStringLiteral("The position of the name being checked, of the entries on your list."));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("0 of 0"));
    m_progress->setFixedWidth(kProgressWidth);
    m_statusBar->addPermanentWidget(m_sourcePanel);
    m_statusBar->addPermanentWidget(m_passedOverPanel);
    m_statusBar->addPermanentWidget(buildInvalidNamesPanel());
    m_statusBar->addPermanentWidget(m_progress);
    showSource();
    setStatusBar(m_statusBar);
}

// Start-up ------------------------------------------------------------------------------

void MainWindow::runStartup()
{
    // Caption, website button and frame caption.
    setWindowTitle(config::kProductName + QStringLiteral(" by ") + config::kCompanyName);
    m_websiteButton->setText(QStringLiteral("Visit ") + config::kProductWebAddress);
    m_resultFrame->setTitle(m_state.lists().purchaseLinkOn() ? kPurchaseFrameCaption : kFrameCaption);

    // Settings read, help flag, files, saved list, folders, TLD table, proxy, default
    // extension and the first-use flag, each step skipped when it fails.
    m_startup = config::runStartupSequence(m_state);
    if (m_startup.openHelp)
        openHelpFile(m_startup.helpPath);
    // Maximised; without a window manager to do that, the window covers the screen itself.
    if (const QScreen *screen = this->screen())
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    // "wordNumber" (m_startup.wordNumber) would seed the run's position; every Start replaces
    // it with txtWordNum, so nothing reads it before then.
    m_extensionBox->clear();
    m_extensionBox->addItems(m_startup.tldChoices);
    m_extensionBox->setCurrentIndex(-1);
    m_extensionBox->setEditText(QString());
    refillExtensionTicks(m_startup.tldChoices);

    if (m_startup.showFirstUseMessage)
        m_state.notice().showMessage(QString(), config::kFirstUseMessage, core::NoticeIcon::None);
}

void MainWindow::loadTLDs()
{
    const QString current = m_extensionBox->currentText();
    const QStringList choices = core::loadTLDs(m_state.tldPath());
    m_extensionBox->clear();
    m_extensionBox->addItems(choices);
    // An extension that is still offered stays chosen; any other choice is gone with its row.
    const int keep = current.isEmpty() ? -1 : choices.indexOf(current);
    m_extensionBox->setCurrentIndex(keep);
    if (keep < 0)
        m_extensionBox->setEditText(QString());
    refillExtensionTicks(choices);
}

// One tick a enabled extension; ticks of extensions still offered stay.
void MainWindow::refillExtensionTicks(const QStringList &choices)
{
    const QStringList ticked = tickedExtensions();
    QMenu *menu = m_extensionTicks->menu();
    menu->clear();
    for (const QString &extension : choices) {
        QAction *tick = menu->addAction(extension);
        tick->setObjectName(QStringLiteral("tickTLD_") + extension);
        tick->setCheckable(true);
        tick->setChecked(ticked.contains(extension));
        connect(tick, &QAction::toggled, this, [this] {
            const qsizetype count = tickedExtensions().size();
            m_extensionTicks->setText(count > 0 ? QStringLiteral("TLDs (%1)").arg(count)
                                                : QStringLiteral("TLDs"));
        });
    }
    const qsizetype count = tickedExtensions().size();
    m_extensionTicks->setText(count > 0 ? QStringLiteral("TLDs (%1)").arg(count) : QStringLiteral("TLDs"));
}

QStringList MainWindow::tickedExtensions() const
{
    QStringList ticked;
    for (const QAction *tick : m_extensionTicks->menu()->actions()) {
        if (tick->isChecked())
            ticked.append(tick->text());
    }
    return ticked;
}

void MainWindow::setExtensionTicked(const QString &extension, bool ticked)
{
    for (QAction *tick : m_extensionTicks->menu()->actions()) {
        if (tick->text() == extension)
            tick->setChecked(ticked);
    }
}

bool MainWindow::isRunActive() const
{
    return m_run->isRunning();
}

// Hooks ---------------------------------------------------------------------------------

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
    if (window)
        m_companions.append(QPointer<QWidget>(window));
}

void MainWindow::refreshAvailability()
{
    const bool setup = bool(m_setupOpener);
    const bool builder = bool(m_listBuilderOpener);
    const bool browse = bool(m_browseOpener);

    m_setupButton->setEnabled(setup);
    m_setupButton->setToolTip(setup ? QString() : kNotAvailableYet);
    m_setupAction->setEnabled(setup);
    m_setupAction->setToolTip(setup ? QString() : kNotAvailableYet); // empty: the item's text

    m_searchButton->setToolTip(builder ? QStringLiteral("Click here to start your internet search!")
                                       : kNotAvailableYet);
    setSearchButtonEnabled(m_searchButtonWanted);

    setItemAvailable(m_sourceBox, kBrowseItem, browse, kNotAvailableYet);
    setItemAvailable(m_sourceBox, kYahooItem, builder, kNotAvailableYet);
    setItemAvailable(m_sourceBox, kGoogleItem, builder, kNotAvailableYet);
    setSourceChoiceEnabled(m_sourceChoiceEnabled);
}

void MainWindow::setSearchButtonEnabled(bool wanted)
{
    m_searchButtonWanted = wanted;
    m_searchButton->setEnabled(wanted && bool(m_listBuilderOpener));
}

// Combo1 and the Tools menu's sources go together: while a run goes neither may change it.
void MainWindow::setSourceChoiceEnabled(bool enabled)
{
    m_sourceChoiceEnabled = enabled;
    m_sourceBox->setEnabled(enabled);
    const auto &sources = sources::nameSources();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        bool available = true;
        if (int(i) == kBrowseItem)
            available = bool(m_browseOpener);
        else if (int(i) == kYahooItem || int(i) == kGoogleItem)
            available = bool(m_listBuilderOpener);
        m_toolsActions[i]->setEnabled(enabled && available);
        m_toolsActions[i]->setToolTip(available ? sources[i].caption : kNotAvailableYet);
    }
    updateRecheckAction();
}

void MainWindow::updateRecheckAction()
{
    const int count = m_state.unanswered().count();
    m_recheckAction->setText(QStringLiteral("Check unanswered names again (%1)").arg(count));
    m_recheckAction->setEnabled(count > 0 && m_sourceChoiceEnabled && !isRunActive());
}

// Sources -------------------------------------------------------------------------------

void MainWindow::applySourceChoice()
{
    applySelection(sources::selectSource(m_sourceBox->currentText(), m_state.settings(), m_state.folder(),
                                         m_searchEdit->text()),
                   true);
}

void MainWindow::selectSourceItem(int index)
{
    // Only what the menu offers: not during a run, not a source whose window is missing.
    if (index < 0 || index >= m_sourceBox->count() || !m_toolsActions[std::size_t(index)]->isEnabled())
        return;
    m_sourceBox->setCurrentIndex(index);
    applySourceChoice();
}

void MainWindow::applySelection(sources::SourceSelection selection, bool allowDialogs)
{
    if (!selection.known)
        return;
    if (selection.wordListControlsVisible)
        setWordListControlsVisible(*selection.wordListControlsVisible);
    if (selection.searchControlsVisible)
        setSearchControlsVisible(*selection.searchControlsVisible);

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
        m_entryCountEdit->setText(*selection.wordMax);
    if (selection.startEnabled)
        m_startButton->setEnabled(*selection.startEnabled);
    if (selection.stopEnabled)
        m_stopButton->setEnabled(*selection.stopEnabled);
    if (selection.searchTextEnabled)
        m_searchEdit->setEnabled(*selection.searchTextEnabled);
    if (selection.searchEngineEnabled)
        m_searchTargetBox->setEnabled(*selection.searchEngineEnabled);
    if (selection.searchButtonEnabled)
        setSearchButtonEnabled(*selection.searchButtonEnabled);
    if (selection.wordNumEnabled)
        m_startPositionEdit->setEnabled(*selection.wordNumEnabled);
    if (selection.wordNum)
        m_startPositionEdit->setText(*selection.wordNum);
    showSource();

    if (!allowDialogs)
        return;
    if (selection.opens == sources::SourceWindow::Generator)
        openGenerator();
    else if (selection.opens == sources::SourceWindow::Browse && m_browseOpener)
        m_browseOpener();
}

void MainWindow::setWordListControlsVisible(bool visible)
{
    for (QWidget *widget :
         std::initializer_list<QWidget *>{m_startLabel, m_startPositionEdit, m_ofLabel, m_entryCountEdit,
                                          m_startButton, m_extensionLabel, m_extensionBox, m_extensionTicks})
        widget->setVisible(visible);
}

void MainWindow::setSearchControlsVisible(bool visible)
{
    for (QWidget *widget : std::initializer_list<QWidget *>{m_searchLabel, m_searchEdit, m_searchTargetLabel,
                                                            m_searchTargetBox, m_searchButton})
        widget->setVisible(visible);
}

void MainWindow::correctStartPosition()
{
    const QString fixed =
        sources::correctedStartPosition(m_startPositionEdit->text(), m_entryCountEdit->text());
    if (fixed != m_startPositionEdit->text())
        m_startPositionEdit->setText(fixed);
}

void MainWindow::searchTextChanged()
{
    setSearchButtonEnabled(sources::searchButtonEnabled(m_searchEdit->text()));
}

void MainWindow::openGenerator()
{
    if (!m_generator) {
        m_generator = new GeneratorWindow(m_state.folder(), m_state.settings(), m_state.notice(),
                                          m_state.scheduler(), this);
        m_generator->setStartRun([this](qint64 count) { startListRun(count); });
    }
    m_generator->show();
    m_generator->raise();
    m_generator->activateWindow();
}

// The run ---------------------------------------------------------------------------------

void MainWindow::lockRunControls()
{
    for (QWidget *widget : std::initializer_list<QWidget *>{m_startButton, m_stopButton, m_startPositionEdit,
                                                            m_searchTargetBox, m_searchEdit})
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

    const sources::NameSource *source = sources::findNameSource(m_sourceBox->currentText());
    if (source && source->kind == SourceKind::Search)
        m_startPositionEdit->setText(QStringLiteral("1")); // the search lists always start at 1
    const qint32 start = wholeNumber(m_startPositionEdit->text());
    const qint32 count = wholeNumber(m_entryCountEdit->text());
    m_stopButton->setEnabled(true);

    // The unanswered names chosen as a custom list: the run reads them as they stand now,
    // since it rewrites the file as it files them.
    if (m_state.unanswered().isThisFile(m_listPath)) {
        startChosenRun(m_state.unanswered().snapshotSource(), start, count);
        return;
    }
    sources::ListRunRequest request;
    request.listPath = m_listPath;
    request.resumeKey = source ? source->resumeKey : std::nullopt;
    request.extensionChoice = [this] { return m_extensionBox->currentText(); };
    m_passedOverPanel->hide();
    m_invalidNamesPanel->hide();
    showSource();
    startChosenRun(sources::makeListRunSource(std::move(request), m_state), start, count);
}

// The run takes the user's choices as they stand at Start: the ticked extensions and the
// Jobs preference (one of each: the described run with the one extension of cmbTLDs).
void MainWindow::startChosenRun(core::RunSource source, qint32 start, qint32 count)
{
    core::RunChoices choices;
    choices.extensions = tickedExtensions();
    choices.jobs = m_state.preferences().jobs();
    m_run->setPolicy(core::runPolicyFor(m_state.table(), choices));
    m_run->startRun(std::move(source), start, count);
}

void MainWindow::checkUnansweredAgain()
{
    const int count = m_state.unanswered().count();
    if (isRunActive() || count == 0 || refuseRunWhenReadOnly())
        return;
    lockRunControls();
    m_stopButton->setEnabled(true);
    m_invalidNamesPanel->hide();
    startChosenRun(m_state.unanswered().snapshotSource(), 1, count);
}

void MainWindow::stopRun()
{
    m_run->stopRun();
}

void MainWindow::startListRun(qint64 entryCount)
{
    m_entryCountEdit->setText(QString::number(entryCount));
    // A list written just now is checked from its first name, whatever position an earlier
    // run left in the box.
    m_startPositionEdit->setText(QStringLiteral("1"));
    startRun();
}

QString MainWindow::searchText() const
{
    return m_searchEdit->text();
}

QString MainWindow::sourceCaption() const
{
    return m_sourceBox->currentText();
}

int MainWindow::searchTargetPosition() const
{
    return m_searchTargetBox->currentIndex();
}

// Stop, or the end of the list: the controls come back for the current source.
void MainWindow::onRunStopped()
{
    if (m_shuttingDown)
        return;
    setSourceChoiceEnabled(true);
    const QString caption = m_sourceBox->currentText();
    const sources::NameSource *source = sources::findNameSource(caption);
    const bool fixedFile = source && source->kind != SourceKind::CustomList &&
                           source->kind != SourceKind::Generate && source->kind != SourceKind::Browse;
    if (fixedFile) {
        applySelection(
            sources::selectSource(caption, m_state.settings(), m_state.folder(), m_searchEdit->text()),
            false);
        return;
    }
    m_startButton->setEnabled(true);
    m_stopButton->setEnabled(false);
    m_searchEdit->setEnabled(false);
    m_searchTargetBox->setEnabled(false);
    setSearchButtonEnabled(false);
    m_startPositionEdit->setEnabled(true);
    m_startPositionEdit->setText(
        config::readSetting(m_state.settings(), config::keys::CustWordNum, config::defaults::SourcePosition));
}

// Other commands --------------------------------------------------------------------------

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
    openAddressFrom(this, addressForBrowser(config::kProductWebAddress));
}

// A desktop without a browser: the user is told, over the window that asked, and may copy
// the address.
void MainWindow::openAddressFrom(QWidget *window, const QString &url)
{
    const std::unique_ptr<core::UserNotice> notice = m_state.notice().noticeFor(window);
    (void)core::openAddressOrOfferCopy(url, m_state.opener(), *notice, m_state.clipboard());
}

void MainWindow::viewHelp()
{
    const QString path = config::helpFilePath(m_state.folder());
    if (path.isEmpty()) {
        m_state.notice().showMessage(QString(),
                                     QStringLiteral("The user guide %1 is not in the program folder %2.")
                                         .arg(config::fileNamePart(config::kUserGuideFileName),
                                              QDir::toNativeSeparators(m_state.folder().root())),
                                     core::NoticeIcon::Warning);
        return;
    }
    openHelpFile(path);
}

// The user guide opens in the program's help window; another help file in the desktop's viewer.
void MainWindow::openHelpFile(const QString &path)
{
    if (!config::isUserGuide(path)) {
        (void)m_state.opener().openFile(path);
        return;
    }
    if (!m_help || m_help->guidePath() != path) {
        delete m_help.data();
        m_help = new HelpWindow(
            path, [this](const QUrl &url) { openAddressFrom(m_help.data(), url.toString()); }, this);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void MainWindow::showAbout()
{
    if (!m_about) {
        m_about = new AboutWindow(
            [this] { openAddressFrom(m_about.data(), addressForBrowser(config::kProductWebAddress)); }, this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::runEditMenuItem(int index)
{
    m_state.lists().runEditMenuItem(index);
}

void MainWindow::openWhois(const QString &domain)
{
    WhoisWindow::replaceAndShow(m_whois, domain, m_state.table(), m_state.lookupChoices(),
                                m_state.lookupServices(), m_state.connections(), m_state.scheduler(),
                                m_state.timing(), this);
}

// Status bar --------------------------------------------------------------------------------

void MainWindow::showProgress(qint32 position, qint32 count)
{
    const qint32 maximum = std::max<qint32>(count, 0);
    const qint32 value = std::clamp<qint32>(position, 0, maximum);
    m_progress->setRange(0, std::max<qint32>(maximum, 1)); // 0 to 0 would be a busy indicator
    m_progress->setValue(value);
    m_progress->setFormat(QStringLiteral("%1 of %2").arg(value).arg(maximum));
}

QLabel *MainWindow::buildInvalidNamesPanel()
{
    m_invalidNamesPanel = new QLabel(m_statusBar);
    m_invalidNamesPanel->setObjectName(QStringLiteral("lblInvalidNames"));
    m_invalidNamesPanel->setToolTip(
        QStringLiteral("Entries of this run that cannot be domain names (too long, or characters no "
                       "registry accepts): they were not looked up."));
    m_invalidNamesPanel->hide();
    connect(m_run, &core::CheckRun::invalidName, this, &MainWindow::showInvalidName);
    return m_invalidNamesPanel;
}

void MainWindow::showInvalidName(const QString &name, const QString &reason, int count)
{
    m_invalidNamesPanel->setText(QStringLiteral("Invalid: %1 (not looked up)").arg(count));
    m_invalidNamesPanel->setToolTip(
        QStringLiteral("Entries of this run that cannot be domain names: they were not "
                       "looked up. The last one: %1 (%2).")
            .arg(core::quotedLine(name, 60), reason));
    m_invalidNamesPanel->show();
}

void MainWindow::showPassedOver(int count)
{
    m_passedOverPanel->setText(QStringLiteral("Passed over: %1 (no TLD row)").arg(count));
    m_passedOverPanel->show();
}

// The list file a run reads (the source's caption when it has none); the tooltip names the
// source and the whole path.
void MainWindow::showSource()
{
    const QString caption = m_sourceBox->currentText();
    const QString file = config::fileNamePart(m_listPath);
    QString text = QStringLiteral("No source chosen");
    QString tooltip = text;
    if (!caption.isEmpty()) {
        text = file.isEmpty() ? caption : QStringLiteral("List: %1").arg(file);
        tooltip = QStringLiteral("Source: %1").arg(caption);
        if (!file.isEmpty())
            tooltip += QStringLiteral("\nList file: %1").arg(QDir::toNativeSeparators(m_listPath));
    }
    // A long file name is shortened in the middle; the tooltip holds it whole.
    m_sourcePanel->setText(m_sourcePanel->fontMetrics().elidedText(text, Qt::ElideMiddle, kSourcePanelWidth));
    m_sourcePanel->setToolTip(tooltip);
}

QRect MainWindow::blockedNoticeArea() const
{
    if (!m_resultFrame->isVisible())
        return {};
    return QRect(m_resultFrame->mapToGlobal(QPoint(0, 0)), m_resultFrame->size());
}

// Minimum size ----------------------------------------------------------------------------

// The width a set of the strip's controls takes side by side, with the spacing after each.
int MainWindow::stripWidthOf(std::initializer_list<const QWidget *> widgets) const
{
    int width = 0;
    for (const QWidget *widget : widgets)
        width += std::clamp(widget->sizeHint().width(), widget->minimumWidth(), widget->maximumWidth()) +
                 kStripSpacing;
    return width;
}

int MainWindow::stripControlsWidth() const
{
    // Always shown, and the two sets that take turns by source.
    const int common = stripWidthOf({m_sourceLabel, m_sourceBox, m_stopButton});
    const int wordList = stripWidthOf({m_startLabel, m_startPositionEdit, m_ofLabel, m_entryCountEdit,
                                       m_startButton, m_extensionLabel, m_extensionBox, m_extensionTicks});
    const int search =
        stripWidthOf({m_searchLabel, m_searchEdit, m_searchTargetLabel, m_searchTargetBox, m_searchButton});
    return 2 * kStripMargin + common + std::max(wordList, search);
}

int MainWindow::stripButtonsWidth() const
{
    return 2 * kStripMargin + stripWidthOf({m_setupButton, m_websiteButton});
}

void MainWindow::updateMinimumSize()
{
    // Every list is width / 5 − 250 twips wide: wide enough for its caption and buttons.
    const int column = twipsFromPixels(m_listsView->minimumColumnWidth());
    const int forLists = pixelsCoveringTwips(5 * (column + 250));
    // The status panels share what the source and the progress leave a quarter, a quarter
    // and a half; each keeps its caption whole.
    const int panels = std::max({4 * m_panels[0]->sizeHint().width(), 4 * m_panels[1]->sizeHint().width(),
                                 2 * m_panels[2]->sizeHint().width()});
    const int forStatus = panels + kSourcePanelWidth + kProgressWidth + kStatusBarSlack;
    const int least = pixelsCoveringTwips(kSnapTwips);
    setMinimumSize(std::max({least, forLists, forStatus, stripControlsWidth(), stripButtonsWidth()}), least);
}

MainLayoutMetrics MainWindow::layoutMetrics() const
{
    MainLayoutMetrics metrics;
    if (m_stripRowCount == 2) {
        // The second row of the strip pushes the result frame down by its height.
        const int extra = twipsFromPixels(m_setupButton->sizeHint().height() + kStripSpacing);
        metrics.topStripHeight += extra;
        metrics.frameTop += extra;
    }
    return metrics;
}

// Resize ------------------------------------------------------------------------------------

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void MainWindow::applyLayout()
{
    if (!isMinimized())
        setStripRowCount(width() >= stripControlsWidth() + stripButtonsWidth() - 2 * kStripMargin ? 1 : 2);
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
        for (std::size_t i = 0; i < m_panels.size(); ++i)
            m_statusBar->removeWidget(m_panels[i]);
        for (std::size_t i = 0; i < m_panels.size(); ++i) {
            m_statusBar->addWidget(m_panels[i], a.statusPanels[i]);
            m_panels[i]->show();
        }
        m_arrangement = a;
    }
    // A side below the minimum is made larger again.
    if (geometry.snapWidth || geometry.snapHeight) {
        resize(geometry.snapWidth ? pixelsCoveringTwips(*geometry.snapWidth) : width(),
               geometry.snapHeight ? pixelsCoveringTwips(*geometry.snapHeight) : height());
    }
}

// Shutdown ----------------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_shuttingDown) {
        m_shuttingDown = true;
        // No further name is dispatched; every socket is closed. Nothing is written: every
        // setting was saved when it changed.
        if (isRunActive())
            stopRun();
        for (const QPointer<QWidget> &window : std::as_const(m_companions)) {
            if (window)
                window->close();
        }
        if (m_generator)
            m_generator->close();
        if (m_whois)
            m_whois->close();
        if (m_about)
            m_about->close();
        if (m_help)
            m_help->close();
        if (QtUserNotice *notice = widgetNotice()) {
            if (auto *blocked = notice->blockedWindow())
                blocked->close();
            if (auto *overflow = notice->overflowWindow())
                overflow->close();
            if (QMessageBox *box = notice->lastMessageBox())
                box->close();
        }
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
