#pragma once

#include "core/base/Result.h"
#include "core/store/AnswerExport.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace wendlecott::ui {

// File > "Export answers...": the choices of the command line's export (format, verdict, the
// day from which answers count) and the file to write, written through the same export and
// replaced whole or not at all. A failure is shown in the dialog, which stays open. Without
// a store it shows why and exports nothing.
class ExportDialog final : public QDialog {
    Q_OBJECT
public:
    // The save-file dialog: the chosen path, or an empty text when cancelled.
    using SaveFileDialog =
        std::function<QString(QWidget *parent, const QString &suggested, const QString &filter)>;

    ExportDialog(store::AnswerStore *store, const QString &folder, QWidget *parent = nullptr);

    void setSaveFileDialog(SaveFileDialog dialog) { m_saveFileDialog = std::move(dialog); }

    // The choices as the export takes them.
    store::ExportFormat format() const;
    store::ExportFilter filter() const;
    QString path() const;

    // Asks for a file when none is chosen, then writes it; closes the dialog when written.
    core::Status exportNow();

    QComboBox *formatBox() const { return m_format; }
    QComboBox *verdictBox() const { return m_verdict; }
    QCheckBox *sinceBox() const { return m_sinceOn; }
    QDateEdit *sinceEdit() const { return m_since; }
    QLineEdit *pathEdit() const { return m_path; }
    QPushButton *exportButton() const { return m_export; }
    QString problemText() const;

private:
    void chooseFile();
    void followFormat();

    store::AnswerStore *m_store;
    SaveFileDialog m_saveFileDialog;
    QComboBox *m_format = nullptr;
    QComboBox *m_verdict = nullptr;
    QCheckBox *m_sinceOn = nullptr;
    QDateEdit *m_since = nullptr;
    QLineEdit *m_path = nullptr;
    QPushButton *m_browse = nullptr;
    QPushButton *m_export = nullptr;
    QLabel *m_problem = nullptr;
};

} // namespace wendlecott::ui
