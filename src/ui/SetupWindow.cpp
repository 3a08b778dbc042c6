#include "ui/SetupWindow.h"

#include "config/AppState.h"
#include "config/SettingsStore.h"
#include "core/base/UserNotice.h"
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
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyledItemDelegate>
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

constexpr int kStatusColumn = 3;

// Rows that are not "Enabled" are drawn in the palette's disabled text colour and in
// italics, so the rows a run uses stand out.
class TldRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (SetupWindow::rowLooksDisabled(index)) {
            const QColor grey = option->palette.color(QPalette::Disabled, QPalette::Text);
            option->palette.setColor(QPalette::Text, grey);
            option->palette.setColor(QPalette::HighlightedText,
                                     option->palette.color(QPalette::Disabled, QPalette::HighlightedText));
            option->font.setItalic(true);
        }
    }
};

QLabel *makeLabel(QWidget *parent, const QString &caption, QWidget *buddy = nullptr)
{
    auto *label = new QLabel(caption, parent);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

} // namespace

SetupWindow::SetupWindow(config::AppState &state, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_notice(state.notice().noticeFor(this))
    , m_editor(std::make_unique<config::TldEditor>(state, &cleanTestName, m_notice.get()))
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    // Esc closes the window, as it closes a dialog.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    buildControls();
    connectControls();
    showOpeningValues(m_editor->open());
    showListNotes();
}

SetupWindow::~SetupWindow()
{
    // The list lets go of the editor's model before the editor goes.
    m_tldList->setModel(nullptr);
}

void SetupWindow::buildControls()
{
    QGroupBox *defaults = buildDefaultsFrame();
    // Rows of TLDs.txt the table loader could not use are named here, not dropped unseen.
    m_skippedRowsLabel = new QLabel(this);
    m_skippedRowsLabel->setObjectName(QStringLiteral("lblSkippedRows"));
    m_skippedRowsLabel->setWordWrap(true);
    m_skippedRowsLabel->setStyleSheet(QStringLiteral("color: #a00000;"));
    m_skippedRowsLabel->setVisible(false);
    m_readOnlyLabel = new QLabel(this);
    m_readOnlyLabel->setObjectName(QStringLiteral("lblReadOnly"));
    m_readOnlyLabel->setWordWrap(true);
    m_readOnlyLabel->setTextFormat(Qt::PlainText);
    m_readOnlyLabel->setVisible(false);
    buildTldList();
    auto *listLabel = makeLabel(this, QStringLiteral("List of Top Level Domains:"), m_tldList);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(defaults);
    outer->addWidget(m_readOnlyLabel);
    outer->addWidget(m_skippedRowsLabel);
    outer->addWidget(listLabel);
    outer->addWidget(m_tldList, 1);
    outer->addLayout(buildEditFields());
    outer->addLayout(buildButtons());
    resize(760, 620);
}

