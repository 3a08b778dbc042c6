#pragma once

#include "config/ProgramFolder.h"
#include "config/TldEditor.h"
#include "core/Scheduler.h"
#include "core/Timing.h"
#include "core/TldTable.h"
#include "core/WhoisConnection.h"

#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
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
    // The list row that is selected, or -1.
    int selectedRow() const;

    // The commands of the window, as their buttons run them.
    void cmdSave_Click();
    void cmdToggle_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void cmdTest_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void fillFromOpening(const config::SetupOpening &opening);
    void onRowClicked(int row);
    void onHeaderClicked(int column);
    void selectRow(int row);
    void showFields(const config::TldFields &fields);
    config::TldFields fields() const;
    void showSkippedRows();

    std::unique_ptr<config::TldEditor> m_editor;
    std::function<void()> m_onClosed;
    // Set while the window itself moves the selection, so the move is not taken for a click.
    bool m_selecting = false;

    QTreeView *m_lstDomains = nullptr;
    QLabel *m_skippedRows = nullptr;
    QLineEdit *m_txtExt = nullptr;
    QLineEdit *m_txtServer = nullptr;
    QLineEdit *m_txtPort = nullptr;
    QLineEdit *m_txtThrottle = nullptr;
    QLineEdit *m_txtSuccess = nullptr;
    QPushButton *m_cmdSave = nullptr;
    QPushButton *m_cmdToggle = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command4 = nullptr;
    QPushButton *m_cmdTest = nullptr;
    QLineEdit *m_txtsearch = nullptr;
    QCheckBox *m_chkProxy = nullptr;
    QLineEdit *m_txtDefault = nullptr;
    QLineEdit *m_txtthrot = nullptr;
};

} // namespace wendlecott::ui
