#include "browse/BrowseCounts.h"

#include <QRegularExpression>

namespace wendlecott::browse {

QString withOwnCount(const QString &text, qint64 own)
{
    static const QRegularExpression counted(
        QStringLiteral("^(Checked |Unregistered: \\(|Registered: \\()-?\\d+( unique domains\\.|\\))$"));
    const QRegularExpressionMatch match = counted.match(text);
    if (!match.hasMatch())
        return text;
    return match.captured(1) + QString::number(own) + match.captured(2);
}

} // namespace wendlecott::browse
