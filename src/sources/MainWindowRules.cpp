#include "sources/MainWindowRules.h"

#include "config/FileUtils.h"
#include "core/pacing/ServerPacer.h"
#include "core/tld/TldTable.h"
#include "sources/ListSource.h"

#include <QDir>
#include <QSet>

#include <algorithm>
#include <limits>

namespace wendlecott::sources {

qint32 wholeNumber(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return 0;
    return qint32(
        std::clamp<qlonglong>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

SourcePanelText sourcePanelText(const QString &caption, const QString &listPath)
{
    const QString file = config::fileNamePart(listPath);
    SourcePanelText shown{QStringLiteral("No source chosen"), QStringLiteral("No source chosen")};
    if (caption.isEmpty())
        return shown;
    shown.text = file.isEmpty() ? caption : QStringLiteral("List: %1").arg(file);
    shown.tooltip = QStringLiteral("Source: %1").arg(caption);
    if (!file.isEmpty())
        shown.tooltip += QStringLiteral("\nList file: %1").arg(QDir::toNativeSeparators(listPath));
    return shown;
}

ProgressShown progressShown(qint32 position, qint32 count)
{
    const qint32 maximum = std::max<qint32>(count, 0);
    const qint32 value = std::clamp<qint32>(position, 0, maximum);
    return {std::max<qint32>(maximum, 1), value, QStringLiteral("%1 of %2").arg(value).arg(maximum)};
}

QString extensionTicksCaption(qsizetype ticked)
{
    return ticked > 0 ? QStringLiteral("TLDs (%1)").arg(ticked) : QStringLiteral("TLDs");
}

bool reselectSourceAfterRun(const QString &caption)
{
    const NameSource *source = findNameSource(caption);
    return source && source->kind != SourceKind::CustomList && source->kind != SourceKind::Generate &&
           source->kind != SourceKind::Browse;
}

SourceWindowNeeded windowNeededBy(int sourceIndex)
{
    const auto &all = nameSources();
    if (sourceIndex < 0 || sourceIndex >= int(all.size()))
        return SourceWindowNeeded::None;
    switch (all[std::size_t(sourceIndex)].kind) {
    case SourceKind::Browse:
        return SourceWindowNeeded::Browse;
    case SourceKind::Search:
        return SourceWindowNeeded::ListBuilder;
    default:
        return SourceWindowNeeded::None;
    }
}

QList<QPair<QString, qint64>> pausedWhoisServers(const core::TldTable &table, const core::ServerPacer &pacer)
{
    QList<QPair<QString, qint64>> paused;
    QSet<QString> seen;
    for (const core::TldEntry &row : table.rows) {
        const QString key = QStringLiteral("%1:%2").arg(row.server).arg(row.port);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        if (const qint64 left = pacer.pausedFor(key); left > 0)
            paused.append({key, left});
    }
    return paused;
}

QString backOffText(QList<QPair<QString, qint64>> paused, int shown)
{
    paused.removeIf([](const QPair<QString, qint64> &server) { return server.second <= 0; });
    if (paused.isEmpty())
        return {};
    std::stable_sort(paused.begin(), paused.end(),
                     [](const auto &a, const auto &b) { return a.second > b.second; });
    QStringList parts;
    for (qsizetype i = 0; i < paused.size() && i < std::max(shown, 1); ++i) {
        const qint64 seconds = (paused[i].second + 999) / 1000;
        parts.append(QStringLiteral("%1 asked again in %2 s").arg(paused[i].first).arg(seconds));
    }
    QString text = QStringLiteral("Paused: ") + parts.join(QStringLiteral(", "));
    if (paused.size() > parts.size())
        text += QStringLiteral(" (+%1 more)").arg(paused.size() - parts.size());
    return text;
}

} // namespace wendlecott::sources
