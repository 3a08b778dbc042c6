// The domain a check run looks up for one list entry. Input: entry NUL text of the
// extension box NUL default extension.
#include "FuzzInput.h"
#include "sources/EntryDomain.h"

#include <algorithm>

using namespace wendlecott;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = fuzz::splitInput(data, size, 3);
    const QString entry = QString::fromUtf8(parts.at(0));
    const QString boxText = QString::fromUtf8(parts.at(1));
    const QString defaultExtension = QString::fromUtf8(parts.at(2));

    const QString domain = sources::domainForEntry(entry, boxText, defaultExtension);
    // There is always something before the extension, and only the extension keeps a "?"
    // out of the cleaning: the name part never holds one.
    FUZZ_CHECK(!domain.startsWith(u'.'));
    // Control characters never reach the name: the whois request drops them, so the name
    // filed would differ from the name asked.
    FUZZ_CHECK(std::none_of(domain.begin(), domain.end(),
                            [](QChar c) { return c.category() == QChar::Other_Control; }));
    QString extension = boxText.isEmpty() ? defaultExtension : QLatin1Char('.') + boxText;
    extension.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    if (!domain.isEmpty() && !entry.contains(u'.') && !entry.contains(u'%'))
        FUZZ_CHECK(domain.endsWith(extension));
    return 0;
}