// The default extension, the browse-mode pause, the test domain and the proxy switch.
QGroupBox *SetupWindow::buildDefaultsFrame()
{
    auto *defaults = new QGroupBox(QStringLiteral("Defaults:"), this);
    m_defaultExtensionEdit = makeField(defaults, "txtDefault");
    m_defaultExtensionEdit->setMaximumWidth(120);
    m_defaultExtensionEdit->installEventFilter(this);
    m_browsePauseEdit = makeField(defaults, "txtthrot");
    m_browsePauseEdit->setMaximumWidth(80);
    m_testDomainEdit = makeField(defaults, "txtsearch");
    m_testDomainEdit->setText(QStringLiteral("Google"));
    m_testDomainEdit->setMaximumWidth(240);
    m_proxyBox = new QCheckBox(
        QStringLiteral("Use the server entered under the extension \"proxy\" for all whois lookups"),
        defaults);
    m_proxyBox->setObjectName(QStringLiteral("chkProxy"));
    // The proxy server has no field of its own: it is the list's row "proxy".
    m_proxyRowLabel = new QLabel(defaults);
    m_proxyRowLabel->setObjectName(QStringLiteral("lblProxyRow"));
    m_proxyRowLabel->setTextFormat(Qt::PlainText);
    m_proxyRowLabel->setWordWrap(true);

    auto *grid = new QGridLayout(defaults);
    const auto addFieldRow = [&](int row, const QString &caption, QLineEdit *field) {
        grid->addWidget(makeLabel(defaults, caption, field), row, 0);
        grid->addWidget(field, row, 1, Qt::AlignLeft);
    };
    addFieldRow(0, QStringLiteral("Use the following TLD as the default (generally com)"),
                m_defaultExtensionEdit);
    addFieldRow(1,
                QStringLiteral("Pause for this many milliseconds after each domain is scanned in Browse for "
                               "Domains mode:"),
                m_browsePauseEdit);
    grid->addWidget(
        makeLabel(
            defaults,
            QStringLiteral("(Note: Other areas of the program use the individual throttle settings below)")),
        2, 0, 1, 2);
    addFieldRow(3, QStringLiteral("Use this domain when testing registrars in the list below:"),
                m_testDomainEdit);
    auto *proxyRow = new QHBoxLayout;
    proxyRow->addWidget(makeLabel(defaults, QStringLiteral("Proxy WHOIS server:")));
    proxyRow->addWidget(m_proxyRowLabel, 1);
    grid->addLayout(proxyRow, 4, 0, 1, 3);
    grid->addWidget(m_proxyBox, 5, 0, 1, 3);

    // RDAP: the switch, and the list of RDAP servers with its update button.
    m_rdapBox = new QCheckBox(QStringLiteral("Use RDAP where the registry offers it"), defaults);
    m_rdapBox->setObjectName(QStringLiteral("chkRdap"));
    m_rdapBox->setToolTip(
        QStringLiteral("Names whose registry runs RDAP are asked over RDAP, and whois answers "
                       "are judged by what they show; names without an answer are kept to be "
                       "checked again."));
    m_rdapListLabel = new QLabel(defaults);
    m_rdapListLabel->setObjectName(QStringLiteral("lblRdapList"));
    m_rdapUpdateButton = makeButton(defaults, "cmdUpdateRdap", QStringLiteral("Update RDAP server list"));
    grid->addWidget(m_rdapBox, 6, 0, 1, 3);
    grid->addWidget(m_rdapListLabel, 7, 0);
    grid->addWidget(m_rdapUpdateButton, 7, 1, Qt::AlignLeft);
    // How many lookups a check run keeps in flight; each server still keeps its own pace.
    m_jobsBox = new QSpinBox(defaults);
    m_jobsBox->setObjectName(QStringLiteral("txtJobs"));
    m_jobsBox->setRange(1, config::Preferences::kMaxJobs);
    m_jobsBox->setToolTip(QStringLiteral("1 checks one name at a time. More ask different servers side "
                                         "by side; each server is still asked no faster than its throttle."));
    grid->addWidget(makeLabel(defaults, QStringLiteral("Lookups in flight at once:"), m_jobsBox), 8, 0);
    grid->addWidget(m_jobsBox, 8, 1, Qt::AlignLeft);
    m_dnsFirstBox = new QCheckBox(
        QStringLiteral("Ask DNS first (registered names are settled without asking the registry)"), defaults);
    m_dnsFirstBox->setObjectName(QStringLiteral("chkDnsFirst"));
    m_dnsFirstBox->setToolTip(QStringLiteral("A name delegated in its extension's zone is registered; every "
                                             "other name is still asked of its registry."));
    grid->addWidget(m_dnsFirstBox, 9, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    return defaults;
}

void SetupWindow::buildTldList()
{
    m_tldList = new QTreeView(this);
    m_tldList->setObjectName(QStringLiteral("lstDomains"));
    m_tldList->setRootIsDecorated(false);
    m_tldList->setUniformRowHeights(true);
    m_tldList->setAllColumnsShowFocus(true);
    m_tldList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tldList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tldList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tldList->setModel(&m_editor->list());
    m_tldList->setItemDelegate(new TldRowDelegate(m_tldList));
    m_tldList->header()->setSectionsClickable(true);
    m_tldList->header()->setStretchLastSection(true);
    const int widths[] = {80, 180, 50, 70, 70};
    for (int column = 0; column < int(std::size(widths)); ++column)
        m_tldList->setColumnWidth(column, widths[column]);
}

// The five edit fields of a row: captions above, the success words across the whole width.
QGridLayout *SetupWindow::buildEditFields()
{
    m_extensionEdit = makeField(this, "txtExt");
    m_serverEdit = makeField(this, "txtServer");
    m_portEdit = makeField(this, "txtPort");
    m_throttleEdit = makeField(this, "txtThrottle");
    m_successEdit = makeField(this, "txtSuccess");
    auto *grid = new QGridLayout;
    const std::pair<QString, QLineEdit *> columns[] = {
        {QStringLiteral("Extension:"), m_extensionEdit},
        {QStringLiteral("Whois Server:"), m_serverEdit},
        {QStringLiteral("Port:"), m_portEdit},
        {QStringLiteral("Throttle (ms):"), m_throttleEdit},
    };
    for (int column = 0; column < int(std::size(columns)); ++column) {
        grid->addWidget(makeLabel(this, columns[column].first, columns[column].second), 0, column);
        grid->addWidget(columns[column].second, 1, column);
        grid->setColumnStretch(column, column == 1 ? 3 : 1);
    }
    grid->addWidget(makeLabel(this, QStringLiteral("Success Indicators:"), m_successEdit), 2, 0, 1, 4);
    grid->addWidget(m_successEdit, 3, 0, 1, 4);
    return grid;
}

QHBoxLayout *SetupWindow::buildButtons()
{
    m_saveButton = makeButton(this, "cmdSave", QStringLiteral("Add/Save"));
    m_toggleButton = makeButton(this, "cmdToggle", QStringLiteral("Enable/Disable"));
    m_newExtensionButton = makeButton(this, "Command1", QStringLiteral("New Extension"));
    m_deleteButton = makeButton(this, "Command2", QStringLiteral("Delete Selected"));
    m_restoreDefaultsButton = makeButton(this, "Command3", QStringLiteral("Restore Defaults"));
    m_debugButton = makeButton(this, "Command4", QStringLiteral("DEBUG"));
    m_testButton = makeButton(this, "cmdTest", QStringLiteral("Test Selected"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {m_saveButton, m_toggleButton, m_newExtensionButton, m_deleteButton,
                                m_restoreDefaultsButton, m_debugButton})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(m_testButton);
    return buttons;
}

void SetupWindow::connectControls()
{
    connect(m_saveButton, &QPushButton::clicked, this, &SetupWindow::saveRow);
    connect(m_toggleButton, &QPushButton::clicked, this, &SetupWindow::toggleRowEnabled);
    connect(m_newExtensionButton, &QPushButton::clicked, this, &SetupWindow::startNewExtension);
    connect(m_deleteButton, &QPushButton::clicked, this, &SetupWindow::deleteSelectedRow);
    connect(m_restoreDefaultsButton, &QPushButton::clicked, this, &SetupWindow::restoreDefaults);
    connect(m_debugButton, &QPushButton::clicked, this, &SetupWindow::exportDebugList);
    connect(m_testButton, &QPushButton::clicked, this, &SetupWindow::testServer);

    connect(m_tldList, &QTreeView::clicked, this,
            [this](const QModelIndex &index) { showClickedRow(index.row()); });
    connect(m_tldList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    showClickedRow(current.row());
            });
    connect(m_tldList->header(), &QHeaderView::sectionClicked, this, &SetupWindow::sortByColumn);

    connect(m_proxyBox, &QCheckBox::clicked, this, [this](bool checked) { m_editor->proxyClicked(checked); });
    connect(m_rdapBox, &QCheckBox::clicked, this, [this](bool checked) { m_editor->rdapClicked(checked); });
    connect(m_rdapUpdateButton, &QPushButton::clicked, this, &SetupWindow::updateRdapServers);
    connect(m_jobsBox, &QSpinBox::valueChanged, this, [this](int jobs) { m_editor->jobsChanged(jobs); });
    connect(m_dnsFirstBox, &QCheckBox::clicked, this,
            [this](bool checked) { m_editor->dnsFirstClicked(checked); });
    connect(m_defaultExtensionEdit, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_editor->defaultExtensionChanged(text); });
    connect(m_browsePauseEdit, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_editor->throttleChanged(text); });
    connect(m_testDomainEdit, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_editor->searchChanged(text); });
}

