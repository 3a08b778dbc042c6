#include "ui/MainWindow.h"

#include "config/FileUtils.h"
#include "config/SettingsKeys.h"
#include "core/CheckRun.h"
#include "core/TldTable.h"
#include "platform/widgets/QtUserNotice.h"
#include "sources/EntryDomain.h"
#include "ui/AboutWindow.h"
#include "ui/AppContext.h"
#include "ui/BlockedWindow.h"
#include "ui/GeneratorWindow.h"
#include "ui/OverflowNotice.h"
#include "ui/ResultListsView.h"
#include "ui/WhoisWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QStatusBar>

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

Form1::Form1(AppContext &context, QWidget *parent)
    : QMainWindow(parent), m_context(context), m_openFileDialog(&nativeOpenFileDialog)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kDesignCaption);

    m_run = new core::CheckRun(m_context.runEnvironment(), m_context.scheduler(), m_context.timing(),
                               m_context.connections(), 1, this);
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
    connect(m_run, &core::CheckRun::stopped, this, &Form1::onRunStopped);
    connect(&m_context.lists(), &core::ResultLists::whoisRequested, this, &Form1::openWhois);

    if (platform::QtUserNotice *notice = m_context.qtNotice())
        notice->setParentWidget(this);

    formLoad();
}

Form1::~Form1()
{
    if (platform::QtUserNotice *notice = m_context.qtNotice())
        notice->setParentWidget(nullptr);
}

GeneratorWindow *Form1::generatorWindow() const
{
    return m_generator.data();
}

frmAbout *Form1::aboutWindow() const
{
    return m_about.data();
}

// Building ------------------------------------------------------------------------------

void Form1::buildMenus()
{
    QMenuBar *bar = menuBar();

    QMenu *file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *exit = file->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *edit = bar->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    const auto &items = core::ResultLists::editMenuItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        QAction *action = edit->addAction(items[i].caption);
        action->setObjectName(QStringLiteral("mnuEditItem_%1").arg(i));
        connect(action, &QAction::triggered, this, [this, i] { mnuEdit_Click(int(i)); });
    }

    QMenu *tools = bar->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    tools->setToolTipsVisible(true);
    const auto &sources = sources::nameSources();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        QAction *action = tools->addAction(sources[i].caption);
        action->setObjectName(QStringLiteral("mnuToolsItem_%1").arg(i));
        connect(action, &QAction::triggered, this, [this, i] { selectSourceItem(int(i)); });
        m_mnuTools[i] = action;
    }

    QMenu *options = bar->addMenu(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    options->setToolTipsVisible(true);
    m_mnuSetup = options->addAction(QStringLiteral("Setup"));
    m_mnuSetup->setObjectName(QStringLiteral("mnuSetup"));
    connect(m_mnuSetup, &QAction::triggered, this, &Form1::cmdSetup_Click);

    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *viewHelp = help->addAction(QStringLiteral("View Help"));
    viewHelp->setObjectName(QStringLiteral("mnuViewHelp"));
    connect(viewHelp, &QAction::triggered, this, &Form1::mnuViewHelp_Click);

    QMenu *about = bar->addMenu(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("mnuAboutMenu"));
    QAction *aboutThis = about->addAction(QStringLiteral("About this software"));
    aboutThis->setObjectName(QStringLiteral("mnuAbout"));
    connect(aboutThis, &QAction::triggered, this, &Form1::mnuAbout_Click);
}

