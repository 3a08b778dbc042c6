// The TLD table loader and the row lookup. Input: TLDs.txt bytes NUL name.
#include "FuzzInput.h"
#include "core/base/TextFile.h"
#include "core/tld/TldTable.h"

using namespace wendlecott;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = fuzz::splitInput(data, size, 2);
    // As loadTLDTable reads the file.
    const core::TldTable table = core::parseTldText(core::decodeText(parts.at(0)));
    const QString name = QString::fromUtf8(parts.at(1));

    for (const core::TldEntry &row : table.rows) {
        FUZZ_CHECK(row.port >= 1);
        FUZZ_CHECK(row.extension == row.extension.toLower());
        FUZZ_CHECK(row.server == row.server.toLower());
    }
    int lastLine = 0;
    for (const core::SkippedRow &skipped : table.skipped) {
        FUZZ_CHECK(skipped.lineNumber > lastLine);
        FUZZ_CHECK(!skipped.reason.isEmpty());
        lastLine = skipped.lineNumber;
    }
    for (const bool useProxy : {false, true}) {
        const int index = core::findTLD(table, name, useProxy);
        FUZZ_CHECK(index >= -1 && index < table.size());
        // A name of one or two labels always gets a row (the "com" row, else row 0).
        if (table.rows.isEmpty())
            FUZZ_CHECK(index == -1);
        else if (!useProxy && name.count(u'.') <= 1)
            FUZZ_CHECK(index >= 0);
        const core::WhoisServer server = core::whoisServerFor(table, name, useProxy);
        FUZZ_CHECK(!server.host.isEmpty());
    }
    return 0;
}
