#pragma once

#include "core/base/Result.h"
#include "core/store/WatchList.h"

#include <QDateTime>
#include <QStringList>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace wendlecott::store {
class AnswerStore;
}

namespace wendlecott::ui {

// The Watch window (Tools > "Watch list"): every watched name with its verdict, expiry, days
// left, statuses, last check and last change, sortable by any column. A name that wants
// attention (store::attentionReason) is marked and says why in its tooltip. Names are added
// by hand or from the result lists, and removed here. Without a store it shows why and offers
// nothing.
class WatchWindow final : public QWidget {
    Q_OBJECT
public:
    // The columns, left to right.
    enum Column { Name, Verdict, Expires, DaysLeft, Statuses, LastChecked, LastChange, ColumnCount };
    // Holds the value a column sorts by (dates and days as numbers, unknown ones largest).
    static constexpr int kSortRole = Qt::UserRole;
    // True on every cell of a marked row.
    static constexpr int kMarkedRole = Qt::UserRole + 1;

    WatchWindow(store::AnswerStore *store, QWidget *parent = nullptr);

    // "Check now" hands the check to `check`, which says whether one started.
    void setCheckNow(std::function<bool()> check);
    // The time rows are seen at (days left); the current time unless a test sets it.
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

    // Reads the watch list again.
    void refresh();
    // Adds the names in `text` (separated by blanks, commas or lines) to the watch list.
    core::Status addNames(const QString &text);
    // Removes the selected names.
    core::Status removeSelected();
    // Says in the window's status line that a check goes or ended.
    void showChecking(bool checking);
    // Adds a line under the window's status line, kept while the window is open.
    void showNotice(const QString &text);

    QTableView *table() const { return m_table; }
    // The rows as shown (sorted), for checks: the text of `column` in each.
    QStringList columnTexts(int column) const;

private:
    void buildControls();
    void fillRow(int row, const store::WatchRow &watch);
    void showProblem(const core::Status &status);

    store::AnswerStore *m_store;
    std::function<QDateTime()> m_now;
    std::function<bool()> m_checkNow;
    QStandardItemModel *m_model = nullptr;
    QSortFilterProxyModel *m_sorted = nullptr;
    QTableView *m_table = nullptr;
    QLineEdit *m_nameEdit = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_removeButton = nullptr;
    QPushButton *m_checkButton = nullptr;
    QLabel *m_status = nullptr;
    QStringList m_notices;
};

} // namespace wendlecott::ui
