#pragma once

#include "core/ResultLists.h"

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Column {
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
};

} // namespace wendlecott::ui
