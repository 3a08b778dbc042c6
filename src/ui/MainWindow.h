#pragma once

#include "config/Startup.h"
#include "sources/ListSource.h"
#include "ui/MainLayout.h"
#include "ui/RunControls.h"
#include "ui/StatusPanel.h"
#include "ui/TopStrip.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <optional>

class QComboBox;
class QGroupBox;

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::core {
class CheckRun;
struct RunSource;
} // namespace wendlecott::core

namespace wendlecott::ui {

class CompanionWindows;
class GeneratorWindow;
class HelpWindow;
class MainMenus;
class QtUserNotice;
class ResultListsView;
class RunControls;
class StatusPanel;
class StoreCommands;
class TopStrip;
class AboutWindow;

// The main window (object name "Form1"): the strip that chooses the name source and starts and stops a
// check run, the five result lists, the status bar and the menus. It binds controls to the
// logic and keeps no rules of its own. Constructing it runs the start-up sequence; closing it
// (by any means) shuts the program down.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    // The "Custom List" file dialog: the chosen file, nothing when cancelled.
    using OpenFileDialog =
        std::function<std::optional<QString>(QWidget *parent, const QString &folder, const QString &filter)>;

    // The tooltip of a control whose window is not in the program yet.
    static inline const QString kNotAvailableYet = QStringLiteral("Not available yet.");
    static inline const QString kDesignCaption = QStringLiteral("Tarnhollow - Domain Name Manager");
    static inline const QString kFrameCaption = QStringLiteral("Domain Name Manager");
    // The width of the status bar's source text, in pixels.
    static constexpr int kSourcePanelWidth = StatusPanel::kSourcePanelWidth;
    static inline const QString kPurchaseFrameCaption =
        QStringLiteral("Domain Name Manager - Double Click any domain to purchase");

    explicit MainWindow(config::AppState &state, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Windows that come from elsewhere. Until its opener is set a command stays visible but
    // disabled, its tooltip saying it is not available yet.
    void setSetupOpener(std::function<void()> opener);       // cmdSetup, Options > Setup
    void setListBuilderOpener(std::function<void()> opener); // cmdCreate ("Search")
    void setBrowseOpener(std::function<void()> opener);      // "Browse for names"
    // The search sources need the list builder, so they follow its opener.
    void setOpenFileDialog(OpenFileDialog dialog) { m_openFileDialog = std::move(dialog); }
    // Another process holds the program folder (`reason` says which) and the user chose to
    // open it read-only: the caption says so, and Start explains instead of filing.
    void setReadOnly(const QString &reason);
    bool isReadOnly() const { return !m_readOnlyReason.isEmpty(); }
    const QString &readOnlyReason() const { return m_readOnlyReason; }
    // Windows opened for this window (Setup, list builder, browse) that shutdown must close.
    void closeAtShutdown(QWidget *window);

    // Refills cmbTLDs from TLDs.txt (the Setup window calls it when it closes).
    void loadTLDs();

    // The handlers, as the controls and menus run them.
    void startRun(); // Start
    bool refuseRunWhenReadOnly();
    // Tools > "Check unanswered names again (N)": a run over the names kept without a verdict.
    void checkUnansweredAgain();
    void stopRun();                   // Stop
    void applySourceChoice();         // a choice in Combo1: selectSource for its caption
    void selectSourceItem(int index); // Tools menu item `index`: Combo1's item, then applySourceChoice
    void openSetup();
    void openListBuilder();
    void openWebsite();
    void viewHelp(); // the user guide in the help window (F1)
    void showAbout();
    void runEditMenuItem(int index);
    // What the generator (and the list builder) do when their list is written: txtWordMax
    // takes the count, txtWordNum 1, then Start is pressed.
    void startListRun(qint64 entryCount);

    // What the list builder reads when it opens: txtSearch's text, Combo1's caption and
    // Combo2's position (-1 when nothing is chosen).
    QString searchText() const;
    QString sourceCaption() const;
    int searchTargetPosition() const;

    core::CheckRun &run() const { return m_runControls->run(); }
    // Whether the run goes.
    bool isRunActive() const;
    // The extensions ticked beside cmbTLDs ("cmdTLDs"), in the table's order. With two or
    // more, an entry without its own extension is checked in each of them.
    QStringList tickedExtensions() const;
    void setExtensionTicked(const QString &extension, bool ticked);
    QString listPath() const { return m_listPath; }
    GeneratorWindow *generatorWindow() const;
    AboutWindow *aboutWindow() const;
    HelpWindow *helpWindow() const;
    ResultListsView *resultListsView() const { return m_listsView; }
    StoreCommands *storeCommands() const { return m_storeCommands; }
    const config::StartupState &startupState() const { return m_startup; }
    // The arrangement of the last layout, for checks.
    const std::optional<MainArrangement> &arrangement() const { return m_arrangement; }
    // The fixed parts of the layout for the strip as it stands (one row or two).
    MainLayoutMetrics layoutMetrics() const;
    int stripRowCount() const { return m_topStrip->rowCount(); }

Q_SIGNALS:
    // The main window closed: the program ends.
    void shutDown();
    // A run ended (Stop, or the end of its list), and the controls are back.
    void runEnded();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void connectControls();
    void connectRun();
    void runStartup();
    // The smallest window that still shows every caption of the strip and the lists whole.
    void updateMinimumSize();
    // The area beside the lists where the blocked notice opens, in global coordinates.
    QRect blockedNoticeArea() const;

    void applySelection(sources::SourceSelection selection, bool allowDialogs);
    void lockRunControls();
    void updateRecheckAction();
    void onRunStopped();
    void showSource();
    void correctStartPosition();
    void searchTextChanged();
    void setSearchButtonEnabled(bool wanted);
    void setSourceChoiceEnabled(bool enabled);
    void refreshAvailability();
    void openGenerator();
    void openWhois(const QString &domain);
    void applyLayout();
    // The notice as windows, or null when a test brought its own.
    QtUserNotice *widgetNotice() const;

    config::AppState &m_state;
    config::StartupState m_startup;
    QString m_listPath;       // `ListPath`: the list file of the current source
    QString m_readOnlyReason; // empty: this window may write into the program folder
    OpenFileDialog m_openFileDialog;
    std::function<void()> m_setupOpener;
    std::function<void()> m_listBuilderOpener;
    std::function<void()> m_browseOpener;
    bool m_sourceChoiceEnabled = true; // Combo1 and the Tools menu's sources
    bool m_shuttingDown = false;
    bool m_shownOnce = false;
    std::optional<MainArrangement> m_arrangement;

    CompanionWindows *m_companions = nullptr;

    TopStrip *m_topStrip = nullptr;
    RunControls *m_runControls = nullptr;
    MainMenus *m_menus = nullptr;
    QGroupBox *m_resultFrame = nullptr;
    ResultListsView *m_listsView = nullptr;
    StatusPanel *m_statusPanel = nullptr;
    StoreCommands *m_storeCommands = nullptr;
};

} // namespace wendlecott::ui
