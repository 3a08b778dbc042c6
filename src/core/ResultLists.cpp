#include "core/ResultLists.h"

#include "core/Paths.h"
#include "core/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace wendlecott::core {

namespace {

constexpr std::array<ListId, 3> kProfileFileOrder = {ListId::Low, ListId::Mid, ListId::High};

bool isResultList(ListId id)
{
    return id == ListId::Low || id == ListId::Registered || id == ListId::High || id == ListId::Mid;
}

bool hasLiveFile(ListId id)
{
    return id == ListId::Low || id == ListId::High || id == ListId::Mid;
}

QByteArray linesAsBytes(const QStringList &entries, qsizetype from = 0)
{
    QString text;
    for (qsizetype i = from; i < entries.size(); ++i) {
        text += entries.at(i);
        text += QLatin1String(kCrLf);
    }
    return encodeText(text);
}

// Drops the time zone ("t") from a time format, leaving quoted literal text alone.
QString withoutTimeZone(const QString &format)
{
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.trimmed();
}

// A two-digit year is widened to four, so stamps of different centuries never meet.
QString withFullYear(QString format)
{
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

// A line dropped in from another program counts as a name when it looks like a domain:
// dot-separated labels of letters, digits and hyphens.
bool looksLikeDomain(const QString &text)
{
    if (text.isEmpty() || text.size() > 253 || !text.contains(QLatin1Char('.')))
        return false;
    const QStringList labels = text.split(QLatin1Char('.'));
    for (const QString &label : labels) {
        if (label.isEmpty() || label.size() > 63)
            return false;
        for (const QChar c : label) {
            if (!c.isLetterOrNumber() && c != QLatin1Char('-'))
                return false;
        }
    }
    return true;
}

// "0|3|4" and the like: only digits, "|" and blanks, with at least one digit.
bool isIndexList(const QString &text)
{
    bool digit = false;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = true;
        else if (c != QLatin1Char('|') && !c.isSpace())
            return false;
    }
    return digit;
}

// Every non-empty line of the text when all of them look like domains; otherwise nothing.
QStringList domainLines(const QString &text)
{
    QStringList names;
    QString normalised = text;
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalised.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QString name = line.trimmed();
        if (name.isEmpty())
            continue;
        if (!looksLikeDomain(name))
            return {};
        names.append(name);
    }
    return names;
}

} // namespace

std::optional<ListId> listIdFromIndex(int index)
{
    if (index < 1 || index > 5)
        return std::nullopt;
    return static_cast<ListId>(index);
}

bool isBareExtension(const QString &domain)
{
    return domain == QLatin1String(".net") || domain == QLatin1String(".com");
}

ProfileClass classify(const QString &domain)
{
    const qsizetype dot = domain.indexOf(QLatin1Char('.'));
    const qsizetype length = dot < 0 ? domain.size() : dot;
    if (length < 5)
        return ProfileClass::High;
    if (length <= 7)
        return ProfileClass::Mid;
    return ProfileClass::Low;
}

ListId listOf(ProfileClass profile)
{
    switch (profile) {
    case ProfileClass::High:
        return ListId::High;
    case ProfileClass::Mid:
        return ListId::Mid;
    case ProfileClass::Low:
        return ListId::Low;
    }
    return ListId::Low;
}

QString uncountedCaption(ListId id)
{
    switch (id) {
    case ListId::Low:
        return QStringLiteral("Low Profile");
    case ListId::Registered:
        return QStringLiteral("Registered");
    case ListId::High:
        return QStringLiteral("High Profile");
    case ListId::Mid:
        return QStringLiteral("Mid Profile");
    case ListId::Saved:
        return QStringLiteral("Saved Domains");
    case ListId::None:
        break;
    }
    return {};
}

QString countedCaption(ListId id, ListCounter count)
{
    if (!isResultList(id))
        return uncountedCaption(id);
    return uncountedCaption(id) + QStringLiteral(" (") + QString::number(count) + QLatin1Char(')');
}

QString listTooltip(ListId id)
{
    switch (id) {
    case ListId::Low:
        return QStringLiteral("These domains have 8 or more characters.");
    case ListId::Registered:
        return QStringLiteral("These domain names are already registered.");
    case ListId::High:
        return QStringLiteral("These domains have less than 5 characters");
    case ListId::Mid:
        return QStringLiteral("These domains have 5 to 7 characters");
    case ListId::Saved:
        return QStringLiteral("Drag a domain name here to save it.");
    case ListId::None:
        break;
    }
    return {};
}