void Form1::buildTopStrip(QWidget *central)
{
    m_frame1 = new QFrame(central);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setFrameShape(QFrame::NoFrame);
    auto *row = new QHBoxLayout(m_frame1);
    // The strip is 200 twips wider than the window: keep its right end clear of the edge.
    row->setContentsMargins(8, 4, 8 + pixelsCoveringTwips(200), 4);
    row->setSpacing(6);

    const QString sourceTip = QStringLiteral("Select the type of search you would like to run");
    m_label6 = makeLabel(QStringLiteral("Label6"), QStringLiteral("Search Type:"), m_frame1);
    m_label6->setToolTip(sourceTip);
    m_combo1 = new QComboBox(m_frame1);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setToolTip(sourceTip);
    for (const sources::NameSource &source : sources::nameSources())
        m_combo1->addItem(source.caption);
    m_combo1->setCurrentIndex(-1); // no source until the user picks one
    m_combo1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });

    m_wLabel1 = makeLabel(QStringLiteral("wLabel1"), QStringLiteral("Start Number:"), m_frame1);
    m_txtWordNum = new QLineEdit(QStringLiteral("1"), m_frame1);
    m_txtWordNum->setObjectName(QStringLiteral("txtWordNum"));
    m_txtWordNum->setFixedWidth(80);
    m_wLabel2 = makeLabel(QStringLiteral("wLabel2"), QStringLiteral("of"), m_frame1);
    m_txtWordMax = new QLineEdit(QStringLiteral("1"), m_frame1);
    m_txtWordMax->setObjectName(QStringLiteral("txtWordMax"));
    m_txtWordMax->setToolTip(QStringLiteral("The number of entries on your list."));
    m_txtWordMax->setFixedWidth(80);
    connect(m_txtWordNum, &QLineEdit::textChanged, this, &Form1::txtWordNum_Change);

    m_cmdDoSearch = new QPushButton(QStringLiteral("Start"), m_frame1);
    m_cmdDoSearch->setObjectName(QStringLiteral("cmdDoSearch"));
    m_cmdDoSearch->setToolTip(QStringLiteral("Click here to start searching your list."));
    m_cmdDoSearch->setEnabled(false); // until a source is chosen
    connect(m_cmdDoSearch, &QPushButton::clicked, this, &Form1::cmdDoSearch_Click);
    m_command3 = new QPushButton(QStringLiteral("Stop"), m_frame1);
    m_command3->setObjectName(QStringLiteral("Command3"));
    m_command3->setToolTip(QStringLiteral("Click here to stop searching names"));
    m_command3->setEnabled(false);
    connect(m_command3, &QPushButton::clicked, this, &Form1::Command3_Click);

    m_sLblTLD = makeLabel(QStringLiteral("sLblTLD"), QStringLiteral("TLD:"), m_frame1);
    m_cmbTLDs = new QComboBox(m_frame1);
    m_cmbTLDs->setObjectName(QStringLiteral("cmbTLDs"));
    m_cmbTLDs->setEditable(true);
    m_cmbTLDs->setInsertPolicy(QComboBox::NoInsert);
    m_cmbTLDs->setMinimumContentsLength(6);

    m_sLabel1 = makeLabel(QStringLiteral("SLabel1"), QStringLiteral("Search String:"), m_frame1);
    m_txtSearch = new QLineEdit(m_frame1);
    m_txtSearch->setObjectName(QStringLiteral("txtSearch"));
    m_txtSearch->setToolTip(QStringLiteral("Enter a search string"));
    m_txtSearch->setMinimumWidth(160);
    connect(m_txtSearch, &QLineEdit::textChanged, this, &Form1::txtSearch_Change);
    m_sLabel2 = makeLabel(QStringLiteral("SLabel2"), QStringLiteral("Get"), m_frame1);
    m_combo2 = new QComboBox(m_frame1);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->setToolTip(QStringLiteral("The approximate number of domains to find, if available."));
    m_combo2->addItems({QStringLiteral("~100 Domains"), QStringLiteral("~200 Domains"),
                        QStringLiteral("~500 Domains"), QStringLiteral("~1000 Domains")});
    m_combo2->setCurrentIndex(0);
    m_cmdCreate = new QPushButton(QStringLiteral("Search"), m_frame1);
    m_cmdCreate->setObjectName(QStringLiteral("cmdCreate"));
    connect(m_cmdCreate, &QPushButton::clicked, this, &Form1::cmdCreate_Click);

    m_cmdSetup = new QPushButton(QStringLiteral("Setup"), m_frame1);
    m_cmdSetup->setObjectName(QStringLiteral("cmdSetup"));
    connect(m_cmdSetup, &QPushButton::clicked, this, &Form1::cmdSetup_Click);
    m_cmdWebsite = new QPushButton(m_frame1);
    m_cmdWebsite->setObjectName(QStringLiteral("cmdWebsite"));
    connect(m_cmdWebsite, &QPushButton::clicked, this, &Form1::cmdWebsite_Click);

    for (QWidget *widget : std::initializer_list<QWidget *>{
             m_label6, m_combo1, m_wLabel1, m_txtWordNum, m_wLabel2, m_txtWordMax, m_cmdDoSearch, m_command3,
             m_sLblTLD, m_cmbTLDs, m_sLabel1, m_txtSearch, m_sLabel2, m_combo2, m_cmdCreate})
        row->addWidget(widget);
    row->addStretch(1);
    row->addWidget(m_cmdSetup);
    row->addWidget(m_cmdWebsite);

    setSearchControlsVisible(false);
    m_txtSearch->setEnabled(false);
    m_combo2->setEnabled(false);
}

