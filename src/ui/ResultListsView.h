#pragma once

#include "core/ResultLists.h"

#include <QRect>
#include <QWidget>

#include <array>

class QHBoxLayout;
class QLabel;
class QListView;
class QMenu;
class QPushButton;

namespace wendlecott::ui {

// The five result lists side by side (High, Mid, Low, Registered, Saved), each with its
// caption label and its Copy, Delete and Clear buttons. The lists show the models of
// core::ResultLists directly. The view keeps what the user selected in each list and maps
// buttons, keys and clicks to the commands of core::ResultLists with the rows they act on.
// The lists must outlive the view.
class ResultListsView final : public QWidget {
    Q_OBJECT
public:
    explicit ResultListsView(core::ResultLists &lists, QWidget *parent = nullptr);

    // Left to right.
    static constexpr std::array<core::ListId, 5> kColumnOrder = {core::ListId::High, core::ListId::Mid,
                                                                 core::ListId::Low, core::ListId::Registered,
                                                                 core::ListId::Saved};

    QListView *listView(core::ListId id) const;
    QLabel *label(core::ListId id) const;

    // What a key pressed on a list does: Delete with exactly Shift held clears the list,
    // Delete with any other modifiers deletes the selected entry; other keys do nothing.
    enum class KeyCommand { None, DeleteSelected, ClearList };
    static KeyCommand commandForKey(int key, Qt::KeyboardModifiers modifiers);

    // Deletes the list's current entry (the one with the focus), if any; the entry that
    // moves up into its place becomes the current one.
    void deleteSelected(core::ListId id);

    // Where one column's caption, list and button row go, in this view's coordinates.
    struct ColumnPlacement {
        QRect label;
        QRect list;
        QRect buttons;
    };
    // Places the columns (in kColumnOrder) where the main window's resize rules put them.
    // Until the first call the view lays its columns out side by side by itself; from then
    // on it keeps the placement it was given.
    void placeColumns(const std::array<ColumnPlacement, 5> &columns);

    // The context menu of a list entry: "Show answer", "Copy", "Open purchase page"; empty
    // (not shown) where no entry is.
    QMenu *entryMenu(core::ListId id, int row, QWidget *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Column {
        QWidget *box = nullptr;
        QLabel *label = nullptr;
        QListView *list = nullptr;
        QPushButton *copy = nullptr;
        QPushButton *clear = nullptr;
        QPushButton *clear2 = nullptr;
    };

    QWidget *buildColumn(core::ListId id);
    QListView *buildList(core::ListId id, QWidget *box);
    QHBoxLayout *buildButtons(core::ListId id, QWidget *box);
    void updateCaption(core::ListId id, const QString &caption);
    void showEntryMenu(core::ListId id, const QPoint &position);
    core::ListId listIdOf(const QObject *object) const;

    core::ResultLists &m_lists;
    std::array<Column, 5> m_columns; // by ListId - 1
    bool m_placed = false;           // placed by placeColumns, no longer by layouts
};

} // namespace wendlecott::ui
