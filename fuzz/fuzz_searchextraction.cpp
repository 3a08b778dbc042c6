// The list builder's extraction over the result pages of one run. Input: up to four pages
// (bytes, one character each, as fetched) separated by NUL bytes. Reading a page a few
// lines at a time must give what reading it whole gives.
#include "ExtractionChecks.h"
#include "core/tld/TldTable.h"
#include "sources/SearchExtraction.h"

using namespace wendlecott;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const core::TldTable table = core::parseTldText(core::defaultTldText());
    const QList<QByteArray> pages = fuzz::splitInput(data, size, 4);

    sources::SearchExtraction whole(table);
    sources::SearchExtraction inSteps(table);
    qsizetype step = 1;
    for (const QByteArray &page : pages) {
        const QString text = sources::pageTextFromBytes(page);
        const qint32 added = whole.addPage(text);
        FUZZ_CHECK(added == whole.foundOnLastPage());
        inSteps.beginPage(text);
        qsizetype rounds = 0;
        while (!inSteps.processLines(step))
            FUZZ_CHECK(++rounds <= text.size() + 1);
        step = step % 3 + 1;
        FUZZ_CHECK(inSteps.foundOnLastPage() == added);
    }
    FUZZ_CHECK(whole.names() == inSteps.names());
    FUZZ_CHECK(whole.totalFound() == whole.names().size());
    fuzz::checkNoRepeats(whole.names());
    (void)whole.finishedListText();
    return 0;
}
