#pragma once

#include "core/lists/RunSource.h"

#include <QList>
#include <QObject>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::core {
class CheckRun;
} // namespace wendlecott::core

namespace wendlecott::ui {

// The controls of a run over a list in the main window's strip: the start position
// (txtWordNum), the entry count (txtWordMax), Start (cmdDoSearch) and Stop (Command3), the
// extension box (cmbTLDs) with the extensions ticked beside it (cmdTLDs); and the run they
// drive. What the run reports comes out as this object's signals, whichever run it is.
class RunControls final : public QObject {
    Q_OBJECT
public:
    // The widgets are made as children of `strip`, which lays them out.
    RunControls(config::AppState &state, QWidget *strip, QObject *parent);

    QLineEdit *startPositionEdit() const { return m_startPositionEdit; }
    QLineEdit *entryCountEdit() const { return m_entryCountEdit; }
    QPushButton *startButton() const { return m_startButton; }
    QPushButton *stopButton() const { return m_stopButton; }
    QComboBox *extensionBox() const { return m_extensionBox; }
    // The word-list group in the strip's order: the positions, Start, and the extensions.
    // Stop is not among them: it stays for every source.
    QList<QWidget *> wordListWidgets() const;
    // Start could be clicked now (enabled, and shown for the current source).
    bool startAllowed() const;
    bool stopAllowed() const;

    core::CheckRun &run() const { return *m_run; }
    bool isRunActive() const;
    // Starts the run the choices ask for over `source`.
    void startChosenRun(core::RunSource source, qint32 start, qint32 count);
    void stopRun();

    // cmbTLDs and the ticks offer these extensions; a choice still offered stays chosen.
    void setExtensionChoices(const QStringList &choices);
    QStringList tickedExtensions() const;
    void setExtensionTicked(const QString &extension, bool ticked);

Q_SIGNALS:
    // A status-bar panel (0, 1, 2) got a new text.
    void panelChanged(int panel, const QString &text);
    void progressChanged(qint32 position, qint32 count);
    void passedOver(int count);
    void invalidName(const QString &name, const QString &reason, int count);
    // Names of this run filed Registered by their delegation, without asking the registry.
    void settledByDns(int count);
    // The run ended; the resume positions are stored by then.
    void stopped();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWidgets(QWidget *strip);
    void connectCheckRun();
    void refillExtensionTicks(const QStringList &choices);
    void showTickCount();

    config::AppState &m_state;
    core::CheckRun *m_run = nullptr;

    QLabel *m_startLabel = nullptr;
    QLineEdit *m_startPositionEdit = nullptr;
    QLabel *m_ofLabel = nullptr;
    QLineEdit *m_entryCountEdit = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QLabel *m_extensionLabel = nullptr;
    QComboBox *m_extensionBox = nullptr;
    QToolButton *m_extensionTicks = nullptr; // several extensions for one run
};

} // namespace wendlecott::ui