QString fileBaseName(ListId id)
{
    // The file names do not follow the captions: High goes to SuperHighProfile, Mid to HighProfile.
    switch (id) {
    case ListId::Low:
        return QStringLiteral("LowProfile");
    case ListId::High:
        return QStringLiteral("SuperHighProfile");
    case ListId::Mid:
        return QStringLiteral("HighProfile");
    default:
        return {};
    }
}

QString fileStampFor(const QDateTime &moment, const QLocale &locale)
{
    const QString date =
        locale.toString(moment.date(), withFullYear(locale.dateFormat(QLocale::ShortFormat)));
    const QString time =
        locale.toString(moment.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
    const QString text = date + QLatin1Char(' ') + time;
    QString stamp;
    stamp.reserve(text.size());
    for (const QChar c : text) {
        if (c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-'))
            stamp += c;
    }
    return stamp;
}

QString purchaseLinkPrefix()
{
    return QStringLiteral("https://") + kStorefrontHost +
           QStringLiteral("/gdshop/registrar/search.asp?prog_id=") + kResellerProgram +
           QStringLiteral("&from=rhp&checkAvail=1&domainToCheck=");
}

QString purchaseLink(const QString &domain)
{
    // Encoded, so a name can never add query parameters or break the address.
    return purchaseLinkPrefix() + QString::fromLatin1(QUrl::toPercentEncoding(domain));
}

// ---------------------------------------------------------------------------------------
// ResultListModel

ResultListModel::ResultListModel(ListId id, ResultLists &owner) : m_id(id), m_owner(owner)
{
}

void ResultListModel::append(const QString &entry)
{
    const int row = static_cast<int>(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.append(entry);
    endInsertRows();
}

void ResultListModel::append(const QStringList &entries)
{
    if (entries.isEmpty())
        return;
    const int first = static_cast<int>(m_entries.size());
    beginInsertRows({}, first, first + static_cast<int>(entries.size()) - 1);
    m_entries.append(entries);
    endInsertRows();
}

void ResultListModel::removeAt(qsizetype row)
{
    if (row < 0 || row >= m_entries.size())
        return;
    beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
    m_entries.removeAt(row);
    endRemoveRows();
}

void ResultListModel::clear()
{
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

int ResultListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant ResultListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_entries.at(index.row());
    return {};
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return acceptsDrops() ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (startsDrags())
        f |= Qt::ItemIsDragEnabled;
    return f;
}

QStringList ResultListModel::mimeTypes() const
{
    return {QString::fromLatin1(kDragMimeType)};
}

QMimeData *ResultListModel::mimeData(const QModelIndexList &indexes) const
{
    if (!startsDrags())
        return nullptr;
    QList<int> rows;
    rows.reserve(indexes.size());
    for (const QModelIndex &index : indexes)
        rows.append(index.row());
    auto *mime = new QMimeData;
    mime->setText(m_owner.dragText(m_id, rows));
    return mime;
}

Qt::DropActions ResultListModel::supportedDragActions() const
{
    // Copy only: a drag never takes entries out of a result list.
    return startsDrags() ? Qt::CopyAction : Qt::IgnoreAction;
}

Qt::DropActions ResultListModel::supportedDropActions() const
{
    return acceptsDrops() ? Qt::CopyAction : Qt::IgnoreAction;
}

bool ResultListModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int, int,
                                      const QModelIndex &) const
{
    return acceptsDrops() && data != nullptr && data->hasText();
}

bool ResultListModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                   const QModelIndex &)
{
    if (action == Qt::IgnoreAction)
        return true;
    if (!acceptsDrops() || data == nullptr || !data->hasText())
        return false;
    m_owner.dropOnSaved(data->text());
    return true;
}

// ---------------------------------------------------------------------------------------
// ResultLists

const std::vector<ResultLists::EditMenuItem> &ResultLists::editMenuItems()
{
    static const std::vector<EditMenuItem> items = {
        {QStringLiteral("Clear High/Mid/Low"), EditAction::Clear, {ListId::Low, ListId::High, ListId::Mid}},
        {QStringLiteral("Clear High"), EditAction::Clear, {ListId::High}},
        {QStringLiteral("Clear Mid"), EditAction::Clear, {ListId::Mid}},
        {QStringLiteral("Clear Low"), EditAction::Clear, {ListId::Low}},
        {QStringLiteral("Clear Registered"), EditAction::Clear, {ListId::Registered}},
        {QStringLiteral("Clear Saved"), EditAction::Clear, {ListId::Saved}},
        {QStringLiteral("Copy High"), EditAction::Copy, {ListId::High}},
        {QStringLiteral("Copy Mid"), EditAction::Copy, {ListId::Mid}},
        {QStringLiteral("Copy Low"), EditAction::Copy, {ListId::Low}},
        {QStringLiteral("Copy Saved"), EditAction::Copy, {ListId::Saved}},
    };
    return items;
}

ResultLists::ResultLists(QString root, UserNotice &notice, Clipboard &clipboard, AddressOpener &opener,
                         Clock clock, QLocale locale)
    : m_root(std::move(root))
    , m_notice(notice)
    , m_clipboard(clipboard)
    , m_opener(opener)
    , m_clock(clock ? std::move(clock) : Clock(&QDateTime::currentDateTime))
    , m_locale(std::move(locale))
{
    for (int i = 0; i < 5; ++i) {
        const ListId id = static_cast<ListId>(i + 1);
        m_models[i] = std::make_unique<ResultListModel>(id, *this);
        m_selections[i] = std::make_unique<QItemSelectionModel>(m_models[i].get());
        m_captions[i] = uncountedCaption(id);
    }
}

ResultLists::~ResultLists() = default;

int ResultLists::slot(ListId id) const
{
    const int n = static_cast<int>(id);
    return n >= 1 && n <= 5 ? n - 1 : -1;
}

ResultListModel *ResultLists::model(ListId id) const
{
    const int i = slot(id);
    return i < 0 ? nullptr : m_models[i].get();
}

QItemSelectionModel *ResultLists::selectionModel(ListId id) const
{
    const int i = slot(id);
    return i < 0 ? nullptr : m_selections[i].get();
}

const QStringList &ResultLists::entries(ListId id) const
{
    static const QStringList none;
    const int i = slot(id);
    return i < 0 ? none : m_models[i]->entries();
}

ListCounter ResultLists::counter(ListId id) const
{
    return isResultList(id) ? m_counters[slot(id)] : 0;
}

QString ResultLists::caption(ListId id) const
{
    const int i = slot(id);
    return i < 0 ? QString() : m_captions[i];
}

void ResultLists::setCaption(ListId id, const QString &caption)
{
    const int i = slot(id);
    if (i < 0 || m_captions[i] == caption)
        return;
    m_captions[i] = caption;
    Q_EMIT captionChanged(id, caption);
}

QString ResultLists::underFolder(const QString &folder, const QString &name) const
{
    const QString dir = resolveUnder(m_root, folder);
    if (!QFileInfo(dir).isDir())
        QDir().mkpath(dir); // made at start-up; made again if someone removed it since
    return resolveUnder(dir, name);
}

QString ResultLists::liveFilePath(ListId id) const
{
    if (!hasLiveFile(id))
        return {};
    return resolveUnder(m_root, fileBaseName(id) + m_fileStamp + QStringLiteral(".txt"));
}

QString ResultLists::rememberedPath() const
{
    return resolveUnder(m_root, QStringLiteral("Remembered.txt"));
}

ResultLists::LiveFile &ResultLists::liveFile(ListId id)
{
    return m_liveFiles[slot(id)];
}

void ResultLists::listChangedBehindFile(ListId id)
{
    // The file keeps its content until the next filing, which then replaces it whole.
    if (hasLiveFile(id))
        liveFile(id).mirrors = false;
}

// ---------------------------------------------------------------------------------------
// Filing

std::optional<ProfileClass> ResultLists::addAvailable(const QString &domain)
{
    if (isBareExtension(domain))
        return std::nullopt;
    const ProfileClass profile = classify(domain);
    const ListId id = listOf(profile);
    ListCounter &count = m_counters[slot(id)];
    ++count;
    setCaption(id, countedCaption(id, count));
    model(id)->append(domain);
    saveProfileLists();
    return profile;
}

void ResultLists::addRegistered(const QString &domain)
{
    if (isBareExtension(domain))
        return;
    ResultListModel *registered = model(ListId::Registered);
    if (registered->size() > kRegisteredKeep)
        registered->clear();
    ListCounter &count = m_counters[slot(ListId::Registered)];
    ++count;
    setCaption(ListId::Registered, countedCaption(ListId::Registered, count));
    registered->append(domain);
}

Status ResultLists::rewriteLiveFile(ListId id, LiveFile &file)
{
    const QStringList &list = entries(id);
    const QByteArray bytes = linesAsBytes(list);
    file.path = liveFilePath(id);
    const Status status = writeFileAtomically(file.path, bytes);
    file.mirrors = status.ok();
    file.rows = status.ok() ? list.size() : 0;
    file.bytes = status.ok() ? bytes.size() : 0;
    return status;
}

Status ResultLists::appendToLiveFile(ListId id, LiveFile &file)
{
    const QByteArray bytes = linesAsBytes(entries(id), file.rows);
    const Status status = appendToFile(file.path, bytes);
    if (status.ok()) {
        file.rows = entries(id).size();
        file.bytes += bytes.size();
    } else {
        file.mirrors = false;
    }
    return status;
}

void ResultLists::saveProfileLists()
{
    const int group = static_cast<int>(FileGroup::Live);
    const bool wasFailing = !m_failing[group].isEmpty();
    QStringList fresh;
    for (const ListId id : kProfileFileOrder) {
        LiveFile &file = liveFile(id);
        const qsizetype size = entries(id).size();
        bool whole = !file.mirrors || file.rows > size || file.path.isEmpty();
        if (!whole) {
            // Someone may have changed or removed the file since we wrote it.
            const QFileInfo info(file.path);
            whole = !info.exists() || info.size() != file.bytes;
        }
        if (whole)
            noteWrite(FileGroup::Live, file.path.isEmpty() ? liveFilePath(id) : file.path,
                      rewriteLiveFile(id, file), fresh);
        else if (file.rows < size)
            noteWrite(FileGroup::Live, file.path, appendToLiveFile(id, file), fresh);
    }
    if (!wasFailing && !fresh.isEmpty())
        report(FileGroup::Live, fresh);
}

// ---------------------------------------------------------------------------------------
// Overflow

bool ResultLists::checkOverflow()
{
    const bool full = std::any_of(kProfileFileOrder.begin(), kProfileFileOrder.end(),
                                  [this](ListId id) { return entries(id).size() >= kOverflowSize; });
    if (!full)
        return false;
    // Lists that could not be saved are not thrown away; the next verdict tries again.
    if (!saveOverflow())
        return false;
    resetLists();
    m_notice.showOverflowNotice();
    return true;
}

bool ResultLists::saveOverflow()
{
    const int group = static_cast<int>(FileGroup::Overflow);
    const bool wasFailing = !m_failing[group].isEmpty();

    // The stamp is empty after every start, so a set from an earlier session may already be
    // there under the same names; such a set is kept and this one goes beside it.
    auto pathsFor = [this](const QString &stamp) {
        QStringList paths;
        for (const ListId id : kProfileFileOrder)
            paths.append(
                underFolder(QStringLiteral("overflow"), fileBaseName(id) + stamp + QStringLiteral(".txt")));
        return paths;
    };
    auto anyExists = [](const QStringList &paths) {
        return std::any_of(paths.begin(), paths.end(), [](const QString &p) { return QFileInfo::exists(p); });
    };
    QString stamp = m_overflowRetryStamp.value_or(m_fileStamp);
    QStringList paths = pathsFor(stamp);
    if (!m_overflowRetryStamp && anyExists(paths)) {
        const QString now = fileStampFor(m_clock(), m_locale);
        stamp = now;
        for (int n = 2; anyExists(paths = pathsFor(stamp)) && n < 1000; ++n)
            stamp = now + QLatin1Char('-') + QString::number(n);
    }

    QStringList fresh;
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        const Status status = writeFileAtomically(paths.at(i), linesAsBytes(entries(kProfileFileOrder[i])));
        ok = ok && status.ok();
        noteWrite(FileGroup::Overflow, paths.at(i), status, fresh);
    }
    // A retry after a partial failure completes the same set instead of starting another.
    m_overflowRetryStamp = ok ? std::nullopt : std::optional<QString>(stamp);
    if (!wasFailing && !fresh.isEmpty())
        report(FileGroup::Overflow, fresh);
    return ok;
}

