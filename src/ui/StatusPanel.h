#pragma once

#include <QStatusBar>

#include <QList>
#include <QPair>

#include <array>
#include <functional>

class QLabel;
class QProgressBar;
class QTimer;

namespace wendlecott::ui {

// The main window's status bar (object name "StatusBar1"): the run's three panels, which share
// the window's width as the resize rules say, and beside them the chosen source, the names
// passed over and refused by the run, and the run's progress.
class StatusPanel final : public QStatusBar {
    Q_OBJECT
public:
    // The servers the run waits for after a refusal, with the milliseconds left of each pause.
    using BackOffSource = std::function<QList<QPair<QString, qint64>>()>;

    // The widths of the source text and the progress bar, in pixels: small enough to leave
    // the three panels their captions at the smallest window.
    static constexpr int kSourcePanelWidth = 170;
    static constexpr int kProgressWidth = 130;
    // The status bar's own margins and the spacing between its widgets, generously.
    static constexpr int kStatusBarSlack = 40;

    explicit StatusPanel(QWidget *parent);

    // A panel's text; its tooltip holds it whole, for a panel too narrow to show it.
    void setPanelText(int panel, const QString &text);
    // While a server is paused, a note beside the panels says when it is asked again,
    // refreshed every second until no server is paused.
    void setBackOffSource(BackOffSource source) { m_backOffSource = std::move(source); }
    void refreshBackOff();
    // The three panels as they read between runs.
    void showIdleTexts();
    void showProgress(qint32 position, qint32 count);
    void showPassedOver(int count);
    void showInvalidName(const QString &name, const QString &reason, int count);
    // A new run: its passed-over and invalid counts are not shown until they start.
    void hidePassedOver();
    void hideInvalidNames();
    // Names of the run settled by DNS; hidden again at the next run.
    void showSettledByDns(int count);
    void hideSettledByDns();
    void showSource(const QString &caption, const QString &listPath);
    // The three panels take these widths in proportion.
    void sharePanels(const std::array<int, 3> &shares);
    // The width the bar needs to keep every panel's caption whole.
    int leastWidth() const;

private:
    std::array<QLabel *, 3> m_panels{};
    QLabel *m_sourcePanel = nullptr;       // the chosen source and its list file
    QLabel *m_passedOverPanel = nullptr;   // names of the run no TLD row serves
    QLabel *m_invalidNamesPanel = nullptr; // names of the run that cannot be domains
    QLabel *m_settledByDnsPanel = nullptr; // names of the run settled by their delegation
    QProgressBar *m_progress = nullptr;    // the run's position of its entry count
    QLabel *m_backOffPanel = nullptr;      // when the paused servers are asked again
    QTimer *m_backOffTimer = nullptr;
    BackOffSource m_backOffSource;
};

} // namespace wendlecott::ui
