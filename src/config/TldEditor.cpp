#include "config/TldEditor.h"

#include "config/AppState.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/base/TextFile.h"
#include "core/base/UserNotice.h"

#include <QDir>

#include <algorithm>
#include <utility>

namespace wendlecott::config {

namespace {

// How many skipped rows the window's line names before it only counts the rest.
constexpr int kSkippedRowsNamed = 10;

// What the list view's sort reports for a column it does not have.
constexpr int kInvalidPropertyValue = 380;

QString field(const QStringList &row, int index)
{
    return row.value(index);
}

// Surrounding blanks are never meant, and a dot typed in front of the extension would make
// a row that no name ever finds ("example.org" is looked up as "org").
QString cleanExtensionField(const QString &text)
{
    QString extension = text.trimmed();
    while (extension.startsWith(QLatin1Char('.')))
        extension.remove(0, 1);
    return extension.trimmed();
}

} // namespace

void sortTldRows(QList<QStringList> &rows, int column, bool ascending)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [column, ascending](const QStringList &a, const QStringList &b) {
                         const int order = field(a, column).compare(field(b, column), Qt::CaseInsensitive);
                         return ascending ? order < 0 : order > 0;
                     });
}

QString correctDefaultExtension(const QString &text)
{
    const QString extension = text.trimmed();
    if (extension.isEmpty())
        return kDefaultExtensionWhenEmpty;
    if (!extension.contains(QLatin1Char('.')))
        return QLatin1Char('.') + extension;
    return extension;
}

QString composeTestName(const QString &testField, const QString &extension)
{
    QString name = testField + QLatin1Char('.') + extension;
    // One pass, left to right: "a...com" keeps one of its doubled dots, as the program always did.
    name.replace(QLatin1String(".."), QLatin1String("."));
    return name;
}

QStringList debugLines(const QList<QStringList> &rows)
{
    QStringList lines;
    lines.reserve(rows.size());
    for (const QStringList &row : rows) {
        QStringList six;
        for (int i = 0; i < core::kTldFieldCount; ++i)
            six.append(field(row, i));
        lines.append(QStringLiteral("strTemp = strTemp & \"") + six.join(QLatin1Char('|')) +
                     QStringLiteral("\" & vbcrlf"));
    }
    return lines;
}

QString skippedRowsNotice(const QList<core::SkippedRow> &skipped)
{
    if (skipped.isEmpty())
        return {};
    const qsizetype count = skipped.size();
    QString text =
        count == 1 ? QStringLiteral("1 row of %1 could not be read and is not used: ").arg(core::kTldFileName)
                   : QStringLiteral("%1 rows of %2 could not be read and are not used: ")
                         .arg(QString::number(count), core::kTldFileName);
    QStringList parts;
    for (qsizetype i = 0; i < count && i < kSkippedRowsNamed; ++i) {
        const core::SkippedRow &row = skipped.at(i);
        parts.append(QStringLiteral("line %1 (%2)").arg(QString::number(row.lineNumber), row.reason));
    }
    text += parts.join(QStringLiteral(", "));
    if (count > kSkippedRowsNamed)
        text += QStringLiteral(" and %1 more").arg(QString::number(count - kSkippedRowsNamed));
    return text + QLatin1Char('.');
}

QString deleteQuestionFor(const QStringList &row)
{
    return kDeleteQuestion +
           QStringLiteral("\r\n\r\n%1 (server %2, port %3)").arg(field(row, 0), field(row, 1), field(row, 2));
}

QString restoreDefaultsQuestion(int rowCount)
{
    return QStringLiteral("Replace the %1 rows of the list with the %2 rows of the default table?\r\n\r\n"
                          "Rows you added or changed are lost.")
        .arg(QString::number(rowCount), QString::number(core::defaultTldRows().size()));
}

