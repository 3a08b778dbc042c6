#pragma once

#include "config/ProgramFolder.h"
#include "sources/Generator.h"

#include <QAbstractListModel>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;
class QTimer;

namespace wendlecott::config {
class SettingsStore;
}
namespace wendlecott::core {
class UserNotice;
}

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

// frmMake, the "Domain Name Creator": builds names from a base word, the words of
// Appends.txt and the checked extensions, writes them to CreatedDomains.txt and hands the
// count to the main window, which starts a check run over them.
class GeneratorWindow : public QWidget {
    Q_OBJECT
public:
    // Answers a save-file dialog: the chosen path, or an empty text when cancelled.
    using SaveDialog = std::function<QString(QWidget *parent, const QString &caption,
                                             const QString &proposedPath, const QString &filter)>;
    // Sets the main window's txtWordMax to the count and presses its Start.
    using StartRun = std::function<void(qint64 count)>;

    GeneratorWindow(config::ProgramFolder folder, config::SettingsStore &settings, core::UserNotice &notice,
                    QWidget *parent = nullptr);
    ~GeneratorWindow() override;

    void setStartRun(StartRun startRun) { m_startRun = std::move(startRun); }
    void setSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }
    // Names built per slice between returns to the event loop.
    void setSliceSize(qint64 names) { m_sliceSize = qMax<qint64>(1, names); }

    bool isGenerating() const { return m_generating; }

    // Reads the word list, the switches, the base word and the extension list, as when the
    // window opens.
    void loadFromFiles();

    // The commands of the window.
    void generateNames();
    void saveDomainsAs();
    void addWord();
    void removeWord();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void setInputsEnabled(bool enabled);
    void generateSlice();
    void writeAndStart();
    void onSwitchClicked(int index);

    config::ProgramFolder m_folder;
    config::SettingsStore &m_settings;
    core::UserNotice &m_notice;
    StartRun m_startRun;
    SaveDialog m_saveDialog;
    qint64 m_sliceSize = 20000;

    // The current or last generation; its names stay in List1 until the next one.
    std::unique_ptr<sources::GeneratorJob> m_job;
    bool m_generating = false;
    bool m_reloadOnShow = false;

    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QListView *m_list1 = nullptr;
    GeneratedNamesModel *m_list1Model = nullptr;
    QListWidget *m_list2 = nullptr;
    QListWidget *m_listView1 = nullptr;
    QCheckBox *m_chkAdd[3] = {};
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_cmdAdd = nullptr;
    QPushButton *m_cmdSub = nullptr;
    QLineEdit *m_txtStatus = nullptr;
    QTimer *m_sliceTimer = nullptr;
};

} // namespace wendlecott::ui