void ResultLists::resetLists()
{
    for (const ListId id : {ListId::Low, ListId::Registered, ListId::High, ListId::Mid}) {
        model(id)->clear();
        m_counters[slot(id)] = 0;
    }
    // The captions keep their numbers until the next filing.
    newFileStamp();

    // Marker files: one blank line each to High, Mid and High again, with the new stamp.
    const int group = static_cast<int>(FileGroup::Markers);
    m_failing[group].clear(); // written once per reset, so every failed reset is told
    QStringList fresh;
    const QString high = underFolder(QStringLiteral("backups"),
                                     QStringLiteral("HighProfile") + m_fileStamp + QStringLiteral(".txt"));
    const QString mid = underFolder(QStringLiteral("backups"),
                                    QStringLiteral("MidProfile") + m_fileStamp + QStringLiteral(".txt"));
    const QByteArray blankLine = QByteArray(" ") + kCrLf;
    for (const QString &path : {high, mid, high})
        noteWrite(FileGroup::Markers, path, appendToFile(path, blankLine), fresh);
    if (!fresh.isEmpty())
        report(FileGroup::Markers, fresh);
}

void ResultLists::newFileStamp()
{
    m_fileStamp = fileStampFor(m_clock(), m_locale);
    // A new stamp means a new set of live files; the old set stays on disk as it was.
    for (const ListId id : kProfileFileOrder)
        liveFile(id) = LiveFile{};
}

