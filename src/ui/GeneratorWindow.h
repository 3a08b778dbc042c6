#pragma once

#include "config/ProgramFolder.h"
#include "core/base/UserNotice.h"
#include "sources/GeneratorSession.h"

#include <QAbstractListModel>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace wendlecott::config {
class SettingsStore;
}
namespace wendlecott::core {
class Scheduler;
class UserNotice;
} // namespace wendlecott::core

namespace wendlecott::ui {

// The generated names for List1, read straight from the generator's packed buffer, so a
// million names need no million list items.
class GeneratedNamesModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // Shows `names` (not owned; it must outlive the model or be detached first).
    void setNames(const sources::NameBuffer *names);
    // The buffer grew: shows its new rows.
    void namesAppended();

private:
    const sources::NameBuffer *m_names = nullptr;
    int m_shown = 0;
};

// frmMake, the "Domain Name Creator": the controls of sources::GeneratorSession, which
// builds names from a base word, the words of Appends.txt and the checked extensions,
// writes them to CreatedDomains.txt and hands the count to the main window to start a run.
class GeneratorWindow : public QWidget {
    Q_OBJECT
public:
    // Answers a save-file dialog: the chosen path, or an empty text when cancelled.
    using SaveDialog = std::function<QString(QWidget *parent, const QString &caption,
                                             const QString &proposedPath, const QString &filter)>;
    using StartRun = sources::GeneratorSession::StartRun;

    // Slices of a generation run on Qt's event loop.
    GeneratorWindow(config::ProgramFolder folder, config::SettingsStore &settings, core::UserNotice &notice,
                    QWidget *parent = nullptr);
    // Slices of a generation run on `scheduler`.
    GeneratorWindow(config::ProgramFolder folder, config::SettingsStore &settings, core::UserNotice &notice,
                    core::Scheduler &scheduler, QWidget *parent = nullptr);
    ~GeneratorWindow() override;

    sources::GeneratorSession &session() { return *m_session; }
    void setStartRun(StartRun startRun) { m_session->setStartRun(std::move(startRun)); }
    void setSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }
    // Names built per slice between returns to the event loop.
    void setSliceSize(qint64 names) { m_session->setSliceSize(names); }
    bool isGenerating() const { return m_session->isGenerating(); }
    // What the window says under an empty word list.
    static const QString kEmptyAffixHint;

    // Reads the word list, the switches, the base word and the extension list anew and
    // shows them, as when the window opens.
    void reloadLists();

    // The commands of the window, as their buttons and Enter keys run them.
    void generateNames();
    void saveDomainsAs();
    void addWord();
    void removeSelectedWord();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    GeneratorWindow(config::ProgramFolder folder, config::SettingsStore &settings, core::UserNotice &notice,
                    std::unique_ptr<core::Scheduler> ownScheduler, core::Scheduler *scheduler,
                    QWidget *parent);

    void buildControls();
    QGroupBox *buildSwitchFrame();
    QGroupBox *buildExtensionFrame();
    QGroupBox *buildGeneratedFrame();
    void buildAffixControls();
    void arrangeControls(QGroupBox *switchFrame, QGroupBox *extensionFrame, QGroupBox *generatedFrame);
    void connectControls();
    void connectSession();

    void showLists();
    void showAffixHint();
    void setInputsEnabled(bool enabled);
    void onExtensionItemChanged(QListWidgetItem *item);

    // Owned only when the window runs its slices on Qt's event loop itself.
    std::unique_ptr<core::Scheduler> m_ownScheduler;
    // The window's own notice: its messages open over this window.
    std::unique_ptr<core::UserNotice> m_notice;
    std::unique_ptr<sources::GeneratorSession> m_session;
    SaveDialog m_saveDialog;
    bool m_reloadOnShow = false;

    QLabel *m_baseWordLabel = nullptr;
    QLineEdit *m_baseWordEdit = nullptr;
    QPushButton *m_startButton = nullptr;
    QCheckBox *m_switchBoxes[sources::kAffixSwitchCount] = {};
    QLabel *m_affixLabel = nullptr;
    QLineEdit *m_affixEdit = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QListWidget *m_affixList = nullptr;
    QLabel *m_affixHint = nullptr; // shown while the word list is empty
    QListWidget *m_extensionList = nullptr;
    QListView *m_generatedList = nullptr;
    GeneratedNamesModel *m_generatedModel = nullptr;
    QPushButton *m_saveAsButton = nullptr;
    QLineEdit *m_statusLine = nullptr;
};

} // namespace wendlecott::ui
