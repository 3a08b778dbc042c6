#include "ui/GeneratorWindow.h"

#include "platform/QtScheduler.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace wendlecott::ui {

namespace {

QString defaultSaveDialog(QWidget *parent, const QString &caption, const QString &proposedPath,
                          const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, proposedPath, filter);
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, const QString &toolTip)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(toolTip);
    return button;
}

QLineEdit *makeField(QWidget *parent, const char *name)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

} // namespace

// GeneratedNamesModel ------------------------------------------------------------------

int GeneratedNamesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

QVariant GeneratedNamesModel::data(const QModelIndex &index, int role) const
{
    if (!m_names || !index.isValid() || index.row() >= m_shown || role != Qt::DisplayRole)
        return {};
    return m_names->at(index.row());
}

void GeneratedNamesModel::setNames(const sources::NameBuffer *names)
{
    beginResetModel();
    m_names = names;
    m_shown = names ? int(names->size()) : 0;
    endResetModel();
}

void GeneratedNamesModel::namesAppended()
{
    if (!m_names)
        return;
    const int total = int(m_names->size());
    if (total <= m_shown)
        return;
    beginInsertRows({}, m_shown, total - 1);
    m_shown = total;
    endInsertRows();
}

// GeneratorWindow ----------------------------------------------------------------------

const QString GeneratorWindow::kEmptyAffixHint =
    QStringLiteral("The list is empty. Names are built from the base word and the words in this list, "
                   "as prefixes and suffixes: type a word in the Prefix/Suffix field and press Add.");

GeneratorWindow::GeneratorWindow(config::ProgramFolder folder, config::SettingsStore &settings,
                                 core::UserNotice &notice, QWidget *parent)
    : GeneratorWindow(std::move(folder), settings, notice, std::make_unique<platform::QtScheduler>(), nullptr,
                      parent)
{
}

GeneratorWindow::GeneratorWindow(config::ProgramFolder folder, config::SettingsStore &settings,
                                 core::UserNotice &notice, core::Scheduler &scheduler, QWidget *parent)
    : GeneratorWindow(std::move(folder), settings, notice, nullptr, &scheduler, parent)
{
}

GeneratorWindow::GeneratorWindow(config::ProgramFolder folder, config::SettingsStore &settings,
                                 core::UserNotice &notice, std::unique_ptr<core::Scheduler> ownScheduler,
                                 core::Scheduler *scheduler, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_ownScheduler(std::move(ownScheduler))
    , m_notice(notice.noticeFor(this))
    , m_session(std::make_unique<sources::GeneratorSession>(std::move(folder), settings, *m_notice,
                                                            scheduler ? *scheduler : *m_ownScheduler))
    , m_saveDialog(&defaultSaveDialog)
{
    setObjectName(QStringLiteral("frmMake"));
    setWindowTitle(QStringLiteral("Domain Name Creator"));
    buildControls();
    connectControls();
    connectSession();
    reloadLists();
}

GeneratorWindow::~GeneratorWindow()
{
    // List1 lets go of the names before the session that holds them goes.
    m_generatedModel->setNames(nullptr);
}

void GeneratorWindow::buildControls()
{
    m_baseWordEdit = makeField(this, "Text1");
    m_baseWordEdit->setToolTip(QStringLiteral("This word will appear in every domain created."));
    m_baseWordLabel = new QLabel(QStringLiteral("Base Word:"), this);
    m_baseWordLabel->setBuddy(m_baseWordEdit);
    m_startButton = makeButton(this, "Command1", QStringLiteral("Start Generator"),
                               QStringLiteral("Once you have a base word, click here to create your list!"));
    buildAffixControls();
    QGroupBox *switchFrame = buildSwitchFrame();
    QGroupBox *extensionFrame = buildExtensionFrame();
    QGroupBox *generatedFrame = buildGeneratedFrame();
    m_statusLine = makeField(this, "txtStatus");
    m_statusLine->setReadOnly(true);
    arrangeControls(switchFrame, extensionFrame, generatedFrame);
}

QGroupBox *GeneratorWindow::buildSwitchFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Prefixes/Suffixes"), this);
    auto *layout = new QVBoxLayout(frame);
    const QString captions[sources::kAffixSwitchCount] = {
        QStringLiteral("Prefixes"), QStringLiteral("Suffixes"), QStringLiteral("Hyphens")};
    for (int i = 0; i < sources::kAffixSwitchCount; ++i) {
        m_switchBoxes[i] = new QCheckBox(captions[i], frame);
        m_switchBoxes[i]->setObjectName(QStringLiteral("chkAdd_%1").arg(i));
        layout->addWidget(m_switchBoxes[i]);
    }
    return frame;
}

