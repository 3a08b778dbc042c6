#include "ui/ResultListsView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace wendlecott::ui {

namespace {

using core::ListId;

int indexOf(ListId id)
{
    return static_cast<int>(id);
}

QString named(const char *control, ListId id)
{
    return QString::fromLatin1(control) + QString::number(indexOf(id));
}

// Gaps after each column, in pixels: the three profile lists stand close together as one group.
constexpr std::array<int, 4> kGapsAfter = {5, 5, 20, 20};

} // namespace

ResultListsView::ResultListsView(core::ResultLists &lists, QWidget *parent) : QWidget(parent), m_lists(lists)
{
    setObjectName(QStringLiteral("ResultListsView"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(0);
    for (std::size_t i = 0; i < kColumnOrder.size(); ++i) {
        row->addWidget(buildColumn(kColumnOrder[i]), 1);
        if (i < kGapsAfter.size())
            row->addSpacing(kGapsAfter[i]);
    }
    connect(&m_lists, &core::ResultLists::captionChanged, this, &ResultListsView::updateCaption);
    for (ListId id : kColumnOrder)
        watchModel(id);
}

// The caption's tooltip follows the list's size, and a new entry is scrolled into view while
// the user stays at the end of the list.
void ResultListsView::watchModel(ListId id)
{
    const int i = indexOf(id) - 1;
    QAbstractItemModel *model = m_columns[i].list->model();
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this, id, i] { m_follow[i] = followsNewEntries(id); });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this, id, i] {
        if (m_follow[i])
            m_columns[i].list->scrollToBottom();
        updateCaptionTooltip(id);
    });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this, id] { updateCaptionTooltip(id); });
    connect(model, &QAbstractItemModel::modelReset, this, [this, id] { updateCaptionTooltip(id); });
    updateCaptionTooltip(id);
}

bool ResultListsView::followsNewEntries(ListId id) const
{
    const QListView *list = listView(id);
    if (list == nullptr)
        return false;
    const QScrollBar *bar = list->verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void ResultListsView::updateCaptionTooltip(ListId id)
{
    if (QLabel *l = label(id))
        l->setToolTip(core::captionTooltip(id, m_lists.entries(id).size()));
}

QWidget *ResultListsView::buildColumn(ListId id)
{
    Column &column = m_columns[indexOf(id) - 1];
    auto *box = new QWidget(this);
    column.box = box;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);

    column.label = new QLabel(m_lists.caption(id), box);
    column.label->setObjectName(named("Label", id));
    column.label->setFont(QFont(QStringLiteral("Verdana")));
    layout->addWidget(column.label);
    column.list = buildList(id, box);
    layout->addWidget(column.list, 1);
    layout->addLayout(buildButtons(id, box));
    return box;
}

QListView *ResultListsView::buildList(ListId id, QWidget *box)
{
    auto *list = new QListView(box);
    list->setObjectName(named("List", id));
    list->setFont(QFont(QStringLiteral("Verdana")));
    list->setToolTip(core::listTooltip(id));
    list->setUniformItemSizes(true); // cheap layout while tens of thousands of names arrive
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setModel(m_lists.model(id)); // the list view makes and owns the selection
    if (id != ListId::Saved) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setDragEnabled(true);
        list->setDragDropMode(QAbstractItemView::DragOnly);
        list->setDefaultDropAction(Qt::CopyAction);
    } else {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setAcceptDrops(true);
        list->setDragDropMode(QAbstractItemView::DropOnly);
        list->setDefaultDropAction(Qt::CopyAction);
        list->setDropIndicatorShown(false); // a drop always goes to the end
    }
    list->installEventFilter(this);
    // A press already names the drag source: a drag starts before any click is complete.
    connect(list, &QAbstractItemView::pressed, this, [this, id] { m_lists.setDragSourceList(id); });
    connect(list, &QAbstractItemView::clicked, this, [this, id] { m_lists.setDragSourceList(id); });
    connect(list, &QAbstractItemView::doubleClicked, this,
            [this, id](const QModelIndex &index) { m_lists.openEntry(id, index.row()); });
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, id](const QPoint &position) { showEntryMenu(id, position); });
    return list;
}

