#include "ui/GeneratorWindow.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/UserNotice.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace wendlecott::ui {

namespace {

const QString kNothingSelected = QStringLiteral("You must first select an item to remove from the list.");

QString defaultSaveDialog(QWidget *parent, const QString &caption, const QString &proposedPath,
                          const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, proposedPath, filter);
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

GeneratorWindow::GeneratorWindow(config::ProgramFolder folder, config::SettingsStore &settings,
                                 core::UserNotice &notice, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_folder(std::move(folder))
    , m_settings(settings)
    , m_notice(notice)
    , m_saveDialog(&defaultSaveDialog)
{
    setObjectName(QStringLiteral("frmMake"));
    setWindowTitle(QStringLiteral("Domain Name Creator"));
    buildControls();
    loadFromFiles();
}

GeneratorWindow::~GeneratorWindow()
{
    // List1 must let go of the names before the job that holds them goes.
    m_list1Model->setNames(nullptr);
}

void GeneratorWindow::buildControls()
{
    auto *baseLabel = new QLabel(QStringLiteral("Base Word:"), this);
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setToolTip(QStringLiteral("This word will appear in every domain created."));
    baseLabel->setBuddy(m_text1);

    m_command1 = new QPushButton(QStringLiteral("Start Generator"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setToolTip(QStringLiteral("Once you have a base word, click here to create your list!"));

    auto *switchFrame = new QGroupBox(QStringLiteral("Prefixes/Suffixes"), this);
    auto *switchLayout = new QVBoxLayout(switchFrame);
    const QString captions[3] = {QStringLiteral("Prefixes"), QStringLiteral("Suffixes"),
                                 QStringLiteral("Hyphens")};
    for (int i = 0; i < 3; ++i) {
        m_chkAdd[i] = new QCheckBox(captions[i], switchFrame);
        m_chkAdd[i]->setObjectName(QStringLiteral("chkAdd_%1").arg(i));
        switchLayout->addWidget(m_chkAdd[i]);
        connect(m_chkAdd[i], &QCheckBox::clicked, this, [this, i] { onSwitchClicked(i); });
    }

    auto *affixLabel = new QLabel(QStringLiteral("Prefix/Suffix:"), this);
    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    affixLabel->setBuddy(m_text2);
    m_cmdAdd = new QPushButton(QStringLiteral("Add"), this);
    m_cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    m_cmdAdd->setToolTip(QStringLiteral("Add your word."));
    m_cmdSub = new QPushButton(QStringLiteral("Del"), this);
    m_cmdSub->setObjectName(QStringLiteral("cmdSub"));
    m_cmdSub->setToolTip(QStringLiteral("Remove the selected word."));
    m_list2 = new QListWidget(this);
    m_list2->setObjectName(QStringLiteral("List2"));
    m_list2->setSelectionMode(QAbstractItemView::SingleSelection);

    auto *tldFrame = new QGroupBox(QStringLiteral("Top Level Domains"), this);
    auto *tldLayout = new QVBoxLayout(tldFrame);
    tldLayout->addWidget(new QLabel(QStringLiteral("(taken from Setup window)"), tldFrame));
    m_listView1 = new QListWidget(tldFrame);
    m_listView1->setObjectName(QStringLiteral("ListView1"));
    tldLayout->addWidget(m_listView1);

    auto *generatedFrame = new QGroupBox(QStringLiteral("Generated Domains"), this);
    auto *generatedLayout = new QVBoxLayout(generatedFrame);
    m_list1 = new QListView(generatedFrame);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setUniformItemSizes(true);
    m_list1->setLayoutMode(QListView::Batched);
    m_list1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list1Model = new GeneratedNamesModel(this);
    m_list1->setModel(m_list1Model);
    generatedLayout->addWidget(m_list1);
    m_command2 = new QPushButton(QStringLiteral("Save Domains As..."), generatedFrame);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setToolTip(QStringLiteral("Save your list as a text file."));
    generatedLayout->addWidget(m_command2);

    m_txtStatus = new QLineEdit(QStringLiteral("Status..."), this);
    m_txtStatus->setObjectName(QStringLiteral("txtStatus"));
    m_txtStatus->setReadOnly(true);

    // Left: base word, switches and the word list; middle: extensions; right: the names.
    auto *left = new QVBoxLayout;
    auto *baseRow = new QHBoxLayout;
    baseRow->addWidget(baseLabel);
    baseRow->addWidget(m_text1, 1);
    left->addLayout(baseRow);
    left->addWidget(m_command1);
    left->addWidget(switchFrame);
    left->addWidget(affixLabel);
    auto *affixRow = new QHBoxLayout;
    affixRow->addWidget(m_text2, 1);
    affixRow->addWidget(m_cmdAdd);
    affixRow->addWidget(m_cmdSub);
    left->addLayout(affixRow);
    left->addWidget(m_list2, 1);

    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 2);
    columns->addWidget(tldFrame, 1);
    columns->addWidget(generatedFrame, 2);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(m_txtStatus);
    resize(720, 440);

    m_sliceTimer = new QTimer(this);
    m_sliceTimer->setInterval(0);
    connect(m_sliceTimer, &QTimer::timeout, this, &GeneratorWindow::generateSlice);

    connect(m_command1, &QPushButton::clicked, this, &GeneratorWindow::generateNames);
    connect(m_text1, &QLineEdit::returnPressed, this, &GeneratorWindow::generateNames);
    connect(m_command2, &QPushButton::clicked, this, &GeneratorWindow::saveDomainsAs);
    connect(m_cmdAdd, &QPushButton::clicked, this, &GeneratorWindow::addWord);
    connect(m_text2, &QLineEdit::returnPressed, this, &GeneratorWindow::addWord);
    connect(m_cmdSub, &QPushButton::clicked, this, &GeneratorWindow::removeWord);
    connect(m_text1, &QLineEdit::textChanged, this,
            [this](const QString &text) { config::writeSetting(m_settings, config::keys::TxtMake, text); });
}

void GeneratorWindow::loadFromFiles()
{
    m_list2->clear();
    if (const auto words = sources::readAffixWords(m_folder.path(sources::kAppendsFile)))
        m_list2->addItems(words.value());

    // Restoring is not a change by the user: nothing is written back.
    for (int i = 0; i < 3; ++i) {
        const QString stored =
            config::readSetting(m_settings, config::chkAddKey(i), config::defaults::ChkAdd);
        m_chkAdd[i]->setChecked(config::toTruth(stored).value_or(true));
    }
    {
        const QSignalBlocker blocker(m_text1);
        m_text1->setText(config::readSetting(m_settings, config::keys::TxtMake, config::defaults::TxtMake));
    }

    m_listView1->clear();
    for (const QString &extension :
         sources::readGeneratorExtensions(m_folder.path(sources::kGeneratorTldFile))) {
        auto *item = new QListWidgetItem(extension, m_listView1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
}

void GeneratorWindow::showEvent(QShowEvent *event)
{
    // A window opened again reads its lists anew; one merely shown again keeps them.
    if (m_reloadOnShow && !m_generating)
        loadFromFiles();
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
    for (QCheckBox *box : m_chkAdd)
        box->setEnabled(enabled);
    m_text1->setEnabled(enabled);
    m_text2->setEnabled(enabled);
    m_command1->setEnabled(enabled);
    m_command2->setEnabled(enabled);
    m_cmdAdd->setEnabled(enabled);
    m_cmdSub->setEnabled(enabled);
}

void GeneratorWindow::onSwitchClicked(int index)
{
    config::writeSetting(m_settings, config::chkAddKey(index),
                         m_chkAdd[index]->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void GeneratorWindow::generateNames()
{
    if (m_generating)
        return;
    m_list1Model->setNames(nullptr);
    m_job.reset();
    setInputsEnabled(false);

    // The words are read from the file at this moment, not from List2.
    auto words = sources::readAffixWords(m_folder.path(sources::kAppendsFile));
    if (!words) {
        m_notice.showMessage({}, words.message(), core::NoticeIcon::Warning);
        setInputsEnabled(true);
        return;
    }

    sources::GeneratorInput input;
    input.base = m_text1->text();
    input.affixes = std::move(words).value();
    for (int i = 0; i < m_listView1->count(); ++i) {
        const QListWidgetItem *item = m_listView1->item(i);
        if (item->checkState() == Qt::Checked)
            input.extensions.append(item->text());
    }
    input.prefixes = m_chkAdd[0]->isChecked();
    input.suffixes = m_chkAdd[1]->isChecked();
    input.hyphens = m_chkAdd[2]->isChecked();

    m_job = std::make_unique<sources::GeneratorJob>(std::move(input), sources::kMaxGeneratedNames);
    m_list1Model->setNames(&m_job->names());
    m_generating = true;
    // Slices run from the event loop, so the window repaints and stays responsive.
    m_sliceTimer->start();
}

void GeneratorWindow::generateSlice()
{
    if (!m_job) {
        m_sliceTimer->stop();
        return;
    }
    const sources::GeneratorProgress progress = m_job->step(m_sliceSize);
    m_list1Model->namesAppended();
    if (progress.statusChanged)
        m_txtStatus->setText(m_job->status());
    if (!progress.finished)
        return;
    m_sliceTimer->stop();
    m_txtStatus->setText(sources::sortingStatus(progress.created));
    // Let the status show before the file is written.
    QTimer::singleShot(0, this, &GeneratorWindow::writeAndStart);
}

void GeneratorWindow::writeAndStart()
{
    const qint64 created = m_job->created();
    const core::Status written =
        sources::writeCreatedDomains(m_folder.path(sources::kCreatedDomainsFile), m_job->names());
    m_generating = false;
    setInputsEnabled(true);
    if (!written) {
        // The old list is still on disk; checking it would check the wrong names.
        m_txtStatus->setText(written.message());
        m_notice.showMessage({}, written.message(), core::NoticeIcon::Warning);
        return;
    }
    if (m_job->limitReached()) {
        m_notice.showMessage(
            {},
            QStringLiteral("Only the first %1 names were created; the list cannot take more.").arg(created),
            core::NoticeIcon::Information);
    }
    m_txtStatus->setText(sources::searchStartedStatus(created));
    QTimer::singleShot(0, this, [this, created] {
        if (m_startRun)
            m_startRun(created);
    });
}

void GeneratorWindow::saveDomainsAs()
{
    const QString folder = m_folder.path(sources::kCustomListsFolder);
    QDir().mkpath(folder);
    const QString proposed = folder + QLatin1Char('/') + m_text1->text() + QStringLiteral(".txt");
    const QString chosen = m_saveDialog ? m_saveDialog(this, QStringLiteral("Save Domains As"), proposed,
                                                       QStringLiteral("*.txt"))
                                        : QString();
    if (chosen.isEmpty())
        return; // cancelled: nothing is saved
    const core::Status saved = sources::saveDomainsAs(m_folder.path(sources::kCreatedDomainsFile), chosen);
    if (!saved)
        m_notice.showMessage({}, saved.message(), core::NoticeIcon::Warning);
}

void GeneratorWindow::addWord()
{
    const QString word = m_text2->text();
    const core::Status added = sources::appendAffixWord(m_folder.path(sources::kAppendsFile), word);
    if (!added) {
        m_notice.showMessage({}, added.message(), core::NoticeIcon::Warning);
        return;
    }
    m_list2->addItem(word);
    m_text2->clear();
}

void GeneratorWindow::removeWord()
{
    const QList<QListWidgetItem *> selected = m_list2->selectedItems();
    if (selected.isEmpty()) {
        m_notice.showMessage({}, kNothingSelected, core::NoticeIcon::None);
        return;
    }
    QListWidgetItem *item = selected.first();
    const core::Status removed = sources::removeAffixWord(m_folder.path(sources::kAppendsFile), item->text());
    if (!removed) {
        m_notice.showMessage({}, removed.message(), core::NoticeIcon::Warning);
        return;
    }
    // Only the selected entry leaves the list, though every equal line left the file.
    delete m_list2->takeItem(m_list2->row(item));
}

} // namespace wendlecott::ui