void Form1::buildResultArea(QWidget *central)
{
    m_frame2 = new QGroupBox(kFrameCaption, central);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_listsView = new ResultListsView(m_context.lists(), m_frame2);
}

void Form1::buildStatusBar()
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
    setStatusBar(m_statusBar);
}

// Start-up ------------------------------------------------------------------------------

void Form1::formLoad()
{
    // Caption, website button and frame caption.
    setWindowTitle(config::kProductName + QStringLiteral(" by ") + config::kCompanyName);
    m_cmdWebsite->setText(QStringLiteral("Visit ") + config::kProductWebAddress);
    m_frame2->setTitle(m_context.lists().purchaseLinkOn() ? kPurchaseFrameCaption : kFrameCaption);

    // Settings read, help flag, files, saved list, folders, TLD table, proxy, default
    // extension and the first-use flag, each step skipped when it fails.
    m_startup = config::runStartupSequence(m_context.folder(), m_context.settings(), m_context.table(),
                                           [this] { m_context.lists().loadRemembered(); });
    m_context.pause().throttleMs = m_startup.throttleMs;
    if (m_startup.openHelp)
        (void)m_context.opener().openFile(m_startup.helpPath);
    // Maximised; without a window manager to do that, the window covers the screen itself.
    if (const QScreen *screen = this->screen())
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    // "wordNumber" (m_startup.wordNumber) would seed the run's position; every Start replaces
    // it with txtWordNum, so nothing reads it before then.
    m_context.useProxy() = m_startup.useProxy;
    m_context.defaultExtension() = m_startup.defaultExtension;
    m_cmbTLDs->clear();
    m_cmbTLDs->addItems(m_startup.tldChoices);
    m_cmbTLDs->setCurrentIndex(-1);
    m_cmbTLDs->setEditText(QString());

    if (m_startup.showFirstUseMessage)
        m_context.notice().showMessage(QString(), config::kFirstUseMessage, core::NoticeIcon::None);
}

void Form1::loadTLDs()
{
    const QString current = m_cmbTLDs->currentText();
    const QStringList choices =
        core::loadTLDs(m_context.folder().path(QLatin1Char('\\') + core::kTldFileName));
    m_cmbTLDs->clear();
    m_cmbTLDs->addItems(choices);
    // An extension that is still offered stays chosen; any other choice is gone with its row.
    const int keep = current.isEmpty() ? -1 : choices.indexOf(current);
    m_cmbTLDs->setCurrentIndex(keep);
    if (keep < 0)
        m_cmbTLDs->setEditText(QString());
}

// Hooks ---------------------------------------------------------------------------------

void Form1::setSetupOpener(std::function<void()> opener)
{
    m_setupOpener = std::move(opener);
    refreshAvailability();
}

void Form1::setListBuilderOpener(std::function<void()> opener)
{
    m_listBuilderOpener = std::move(opener);
    refreshAvailability();
}

void Form1::setBrowseOpener(std::function<void()> opener)
{
    m_browseOpener = std::move(opener);
    refreshAvailability();
}

void Form1::closeAtShutdown(QWidget *window)
{
    if (window)
        m_companions.append(QPointer<QWidget>(window));
}

void Form1::refreshAvailability()
{
    const bool setup = bool(m_setupOpener);
    const bool builder = bool(m_listBuilderOpener);
    const bool browse = bool(m_browseOpener);

    m_cmdSetup->setEnabled(setup);
    m_cmdSetup->setToolTip(setup ? QString() : kNotAvailableYet);
    m_mnuSetup->setEnabled(setup);
    m_mnuSetup->setToolTip(setup ? m_mnuSetup->text() : kNotAvailableYet);

    m_cmdCreate->setToolTip(builder ? QStringLiteral("Click here to start your internet search!")
                                    : kNotAvailableYet);
    setSearchButtonEnabled(m_searchButtonWanted);

    setItemAvailable(m_combo1, kBrowseItem, browse, kNotAvailableYet);
    setItemAvailable(m_combo1, kYahooItem, builder, kNotAvailableYet);
    setItemAvailable(m_combo1, kGoogleItem, builder, kNotAvailableYet);
    setSourceChoiceEnabled(m_sourceChoiceEnabled);
}

void Form1::setSearchButtonEnabled(bool wanted)
{
    m_searchButtonWanted = wanted;
    m_cmdCreate->setEnabled(wanted && bool(m_listBuilderOpener));
}

