// The browse window's extraction over the pages of one window. Input: up to four pages of
// markup (UTF-8) separated by NUL bytes. Reading a page a few lines at a time must give what
// reading it whole gives.
#include "ExtractionChecks.h"
#include "browse/PageExtraction.h"
#include "core/tld/TldTable.h"

using namespace wendlecott;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const core::TldTable table = core::parseTldText(core::defaultTldText());
    const QList<QByteArray> pages = fuzz::splitInput(data, size, 4);

    browse::FoundNames wholeFound;
    browse::FoundNames stepFound;
    QStringList names;
    qsizetype step = 1;
    for (const QByteArray &page : pages) {
        const QString markup = QString::fromUtf8(page);
        wholeFound.startPage();
        const browse::ExtractedPage whole = browse::extractPageNames(wholeFound, table, markup);

        stepFound.startPage();
        browse::PageExtraction inSteps(stepFound, table, markup);
        qsizetype rounds = 0;
        while (!inSteps.step(step))
            FUZZ_CHECK(++rounds <= markup.size() + 1);
        step = step % 3 + 1;

        FUZZ_CHECK(inSteps.result().names() == whole.names());
        FUZZ_CHECK(inSteps.result().frames() == whole.frames());
        FUZZ_CHECK(inSteps.result().queueText == whole.queueText);
        FUZZ_CHECK(wholeFound.foundOnPage() == whole.names().size());
        QString queue;
        for (const QString &name : whole.names())
            queue += name + QLatin1String("\r\n");
        FUZZ_CHECK(whole.queueText == queue + QLatin1String("\r\n"));
        names += whole.names();
    }
    FUZZ_CHECK(wholeFound.foundTotal() == names.size());
    fuzz::checkNoRepeats(names);
    return 0;
}
