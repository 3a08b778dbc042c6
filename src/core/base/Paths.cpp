#include "core/base/Paths.h"

#include <QDir>
#include <QFileInfo>

namespace wendlecott::core {

QString resolveUnder(const QString &folder, const QString &relative)
{
    QString normalised = relative;
    normalised.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = normalised.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = folder;
    bool exists = QFileInfo(current).isDir();
    for (const QString &part : parts) {
        QString chosen = part;
        if (exists) {
            const QDir dir(current);
            if (!dir.exists(part)) {
                const QStringList entries =
                    dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
                for (const QString &entry : entries) {
                    if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                        chosen = entry;
                        break;
                    }
                }
            }
        }
        current = current.isEmpty() ? chosen : current + QLatin1Char('/') + chosen;
        exists = exists && QFileInfo(current).isDir();
    }
    return current;
}

} // namespace wendlecott::core
