#include "sources/ListSource.h"

#include "core/base/Paths.h"
#include "core/base/TextFile.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>

#ifdef Q_OS_LINUX
#include <QFile>
#include <sys/stat.h>
#endif

namespace wendlecott::sources {

namespace {

QString notFoundMessage(const QString &path)
{
    return QStringLiteral("File ") + path + QStringLiteral(" not found.");
}

// Calls `onEntry(start, length)` for every counted entry of `text`, in order: lines end at LF,
// the CRs at a line's end are not part of it, and a line with nothing left is not counted.
template <typename OnEntry> void scanEntries(const QString &text, OnEntry onEntry)
{
    const char16_t *data = QStringView(text).utf16();
    const qsizetype size = text.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = text.indexOf(u'\n', start);
        const qsizetype next = end < 0 ? size : end + 1;
        if (end < 0)
            end = size;
        qsizetype stop = end;
        while (stop > start && data[stop - 1] == u'\r')
            --stop;
        if (stop > start)
            onEntry(start, stop - start);
        start = next;
    }
}

} // namespace

const std::array<NameSource, kNameSourceCount> &nameSources()
{
    namespace keys = config::keys;
    static const std::array<NameSource, kNameSourceCount> sources = {{
        {QStringLiteral("Browse for names"), SourceKind::Browse, QString(), StartPosition::Unchanged,
         std::nullopt},
        {QStringLiteral("Generate names"), SourceKind::Generate, QStringLiteral("\\CreatedDomains.txt"),
         StartPosition::One, std::nullopt},
        {QStringLiteral("Yahoo Search"), SourceKind::Search, core::kBrowserSearchFile, StartPosition::One,
         keys::YahooWordNum},
        {QStringLiteral("Google Search"), SourceKind::Search, core::kBrowserSearchFile, StartPosition::One,
         keys::GoogleWordNum},
        {QStringLiteral("Full Word List"), SourceKind::WordList,
         QStringLiteral("\\Wordlists\\FullWordList.txt"), StartPosition::Resume, keys::FullWordNum},
        {QStringLiteral("All Two Letter"), SourceKind::WordList,
         QStringLiteral("\\Wordlists\\AllTwoLetter.txt"), StartPosition::Resume, keys::TwoWordNum},
        {QStringLiteral("All Three Letter"), SourceKind::WordList,
         QStringLiteral("\\Wordlists\\AllThreeLetter.txt"), StartPosition::Resume, keys::ThreeWordNum},
        {QStringLiteral("All Four Letter"), SourceKind::WordList,
         QStringLiteral("\\Wordlists\\AllFourLetter.txt"), StartPosition::Resume, keys::FourWordNum},
        {QStringLiteral("Custom List"), SourceKind::CustomList, QString(), StartPosition::One,
         keys::CustWordNum},
    }};
    return sources;
}

const NameSource *findNameSource(const QString &caption)
{
    for (const NameSource &source : nameSources()) {
        if (source.caption == caption)
            return &source;
    }
    return nullptr;
}

qint32 countEntries(const QString &path)
{
    if (path.isEmpty())
        return 0;
    // The same reader and limits as a run's: a list a run refuses counts no entries.
    ListReader reader;
    const core::Result<qint32> count = reader.entryCount(path);
    return count ? count.value() : 0;
}

std::optional<ListReader::Stamp> ListReader::stampOf(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    Stamp stamp;
    stamp.path = path;
#ifdef Q_OS_LINUX
    // Nanosecond times and the file's identity, so that a list replaced by a rename (a new
    // file of the same size written in the same millisecond) is still seen as new.
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    stamp.fileId = quint64(info.st_ino);
    stamp.deviceId = quint64(info.st_dev);
#else
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    stamp.size = info.size();
    stamp.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    stamp.changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
#endif
    return stamp;
}

core::Status ListReader::refresh(const QString &path)
{
    const std::optional<Stamp> stamp = stampOf(path);
    if (!stamp) {
        reset();
        if (const core::Status regular = core::requireRegularFile(path);
            !regular && regular.code() == core::ErrorCode::InvalidInput)
            return regular; // a FIFO or device: it exists, and says what it is
        return core::Status::failure(core::ErrorCode::NotFound, notFoundMessage(path));
    }
    if (m_stamp && *m_stamp == *stamp)
        return {};
    reset();
    core::Result<QString> text = core::readTextFile(path);
    if (!text)
        return core::Status::failure(text.code(), text.code() == core::ErrorCode::InvalidInput
                                                      ? text.message()
                                                      : notFoundMessage(path));
    m_text = std::move(text).value();
    qsizetype longLine = 0;
    scanEntries(m_text, [this, &longLine](qsizetype start, qsizetype length) {
        m_entries.push_back({start, length});
        if (length > core::kMaxLineBytes && longLine == 0)
            longLine = qsizetype(m_entries.size());
    });
    if (longLine > 0) {
        // No name is that long; such a file is not a list (or a damaged one).
        reset();
        return core::Status::failure(core::ErrorCode::InvalidInput,
                                     QStringLiteral("Entry %1 of %2 is longer than %3; the list is not read.")
                                         .arg(longLine)
                                         .arg(path, core::sizeText(core::kMaxLineBytes)));
    }
    m_stamp = stamp;
    return {};
}