// Combo1 and the Tools menu's sources go together: while a run goes neither may change it.
void Form1::setSourceChoiceEnabled(bool enabled)
{
    m_sourceChoiceEnabled = enabled;
    m_combo1->setEnabled(enabled);
    const auto &sources = sources::nameSources();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        bool available = true;
        if (int(i) == kBrowseItem)
            available = bool(m_browseOpener);
        else if (int(i) == kYahooItem || int(i) == kGoogleItem)
            available = bool(m_listBuilderOpener);
        m_mnuTools[i]->setEnabled(enabled && available);
        m_mnuTools[i]->setToolTip(available ? sources[i].caption : kNotAvailableYet);
    }
}

// Sources -------------------------------------------------------------------------------

void Form1::Combo1_Click()
{
    applySelection(sources::selectSource(m_combo1->currentText(), m_context.settings(), m_context.folder(),
                                         m_txtSearch->text()),
                   true);
}

void Form1::selectSourceItem(int index)
{
    // Only what the menu offers: not during a run, not a source whose window is missing.
    if (index < 0 || index >= m_combo1->count() || !m_mnuTools[std::size_t(index)]->isEnabled())
        return;
    m_combo1->setCurrentIndex(index);
    Combo1_Click();
}

void Form1::applySelection(sources::SourceSelection selection, bool allowDialogs)
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
        m_txtWordMax->setText(*selection.wordMax);
    if (selection.startEnabled)
        m_cmdDoSearch->setEnabled(*selection.startEnabled);
    if (selection.stopEnabled)
        m_command3->setEnabled(*selection.stopEnabled);
    if (selection.searchTextEnabled)
        m_txtSearch->setEnabled(*selection.searchTextEnabled);
    if (selection.searchEngineEnabled)
        m_combo2->setEnabled(*selection.searchEngineEnabled);
    if (selection.searchButtonEnabled)
        setSearchButtonEnabled(*selection.searchButtonEnabled);
    if (selection.wordNumEnabled)
        m_txtWordNum->setEnabled(*selection.wordNumEnabled);
    if (selection.wordNum)
        m_txtWordNum->setText(*selection.wordNum);

    if (!allowDialogs)
        return;
    if (selection.opens == sources::SourceWindow::Generator)
        openGenerator();
    else if (selection.opens == sources::SourceWindow::Browse && m_browseOpener)
        m_browseOpener();
}

void Form1::setWordListControlsVisible(bool visible)
{
    for (QWidget *widget : std::initializer_list<QWidget *>{m_wLabel1, m_txtWordNum, m_wLabel2, m_txtWordMax,
                                                            m_cmdDoSearch, m_sLblTLD, m_cmbTLDs})
        widget->setVisible(visible);
}

void Form1::setSearchControlsVisible(bool visible)
{
    for (QWidget *widget :
         std::initializer_list<QWidget *>{m_sLabel1, m_txtSearch, m_sLabel2, m_combo2, m_cmdCreate})
        widget->setVisible(visible);
}

void Form1::txtWordNum_Change()
{
    const QString fixed = sources::txtWordNum_Change(m_txtWordNum->text(), m_txtWordMax->text());
    if (fixed != m_txtWordNum->text())
        m_txtWordNum->setText(fixed);
}

void Form1::txtSearch_Change()
{
    setSearchButtonEnabled(sources::searchButtonEnabled(m_txtSearch->text()));
}

void Form1::openGenerator()
{
    if (!m_generator) {
        m_generator = new GeneratorWindow(m_context.folder(), m_context.settings(), m_context.notice(), this);
        m_generator->setStartRun([this](qint64 count) { startListRun(count); });
    }
    m_generator->show();
    m_generator->raise();
    m_generator->activateWindow();
}

// The run ---------------------------------------------------------------------------------

