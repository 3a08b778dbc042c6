#pragma once

#include "config/ProgramFolder.h"
#include "core/base/Result.h"
#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/lookup/RdapBootstrapUpdate.h"
#include "core/lookup/RegistrarProbe.h"
#include "core/lookup/WhoisConnection.h"
#include "core/tld/TldTable.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace wendlecott::core {
class UserNotice;
}

namespace wendlecott::config {

class AppState;
class Preferences;

class SettingsStore;

inline const QString kMissingFieldsMessage = QStringLiteral("Please enter valid information for all fields.");
inline const QString kDeleteTitle = QStringLiteral("Delete?");
inline const QString kDeleteQuestion = QStringLiteral("Really delete this TLD from the list?");
inline const QString kDebugFileName = QStringLiteral("\\debug.txt");
inline const QString kRestoreDefaultsTitle = QStringLiteral("Restore Defaults?");
inline const QString kDebugWrittenTitle = QStringLiteral("DEBUG");
inline const QString kSortErrorTitle = QStringLiteral("Error in Function : EnhListView_SortColumns");
inline const QString kDefaultExtensionWhenEmpty = QStringLiteral(".com");

// The five edit fields of the Setup window, as typed.
struct TldFields {
    QString extension;
    QString server;
    QString port;
    QString throttle;
    QString success;
};

// What the Setup window shows when it opens.
struct SetupOpening {
    bool proxyChecked = false;
    bool rdapChecked = false; // "Use RDAP where the registry offers it"
    QString defaultExtension; // txtDefault
    QString throttle;         // txtthrot
    QString search;           // txtsearch
};

// The sort state of the Setup list: one direction for the whole list, reversed at every
// header click, whichever column is clicked.
struct ListSort {
    bool sorted = false;
    int column = 0;
    // Before the first click the list is in file order; the first click sorts ascending.
    bool ascending = false;
};

// Sorts rows by the displayed text of one column (so "100" comes before "25"), without
// regard to case; rows with equal texts keep their order.
void sortTldRows(QList<QStringList> &rows, int column, bool ascending);

// The default-extension rule applied when the field is left: empty gives ".com", a text
// without "." gets one in front.
QString correctDefaultExtension(const QString &text);

// The domain of a registrar test: the test field, ".", the row's extension, with every ".."
// made "." (so a test field ending in "." does not double the dot).
QString composeTestName(const QString &testField, const QString &extension);

// The lines of debug.txt for the list's rows, in list order.
QStringList debugLines(const QList<QStringList> &rows);

// The delete question for one list row: the fixed question, then the row it is about.
QString deleteQuestionFor(const QStringList &row);
// The question "Restore Defaults" asks before the default table replaces `rowCount` rows.
QString restoreDefaultsQuestion(int rowCount);
// Where the "Proxy WHOIS server:" heading points: the row "proxy" of the list, or how to add
// one when there is none.
QString proxyRowText(const QList<QStringList> &rows);

// A line for the window naming the rows of TLDs.txt that the table loader skipped; empty
// when it skipped none.
QString skippedRowsNotice(const QList<core::SkippedRow> &skipped);

// The logic of the Setup window (frmSettings): the TLD list and its edit commands, the
// preferences the window holds, and the registrar test. Every change to the table rewrites
// TLDs.txt at once and reloads the program-wide table, so a running check uses it at its
// next lookup.
class TldEditor {
public:
    // xurlEncode followed by xCorrectName: how the test name is cleaned before it is sent.
    using NameCleaner = std::function<QString(const QString &)>;

    // Messages and questions go to `notice` (the window's own), else to the program's.
    TldEditor(AppState &state, NameCleaner cleanName, core::UserNotice *notice = nullptr);
    ~TldEditor();
    TldEditor(const TldEditor &) = delete;
    TldEditor &operator=(const TldEditor &) = delete;

    // Opening the window: fills the list, sets editEnabled, restores the proxy switch (which
    // sets useProxy) and stores the three texts the window fills in.
    SetupOpening open();

    core::TldListModel &list() { return m_list; }
    const core::TldListModel &list() const { return m_list; }
    QString tldPath() const;
    bool editEnabled() const { return m_editEnabled; }
    const QString &testName() const { return m_testName; }
    core::RegistrarProbe &registrarProbe() { return *m_probe; }
    const ListSort &sortState() const { return m_sort; }
    // The rows of TLDs.txt the table loader could not use, as a line for the window.
    QString skippedRowsText() const { return skippedRowsNotice(m_table.skipped); }