void ResultLists::resetCounters()
{
    for (const ListId id : {ListId::Low, ListId::Registered, ListId::High, ListId::Mid})
        m_counters[slot(id)] = 0;
}

// ---------------------------------------------------------------------------------------
// The saved list

void ResultLists::loadRemembered()
{
    const QString path = rememberedPath();
    const Result<QStringList> lines = readLines(path);
    if (!lines) {
        if (lines.code() != ErrorCode::NotFound)
            m_notice.showMessage(QString(), lines.message(), NoticeIcon::Warning);
        return;
    }
    QStringList names;
    for (const QString &line : lines.value()) {
        if (!line.isEmpty() && line != QLatin1String(" "))
            names.append(line);
    }
    model(ListId::Saved)->append(names);
}

bool ResultLists::saveRemembered()
{
    const int group = static_cast<int>(FileGroup::Remembered);
    const bool wasFailing = !m_failing[group].isEmpty();
    const QString path = rememberedPath();
    QStringList fresh;
    const Status status = writeFileAtomically(path, linesAsBytes(entries(ListId::Saved)));
    noteWrite(FileGroup::Remembered, path, status, fresh);
    if (!wasFailing && !fresh.isEmpty())
        report(FileGroup::Remembered, fresh);
    return status.ok();
}

// ---------------------------------------------------------------------------------------
// Faults

