#include "ui/ResultListsView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
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
}

QWidget *ResultListsView::buildColumn(ListId id)
{
    const QFont verdana(QStringLiteral("Verdana"));
    const bool resultList = id != ListId::Saved;
    Column &column = m_columns[indexOf(id) - 1];

    auto *box = new QWidget(this);
    column.box = box;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);

    column.label = new QLabel(m_lists.caption(id), box);
    column.label->setObjectName(named("Label", id));
    column.label->setFont(verdana);
    column.label->setToolTip(core::listTooltip(id));
    layout->addWidget(column.label);

    auto *list = new QListView(box);
    column.list = list;
    list->setObjectName(named("List", id));
    list->setFont(verdana);
    list->setToolTip(core::listTooltip(id));
    list->setUniformItemSizes(true); // cheap layout while tens of thousands of names arrive
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setModel(m_lists.model(id));
    // The logic owns the selection, so the commands see what the user selected here.
    QItemSelectionModel *own = list->selectionModel();
    list->setSelectionModel(m_lists.selectionModel(id));
    delete own;
    if (resultList) {
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
    connect(list, &QAbstractItemView::pressed, this, [this, id] { m_lists.listClicked(id); });
    connect(list, &QAbstractItemView::clicked, this, [this, id] { m_lists.listClicked(id); });
    connect(list, &QAbstractItemView::doubleClicked, this, [this, id] { m_lists.listDoubleClicked(id); });
    layout->addWidget(list, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(3);
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
    connect(column.copy, &QPushButton::clicked, this, [this, id] { m_lists.cmdCopy_Click(id); });
    connect(column.clear, &QPushButton::clicked, this, [this, id] { m_lists.cmdClear_Click(id); });
    connect(column.clear2, &QPushButton::clicked, this, [this, id] { m_lists.cmdClear2_Click(id); });
    layout->addLayout(buttons);
    return box;
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

        // The three buttons side by side from the left of the row, each as wide as it likes
        // while they fit, else sharing the row equally.
        const QRect row = place.buttons.translated(-origin);
        constexpr int kSpacing = 3;
        QPushButton *buttons[3] = {column.copy, column.clear, column.clear2};
        int wanted = 2 * kSpacing;
        for (QPushButton *button : buttons)
            wanted += button->sizeHint().width();
        const int share = std::max(0, (row.width() - 2 * kSpacing) / 3);
        int x = row.left();
        for (QPushButton *button : buttons) {
            const int width = wanted <= row.width() ? button->sizeHint().width() : share;
            button->setGeometry(x, row.top(), width, row.height());
            x += width + kSpacing;
        }
    }
}

void ResultListsView::updateCaption(ListId id, const QString &caption)
{
    if (QLabel *l = label(id))
        l->setText(caption);
}

ListId ResultListsView::listIdOf(const QObject *object) const
{
    for (int i = 0; i < 5; ++i) {
        if (m_columns[i].list == object)
            return static_cast<ListId>(i + 1);
    }
    return ListId::None;
}

bool ResultListsView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const ListId id = listIdOf(watched);
        const auto *key = static_cast<QKeyEvent *>(event);
        if (id != ListId::None && m_lists.listKeyDown(id, key->key(), key->modifiers()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace wendlecott::ui
