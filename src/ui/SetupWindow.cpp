#include "ui/SetupWindow.h"

#include "config/SettingsStore.h"
#include "core/UserNotice.h"
#include "sources/TextOps.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeView>
#include <QVBoxLayout>

namespace wendlecott::ui {

namespace {

// The test name is cleaned the way a check run cleans a list entry.
QString cleanTestName(const QString &name)
{
    return sources::xCorrectName(sources::xurlEncode(name));
}

QLineEdit *makeField(QWidget *parent, const char *name)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QLabel *makeLabel(QWidget *parent, const QString &caption, QWidget *buddy = nullptr)
{
    auto *label = new QLabel(caption, parent);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

} // namespace

SetupWindow::SetupWindow(config::AppState &state, QWidget *parent)
    : QWidget(parent, Qt::Window), m_editor(std::make_unique<config::TldEditor>(state, &cleanTestName))
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    buildControls();
    fillFromOpening(m_editor->open());
    showSkippedRows();
}

SetupWindow::~SetupWindow()
{
    // The list lets go of the editor's model before the editor goes.
    m_lstDomains->setModel(nullptr);
}

void SetupWindow::buildControls()
{
    // Defaults: the default extension, the browse-mode pause, the test domain, the proxy switch.
    auto *defaults = new QGroupBox(QStringLiteral("Defaults:"), this);
    m_txtDefault = makeField(defaults, "txtDefault");
    m_txtDefault->setMaximumWidth(120);
    m_txtDefault->installEventFilter(this);
    m_txtthrot = makeField(defaults, "txtthrot");
    m_txtthrot->setMaximumWidth(80);
    m_txtsearch = makeField(defaults, "txtsearch");
    m_txtsearch->setText(QStringLiteral("Google"));
    m_txtsearch->setMaximumWidth(240);
    m_chkProxy = new QCheckBox(
        QStringLiteral("Use the server entered under the extension \"proxy\" for all whois lookups"),
        defaults);
    m_chkProxy->setObjectName(QStringLiteral("chkProxy"));

    auto *defaultsGrid = new QGridLayout(defaults);
    defaultsGrid->addWidget(makeLabel(defaults,
                                      QStringLiteral("Use the following TLD as the default (generally com)"),
                                      m_txtDefault),
                            0, 0);
    defaultsGrid->addWidget(m_txtDefault, 0, 1, Qt::AlignLeft);
    defaultsGrid->addWidget(
        makeLabel(
            defaults,
            QStringLiteral("Pause for this many milliseconds after each domain is scanned in Browse for "
                           "Domains mode:"),
            m_txtthrot),
        1, 0);
    defaultsGrid->addWidget(m_txtthrot, 1, 1, Qt::AlignLeft);
    defaultsGrid->addWidget(
        makeLabel(
            defaults,
            QStringLiteral("(Note: Other areas of the program use the individual throttle settings below)")),
        2, 0, 1, 2);
    defaultsGrid->addWidget(
        makeLabel(defaults, QStringLiteral("Use this domain when testing registrars in the list below:"),
                  m_txtsearch),
        3, 0);
    defaultsGrid->addWidget(m_txtsearch, 3, 1, Qt::AlignLeft);
    defaultsGrid->addWidget(makeLabel(defaults, QStringLiteral("Proxy WHOIS server:")), 4, 0);
    defaultsGrid->addWidget(m_chkProxy, 5, 0, 1, 2);
    defaultsGrid->setColumnStretch(2, 1);

    // Rows of TLDs.txt the table loader could not use are named here, not dropped unseen.
    m_skippedRows = new QLabel(this);
    m_skippedRows->setObjectName(QStringLiteral("lblSkippedRows"));
    m_skippedRows->setWordWrap(true);
    m_skippedRows->setStyleSheet(QStringLiteral("color: #a00000;"));
    m_skippedRows->setVisible(false);

    m_lstDomains = new QTreeView(this);
    m_lstDomains->setObjectName(QStringLiteral("lstDomains"));
    m_lstDomains->setRootIsDecorated(false);
    m_lstDomains->setUniformRowHeights(true);
    m_lstDomains->setAllColumnsShowFocus(true);
    m_lstDomains->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstDomains->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lstDomains->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstDomains->setModel(&m_editor->list());
    m_lstDomains->header()->setSectionsClickable(true);
    m_lstDomains->header()->setStretchLastSection(true);
    m_lstDomains->setColumnWidth(0, 80);
    m_lstDomains->setColumnWidth(1, 180);
    m_lstDomains->setColumnWidth(2, 50);
    m_lstDomains->setColumnWidth(3, 70);
    m_lstDomains->setColumnWidth(4, 70);
    auto *listLabel = makeLabel(this, QStringLiteral("List of Top Level Domains:"), m_lstDomains);

    m_txtExt = makeField(this, "txtExt");
    m_txtServer = makeField(this, "txtServer");
    m_txtPort = makeField(this, "txtPort");
    m_txtThrottle = makeField(this, "txtThrottle");
    m_txtSuccess = makeField(this, "txtSuccess");
    auto *fieldsGrid = new QGridLayout;
    fieldsGrid->addWidget(makeLabel(this, QStringLiteral("Extension:"), m_txtExt), 0, 0);
    fieldsGrid->addWidget(m_txtExt, 1, 0);
    fieldsGrid->addWidget(makeLabel(this, QStringLiteral("Whois Server:"), m_txtServer), 0, 1);
    fieldsGrid->addWidget(m_txtServer, 1, 1);
    fieldsGrid->addWidget(makeLabel(this, QStringLiteral("Port:"), m_txtPort), 0, 2);
    fieldsGrid->addWidget(m_txtPort, 1, 2);
    fieldsGrid->addWidget(makeLabel(this, QStringLiteral("Throttle (ms):"), m_txtThrottle), 0, 3);
    fieldsGrid->addWidget(m_txtThrottle, 1, 3);
    fieldsGrid->addWidget(makeLabel(this, QStringLiteral("Success Indicators:"), m_txtSuccess), 2, 0, 1, 4);
    fieldsGrid->addWidget(m_txtSuccess, 3, 0, 1, 4);
    fieldsGrid->setColumnStretch(1, 3);
    fieldsGrid->setColumnStretch(0, 1);
    fieldsGrid->setColumnStretch(2, 1);
    fieldsGrid->setColumnStretch(3, 1);

    m_cmdSave = makeButton(this, "cmdSave", QStringLiteral("Add/Save"));
    m_cmdToggle = makeButton(this, "cmdToggle", QStringLiteral("Enable/Disable"));
    m_command1 = makeButton(this, "Command1", QStringLiteral("New Extension"));
    m_command2 = makeButton(this, "Command2", QStringLiteral("Delete Selected"));
    m_command3 = makeButton(this, "Command3", QStringLiteral("Restore Defaults"));
    m_command4 = makeButton(this, "Command4", QStringLiteral("DEBUG"));
    m_cmdTest = makeButton(this, "cmdTest", QStringLiteral("Test Selected"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {m_cmdSave, m_cmdToggle, m_command1, m_command2, m_command3, m_command4})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdTest);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(defaults);
    outer->addWidget(m_skippedRows);
    outer->addWidget(listLabel);
    outer->addWidget(m_lstDomains, 1);
    outer->addLayout(fieldsGrid);
    outer->addLayout(buttons);
    resize(760, 620);

    connect(m_cmdSave, &QPushButton::clicked, this, &SetupWindow::cmdSave_Click);
    connect(m_cmdToggle, &QPushButton::clicked, this, &SetupWindow::cmdToggle_Click);
    connect(m_command1, &QPushButton::clicked, this, &SetupWindow::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &SetupWindow::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &SetupWindow::Command3_Click);
    connect(m_command4, &QPushButton::clicked, this, &SetupWindow::Command4_Click);
    connect(m_cmdTest, &QPushButton::clicked, this, &SetupWindow::cmdTest_Click);

    connect(m_lstDomains, &QTreeView::clicked, this,
            [this](const QModelIndex &index) { onRowClicked(index.row()); });
    connect(m_lstDomains->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    onRowClicked(current.row());
            });
    connect(m_lstDomains->header(), &QHeaderView::sectionClicked, this, &SetupWindow::onHeaderClicked);

