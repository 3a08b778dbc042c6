#include "core/WhoisRequest.h"

#include "core/TextFile.h"

#include <QUrl>

#include <algorithm>

namespace wendlecott::core {

QByteArray whoisRequest(const QString &name)
{
    QString line = name;
    line.remove(QLatin1Char('\r'));
    line.remove(QLatin1Char('\n'));

    const bool ascii = std::all_of(line.cbegin(), line.cend(), [](QChar c) { return c.unicode() < 0x80; });
    QByteArray bytes;
    if (ascii)
        bytes = line.toLatin1();
    else
        bytes = QUrl::toAce(line);
    if (bytes.isEmpty())
        bytes = encodeText(line); // no ASCII-compatible form: the best we can send
    bytes += kCrLf;
    return bytes;
}

} // namespace wendlecott::core
