#include "core/tld/WhoisRequest.h"

#include "core/base/TextFile.h"

#include <QUrl>

#include <algorithm>

namespace wendlecott::core {

QByteArray whoisRequest(const QString &name)
{
    // A control character (CR and LF above all) must not turn into a second request line.
    QString line;
    line.reserve(name.size());
    for (const QChar c : name) {
        if (c.unicode() >= 0x20 && c.unicode() != 0x7f)
            line.append(c);
    }

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
