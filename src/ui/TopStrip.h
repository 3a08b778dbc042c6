#pragma once

#include <QFrame>
#include <QList>

#include <initializer_list>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace wendlecott::ui {

class RunControls;

// The strip at the top of the main window (object name "Frame1"): the source choice (Combo1),
// the run controls, the search box of the search-engine sources, Setup and the website
// button. One row of controls; a window too narrow for it puts Setup and the website button
// on a second row rather than cut captions short.
class TopStrip final : public QFrame {
    Q_OBJECT
public:
    static constexpr int kStripMargin = 8;
    static constexpr int kStripSpacing = 6;

    // The strip with its source choice; the run controls are made next, as its children.
    explicit TopStrip(QWidget *parent);
    // The run controls, the search box and the two buttons, in that order after the source.
    void addControls(const RunControls &run);

    static QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent);
    static QPushButton *makeButton(const QString &name, const QString &caption, const QString &tooltip,
                                   QWidget *parent);

    QComboBox *sourceBox() const { return m_sourceBox; }
    QLineEdit *searchEdit() const { return m_searchEdit; }
    QComboBox *searchTargetBox() const { return m_searchTargetBox; }
    QPushButton *searchButton() const { return m_searchButton; }
    QPushButton *setupButton() const { return m_setupButton; }
    QPushButton *websiteButton() const { return m_websiteButton; }

    // Setup, the search button and the sources that open a window follow whether that
    // window is in the program; until it is, their tooltip says it is not available yet.
    void setWindowsAvailable(bool setup, bool listBuilder, bool browse);
    // cmdCreate is enabled when the source and the run want it and the list builder is there.
    void setSearchButtonWanted(bool wanted);
    void setWordListControlsVisible(bool visible);
    void setSearchControlsVisible(bool visible);

    // The widths (pixels) of the source and run controls, and of Setup and the website button.
    int controlsWidth() const;
    int buttonsWidth() const;
    // One row when the window is wide enough for both together, otherwise two.
    void fitRowsTo(int windowWidth);
    int rowCount() const { return m_rowCount; }
    // How much higher (pixels) the second row makes the strip.
    int secondRowHeight() const;

private:
    void buildSourceControls();
    void buildSearchControls();
    void setRowCount(int rows);
    int widthOf(std::initializer_list<const QWidget *> widgets) const;

    QVBoxLayout *m_rows = nullptr;
    QHBoxLayout *m_firstRow = nullptr;
    QHBoxLayout *m_secondRow = nullptr;
    int m_rowCount = 1;
    bool m_searchButtonWanted = false;
    bool m_listBuilderAvailable = false;
    QList<QWidget *> m_wordList; // the run controls shown for the word-list sources
    QWidget *m_stopButton = nullptr;
    QLabel *m_sourceLabel = nullptr;
    QComboBox *m_sourceBox = nullptr;
    QLabel *m_searchLabel = nullptr;
    QLineEdit *m_searchEdit = nullptr;
    QLabel *m_searchTargetLabel = nullptr;
    QComboBox *m_searchTargetBox = nullptr;
    QPushButton *m_searchButton = nullptr;
    QPushButton *m_setupButton = nullptr;
    QPushButton *m_websiteButton = nullptr;
};

} // namespace wendlecott::ui