    // A row was clicked: its fields for the edit boxes; editEnabled follows its status.
    // Nothing for a row that is not there.
    std::optional<TldFields> rowClicked(int row);

    // "Add/Save": fills an empty throttle ("25") and success field (the standard words) into
    // `fields`, saves the row and reloads. False (and a message) when a required field is
    // empty or a field cannot be stored. Returns the list row now holding the extension.
    std::optional<int> addSave(TldFields &fields);
    // "Enable/Disable" on a row: saved again with the opposite status. Returns the list row
    // now holding it; nothing when no row was selected or the change failed. editEnabled
    // takes the new status, since the edit boxes show that row.
    std::optional<int> toggleRow(int row);
    // "New Extension": empties extension, server and port; editEnabled becomes true.
    void newExtension(TldFields &fields);
    // "Delete Selected": asks (naming the row), then writes the file anew from the other rows
    // in list order. True when the row went.
    bool deleteRow(int row);
    // "Restore Defaults": asks, then the default table replaces TLDs.txt. True when it did.
    bool restoreDefaults();
    // "DEBUG": writes debug.txt in the program folder from the list and says where it went.
    core::Status writeDebugFile();
    // The text beside "Proxy WHOIS server:" for the list as it stands.
    QString proxyRowText() const { return config::proxyRowText(m_list.rows()); }

    // A column header was clicked: sorts the list by that column, reversing the direction
    // (one for the whole list). Returns true; false (with a message when `showErrors`) for a
    // column that the list does not have.
    bool sortByColumn(int column, bool showErrors);

    // "Test Selected": composes and cleans the test name, finds the row that serves it and
    // starts the test. False when no row is selected or no TLD row serves the name.
    bool testRow(int row, const QString &testField, std::function<QString()> successBox);

    // The preferences, written on every change.
    void proxyClicked(bool checked);
    void rdapClicked(bool checked);
    // "Jobs": how many lookups a check run keeps in flight, each server at its own pace.
    void jobsChanged(int jobs);
    int jobs() const;
    // "DnsFirst": ask DNS first, registered names settled without the registry.
    void dnsFirstClicked(bool checked);
    bool dnsFirst() const;
    void defaultExtensionChanged(const QString &text);
    // The field was left: returns the corrected text, which becomes the DefaultExtension.
    QString defaultExtensionLeft(const QString &text);
    void throttleChanged(const QString &text);
    void searchChanged(const QString &text);
    // The window closes: the test is dropped and the field's text (corrected as on leaving
    // it) becomes the DefaultExtension. Returns that text.
    QString windowClosing(const QString &defaultField);

    // The RDAP bootstrap in use, as a line for the window: publication date, extensions, source.
    QString rdapBootstrapText() const;
    // "Update": fetches the bootstrap file from `address` (IANA's by default); a file that
    // parses replaces the program folder's copy and the one in use, anything else changes
    // nothing. Either way the user is told, then `done` runs. False (and a message) when
    // there is no HTTP client or an update is under way.
    bool updateRdapBootstrap(std::function<void()> done,
                             const QUrl &address = QUrl(core::kRdapBootstrapAddress));
    bool isUpdatingRdapBootstrap() const { return m_rdapUpdate && m_rdapUpdate->isRunning(); }

private:
    // After every change: the list refilled (in its sort order) and the table reloaded.
    void reload();
    void refillList();
    int rowOfExtension(const QString &extension) const;
    void reportWriteFailure(const core::Status &status);

    AppState &m_state;
    const ProgramFolder &m_folder;
    SettingsStore &m_settings;
    const core::TldTable &m_table;
    Preferences &m_preferences;
    core::UserNotice &m_notice;
    NameCleaner m_cleanName;
    std::unique_ptr<core::RegistrarProbe> m_probe;
    std::unique_ptr<core::RdapBootstrapUpdate> m_rdapUpdate;

    core::TldListModel m_list;
    ListSort m_sort;
    bool m_editEnabled = true;
    QString m_testName;
};

} // namespace wendlecott::config