void GeneratorWindow::buildAffixControls()
{
    m_affixEdit = makeField(this, "Text2");
    m_affixLabel = new QLabel(QStringLiteral("Prefix/Suffix:"), this);
    m_affixLabel->setBuddy(m_affixEdit);
    m_addButton = makeButton(this, "cmdAdd", QStringLiteral("Add"), QStringLiteral("Add your word."));
    m_deleteButton =
        makeButton(this, "cmdSub", QStringLiteral("Del"), QStringLiteral("Remove the selected word."));
    m_affixList = new QListWidget(this);
    m_affixList->setObjectName(QStringLiteral("List2"));
    m_affixList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_affixHint = new QLabel(kEmptyAffixHint, this);
    m_affixHint->setObjectName(QStringLiteral("lblAffixHint"));
    m_affixHint->setWordWrap(true);
    m_affixHint->setVisible(false);
}

QGroupBox *GeneratorWindow::buildExtensionFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Top Level Domains"), this);
    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(new QLabel(QStringLiteral("(taken from Setup window)"), frame));
    m_extensionList = new QListWidget(frame);
    m_extensionList->setObjectName(QStringLiteral("ListView1"));
    layout->addWidget(m_extensionList);
    return frame;
}

QGroupBox *GeneratorWindow::buildGeneratedFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Generated Domains"), this);
    auto *layout = new QVBoxLayout(frame);
    m_generatedList = new QListView(frame);
    m_generatedList->setObjectName(QStringLiteral("List1"));
    m_generatedList->setUniformItemSizes(true);
    m_generatedList->setLayoutMode(QListView::Batched);
    m_generatedList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_generatedModel = new GeneratedNamesModel(this);
    m_generatedList->setModel(m_generatedModel);
    layout->addWidget(m_generatedList);
    m_saveAsButton = makeButton(frame, "Command2", QStringLiteral("Save Domains As..."),
                                QStringLiteral("Save your list as a text file."));
    layout->addWidget(m_saveAsButton);
    return frame;
}

void GeneratorWindow::arrangeControls(QGroupBox *switchFrame, QGroupBox *extensionFrame,
                                      QGroupBox *generatedFrame)
{
    // Left: base word, switches and the word list; middle: extensions; right: the names.
    auto *left = new QVBoxLayout;
    auto *baseRow = new QHBoxLayout;
    baseRow->addWidget(m_baseWordLabel);
    baseRow->addWidget(m_baseWordEdit, 1);
    left->addLayout(baseRow);
    left->addWidget(m_startButton);
    left->addWidget(switchFrame);
    left->addWidget(m_affixLabel);
    auto *affixRow = new QHBoxLayout;
    affixRow->addWidget(m_affixEdit, 1);
    affixRow->addWidget(m_addButton);
    affixRow->addWidget(m_deleteButton);
    left->addLayout(affixRow);
    left->addWidget(m_affixList, 1);
    left->addWidget(m_affixHint);

    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 2);
    columns->addWidget(extensionFrame, 1);
    columns->addWidget(generatedFrame, 2);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(m_statusLine);
    resize(720, 440);
}

void GeneratorWindow::connectControls()
{
    connect(m_startButton, &QPushButton::clicked, this, &GeneratorWindow::generateNames);
    connect(m_baseWordEdit, &QLineEdit::returnPressed, this, &GeneratorWindow::generateNames);
    connect(m_saveAsButton, &QPushButton::clicked, this, &GeneratorWindow::saveDomainsAs);
    connect(m_addButton, &QPushButton::clicked, this, &GeneratorWindow::addWord);
    connect(m_affixEdit, &QLineEdit::returnPressed, this, &GeneratorWindow::addWord);
    connect(m_deleteButton, &QPushButton::clicked, this, &GeneratorWindow::removeSelectedWord);
    connect(m_baseWordEdit, &QLineEdit::textChanged, m_session.get(),
            &sources::GeneratorSession::setBaseWord);
    for (int i = 0; i < sources::kAffixSwitchCount; ++i) {
        // A click, not a change: restoring the boxes writes no setting.
        connect(m_switchBoxes[i], &QCheckBox::clicked, this,
                [this, i](bool checked) { m_session->setSwitch(sources::AffixSwitch(i), checked); });
    }
    connect(m_extensionList, &QListWidget::itemChanged, this, &GeneratorWindow::onExtensionItemChanged);
}