void ResultLists::noteWrite(FileGroup group, const QString &path, const Status &status, QStringList &fresh)
{
    QSet<QString> &failing = m_failing[static_cast<int>(group)];
    if (status.ok()) {
        failing.remove(path);
        return;
    }
    if (!failing.contains(path)) {
        failing.insert(path);
        fresh.append(QDir::toNativeSeparators(path) + QStringLiteral("\n(") + status.message() +
                     QLatin1Char(')'));
    }
}

void ResultLists::report(FileGroup group, const QStringList &faults)
{
    QString tail;
    switch (group) {
    case FileGroup::Live:
        tail = QStringLiteral("The lists in the window are kept. The file is written again with the next "
                              "available name.");
        break;
    case FileGroup::Overflow:
        tail = QStringLiteral("The lists have not been cleared. Saving them to the overflow folder is tried "
                              "again after the next lookup.");
        break;
    case FileGroup::Markers:
        tail = QStringLiteral("The lists were saved to the overflow folder and cleared.");
        break;
    case FileGroup::Remembered:
        tail = QStringLiteral("The saved list in the window is kept. The file is written again at the next "
                              "drop.");
        break;
    case FileGroup::Count:
        break;
    }
    const QString head = faults.size() == 1 ? QStringLiteral("This file could not be written:")
                                            : QStringLiteral("These files could not be written:");
    m_notice.showMessage(QStringLiteral("Could Not Save"),
                         head + QStringLiteral("\n\n") + faults.join(QStringLiteral("\n\n")) +
                             QStringLiteral("\n\n") + tail,
                         NoticeIcon::Warning);
}

