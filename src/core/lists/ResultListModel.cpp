#include "core/lists/ResultListModel.h"

#include <QMimeData>

namespace wendlecott::core {

ResultListModel::ResultListModel(ListId id, QObject *parent) : QAbstractListModel(parent), m_id(id)
{
}

void ResultListModel::append(const QString &entry)
{
    const int row = static_cast<int>(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.append(entry);
    endInsertRows();
}

void ResultListModel::append(const QStringList &entries)
{
    if (entries.isEmpty())
        return;
    const int first = static_cast<int>(m_entries.size());
    beginInsertRows({}, first, first + static_cast<int>(entries.size()) - 1);
    m_entries.append(entries);
    endInsertRows();
}

void ResultListModel::removeAt(qsizetype row)
{
    if (row < 0 || row >= m_entries.size())
        return;
    beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
    m_entries.removeAt(row);
    endRemoveRows();
}

void ResultListModel::clear()
{
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

int ResultListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant ResultListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_entries.at(index.row());
    return {};
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return acceptsDrops() ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (startsDrags())
        f |= Qt::ItemIsDragEnabled;
    return f;
}

QStringList ResultListModel::mimeTypes() const
{
    return {QString::fromLatin1(kDragMimeType)};
}

QMimeData *ResultListModel::mimeData(const QModelIndexList &indexes) const
{
    if (!startsDrags())
        return nullptr;
    QList<int> rows;
    rows.reserve(indexes.size());
    for (const QModelIndex &index : indexes)
        rows.append(index.row());
    // The drag carries indexes into this list, so this list becomes the drag source.
    Q_EMIT dragStarted(m_id);
    auto *mime = new QMimeData;
    mime->setText(dragTextFor(rows, m_entries.size()));
    return mime;
}

Qt::DropActions ResultListModel::supportedDragActions() const
{
    // Copy only: a drag never takes entries out of a result list.
    return startsDrags() ? Qt::CopyAction : Qt::IgnoreAction;
}

Qt::DropActions ResultListModel::supportedDropActions() const
{
    return acceptsDrops() ? Qt::CopyAction : Qt::IgnoreAction;
}

bool ResultListModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int, int,
                                      const QModelIndex &) const
{
    return acceptsDrops() && data != nullptr && data->hasText();
}

bool ResultListModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                   const QModelIndex &)
{
    if (action == Qt::IgnoreAction)
        return true;
    if (!acceptsDrops() || data == nullptr || !data->hasText())
        return false;
    Q_EMIT textDropped(data->text());
    return true;
}

} // namespace wendlecott::core

// Compiled here rather than in the library-wide moc file.
#include "moc_ResultListModel.cpp"