void GeneratorWindow::connectSession()
{
    sources::GeneratorSession *session = m_session.get();
    connect(session, &sources::GeneratorSession::namesReset, this,
            [this] { m_generatedModel->setNames(m_session->names()); });
    connect(session, &sources::GeneratorSession::namesAppended, m_generatedModel,
            &GeneratedNamesModel::namesAppended);
    connect(session, &sources::GeneratorSession::statusChanged, m_statusLine, &QLineEdit::setText);
    connect(session, &sources::GeneratorSession::generatingChanged, this,
            [this](bool generating) { setInputsEnabled(!generating); });
    m_statusLine->setText(session->status());
}

void GeneratorWindow::reloadLists()
{
    m_session->load();
    showLists();
}

void GeneratorWindow::showLists()
{
    m_affixList->clear();
    m_affixList->addItems(m_session->words());
    showAffixHint();

    // Showing what is stored is not a change by the user: nothing is written back.
    for (int i = 0; i < sources::kAffixSwitchCount; ++i)
        m_switchBoxes[i]->setChecked(m_session->isSwitchOn(sources::AffixSwitch(i)));
    {
        const QSignalBlocker blocker(m_baseWordEdit);
        m_baseWordEdit->setText(m_session->baseWord());
    }

    const QSignalBlocker blocker(m_extensionList);
    m_extensionList->clear();
    for (const sources::ExtensionItem &extension : m_session->extensions()) {
        auto *item = new QListWidgetItem(extension.text, m_extensionList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(extension.checked ? Qt::Checked : Qt::Unchecked);
    }
}

void GeneratorWindow::onExtensionItemChanged(QListWidgetItem *item)
{
    m_session->setExtensionChecked(m_extensionList->row(item), item->checkState() == Qt::Checked);
}

void GeneratorWindow::showEvent(QShowEvent *event)
{
    // A window opened again reads its lists anew; one merely shown again keeps them.
    if (m_reloadOnShow && !m_session->isGenerating())
        reloadLists();
    m_reloadOnShow = false;
    QWidget::showEvent(event);
}

void GeneratorWindow::closeEvent(QCloseEvent *event)
{
    m_reloadOnShow = true;
    QWidget::closeEvent(event);
}

void GeneratorWindow::setInputsEnabled(bool enabled)
{
    // The extension list and the word list stay enabled.
    for (QCheckBox *box : m_switchBoxes)
        box->setEnabled(enabled);
    for (QWidget *input : std::initializer_list<QWidget *>{m_baseWordEdit, m_affixEdit, m_startButton,
                                                           m_saveAsButton, m_addButton, m_deleteButton})
        input->setEnabled(enabled);
}

void GeneratorWindow::generateNames()
{
    m_session->generateNames();
}

void GeneratorWindow::saveDomainsAs()
{
    const QString proposed = m_session->proposedSavePath();
    const QString chosen = m_saveDialog ? m_saveDialog(this, QStringLiteral("Save Domains As"), proposed,
                                                       QStringLiteral("*.txt"))
                                        : QString();
    m_session->saveDomainsAs(chosen);
}

void GeneratorWindow::addWord()
{
    const QString word = m_affixEdit->text();
    if (!m_session->addWord(word))
        return;
    m_affixList->addItem(word);
    m_affixEdit->clear();
    showAffixHint();
}

void GeneratorWindow::removeSelectedWord()
{
    const QList<QListWidgetItem *> selected = m_affixList->selectedItems();
    const int row = selected.isEmpty() ? -1 : m_affixList->row(selected.first());
    if (m_session->removeWord(row))
        delete m_affixList->takeItem(row);
    showAffixHint();
}

void GeneratorWindow::showAffixHint()
{
    // isHidden, not isVisible: the window itself may not be shown yet.
    m_affixHint->setHidden(m_affixList->count() > 0);
}

} // namespace wendlecott::ui
