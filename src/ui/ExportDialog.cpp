#include "ui/ExportDialog.h"

#include "core/store/AnswerStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace wendlecott::ui {

namespace {

const QString kNoStore =
    QStringLiteral("The answer store could not be opened, so there is nothing to export.");

QString nativeSaveFileDialog(QWidget *parent, const QString &suggested, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Export answers"), suggested, filter);
}

QString suffixOf(store::ExportFormat format)
{
    return format == store::ExportFormat::Json ? QStringLiteral("json") : QStringLiteral("csv");
}

} // namespace

ExportDialog::ExportDialog(store::AnswerStore *store, const QString &folder, QWidget *parent)
    : QDialog(parent), m_store(store), m_saveFileDialog(&nativeSaveFileDialog)
{
    setObjectName(QStringLiteral("frmExport"));
    setWindowTitle(QStringLiteral("Export answers"));

    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("cmbExportFormat"));
    m_format->addItem(QStringLiteral("CSV (spreadsheets)"), QStringLiteral("csv"));
    m_format->addItem(QStringLiteral("JSON"), QStringLiteral("json"));
    m_verdict = new QComboBox(this);
    m_verdict->setObjectName(QStringLiteral("cmbExportVerdict"));
    m_verdict->addItem(QStringLiteral("Every verdict"), QString());
    for (const char *key : {"available", "registered", "blocked", "unknown"})
        m_verdict->addItem(QString::fromLatin1(key), QString::fromLatin1(key));
    m_sinceOn = new QCheckBox(QStringLiteral("Only answers from"), this);
    m_sinceOn->setObjectName(QStringLiteral("chkExportSince"));
    m_since = new QDateEdit(QDate::currentDate(), this);
    m_since->setObjectName(QStringLiteral("dtpExportSince"));
    m_since->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_since->setCalendarPopup(true);
    m_since->setEnabled(false);
    connect(m_sinceOn, &QCheckBox::toggled, m_since, &QWidget::setEnabled);
    auto *sinceRow = new QHBoxLayout;
    sinceRow->addWidget(m_sinceOn);
    sinceRow->addWidget(m_since, 1);

    m_path = new QLineEdit(QDir(folder).filePath(QStringLiteral("answers.csv")), this);
    m_path->setObjectName(QStringLiteral("txtExportFile"));
    m_browse = new QPushButton(QStringLiteral("&Browse..."), this);
    m_browse->setObjectName(QStringLiteral("cmdExportBrowse"));
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(m_browse);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Format:"), m_format);
    form->addRow(QStringLiteral("&Verdict:"), m_verdict);
    form->addRow(QString(), sinceRow);
    auto *fileLabel = new QLabel(QStringLiteral("F&ile:"), this);
    fileLabel->setBuddy(m_path);
    form->addRow(fileLabel, fileRow);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("lblExportProblem"));
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00020;"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_export = buttons->addButton(QStringLiteral("&Export"), QDialogButtonBox::AcceptRole);
    m_export->setObjectName(QStringLiteral("cmdExport"));
    m_export->setDefault(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("The latest answer of each name, with its registration details."), this));
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);

    connect(m_format, &QComboBox::currentIndexChanged, this, &ExportDialog::followFormat);
    connect(m_browse, &QPushButton::clicked, this, &ExportDialog::chooseFile);
    connect(m_export, &QPushButton::clicked, this, [this] { (void)exportNow(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!m_store) {
        m_export->setEnabled(false);
        m_export->setToolTip(kNoStore);
        m_problem->setText(kNoStore);
    }
    resize(520, sizeHint().height());
}

store::ExportFormat ExportDialog::format() const
{
    return store::exportFormatFromName(m_format->currentData().toString()).value_or(store::ExportFormat::Csv);
}

store::ExportFilter ExportDialog::filter() const
{
    store::ExportFilter filter;
    filter.verdict = store::verdictFromKey(m_verdict->currentData().toString());
    if (m_sinceOn->isChecked())
        filter.since = QDateTime(m_since->date(), QTime(0, 0), Qt::UTC);
    return filter;
}

QString ExportDialog::path() const
{
    return m_path->text().trimmed();
}

QString ExportDialog::problemText() const
{
    return m_problem->text();
}

// A file name that still ends in the other format's suffix follows the format.
void ExportDialog::followFormat()
{
    const QString wanted = suffixOf(format());
    const QString other = wanted == QLatin1String("csv") ? QStringLiteral("json") : QStringLiteral("csv");
    QString file = path();
    if (file.endsWith(QLatin1Char('.') + other, Qt::CaseInsensitive)) {
        file.chop(other.size());
        m_path->setText(file + wanted);
    }
}

void ExportDialog::chooseFile()
{
    const QString suffix = suffixOf(format());
    const QString filter = suffix == QLatin1String("csv")
                               ? QStringLiteral("CSV files (*.csv);;All files (*)")
                               : QStringLiteral("JSON files (*.json);;All files (*)");
    const QString chosen = m_saveFileDialog ? m_saveFileDialog(this, path(), filter) : QString();
    if (!chosen.isEmpty())
        m_path->setText(chosen);
}

core::Status ExportDialog::exportNow()
{
    if (!m_store)
        return core::Status::failure(core::ErrorCode::NotFound, kNoStore);
    if (path().isEmpty())
        chooseFile();
    if (path().isEmpty())
        return core::Status::failure(core::ErrorCode::Cancelled, QStringLiteral("no file chosen"));
    m_problem->clear();
    const core::Status written = store::exportAnswersToFile(*m_store, filter(), format(), path());
    if (!written) {
        m_problem->setText(QStringLiteral("The answers could not be exported to %1: %2")
                               .arg(QDir::toNativeSeparators(path()), written.message()));
        return written;
    }
    accept();
    return written;
}

} // namespace wendlecott::ui
