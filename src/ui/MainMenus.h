#pragma once

#include "sources/ListSource.h"

#include <QObject>
#include <QPointer>

#include <array>

class QAction;
class QMenu;
class QPushButton;

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::ui {

class MainWindow;
class RunControls;

// The main window's menu bar: File (Start, Stop, Exit), Edit (the list commands), Tools (the
// name sources and the check of unanswered names), Options (Setup), Help and About. Each item
// calls one handler of the window.
class MainMenus final : public QObject {
    Q_OBJECT
public:
    MainMenus(MainWindow &window, RunControls &run, config::AppState &state);

    QAction *setupAction() const { return m_setupAction; }
    QAction *toolsAction(std::size_t index) const { return m_toolsActions[index]; }
    // File > "Export answers…" and Tools > "Watch list", for the store's commands to take.
    QAction *exportAction() const { return m_exportAction; }
    QAction *watchListAction() const { return m_watchListAction; }
    // Copy and Delete of the selected entries, for the lists to take as their own.
    QList<QAction *> listActions() const { return {m_copySelected, m_deleteSelected}; }
    // The Tools menu's sources: enabled while the source may change and its window is there.
    void setSourceItems(bool enabled, bool browseAvailable, bool builderAvailable);
    // "Check unanswered names again (N)", enabled when `allowed` and N is not 0.
    void updateRecheckAction(bool allowed);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followRunButtons();
    void buildFileMenu(QMenu *file);
    void buildEditMenu(QMenu *edit);
    void buildToolsMenu(QMenu *tools);
    void buildRunMenuItems(QMenu *file);

    MainWindow &m_window;
    RunControls &m_run;
    config::AppState &m_state;
    QAction *m_setupAction = nullptr;
    QAction *m_startAction = nullptr;
    QAction *m_stopAction = nullptr;
    QAction *m_copySelected = nullptr;
    QAction *m_deleteSelected = nullptr;
    std::array<QAction *, sources::kNameSourceCount> m_toolsActions{};
    QAction *m_recheckAction = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_watchListAction = nullptr;
    QPointer<QPushButton> m_startButton;
    QPointer<QPushButton> m_stopButton;
};

} // namespace wendlecott::ui