QHBoxLayout *ResultListsView::buildButtons(ListId id, QWidget *box)
{
    Column &column = m_columns[indexOf(id) - 1];
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(kButtonSpacing);
    auto makeButton = [&](const char *control, const QString &text, const QString &tooltip) {
        auto *button = new QPushButton(text, box);
        button->setObjectName(named(control, id));
        button->setToolTip(tooltip);
        button->setFocusPolicy(Qt::NoFocus); // the list keeps the focus and its current entry
        buttons->addWidget(button);
        return button;
    };
    column.copy = makeButton("cmdCopy_", QStringLiteral("Copy"), QStringLiteral("Copy List"));
    column.clear = makeButton("cmdClear_", QStringLiteral("Delete"), QStringLiteral("Delete Selected Item"));
    column.clear2 = makeButton("cmdClear2_", QStringLiteral("Clear"), QString());
    buttons->addStretch(1);
    connect(column.copy, &QPushButton::clicked, this, [this, id] { m_lists.copyList(id); });
    connect(column.clear, &QPushButton::clicked, this, [this, id] { deleteSelected(id); });
    connect(column.clear2, &QPushButton::clicked, this, [this, id] { m_lists.clearList(id); });
    return buttons;
}

QListView *ResultListsView::listView(ListId id) const
{
    const int i = indexOf(id) - 1;
    return i >= 0 && i < 5 ? m_columns[i].list : nullptr;
}

QLabel *ResultListsView::label(ListId id) const
{
    const int i = indexOf(id) - 1;
    return i >= 0 && i < 5 ? m_columns[i].label : nullptr;
}

void ResultListsView::placeColumns(const std::array<ColumnPlacement, 5> &columns)
{
    if (!m_placed) {
        // From now on the window's rules place every control; the layouts would fight them.
        delete layout();
        for (Column &column : m_columns)
            delete column.box->layout(); // its button row goes with it
        m_placed = true;
    }
    for (std::size_t i = 0; i < kColumnOrder.size(); ++i) {
        const Column &column = m_columns[indexOf(kColumnOrder[i]) - 1];
        const ColumnPlacement &place = columns[i];
        const QRect extent = place.label.united(place.list).united(place.buttons);
        column.box->setGeometry(extent);
        const QPoint origin = extent.topLeft();
        column.label->setGeometry(place.label.translated(-origin));
        column.list->setGeometry(place.list.translated(-origin));
        placeButtons(column, place.buttons.translated(-origin));
    }
}

QMenu *ResultListsView::entryMenu(ListId id, int row, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("mnuEntry"));
    if (row < 0 || row >= m_lists.entries(id).size())
        return menu;
    // A run may file names while the menu is open: the command finds its entry again by name.
    const QString entry = m_lists.entries(id).at(row);
    const auto rowNow = [this, id, entry] { return m_lists.entries(id).indexOf(entry); };
    const auto add = [&](const char *name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    connect(add("mnuShowAnswer", QStringLiteral("Show answer")), &QAction::triggered, this,
            [this, id, entry, rowNow] {
                if (!m_storeHooks.showStoredAnswer || !m_storeHooks.showStoredAnswer(entry))
                    m_lists.showAnswer(id, rowNow());
            });
    connect(add("mnuCopyEntry", QStringLiteral("Copy")), &QAction::triggered, this,
            [this, id, rowNow] { m_lists.copyEntry(id, rowNow()); });
    connect(add("mnuPurchasePage", QStringLiteral("Open purchase page")), &QAction::triggered, this,
            [this, id, rowNow] { m_lists.openPurchasePage(id, rowNow()); });
    QAction *watch = add("mnuWatchEntry", QStringLiteral("Watch"));
    menu->setToolTipsVisible(true);
    if (m_storeHooks.watch)
        connect(watch, &QAction::triggered, this, [this, entry] { m_storeHooks.watch(entry); });
    else
        watch->setEnabled(false);
    watch->setToolTip(m_storeHooks.watch ? QStringLiteral("Add %1 to the watch list").arg(entry)
                                         : m_storeHooks.unavailable);
    return menu;
}