    connect(m_chkProxy, &QCheckBox::clicked, this, [this](bool checked) { m_editor->proxyClicked(checked); });
    connect(m_txtDefault, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_editor->defaultExtensionChanged(text); });
    connect(m_txtthrot, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_editor->throttleChanged(text); });
    connect(m_txtsearch, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_editor->searchChanged(text); });
}

void SetupWindow::fillFromOpening(const config::SetupOpening &opening)
{
    // The editor has stored these already; the boxes only show them.
    const QSignalBlocker blockProxy(m_chkProxy);
    const QSignalBlocker blockDefault(m_txtDefault);
    const QSignalBlocker blockThrottle(m_txtthrot);
    const QSignalBlocker blockSearch(m_txtsearch);
    m_chkProxy->setChecked(opening.proxyChecked);
    m_txtDefault->setText(opening.defaultExtension);
    m_txtthrot->setText(opening.throttle);
    m_txtsearch->setText(opening.search);
}

int SetupWindow::selectedRow() const
{
    const QModelIndexList rows = m_lstDomains->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void SetupWindow::selectRow(int row)
{
    m_selecting = true;
    QItemSelectionModel *selection = m_lstDomains->selectionModel();
    if (row < 0 || row >= m_editor->list().rowCount()) {
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        const QModelIndex index = m_editor->list().index(row, 0);
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_lstDomains->scrollTo(index);
    }
    m_selecting = false;
}

void SetupWindow::onRowClicked(int row)
{
    if (m_selecting)
        return;
    if (const std::optional<config::TldFields> clicked = m_editor->rowClicked(row))
        showFields(*clicked);
}

void SetupWindow::onHeaderClicked(int column)
{
    // The selected row stays selected wherever the sort puts it.
    const int selected = selectedRow();
    const QStringList selectedFields = selected >= 0 ? m_editor->list().row(selected) : QStringList();
    m_selecting = true;
    m_editor->EnhListView_SortColumns(column, false);
    m_selecting = false;
    const config::ListSort &sort = m_editor->sortState();
    if (sort.sorted) {
        m_lstDomains->header()->setSortIndicatorShown(true);
        m_lstDomains->header()->setSortIndicator(sort.column,
                                                 sort.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
    if (selected >= 0)
        selectRow(int(m_editor->list().rows().indexOf(selectedFields)));
}

void SetupWindow::showFields(const config::TldFields &fields)
{
    m_txtExt->setText(fields.extension);
    m_txtServer->setText(fields.server);
    m_txtPort->setText(fields.port);
    m_txtThrottle->setText(fields.throttle);
    m_txtSuccess->setText(fields.success);
}

config::TldFields SetupWindow::fields() const
{
    return {m_txtExt->text(), m_txtServer->text(), m_txtPort->text(), m_txtThrottle->text(),
            m_txtSuccess->text()};
}

void SetupWindow::showSkippedRows()
{
    const QString text = m_editor->skippedRowsText();
    m_skippedRows->setText(text);
    m_skippedRows->setVisible(!text.isEmpty());
}

void SetupWindow::cmdSave_Click()
{
    config::TldFields edited = fields();
    m_selecting = true;
    const std::optional<int> row = m_editor->addSave(edited);
    m_selecting = false;
    showFields(edited);
    if (row)
        selectRow(*row);
    showSkippedRows();
}

void SetupWindow::cmdToggle_Click()
{
    m_selecting = true;
    const std::optional<int> row = m_editor->toggleRow(selectedRow());
    m_selecting = false;
    if (row)
        selectRow(*row);
    showSkippedRows();
}

void SetupWindow::Command1_Click()
{
    config::TldFields edited = fields();
    m_editor->newExtension(edited);
    showFields(edited);
    m_txtExt->setFocus();
}

void SetupWindow::Command2_Click()
{
    m_selecting = true;
    const bool deleted = m_editor->deleteRow(selectedRow());
    m_selecting = false;
    if (!deleted)
        return;
    selectRow(-1);
    m_txtExt->clear();
    m_txtServer->clear();
    m_txtPort->clear();
    showSkippedRows();
}

void SetupWindow::Command3_Click()
{
    m_selecting = true;
    m_editor->restoreDefaults();
    m_selecting = false;
    showSkippedRows();
}

void SetupWindow::Command4_Click()
{
    (void)m_editor->writeDebugFile();
}

void SetupWindow::cmdTest_Click()
{
    m_editor->testRow(selectedRow(), m_txtsearch->text(), [this] { return m_txtSuccess->text(); });
}

void SetupWindow::closeEvent(QCloseEvent *event)
{
    const QString extension = m_editor->windowClosing(m_txtDefault->text());
    if (m_txtDefault->text() != extension) {
        const QSignalBlocker block(m_txtDefault);
        m_txtDefault->setText(extension);
    }
    if (m_onClosed)
        m_onClosed();
    event->accept();
}

bool SetupWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtDefault && event->type() == QEvent::FocusOut) {
        const QString extension = m_editor->defaultExtensionLeft(m_txtDefault->text());
        if (m_txtDefault->text() != extension) {
            const QSignalBlocker block(m_txtDefault);
            m_txtDefault->setText(extension);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace wendlecott::ui
