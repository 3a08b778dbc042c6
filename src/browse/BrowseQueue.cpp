#include "browse/BrowseQueue.h"

#include "core/base/TextFile.h"
#include "core/lists/RunSource.h"

#include <QFile>

#include <limits>

namespace wendlecott::browse {

void BrowseQueue::remove()
{
    m_reader.reset();
    QFile::remove(m_path);
}

core::Status BrowseQueue::append(const QString &text)
{
    return core::appendText(m_path, text);
}

QString BrowseQueue::readQueuedName(qint32 index)
{
    if (index < 0 || index == std::numeric_limits<qint32>::max())
        return core::kEndOfListSentinel;
    core::Result<QString> name = m_reader.readEntry(m_path, index + 1);
    if (!name)
        return core::kEndOfListSentinel;
    return std::move(name).value();
}

} // namespace wendlecott::browse
