#pragma once

#include "config/Startup.h"
#include "sources/ListSource.h"
#include "ui/MainLayout.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <initializer_list>
#include <optional>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QHBoxLayout;
class QVBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::core {
class CheckRun;
struct RunSource;
} // namespace wendlecott::core

namespace wendlecott::ui {

class GeneratorWindow;
class HelpWindow;
class QtUserNotice;
class ResultListsView;
class AboutWindow;
class WhoisWindow;

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
    // The widths of the status bar's source text and progress bar, in pixels: small enough
    // to leave the three panels their captions at the smallest window.
    static constexpr int kSourcePanelWidth = 170;
    static constexpr int kProgressWidth = 130;
    // The status bar's own margins and the spacing between its widgets, generously.
    static constexpr int kStatusBarSlack = 40;
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
    // Windows opened for this window (Setup, list builder, browse) that shutdown must close.
    void closeAtShutdown(QWidget *window);

    // Refills cmbTLDs from TLDs.txt (the Setup window calls it when it closes).
    void loadTLDs();

    // The handlers, as the controls and menus run them.
    void startRun(); // Start
    bool refuseRunWhenReadOnly();
    QLabel *buildInvalidNamesPanel();
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

    core::CheckRun &run() const { return *m_run; }
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
    const config::StartupState &startupState() const { return m_startup; }
    // The arrangement of the last layout, for checks.
    const std::optional<MainArrangement> &arrangement() const { return m_arrangement; }
    // The fixed parts of the layout for the strip as it stands (one row or two).
    MainLayoutMetrics layoutMetrics() const;
    int stripRowCount() const { return m_stripRowCount; }

Q_SIGNALS:
    // The main window closed: the program ends.
    void shutDown();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildTopStrip(QWidget *central);
    void buildSourceControls();
    void buildRunControls();
    void buildSearchControls();
    void buildResultArea(QWidget *central);
    void buildStatusBar();
    void buildRunMenuItems(QMenu *file);
    void buildListMenuItems(QMenu *edit);
    void runStartup();
    // The smallest window that still shows every caption of the strip and the lists whole.
    void updateMinimumSize();
    int stripWidthOf(std::initializer_list<const QWidget *> widgets) const;
    // The widths (pixels) of the strip's source and run controls, and of Setup and the
    // website button; a window narrower than both together gets the strip in two rows.
    int stripControlsWidth() const;
    int stripButtonsWidth() const;
    void setStripRowCount(int rows);
    void openHelpFile(const QString &path);
    void openAddressFrom(QWidget *window, const QString &url);
    // The area beside the lists where the blocked notice opens, in global coordinates.
    QRect blockedNoticeArea() const;

    void applySelection(sources::SourceSelection selection, bool allowDialogs);
    void lockRunControls();
    void updateRecheckAction();
    void onRunStopped();
    void startChosenRun(core::RunSource source, qint32 start, qint32 count);
    void refillExtensionTicks(const QStringList &choices);
    void showProgress(qint32 position, qint32 count);
    void showPassedOver(int count);
    void showInvalidName(const QString &name, const QString &reason, int count);
    void showSource();
    void correctStartPosition();
    void searchTextChanged();
    void setWordListControlsVisible(bool visible);
    void setSearchControlsVisible(bool visible);
    void setSearchButtonEnabled(bool wanted);
    void setSourceChoiceEnabled(bool enabled);
    void refreshAvailability();
    void openGenerator();
    void openWhois(const QString &domain);
    void applyLayout();
    // The notice as windows, or null when a test brought its own.
    QtUserNotice *widgetNotice() const;

    config::AppState &m_state;
    core::CheckRun *m_run = nullptr;
    config::StartupState m_startup;
    QString m_listPath;       // `ListPath`: the list file of the current source
    QString m_readOnlyReason; // empty: this window may write into the program folder
    OpenFileDialog m_openFileDialog;
    std::function<void()> m_setupOpener;
    std::function<void()> m_listBuilderOpener;
    std::function<void()> m_browseOpener;
    bool m_searchButtonWanted = false; // what the source and run say about cmdCreate
    bool m_sourceChoiceEnabled = true; // Combo1 and the Tools menu's sources
    bool m_shuttingDown = false;
    bool m_applyingLayout = false;
    std::optional<MainArrangement> m_arrangement;

    QPointer<GeneratorWindow> m_generator;
    QPointer<AboutWindow> m_about;
    QPointer<WhoisWindow> m_whois;
    QPointer<HelpWindow> m_help;
    QList<QPointer<QWidget>> m_companions;

    // Top strip.
    static constexpr int kStripMargin = 8;
    static constexpr int kStripSpacing = 6;
    QFrame *m_topStrip = nullptr;
    QVBoxLayout *m_stripRows = nullptr;
    QHBoxLayout *m_firstRow = nullptr;
    QHBoxLayout *m_secondRow = nullptr;
    int m_stripRowCount = 1;
    QLabel *m_sourceLabel = nullptr;
    QComboBox *m_sourceBox = nullptr;
    QLabel *m_startLabel = nullptr;
    QLineEdit *m_startPositionEdit = nullptr;
    QLabel *m_ofLabel = nullptr;
    QLineEdit *m_entryCountEdit = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QLabel *m_extensionLabel = nullptr;
    QComboBox *m_extensionBox = nullptr;
    QToolButton *m_extensionTicks = nullptr; // several extensions for one run
    QLabel *m_searchLabel = nullptr;
    QLineEdit *m_searchEdit = nullptr;
    QLabel *m_searchTargetLabel = nullptr;
    QComboBox *m_searchTargetBox = nullptr;
    QPushButton *m_searchButton = nullptr;
    QPushButton *m_setupButton = nullptr;
    QPushButton *m_websiteButton = nullptr;

    // Result area and status bar.
    QGroupBox *m_resultFrame = nullptr;
    ResultListsView *m_listsView = nullptr;
    QStatusBar *m_statusBar = nullptr;
    std::array<QLabel *, 3> m_panels{};
    QLabel *m_sourcePanel = nullptr;       // the chosen source and its list file
    QLabel *m_passedOverPanel = nullptr;   // names of the run no TLD row serves
    QLabel *m_invalidNamesPanel = nullptr; // names of the run that cannot be domains
    QProgressBar *m_progress = nullptr;    // the run's position of its entry count

    // Menus.
    QAction *m_setupAction = nullptr;
    QAction *m_startAction = nullptr;
    QAction *m_stopAction = nullptr;
    std::array<QAction *, sources::kNameSourceCount> m_toolsActions{};
    QAction *m_recheckAction = nullptr;
};

} // namespace wendlecott::ui