void Form1::cmdDoSearch_Click()
{
    if (m_run->isRunning())
        return; // one run at a time

    for (QWidget *widget :
         std::initializer_list<QWidget *>{m_cmdDoSearch, m_command3, m_txtWordNum, m_combo2, m_txtSearch})
        widget->setEnabled(false);
    setSourceChoiceEnabled(false);
    setSearchButtonEnabled(false);

    const sources::NameSource *source = sources::findNameSource(m_combo1->currentText());
    if (source && source->kind == SourceKind::Search)
        m_txtWordNum->setText(QStringLiteral("1")); // the search lists always start at 1
    const qint32 start = wholeNumber(m_txtWordNum->text());
    const qint32 count = wholeNumber(m_txtWordMax->text());
    m_command3->setEnabled(true);

    core::RunSource run;
    run.listPath = m_listPath;
    // One reader per run: it reads the list once and notices when the file is replaced.
    auto reader = std::make_shared<sources::ListReader>();
    run.readEntry = [reader, path = m_listPath](qint32 position) {
        return reader->readEntry(path, position);
    };
    // The extension box and the default extension are read at every name, as they stand then.
    run.domainFor = [this](const QString &entry) {
        return sources::domainForEntry(entry, m_cmbTLDs->currentText(), m_context.defaultExtension());
    };
    const std::optional<config::SettingKey> resumeKey = source ? source->resumeKey : std::nullopt;
    run.storePosition = [this, resumeKey](qint32 next) {
        const QString text = QString::number(next);
        if (resumeKey)
            (void)config::writeSetting(m_context.settings(), *resumeKey, text);
        (void)config::writeSetting(m_context.settings(), config::keys::WordNumber, text);
    };
    m_run->startRun(std::move(run), start, count);
}

void Form1::Command3_Click()
{
    m_run->stopRun();
}

void Form1::startListRun(qint64 entryCount)
{
    m_txtWordMax->setText(QString::number(entryCount));
    // A list written just now is checked from its first name, whatever position an earlier
    // run left in the box.
    m_txtWordNum->setText(QStringLiteral("1"));
    cmdDoSearch_Click();
}

// Stop, or the end of the list: the controls come back for the current source.
void Form1::onRunStopped()
{
    if (m_shuttingDown)
        return;
    setSourceChoiceEnabled(true);
    const QString caption = m_combo1->currentText();
    const sources::NameSource *source = sources::findNameSource(caption);
    const bool fixedFile = source && source->kind != SourceKind::CustomList &&
                           source->kind != SourceKind::Generate && source->kind != SourceKind::Browse;
    if (fixedFile) {
        applySelection(
            sources::selectSource(caption, m_context.settings(), m_context.folder(), m_txtSearch->text()),
            false);
        return;
    }
    m_cmdDoSearch->setEnabled(true);
    m_command3->setEnabled(false);
    m_txtSearch->setEnabled(false);
    m_combo2->setEnabled(false);
    setSearchButtonEnabled(false);
    m_txtWordNum->setEnabled(true);
    m_txtWordNum->setText(config::readSetting(m_context.settings(), config::keys::CustWordNum,
                                              config::defaults::SourcePosition));
}

// Other commands --------------------------------------------------------------------------

void Form1::cmdSetup_Click()
{
    if (m_setupOpener)
        m_setupOpener();
}

void Form1::cmdCreate_Click()
{
    if (m_listBuilderOpener)
        m_listBuilderOpener();
}

void Form1::cmdWebsite_Click()
{
    // A browser that cannot be started leaves the window as it is, without a message.
    (void)m_context.opener().openAddress(addressForBrowser(config::kProductWebAddress));
}

void Form1::mnuViewHelp_Click()
{
    const QString path = m_context.folder().path(config::kHelpFileName);
    if (config::xfileExists(path))
        (void)m_context.opener().openFile(path);
}

void Form1::mnuAbout_Click()
{
    if (!m_about) {
        m_about = new frmAbout(m_context.opener(), this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void Form1::mnuEdit_Click(int index)
{
    m_context.lists().editMenu(index);
}

void Form1::openWhois(const QString &domain)
{
    WhoisWindow::replaceAndShow(m_whois, domain, m_context.table(), m_context.useProxy(),
                                m_context.connections(), m_context.scheduler(), m_context.timing(), this);
}

// Resize ------------------------------------------------------------------------------------

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void Form1::applyLayout()
{
    const MainGeometry geometry =
        computeMainLayout(twipsFromPixels(width()), twipsFromPixels(height()), isMinimized());
    if (geometry.arrangement) {
        const MainArrangement &a = *geometry.arrangement;
        m_frame1->setGeometry(pixelRect(a.topStrip));
        m_frame2->setGeometry(pixelRect(a.resultFrame));
        m_listsView->setGeometry(0, 0, m_frame2->width(), m_frame2->height());
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

void Form1::closeEvent(QCloseEvent *event)
{
    if (!m_shuttingDown) {
        m_shuttingDown = true;
        // No further name is dispatched; every socket is closed. Nothing is written: every
        // setting was saved when it changed.
        if (m_run->isRunning())
            m_run->stopRun();
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
        if (platform::QtUserNotice *notice = m_context.qtNotice()) {
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