QString proxyRowText(const QList<QStringList> &rows)
{
    for (const QStringList &row : rows) {
        if (field(row, 0) == core::kProxyExtension) {
            return QStringLiteral("the row \"%1\" in the list below: %2, port %3 (%4)")
                .arg(core::kProxyExtension, field(row, 1), field(row, 2), field(row, 3));
        }
    }
    return QStringLiteral("the row \"%1\" in the list below; there is none yet (add one with the "
                          "extension \"%1\")")
        .arg(core::kProxyExtension);
}

TldEditor::TldEditor(AppState &state, NameCleaner cleanName, core::UserNotice *notice)
    : m_state(state)
    , m_folder(state.folder())
    , m_settings(state.settings())
    , m_table(state.table())
    , m_preferences(state.preferences())
    , m_notice(notice ? *notice : state.notice())
    , m_cleanName(std::move(cleanName))
    , m_probe(std::make_unique<core::RegistrarProbe>(state.connections()(), state.scheduler(), state.timing(),
                                                     m_notice))
{
}

TldEditor::~TldEditor() = default;

QString TldEditor::tldPath() const
{
    return m_folder.path(QLatin1Char('\\') + core::kTldFileName);
}

SetupOpening TldEditor::open()
{
    refillList();
    m_editEnabled = true;

    SetupOpening opening;
    // The box shows the stored switch and the program follows the box, so the two never
    // disagree while the window is open.
    opening.proxyChecked =
        toTruth(readSetting(m_settings, keys::ChkProxy, defaults::ChkProxy)).value_or(false);
    if (opening.proxyChecked)
        proxyClicked(true);
    else
        (void)m_preferences.setUseProxy(false);
    opening.rdapChecked = m_preferences.useRdap();

    // The texts are stored as the window fills them in, so a first opening stores the defaults.
    opening.defaultExtension = m_preferences.defaultExtension();
    defaultExtensionChanged(opening.defaultExtension);
    opening.throttle = readSetting(m_settings, keys::Throttle, defaults::ThrottleInSetup);
    throttleChanged(opening.throttle);
    opening.search = readSetting(m_settings, keys::DefaultSearch, defaults::DefaultSearch);
    searchChanged(opening.search);
    return opening;
}

std::optional<TldFields> TldEditor::rowClicked(int row)
{
    if (row < 0 || row >= m_list.rowCount())
        return std::nullopt;
    const QStringList fields = m_list.row(row);
    m_editEnabled = field(fields, 3) == core::kEnabledStatus;
    return TldFields{field(fields, 0), field(fields, 1), field(fields, 2), field(fields, 4),
                     field(fields, 5)};
}

std::optional<int> TldEditor::addSave(TldFields &fields)
{
    fields.extension = cleanExtensionField(fields.extension);
    fields.server = fields.server.trimmed();
    fields.port = fields.port.trimmed();
    fields.throttle = fields.throttle.trimmed();
    if (fields.port.isEmpty() || fields.server.isEmpty() || fields.extension.isEmpty()) {
        m_notice.showMessage(QString(), kMissingFieldsMessage, core::NoticeIcon::None);
        return std::nullopt;
    }
    if (fields.throttle.isEmpty())
        fields.throttle = QString::number(core::kDefaultThrottle);
    // A field of blanks only would be one empty word, which every answer contains.
    if (fields.success.trimmed().isEmpty())
        fields.success = core::kStandardSuccessWords;

    const core::Status saved = core::saveTLD(tldPath(), fields.extension, fields.server, fields.port,
                                             m_editEnabled, fields.throttle, fields.success);
    if (!saved) {
        if (saved.code() == core::ErrorCode::InvalidInput)
            m_notice.showMessage(QString(), kMissingFieldsMessage, core::NoticeIcon::None);
        else
            reportWriteFailure(saved);
        return std::nullopt;
    }
    reload();
    return rowOfExtension(fields.extension.toLower());
}