void ResultListsView::showEntryMenu(ListId id, const QPoint &position)
{
    QListView *list = listView(id);
    const QModelIndex index = list ? list->indexAt(position) : QModelIndex();
    if (!index.isValid())
        return;
    QMenu *menu = entryMenu(id, index.row(), this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(list->viewport()->mapToGlobal(position));
}

// The three buttons side by side from the left of the row, each as wide as it likes while
// they fit, else as wide as its text needs, else sharing the row equally.
void ResultListsView::placeButtons(const Column &column, const QRect &row)
{
    QPushButton *buttons[3] = {column.copy, column.clear, column.clear2};
    int wanted = 2 * kButtonSpacing;
    int compact = 2 * kButtonSpacing;
    for (QPushButton *button : buttons) {
        wanted += button->sizeHint().width();
        compact += compactWidth(button);
    }
    const int share = std::max(0, (row.width() - 2 * kButtonSpacing) / 3);
    int x = row.left();
    for (QPushButton *button : buttons) {
        int width = share;
        if (wanted <= row.width())
            width = button->sizeHint().width();
        else if (compact <= row.width())
            width = compactWidth(button);
        button->setGeometry(x, row.top(), width, row.height());
        x += width + kButtonSpacing;
    }
}

int ResultListsView::compactWidth(const QPushButton *button)
{
    return button->fontMetrics().horizontalAdvance(button->text()) + kButtonTextPadding;
}

int ResultListsView::minimumColumnWidth() const
{
    int widest = 0;
    for (const Column &column : m_columns) {
        int buttons = 2 * kButtonSpacing;
        for (const QPushButton *button : {column.copy, column.clear, column.clear2})
            buttons += compactWidth(button);
        const ListId id = listIdOf(column.list);
        const QString caption = isResultList(id) ? core::countedCaption(id, 999999) : m_lists.caption(id);
        widest = std::max({widest, buttons, column.label->fontMetrics().horizontalAdvance(caption) + 4});
    }
    return widest;
}

void ResultListsView::updateCaption(ListId id, const QString &caption)
{
    if (QLabel *l = label(id))
        l->setText(caption);
}

ListId ResultListsView::currentList() const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].list->hasFocus())
            return static_cast<ListId>(i + 1);
    }
    return m_lists.dragSourceList();
}

void ResultListsView::copySelected(ListId id)
{
    QListView *list = listView(id);
    if (list == nullptr)
        return;
    QList<qsizetype> rows;
    for (const QModelIndex &index : list->selectionModel()->selectedIndexes())
        rows.append(index.row());
    if (rows.isEmpty()) {
        m_lists.copyList(id);
        return;
    }
    std::sort(rows.begin(), rows.end());
    m_lists.copyEntries(id, rows);
}

ListId ResultListsView::listIdOf(const QObject *object) const
{
    for (int i = 0; i < 5; ++i) {
        if (m_columns[i].list == object)
            return static_cast<ListId>(i + 1);
    }
    return ListId::None;
}

ResultListsView::KeyCommand ResultListsView::commandForKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_Delete)
        return KeyCommand::None;
    // The shift state counts Shift, Ctrl, Alt and Meta; the keypad flag is not part of it.
    const Qt::KeyboardModifiers state =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return state == Qt::ShiftModifier ? KeyCommand::ClearList : KeyCommand::DeleteSelected;
}

void ResultListsView::deleteSelected(ListId id)
{
    QListView *list = listView(id);
    if (list == nullptr)
        return;
    QItemSelectionModel *selection = list->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid() || !m_lists.deleteEntry(id, current.row()))
        return;
    // The entry that moved up into the gap becomes the selected one, so what a second Delete
    // removes is what the list shows highlighted.
    const int rows = list->model()->rowCount();
    if (rows > 0)
        selection->setCurrentIndex(list->model()->index(std::min(current.row(), rows - 1), 0),
                                   QItemSelectionModel::ClearAndSelect);
    else
        selection->clear();
}

bool ResultListsView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const ListId id = listIdOf(watched);
        const auto *key = static_cast<QKeyEvent *>(event);
        const KeyCommand command = commandForKey(key->key(), key->modifiers());
        if (id != ListId::None && command != KeyCommand::None) {
            if (command == KeyCommand::ClearList)
                m_lists.clearList(id);
            else
                deleteSelected(id);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace wendlecott::ui
