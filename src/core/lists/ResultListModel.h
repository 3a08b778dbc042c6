#pragma once

#include "core/lists/ListRules.h"

#include <QAbstractListModel>
#include <QStringList>

namespace wendlecott::core {

// One list as a model the windows show directly: the entries live here and nowhere else.
// Lists 1 to 4 start drags of their rows; list 5, the saved list, takes drops. What a drag
// or drop means for the lists is left to the owner, told through the two signals.
class ResultListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    // The drag text of a list: the selected rows, ascending, joined by "|".
    static constexpr char kDragMimeType[] = "text/plain";

    explicit ResultListModel(ListId id, QObject *parent = nullptr);

    ListId id() const { return m_id; }
    const QStringList &entries() const { return m_entries; }
    qsizetype size() const { return m_entries.size(); }
    QString at(qsizetype row) const { return m_entries.value(row); }

    void append(const QString &entry);
    void append(const QStringList &entries);
    void removeAt(qsizetype row);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

Q_SIGNALS:
    // A drag of this list's rows begins; the drag text holds indexes into this list.
    void dragStarted(wendlecott::core::ListId id) const;
    // Plain text was dropped on this list (the saved list only).
    void textDropped(const QString &text);

private:
    bool acceptsDrops() const { return m_id == ListId::Saved; }
    bool startsDrags() const { return isResultList(m_id); }

    ListId m_id;
    QStringList m_entries;
};

} // namespace wendlecott::core
