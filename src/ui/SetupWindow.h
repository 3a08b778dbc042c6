#pragma once

#include "config/ProgramFolder.h"
#include "config/TldEditor.h"
#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/base/UserNotice.h"
#include "core/lookup/WhoisConnection.h"
#include "core/tld/TldTable.h"

#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QSpinBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace wendlecott::config {
class AppState;
class SettingsStore;
} // namespace wendlecott::config
namespace wendlecott::core {
class UserNotice;
}

namespace wendlecott::ui {

// frmSettings, "Settings": the TLD table's editor, the proxy switch, the default extension,
// the browse-mode pause, the test domain and the registrar test. A thin shell over
// config::TldEditor; the table on disk and in memory outlives the window.
class SetupWindow : public QWidget {
    Q_OBJECT
public:
    explicit SetupWindow(config::AppState &state, QWidget *parent = nullptr);
    ~SetupWindow() override;

    // Called when the window closes, after DefaultExtension is taken from the field: the main
    // window refills its extension drop-down there.
    void setOnClosed(std::function<void()> onClosed) { m_onClosed = std::move(onClosed); }

    config::TldEditor &editor() { return *m_editor; }
    // Another copy of the program writes into the folder (`reason` says which): the commands
    // that write TLDs.txt, debug.txt or the RDAP list are disabled, and a note says why.
    void setReadOnly(const QString &reason);
    bool isReadOnly() const { return !m_readOnlyReason.isEmpty(); }
    // The list row that is selected, or -1.
    int selectedRow() const;
    // Whether the list shows `row` as a disabled one (greyed).
    static bool rowLooksDisabled(const QModelIndex &index);

    // The commands of the window, as their buttons run them.
    void saveRow();           // "Add/Save": the edit fields become a row of the table
    void toggleRowEnabled();  // "Enable/Disable" on the selected row
    void startNewExtension(); // "New Extension": empties extension, server and port
    void deleteSelectedRow(); // "Delete Selected", after asking
    void restoreDefaults();   // "Restore Defaults": the default table replaces TLDs.txt
    void exportDebugList();   // "DEBUG": writes the list to debug.txt
    void testServer();        // "Test Selected": a test lookup at the selected row's server
    void updateRdapServers(); // "Update RDAP server list": IANA's current bootstrap file
    // Where the update fetches the file from (tests point it at a local server).
    void setRdapBootstrapAddress(const QUrl &address) { m_rdapAddress = address; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    QGroupBox *buildDefaultsFrame();
    void buildTldList();
    QGridLayout *buildEditFields();
    QHBoxLayout *buildButtons();
    void connectControls();
    void showOpeningValues(const config::SetupOpening &opening);
    void showClickedRow(int row);
    void sortByColumn(int column);
    void selectRow(int row);
    void showFields(const config::TldFields &fields);
    config::TldFields editedFields() const;
    // The lines that follow the list: rows the loader skipped, the proxy row.
    void showListNotes();

    // The window's own notice: its messages and questions open over this window.
    std::unique_ptr<core::UserNotice> m_notice;
    std::unique_ptr<config::TldEditor> m_editor;
    std::function<void()> m_onClosed;
    // Set while the window itself moves the selection, so the move is not taken for a click.
    bool m_selecting = false;

    QTreeView *m_tldList = nullptr;
    QString m_readOnlyReason; // empty: this copy may write into the program folder
    QLabel *m_readOnlyLabel = nullptr;
    QLabel *m_skippedRowsLabel = nullptr;
    QLabel *m_proxyRowLabel = nullptr;
    QLineEdit *m_extensionEdit = nullptr;
    QLineEdit *m_serverEdit = nullptr;
    QLineEdit *m_portEdit = nullptr;
    QLineEdit *m_throttleEdit = nullptr;
    QLineEdit *m_successEdit = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_toggleButton = nullptr;
    QPushButton *m_newExtensionButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QPushButton *m_restoreDefaultsButton = nullptr;
    QPushButton *m_debugButton = nullptr;
    QPushButton *m_testButton = nullptr;
    QLineEdit *m_testDomainEdit = nullptr;
    QCheckBox *m_proxyBox = nullptr;
    QCheckBox *m_rdapBox = nullptr;
    QSpinBox *m_jobsBox = nullptr;
    QCheckBox *m_dnsFirstBox = nullptr;
    QLabel *m_rdapListLabel = nullptr;
    QPushButton *m_rdapUpdateButton = nullptr;
    QUrl m_rdapAddress{core::kRdapBootstrapAddress};
    QLineEdit *m_defaultExtensionEdit = nullptr;
    QLineEdit *m_browsePauseEdit = nullptr;
};

} // namespace wendlecott::ui