core::Result<QString> ListReader::readEntry(const QString &path, qint32 position)
{
    const core::Status status = refresh(path);
    if (!status)
        return status.error();
    if (position <= 0)
        return QString();
    if (std::size_t(position) > m_entries.size())
        return core::kEndOfListSentinel;
    const Span &span = m_entries[std::size_t(position) - 1];
    return m_text.mid(span.start, span.length);
}

core::Result<qint32> ListReader::entryCount(const QString &path)
{
    const core::Status status = refresh(path);
    if (!status)
        return status.error();
    return qint32(std::min<std::size_t>(m_entries.size(), std::size_t(std::numeric_limits<qint32>::max())));
}

void ListReader::reset()
{
    m_stamp.reset();
    m_text.clear();
    m_text.squeeze();
    m_entries.clear();
    m_entries.shrink_to_fit();
}

core::Result<QString> readEntry(const QString &path, qint32 position)
{
    thread_local ListReader reader;
    return reader.readEntry(path, position);
}

QString correctedStartPosition(const QString &wordNum, const QString &wordMax)
{
    // Positions are 1-based: a position below 1 would end a run before its first name.
    const std::optional<qint32> position = config::toInt32(wordNum);
    const std::optional<qint32> count = config::toInt32(wordMax);
    if (!position || !count || *position >= *count || *position < 1)
        return QStringLiteral("1");
    return wordNum;
}

bool searchButtonEnabled(const QString &searchText)
{
    return !searchText.isEmpty();
}

SourceSelection selectSource(const QString &caption, const config::SettingsStore &settings,
                             const config::ProgramFolder &folder, const QString &searchText)
{
    SourceSelection s;
    const NameSource *source = findNameSource(caption);
    if (!source)
        return s;
    s.known = true;
    const QString one = QStringLiteral("1");
    // Start ready, Stop and the search box off: the buttons of a word list or custom list.
    const auto listButtons = [&s] {
        s.startEnabled = true;
        s.stopEnabled = false;
        s.searchTextEnabled = false;
        s.searchEngineEnabled = false;
        s.searchButtonEnabled = false;
        s.wordNumEnabled = true;
    };
    switch (source->kind) {
    case SourceKind::WordList: {
        s.searchControlsVisible = false;
        s.wordListControlsVisible = true;
        s.listPath = folder.shippedPath(source->listPath);
        s.wordMax = QString::number(countEntries(*s.listPath));
        listButtons();
        const QString stored =
            config::readSetting(settings, *source->resumeKey, config::defaults::SourcePosition);
        s.wordNum = correctedStartPosition(stored, *s.wordMax);
        break;
    }
    case SourceKind::CustomList:
        s.searchControlsVisible = false;
        s.wordListControlsVisible = true;
        s.opens = SourceWindow::CustomListDialog;
        s.dialogFolder = folder.path(QStringLiteral("\\wordlists"));
        s.dialogFilter = QStringLiteral("*.txt");
        listButtons();
        s.wordNum = one;
        break;
    case SourceKind::Search:
        s.wordListControlsVisible = false;
        s.searchControlsVisible = true;
        s.listPath = folder.path(source->listPath);
        s.startEnabled = true;
        s.stopEnabled = false;
        s.searchTextEnabled = true;
        s.searchEngineEnabled = true;
        s.searchButtonEnabled = searchButtonEnabled(searchText);
        s.wordNumEnabled = true;
        s.wordNum = one;
        break;
    case SourceKind::Generate:
        s.wordListControlsVisible = false;
        s.searchControlsVisible = false;
        s.listPath = folder.path(source->listPath);
        s.startEnabled = true;
        s.stopEnabled = false;
        s.wordNumEnabled = true;
        s.wordNum = one;
        s.opens = SourceWindow::Generator;
        break;
    case SourceKind::Browse:
        s.wordListControlsVisible = false;
        s.searchControlsVisible = false;
        s.opens = SourceWindow::Browse;
        break;
    }
    return s;
}

void completeCustomList(SourceSelection &selection, const std::optional<QString> &chosen,
                        const QString &currentListPath)
{
    selection.listPath = chosen && !chosen->isEmpty() ? *chosen : currentListPath;
    selection.wordMax = QString::number(countEntries(*selection.listPath));
    selection.wordNum = QStringLiteral("1");
}

} // namespace wendlecott::sources