void SetupWindow::showOpeningValues(const config::SetupOpening &opening)
{
    // The editor has stored these already; the boxes only show them.
    const QSignalBlocker blockProxy(m_proxyBox);
    const QSignalBlocker blockDefault(m_defaultExtensionEdit);
    const QSignalBlocker blockThrottle(m_browsePauseEdit);
    const QSignalBlocker blockSearch(m_testDomainEdit);
    m_proxyBox->setChecked(opening.proxyChecked);
    m_rdapBox->setChecked(opening.rdapChecked);
    const QSignalBlocker blockJobs(m_jobsBox);
    m_jobsBox->setValue(m_editor->jobs());
    m_dnsFirstBox->setChecked(m_editor->dnsFirst());
    m_rdapListLabel->setText(m_editor->rdapBootstrapText());
    m_defaultExtensionEdit->setText(opening.defaultExtension);
    m_browsePauseEdit->setText(opening.throttle);
    m_testDomainEdit->setText(opening.search);
}

void SetupWindow::updateRdapServers()
{
    if (isReadOnly())
        return;
    // The button stays off until the user has read how the update went.
    m_rdapUpdateButton->setEnabled(false);
    const bool started = m_editor->updateRdapBootstrap(
        [this] {
            m_rdapListLabel->setText(m_editor->rdapBootstrapText());
            m_rdapUpdateButton->setEnabled(true);
        },
        m_rdapAddress);
    if (!started)
        m_rdapUpdateButton->setEnabled(true);
}

