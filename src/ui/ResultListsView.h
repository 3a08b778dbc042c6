#pragma once

#include "core/lists/ResultLists.h"

#include <QRect>
#include <QWidget>

#include <array>
#include <functional>

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
    // Copies the list's selected entries in list order, or the whole list when none is
    // selected.
    void copySelected(core::ListId id);
    // The list the user works in: the one with the keyboard focus, else the one clicked last.
    core::ListId currentList() const;
    // Whether a new entry of this list is scrolled into view: true while the user has not
    // scrolled up from the end of the list.
    bool followsNewEntries(core::ListId id) const;

    // Where one column's caption, list and button row go, in this view's coordinates.
    struct ColumnPlacement {
        QRect label;
        QRect list;
        QRect buttons;
    };
    // The narrowest a column can be with its caption (up to a six-digit count) and its three
    // buttons still readable, in pixels.
    int minimumColumnWidth() const;

    // Places the columns (in kColumnOrder) where the main window's resize rules put them.
    // Until the first call the view lays its columns out side by side by itself; from then
    // on it keeps the placement it was given.
    void placeColumns(const std::array<ColumnPlacement, 5> &columns);

    // What the entry menu does with the answer store. "Show answer" first offers the name to
    // `showStoredAnswer`, and asks the WHOIS window only when that showed nothing; "Watch"
    // hands the name to `watch`, and is disabled with `unavailable` as its tooltip while
    // `watch` is empty.
    struct StoreHooks {
        std::function<bool(const QString &name)> showStoredAnswer;
        std::function<void(const QString &name)> watch;
        QString unavailable;
    };
    void setStoreHooks(StoreHooks hooks) { m_storeHooks = std::move(hooks); }

    // The context menu of a list entry: "Show answer", "Copy", "Open purchase page", "Watch";
    // empty (not shown) where no entry is.
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

    // Between the buttons of a row, and what a button needs beside its text to show it whole.
    static constexpr int kButtonSpacing = 3;
    static constexpr int kButtonTextPadding = 14;
    static int compactWidth(const QPushButton *button);

    QWidget *buildColumn(core::ListId id);
    QListView *buildList(core::ListId id, QWidget *box);
    QHBoxLayout *buildButtons(core::ListId id, QWidget *box);
    void placeButtons(const Column &column, const QRect &row);
    void updateCaption(core::ListId id, const QString &caption);
    void showEntryMenu(core::ListId id, const QPoint &position);
    void updateCaptionTooltip(core::ListId id);
    void watchModel(core::ListId id);
    core::ListId listIdOf(const QObject *object) const;

    core::ResultLists &m_lists;
    std::array<Column, 5> m_columns; // by ListId - 1
    std::array<bool, 5> m_follow{};  // by ListId - 1: at the end of the list before an insert
    bool m_placed = false;           // placed by placeColumns, no longer by layouts
    StoreHooks m_storeHooks;
};

} // namespace wendlecott::ui
