#pragma once

#include "sources/ListBuilder.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::ui {

// Form3, the list builder: a line asking for patience and the status box text1, over a
// sources::ListBuilder that it starts when opened. When the list is written the window hides,
// tells how many names it holds and hands the count to the main window, which starts a check
// run as its Start does; then it closes. Closing it earlier abandons the run: nothing is
// written and no run starts.
class ListBuilderWindow : public QWidget {
    Q_OBJECT
public:
    // Sets the main window's entry count and presses its Start.
    using StartRun = std::function<void(qint64 entryCount)>;

    static inline const QString kCaption = QStringLiteral("List Builder - Finding domain names...");
    static inline const QString kPleaseWaitText =
        QStringLiteral("Extracting Domains from search results.  Please be patient.");
    static inline const QString kInitialStatus = QStringLiteral("Status...");
    static inline const QString kStatusToolTip =
        QStringLiteral("This shows the number of unique .com, .org and .net domain names found.");

    ListBuilderWindow(config::AppState &state, sources::ListBuilderRequest request,
                      QWidget *parent = nullptr);
    ~ListBuilderWindow() override;

    void setStartRun(StartRun startRun) { m_startRun = std::move(startRun); }
    // The main window's check run, which may be reading BrowserSearch.txt: while it goes the
    // finished list is held, and the user is asked whether to stop the run now (the list is
    // then written and checked at once) or to have it written and checked when the run ends.
    struct RunInUse {
        std::function<bool()> isRunning;
        std::function<void()> stop;
    };
    void setRunInUse(RunInUse run);
    // The main window's run ended: a held list is written and checked now.
    void runEnded();
    // Starts the run (the start ticks, then the first page).
    void start();

    sources::ListBuilder &builder() { return *m_builder; }
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onFinished(const sources::ListBuilderResult &result);
    void onHeld();

    config::AppState &m_state;
    sources::ListBuilder *m_builder = nullptr;
    StartRun m_startRun;
    RunInUse m_run;
    QLabel *m_pleaseWait = nullptr;
    QLineEdit *m_status = nullptr;
};

} // namespace wendlecott::ui