int SetupWindow::selectedRow() const
{
    const QModelIndexList rows = m_tldList->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void SetupWindow::selectRow(int row)
{
    m_selecting = true;
    QItemSelectionModel *selection = m_tldList->selectionModel();
    if (row < 0 || row >= m_editor->list().rowCount()) {
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        const QModelIndex index = m_editor->list().index(row, 0);
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_tldList->scrollTo(index);
    }
    m_selecting = false;
}

void SetupWindow::showClickedRow(int row)
{
    if (m_selecting)
        return;
    if (const std::optional<config::TldFields> clicked = m_editor->rowClicked(row))
        showFields(*clicked);
}

void SetupWindow::sortByColumn(int column)
{
    // The selected row stays selected wherever the sort puts it.
    const int selected = selectedRow();
    const QStringList selectedFields = selected >= 0 ? m_editor->list().row(selected) : QStringList();
    m_selecting = true;
    m_editor->sortByColumn(column, false);
    m_selecting = false;
    const config::ListSort &sort = m_editor->sortState();
    if (sort.sorted) {
        m_tldList->header()->setSortIndicatorShown(true);
        m_tldList->header()->setSortIndicator(sort.column,
                                              sort.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
    if (selected >= 0)
        selectRow(int(m_editor->list().rows().indexOf(selectedFields)));
}

void SetupWindow::showFields(const config::TldFields &fields)
{
    m_extensionEdit->setText(fields.extension);
    m_serverEdit->setText(fields.server);
    m_portEdit->setText(fields.port);
    m_throttleEdit->setText(fields.throttle);
    m_successEdit->setText(fields.success);
}

config::TldFields SetupWindow::editedFields() const
{
    return {m_extensionEdit->text(), m_serverEdit->text(), m_portEdit->text(), m_throttleEdit->text(),
            m_successEdit->text()};
}

void SetupWindow::showListNotes()
{
    const QString text = m_editor->skippedRowsText();
    m_skippedRowsLabel->setText(text);
    m_skippedRowsLabel->setVisible(!text.isEmpty());
    m_proxyRowLabel->setText(m_editor->proxyRowText());
}

void SetupWindow::setReadOnly(const QString &reason)
{
    m_readOnlyReason =
        reason.isEmpty() ? QStringLiteral("Another copy of the program has this folder open.") : reason;
    for (QPushButton *button : {m_saveButton, m_toggleButton, m_newExtensionButton, m_deleteButton,
                                m_restoreDefaultsButton, m_debugButton, m_rdapUpdateButton})
        button->setEnabled(false);
    m_readOnlyLabel->setText(
        m_readOnlyReason +
        QStringLiteral("\nThis copy is read-only, so the TLD table, debug.txt and the RDAP "
                       "server list cannot be changed here: only the copy that has the "
                       "folder open writes them."));
    m_readOnlyLabel->setVisible(true);
}

bool SetupWindow::rowLooksDisabled(const QModelIndex &index)
{
    return index.isValid() && index.siblingAtColumn(kStatusColumn).data().toString() != core::kEnabledStatus;
}

void SetupWindow::saveRow()
{
    if (isReadOnly())
        return;
    config::TldFields edited = editedFields();
    m_selecting = true;
    const std::optional<int> row = m_editor->addSave(edited);
    m_selecting = false;
    showFields(edited);
    if (row)
        selectRow(*row);
    showListNotes();
}

void SetupWindow::toggleRowEnabled()
{
    if (isReadOnly())
        return;
    m_selecting = true;
    const std::optional<int> row = m_editor->toggleRow(selectedRow());
    m_selecting = false;
    if (row)
        selectRow(*row);
    showListNotes();
}

void SetupWindow::startNewExtension()
{
    config::TldFields edited = editedFields();
    m_editor->newExtension(edited);
    showFields(edited);
    m_extensionEdit->setFocus();
}

void SetupWindow::deleteSelectedRow()
{
    if (isReadOnly())
        return;
    m_selecting = true;
    const bool deleted = m_editor->deleteRow(selectedRow());
    m_selecting = false;
    if (!deleted)
        return;
    selectRow(-1);
    m_extensionEdit->clear();
    m_serverEdit->clear();
    m_portEdit->clear();
    showListNotes();
}

void SetupWindow::restoreDefaults()
{
    if (isReadOnly())
        return;
    m_selecting = true;
    m_editor->restoreDefaults();
    m_selecting = false;
    showListNotes();
}

void SetupWindow::exportDebugList()
{
    if (isReadOnly())
        return;
    (void)m_editor->writeDebugFile();
}

void SetupWindow::testServer()
{
    m_editor->testRow(selectedRow(), m_testDomainEdit->text(), [this] { return m_successEdit->text(); });
}

void SetupWindow::closeEvent(QCloseEvent *event)
{
    const QString extension = m_editor->windowClosing(m_defaultExtensionEdit->text());
    if (m_defaultExtensionEdit->text() != extension) {
        const QSignalBlocker block(m_defaultExtensionEdit);
        m_defaultExtensionEdit->setText(extension);
    }
    if (m_onClosed)
        m_onClosed();
    event->accept();
}

bool SetupWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_defaultExtensionEdit && event->type() == QEvent::FocusOut) {
        const QString extension = m_editor->defaultExtensionLeft(m_defaultExtensionEdit->text());
        if (m_defaultExtensionEdit->text() != extension) {
            const QSignalBlocker block(m_defaultExtensionEdit);
            m_defaultExtensionEdit->setText(extension);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace wendlecott::ui