std::optional<int> TldEditor::toggleRow(int row)
{
    if (row < 0 || row >= m_list.rowCount())
        return std::nullopt;
    const QStringList fields = m_list.row(row);
    // Only the exact "Enabled" counts as enabled, so any other status is switched on.
    const bool enable = field(fields, 3) != core::kEnabledStatus;
    const core::Status saved = core::saveTLD(tldPath(), field(fields, 0), field(fields, 1), field(fields, 2),
                                             enable, field(fields, 4), field(fields, 5));
    if (!saved) {
        reportWriteFailure(saved);
        return std::nullopt;
    }
    // The edit boxes show the row that was switched; saving it again keeps the new status.
    m_editEnabled = enable;
    reload();
    return rowOfExtension(field(fields, 0).toLower());
}

void TldEditor::newExtension(TldFields &fields)
{
    fields.extension.clear();
    fields.server.clear();
    fields.port.clear();
    m_editEnabled = true;
}

bool TldEditor::deleteRow(int row)
{
    if (row < 0 || row >= m_list.rowCount())
        return false;
    if (!m_notice.askOkCancel(kDeleteTitle, deleteQuestionFor(m_list.row(row))))
        return false;
    QList<QStringList> remaining = m_list.rows();
    remaining.removeAt(row);
    // The file first: a row that could not be deleted stays in the list too.
    const core::Status written = core::rewriteTLDs(tldPath(), remaining);
    if (!written) {
        reportWriteFailure(written);
        return false;
    }
    m_list.removeRowAt(row);
    (void)m_state.reloadTable();
    return true;
}

bool TldEditor::restoreDefaults()
{
    // Every row the user added or changed goes, so the user is asked first.
    if (!m_notice.askOkCancel(kRestoreDefaultsTitle, restoreDefaultsQuestion(m_list.rowCount())))
        return false;
    const core::Status written = core::writeDefaultTLDs(tldPath(), true);
    if (!written)
        reportWriteFailure(written);
    reload();
    return written.ok();
}

core::Status TldEditor::writeDebugFile()
{
    const QString path = m_folder.path(kDebugFileName);
    const core::Status written =
        core::writeTextAtomically(path, core::joinLinesCrLf(debugLines(m_list.rows())));
    if (!written) {
        reportWriteFailure(written);
        return written;
    }
    m_notice.showMessage(kDebugWrittenTitle,
                         QStringLiteral("The list of %1 rows was written to %2")
                             .arg(QString::number(m_list.rowCount()), QDir::toNativeSeparators(path)),
                         core::NoticeIcon::Information);
    return written;
}

bool TldEditor::sortByColumn(int column, bool showErrors)
{
    if (m_list.rowCount() == 0)
        return true;
    if (column < 0 || column >= core::kTldFieldCount) {
        if (showErrors)
            m_notice.showMessage(kSortErrorTitle,
                                 QStringLiteral("Error ") + QString::number(kInvalidPropertyValue) +
                                     QLatin1Char('\t') + QStringLiteral("Invalid property value"),
                                 core::NoticeIcon::None);
        return false;
    }
    m_sort.sorted = true;
    m_sort.column = column;
    m_sort.ascending = !m_sort.ascending;
    QList<QStringList> rows = m_list.rows();
    sortTldRows(rows, m_sort.column, m_sort.ascending);
    m_list.setRows(std::move(rows));
    return true;
}

bool TldEditor::testRow(int row, const QString &testField, std::function<QString()> successBox)
{
    if (row < 0 || row >= m_list.rowCount())
        return false;
    m_probe->abandon();
    m_testName = composeTestName(testField, field(m_list.row(row), 0));
    const QString name = m_cleanName ? m_cleanName(m_testName) : m_testName;
    const int index = core::findTLD(m_table, name, m_preferences.useProxy());
    if (index < 0 || index >= m_table.size()) {
        m_notice.showMessage(QString(), QStringLiteral("No TLD row serves %1").arg(name),
                             core::NoticeIcon::Warning);
        return false;
    }
    const core::TldEntry &entry = m_table.at(index);
    m_probe->start(m_testName, name, entry.server, entry.port, std::move(successBox));
    return true;
}

void TldEditor::proxyClicked(bool checked)
{
    (void)m_preferences.setUseProxy(checked);
}

