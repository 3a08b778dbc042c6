#pragma once

#include "core/ResultLists.h"

#include <QRect>
#include <QWidget>

#include <array>

class QLabel;
class QListView;
class QPushButton;

namespace wendlecott::ui {

// The five result lists side by side (High, Mid, Low, Registered, Saved), each with its
// caption label and its Copy, Delete and Clear buttons. The lists show the models of
// core::ResultLists directly; every command goes to it. The lists must outlive the view.
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
    void updateCaption(core::ListId id, const QString &caption);
    core::ListId listIdOf(const QObject *object) const;

    core::ResultLists &m_lists;
    std::array<Column, 5> m_columns; // by ListId - 1
    bool m_placed = false;           // placed by placeColumns, no longer by layouts
};

} // namespace wendlecott::ui
