#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"

#include "browse/PageExtraction.h"
#include "core/base/TextFile.h"
#include "sources/SearchExtraction.h"

#include <QFileInfo>
#include <QIODevice>

namespace wendlecott::cli {

namespace {

enum class Rules { None, Search, Page };

int usage(CliContext &context, const QString &problem)
{
    return fail(context,
                problem + QStringLiteral(" (usage: extract (--search | --page) [--frames] [FILE...])"),
                kExitUsage);
}

// One page as bytes, or as text when standard input is a stream over a string.
struct PageInput {
    QByteArray bytes;
    QString text;
    bool isText = false;
};

// The list builder reads each byte as one character; the browse window gets text, read as
// UTF-8 with Latin-1 where the bytes are not UTF-8.
QString pageText(const PageInput &input, Rules rules)
{
    if (input.isText)
        return input.text;
    return rules == Rules::Search ? sources::pageTextFromBytes(input.bytes) : core::decodeText(input.bytes);
}

core::Result<QList<PageInput>> readPages(CliContext &context, const QStringList &files)
{
    QList<PageInput> pages;
    if (files.isEmpty()) {
        if (!context.io.in)
            return core::Result<QList<PageInput>>::failure(
                core::ErrorCode::ReadFailed, QStringLiteral("extract has no standard input to read"));
        QIODevice *device = context.io.in->device();
        if (!device) { // a stream over a string (tests): already in memory
            pages.append(PageInput{{}, context.io.in->readAll(), true});
            return pages;
        }
        // An endless stream is cut off at the limit instead of filling the memory.
        core::Result<QByteArray> bytes = core::readAtMost(*device, maxInputBytes());
        if (!bytes)
            return core::Result<QList<PageInput>>::failure(
                core::ErrorCode::InvalidInput,
                QStringLiteral("standard input is larger than %1; it is not read")
                    .arg(core::sizeText(maxInputBytes())));
        pages.append(PageInput{std::move(bytes).value(), {}, false});
        return pages;
    }
    // Every file is read before anything is printed, so a missing one fails the command whole.
    for (const QString &file : files) {
        core::Result<QByteArray> bytes = core::readBytes(file, maxInputBytes());
        if (!bytes && bytes.code() == core::ErrorCode::InvalidInput && QFileInfo(file).isFile())
            return core::Result<QList<PageInput>>::failure(
                core::ErrorCode::InvalidInput, QStringLiteral("%1 is larger than %2; it is not read")
                                                   .arg(file, core::sizeText(maxInputBytes())));
        if (!bytes)
            return bytes.error();
        pages.append(PageInput{std::move(bytes).value(), {}, false});
    }
    return pages;
}

} // namespace

// extract (--search | --page) [--frames] [FILE...]: the names the list builder's extraction
// (--search) or the browse window's (--page) takes from page text, one per line, in the order
// found; the files are the pages of one run, sharing one duplicate test.
int cmdExtract(CliContext &context, const QStringList &args)
{
    Rules rules = Rules::None;
    bool frames = false;
    QStringList files;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--search") || arg == QLatin1String("--page")) {
            const Rules chosen = arg == QLatin1String("--search") ? Rules::Search : Rules::Page;
            if (rules != Rules::None && rules != chosen)
                return usage(context, QStringLiteral("choose one of --search and --page"));
            rules = chosen;
        } else if (arg == QLatin1String("--frames")) {
            frames = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            return usage(context, QStringLiteral("unknown option '%1'").arg(arg));
        } else {
            files.append(arg);
        }
    }
    if (rules == Rules::None)
        return usage(context, QStringLiteral("extract needs --search or --page"));
    if (frames && rules != Rules::Page)
        return usage(context, QStringLiteral("--frames goes with --page"));

    const core::Result<QList<PageInput>> pages = readPages(context, files);
    if (!pages)
        return fail(context, pages.message());
    if (const core::Status opened = openProgramState(context); !opened)
        return fail(context, opened.message());
    const core::TldTable &table = context.state.table();

    QTextStream &out = context.io.out;
    if (rules == Rules::Search) {
        sources::SearchExtraction extraction(table);
        for (const PageInput &page : pages.value()) {
            const qsizetype before = extraction.names().size();
            extraction.addPage(pageText(page, rules));
            for (qsizetype i = before; i < extraction.names().size(); ++i)
                out << extraction.names().at(i) << '\n';
        }
        return kExitOk;
    }
    browse::FoundNames found;
    for (const PageInput &page : pages.value()) {
        const browse::ExtractedPage extracted = browse::extractPageNames(found, table, pageText(page, rules));
        for (const browse::PageFinding &finding : extracted.findings) {
            if (finding.kind == browse::PageFinding::Kind::Name)
                out << finding.text << '\n';
            else if (frames)
                out << "frame\t" << finding.text << '\n';
        }
    }
    return kExitOk;
}

} // namespace wendlecott::cli