void TldEditor::rdapClicked(bool checked)
{
    (void)m_preferences.setUseRdap(checked);
}

void TldEditor::jobsChanged(int jobs)
{
    (void)m_preferences.setJobs(jobs);
}

int TldEditor::jobs() const
{
    return m_preferences.jobs();
}

void TldEditor::dnsFirstClicked(bool checked)
{
    (void)m_preferences.setDnsFirst(checked);
}

bool TldEditor::dnsFirst() const
{
    return m_preferences.dnsFirst();
}

QString TldEditor::rdapBootstrapText() const
{
    const core::RdapBootstrap &bootstrap = m_state.bootstrap();
    const QString source = bootstrap.source() == QLatin1String("built-in")
                               ? QStringLiteral("the copy built in")
                               : bootstrap.source();
    return QStringLiteral("RDAP servers: IANA's list of %1, %2 extensions (%3)")
        .arg(bootstrap.publication().left(10))
        .arg(bootstrap.extensionCount())
        .arg(source);
}

bool TldEditor::updateRdapBootstrap(std::function<void()> done, const QUrl &address)
{
    const QString title = QStringLiteral("RDAP servers");
    if (!m_state.http()) {
        m_notice.showMessage(title, QStringLiteral("This program cannot fetch files."),
                             core::NoticeIcon::Warning);
        return false;
    }
    if (isUpdatingRdapBootstrap())
        return false;
    m_rdapUpdate = std::make_unique<core::RdapBootstrapUpdate>(*m_state.http());
    QObject::connect(
        m_rdapUpdate.get(), &core::RdapBootstrapUpdate::finished, m_rdapUpdate.get(),
        [this, title, done = std::move(done)](const core::Result<core::RdapBootstrapRefresh> &result) {
            if (result.ok()) {
                m_state.replaceBootstrap(result.value().bootstrap);
                m_notice.showMessage(
                    title,
                    QStringLiteral("The list of RDAP servers was updated: %1.").arg(rdapBootstrapText()),
                    core::NoticeIcon::Information);
            } else {
                m_notice.showMessage(
                    title,
                    QStringLiteral("The list of RDAP servers was not updated: %1.").arg(result.message()),
                    core::NoticeIcon::Warning);
            }
            if (done)
                done();
        });
    m_rdapUpdate->start(address, core::RdapBootstrap::pathIn(m_folder.root()));
    return true;
}

void TldEditor::defaultExtensionChanged(const QString &text)
{
    (void)m_preferences.setDefaultExtension(text);
}

QString TldEditor::defaultExtensionLeft(const QString &text)
{
    const QString corrected = correctDefaultExtension(text);
    defaultExtensionChanged(corrected);
    return corrected;
}

void TldEditor::throttleChanged(const QString &text)
{
    (void)writeSetting(m_settings, keys::Throttle, text);
}

void TldEditor::searchChanged(const QString &text)
{
    (void)writeSetting(m_settings, keys::DefaultSearch, text);
}

QString TldEditor::windowClosing(const QString &defaultField)
{
    m_probe->abandon();
    // Closing is leaving the field too: an emptied field must not leave names without an extension.
    return defaultExtensionLeft(defaultField);
}

void TldEditor::reload()
{
    refillList();
    (void)m_state.reloadTable();
}

void TldEditor::refillList()
{
    core::fillTLDList(m_list, tldPath());
    // Once sorted, the list stays sorted as it is filled again.
    if (m_sort.sorted) {
        QList<QStringList> rows = m_list.rows();
        sortTldRows(rows, m_sort.column, m_sort.ascending);
        m_list.setRows(std::move(rows));
    }
}

int TldEditor::rowOfExtension(const QString &extension) const
{
    const QList<QStringList> &rows = m_list.rows();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (field(rows.at(i), 0) == extension)
            return int(i);
    }
    return -1;
}

void TldEditor::reportWriteFailure(const core::Status &status)
{
    m_notice.showMessage(QString(), status.message(), core::NoticeIcon::Warning);
}

} // namespace wendlecott::config