// ---------------------------------------------------------------------------------------
// List commands

void ResultLists::cmdClear_Click(ListId id)
{
    ResultListModel *list = model(id);
    QItemSelectionModel *selection = selectionModel(id);
    if (list == nullptr)
        return;
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid() || current.row() >= list->size())
        return;
    const int row = current.row();
    list->removeAt(row);
    if (isResultList(id)) {
        ListCounter &count = m_counters[slot(id)];
        --count;
        setCaption(id, countedCaption(id, count));
    }
    listChangedBehindFile(id);
    // The entry that moved up into the gap becomes the selected one, so what a second Delete
    // removes is what the list shows highlighted.
    if (list->size() > 0) {
        const QModelIndex next = list->index(std::min<int>(row, static_cast<int>(list->size()) - 1));
        selection->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clear();
    }
}

void ResultLists::cmdClear2_Click(ListId id)
{
    ResultListModel *list = model(id);
    if (list == nullptr)
        return;
    list->clear();
    if (isResultList(id)) {
        m_counters[slot(id)] = 0;
        setCaption(id, uncountedCaption(id));
    }
    listChangedBehindFile(id);
}

void ResultLists::cmdCopy_Click(ListId id)
{
    if (model(id) == nullptr)
        return;
    m_clipboard.setText(joinLinesCrLf(entries(id)));
}

bool ResultLists::listKeyDown(ListId id, int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_Delete || model(id) == nullptr)
        return false;
    // The shift state counts Shift, Ctrl and Alt; the keypad flag is not part of it.
    const Qt::KeyboardModifiers state =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (state == Qt::ShiftModifier)
        cmdClear2_Click(id);
    else
        cmdClear_Click(id);
    return true;
}

void ResultLists::editMenu(int index)
{
    const auto &items = editMenuItems();
    if (index < 0 || index >= static_cast<int>(items.size()))
        return;
    const EditMenuItem &item = items[index];
    for (const ListId id : item.lists) {
        if (item.action == EditAction::Clear)
            cmdClear2_Click(id);
        else
            cmdCopy_Click(id);
    }
}

void ResultLists::listClicked(ListId id)
{
    if (isResultList(id))
        m_dragSourceList = id;
}

void ResultLists::listDoubleClicked(ListId id)
{
    QItemSelectionModel *selection = selectionModel(id);
    if (selection == nullptr)
        return;
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid() || current.row() >= entries(id).size())
        return;
    m_selectedDomain = entries(id).at(current.row());
    if (m_purchaseLinkOn)
        m_opener.openAddress(purchaseLink(m_selectedDomain));
    else
        Q_EMIT whoisRequested(m_selectedDomain);
}

QString ResultLists::dragText(ListId id, QList<int> rows)
{
    if (!isResultList(id))
        return {};
    // The drag carries indexes into its source, so the source is the list it starts from.
    m_dragSourceList = id;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList parts;
    for (const int row : rows) {
        if (row >= 0 && row < entries(id).size())
            parts.append(QString::number(row));
    }
    return parts.join(QLatin1Char('|'));
}

int ResultLists::dropOnSaved(const QString &text)
{
    QStringList added;
    if (isIndexList(text)) {
        // Parts that are not indexes of the source list are passed over.
        const QStringList &source = entries(m_dragSourceList); // empty before any click
        const QStringList parts = text.split(QLatin1Char('|'));
        for (const QString &part : parts) {
            bool ok = false;
            const qsizetype row = part.trimmed().toLongLong(&ok);
            if (ok && row >= 0 && row < source.size())
                added.append(source.at(row));
        }
    } else {
        added = domainLines(text);
    }
    model(ListId::Saved)->append(added);
    saveRemembered();
    return static_cast<int>(added.size());
}

} // namespace wendlecott::core

// Compiled here rather than in the library-wide moc file.
#include "moc_ResultLists.cpp"
