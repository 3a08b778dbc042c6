#include "ui/WatchWindow.h"

#include "core/store/AnswerStore.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <array>
#include <limits>
#include <utility>

namespace wendlecott::ui {

namespace {

const QString kNoStore = QStringLiteral("The answer store could not be opened, so there is no watch list.");
// Marked rows stand out without hiding the text's own colour.
const QColor kMarkedColour(255, 226, 168);

QString dayText(const QDateTime &date)
{
    return date.isValid() ? date.toUTC().toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QString timeText(const QDateTime &date)
{
    return date.isValid() ? date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
}

// Unknown dates sort after the known ones when the column goes from early to late.
qint64 dateKey(const QDateTime &date)
{
    return date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max();
}

} // namespace

WatchWindow::WatchWindow(store::AnswerStore *store, QWidget *parent)
    : QWidget(parent, Qt::Window), m_store(store), m_now([] { return QDateTime::currentDateTimeUtc(); })
{
    setObjectName(QStringLiteral("frmWatch"));
    setWindowTitle(QStringLiteral("Watch list"));
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    buildControls();
    resize(960, 420);
    refresh();
}

void WatchWindow::buildControls()
{
    m_model = new QStandardItemModel(0, ColumnCount, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Verdict"),
                                        QStringLiteral("Expires"), QStringLiteral("Days left"),
                                        QStringLiteral("Statuses"), QStringLiteral("Last checked (UTC)"),
                                        QStringLiteral("Last change (UTC)")});
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(kSortRole);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tblWatch"));
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(Name, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(true);

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("txtWatchName"));
    m_nameEdit->setPlaceholderText(QStringLiteral("example.com"));
    m_addButton = new QPushButton(QStringLiteral("&Add"), this);
    m_addButton->setObjectName(QStringLiteral("cmdWatchAdd"));
    m_removeButton = new QPushButton(QStringLiteral("&Remove"), this);
    m_removeButton->setObjectName(QStringLiteral("cmdWatchRemove"));
    m_checkButton = new QPushButton(QStringLiteral("&Check now"), this);
    m_checkButton->setObjectName(QStringLiteral("cmdWatchCheck"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblWatchStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_nameEdit, 1);
    buttons->addWidget(m_addButton);
    buttons->addSpacing(12);
    buttons->addWidget(m_removeButton);
    buttons->addWidget(m_checkButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_status);

    connect(m_addButton, &QPushButton::clicked, this, [this] {
        if (addNames(m_nameEdit->text()))
            m_nameEdit->clear();
    });
    connect(m_nameEdit, &QLineEdit::returnPressed, m_addButton, &QPushButton::click);
    connect(m_removeButton, &QPushButton::clicked, this, [this] { (void)removeSelected(); });
    connect(m_checkButton, &QPushButton::clicked, this, [this] {
        if (m_checkNow && !m_checkNow())
            m_status->setText(QStringLiteral("A check goes already, or no name is watched."));
    });
    m_checkButton->setEnabled(false); // until a check is offered
    if (!m_store) {
        for (QWidget *control : std::initializer_list<QWidget *>{m_nameEdit, m_addButton, m_removeButton})
            control->setEnabled(false);
        for (QWidget *control :
             std::initializer_list<QWidget *>{m_nameEdit, m_addButton, m_removeButton, m_checkButton})
            control->setToolTip(kNoStore);
        m_status->setText(kNoStore);
    }
}

void WatchWindow::setCheckNow(std::function<bool()> check)
{
    m_checkNow = std::move(check);
    m_checkButton->setEnabled(m_store && m_checkNow);
}

void WatchWindow::refresh()
{
    if (!m_store)
        return;
    const core::Result<QList<store::WatchRow>> rows = store::watchRows(*m_store, m_now());
    if (!rows) {
        showProblem(rows.status());
        return;
    }
    m_model->setRowCount(0);
    m_model->setRowCount(int(rows.value().size()));
    for (int row = 0; row < m_model->rowCount(); ++row)
        fillRow(row, rows.value().at(row));
    m_table->resizeColumnsToContents();
    qsizetype marked = 0;
    for (const store::WatchRow &row : rows.value())
        marked += store::isMarked(row) ? 1 : 0;
    QStringList lines{QStringLiteral("%1 names watched, %2 marked.").arg(rows.value().size()).arg(marked)};
    m_status->setText((lines + m_notices).join(QLatin1Char('\n')));
}

void WatchWindow::fillRow(int row, const store::WatchRow &watch)
{
    QStringList statuses;
    for (const QString &status : watch.statuses)
        statuses.append(store::shortStatus(status));
    const QString verdict = watch.verdict ? core::verdictName(*watch.verdict) : QString();
    const QVariant days =
        watch.daysLeft ? QVariant(*watch.daysLeft) : QVariant(std::numeric_limits<qint64>::max());
    const std::array<std::pair<QString, QVariant>, ColumnCount> cells{{
        {watch.name, watch.name},
        {verdict, verdict},
        {dayText(watch.expires), dateKey(watch.expires)},
        {watch.daysLeft ? QString::number(*watch.daysLeft) : QString(), days},
        {statuses.join(QStringLiteral(", ")), statuses.join(QLatin1Char(','))},
        {timeText(watch.lastChecked), dateKey(watch.lastChecked)},
        {timeText(watch.lastChange), dateKey(watch.lastChange)},
    }};
    const QString reason = store::attentionReason(watch);
    for (int column = 0; column < ColumnCount; ++column) {
        auto *item = new QStandardItem(cells[column].first);
        item->setData(cells[column].second, kSortRole);
        item->setData(!reason.isEmpty(), kMarkedRole);
        if (!reason.isEmpty()) {
            item->setBackground(kMarkedColour);
            item->setToolTip(reason);
        }
        if (column == DaysLeft)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_model->setItem(row, column, item);
    }
}

core::Status WatchWindow::addNames(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    const QStringList names = text.split(separators, Qt::SkipEmptyParts);
    if (!m_store || names.isEmpty())
        return {};
    const core::Status added = m_store->watchAdd(names);
    refresh();
    showProblem(added);
    return added;
}

core::Status WatchWindow::removeSelected()
{
    if (!m_store)
        return {};
    QStringList names;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows(Name))
        names.append(index.data().toString());
    if (names.isEmpty())
        return {};
    const core::Status removed = m_store->watchRemove(names);
    refresh();
    showProblem(removed);
    return removed;
}

void WatchWindow::showChecking(bool checking)
{
    if (checking)
        m_status->setText(QStringLiteral("Checking the watched names ..."));
    else
        refresh();
}

void WatchWindow::showNotice(const QString &text)
{
    m_notices.append(text);
    m_status->setText(m_status->text() + QLatin1Char('\n') + text);
}

void WatchWindow::showProblem(const core::Status &status)
{
    if (!status)
        m_status->setText(
            QStringLiteral("The watch list could not be changed or read: %1").arg(status.message()));
}

QStringList WatchWindow::columnTexts(int column) const
{
    QStringList texts;
    for (int row = 0; row < m_sorted->rowCount(); ++row)
        texts.append(m_sorted->index(row, column).data().toString());
    return texts;
}

} // namespace wendlecott::ui
