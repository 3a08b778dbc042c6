#include "core/lists/ResultLists.h"

#include "core/base/TextFile.h"

#include <algorithm>

namespace wendlecott::core {

namespace {

QString clearSavedQuestion(qsizetype count)
{
    return QStringLiteral("Remove all %1 saved names? They are removed from Remembered.txt as well.")
        .arg(count);
}

constexpr std::array<ListId, 4> kResultLists = {ListId::Low, ListId::Registered, ListId::High, ListId::Mid};

} // namespace

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
    : m_notice(notice)
    , m_clipboard(clipboard)
    , m_opener(opener)
    , m_files(std::move(root), notice, std::move(clock), std::move(locale))
{
    for (int i = 0; i < 5; ++i) {
        const ListId id = static_cast<ListId>(i + 1);
        m_models[i] = std::make_unique<ResultListModel>(id);
        m_captions[i] = uncountedCaption(id);
    }
    ResultListModel *saved = model(ListId::Saved);
    connect(saved, &ResultListModel::textDropped, this, &ResultLists::dropOnSaved);
    for (const ListId id : kResultLists)
        connect(model(id), &ResultListModel::dragStarted, this, &ResultLists::setDragSourceList);
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

const QStringList &ResultLists::entries(ListId id) const
{
    static const QStringList none;
    const int i = slot(id);
    return i < 0 ? none : m_models[i]->entries();
}

ListFiles::EntriesOf ResultLists::entriesOf() const
{
    return [this](ListId id) -> const QStringList & { return entries(id); };
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

// Filing ---------------------------------------------------------------------------------

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

void ResultLists::saveProfileLists()
{
    m_files.saveProfileLists(entriesOf());
}

bool ResultLists::listsUnwrittenAfterRetry()
{
    m_files.retryFailedLists(entriesOf());
    return m_files.hasUnwrittenLists();
}

// Overflow -------------------------------------------------------------------------------

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
    return m_files.saveOverflow(entriesOf());
}

void ResultLists::resetLists()
{
    for (const ListId id : kResultLists) {
        model(id)->clear();
        m_counters[slot(id)] = 0;
    }
    // The captions keep their numbers until the next filing.
    newFileStamp();
    m_files.writeBackupMarkers();
}

void ResultLists::newFileStamp()
{
    m_files.newFileStamp();
}

void ResultLists::resetCounters()
{
    for (const ListId id : kResultLists)
        m_counters[slot(id)] = 0;
}

void ResultLists::resetCounter(ListId id)
{
    if (isResultList(id))
        m_counters[slot(id)] = 0;
}

// The saved list -------------------------------------------------------------------------

void ResultLists::loadRemembered()
{
    model(ListId::Saved)->append(m_files.loadRemembered());
}

bool ResultLists::saveRemembered()
{
    return m_files.saveRemembered(entries(ListId::Saved));
}

// List commands --------------------------------------------------------------------------

bool ResultLists::deleteEntry(ListId id, qsizetype row)
{
    ResultListModel *list = model(id);
    if (list == nullptr || row < 0 || row >= list->size())
        return false;
    list->removeAt(row);
    if (isResultList(id)) {
        ListCounter &count = m_counters[slot(id)];
        --count;
        setCaption(id, countedCaption(id, count));
    }
    // A removal from the saved list is kept at once; a live file is replaced at the next filing.
    if (id == ListId::Saved)
        saveRemembered();
    else
        m_files.listChangedBehindFile(id);
    return true;
}

void ResultLists::clearList(ListId id)
{
    ResultListModel *list = model(id);
    if (list == nullptr)
        return;
    // The saved names are the user's own and survive a restart: emptying them is asked first,
    // and kept.
    if (id == ListId::Saved) {
        if (list->size() > 0 && !m_notice.askOkCancel(kClearSavedTitle, clearSavedQuestion(list->size())))
            return;
        list->clear();
        saveRemembered();
        return;
    }
    list->clear();
    if (isResultList(id)) {
        m_counters[slot(id)] = 0;
        setCaption(id, uncountedCaption(id));
    }
    m_files.listChangedBehindFile(id);
}

void ResultLists::copyList(ListId id)
{
    if (model(id) == nullptr)
        return;
    m_clipboard.setText(joinLinesCrLf(entries(id)));
}

void ResultLists::copyEntries(ListId id, const QList<qsizetype> &rows)
{
    if (model(id) == nullptr)
        return;
    const QStringList &all = entries(id);
    QStringList picked;
    for (const qsizetype row : rows) {
        if (row >= 0 && row < all.size())
            picked.append(all.at(row));
    }
    m_clipboard.setText(joinLinesCrLf(picked));
}

void ResultLists::runEditMenuItem(int index)
{
    const auto &items = editMenuItems();
    if (index < 0 || index >= static_cast<int>(items.size()))
        return;
    const EditMenuItem &item = items[index];
    for (const ListId id : item.lists) {
        if (item.action == EditAction::Clear)
            clearList(id);
        else
            copyList(id);
    }
}

// Mouse ----------------------------------------------------------------------------------

void ResultLists::setDragSourceList(ListId id)
{
    if (isResultList(id))
        m_dragSourceList = id;
}

void ResultLists::openEntry(ListId id, qsizetype row)
{
    if (row < 0 || row >= entries(id).size())
        return;
    openDomain(entries(id).at(row));
}

void ResultLists::openDomain(const QString &domain)
{
    m_selectedDomain = domain;
    if (m_purchaseLinkOn)
        openAddressOrOfferCopy(purchaseLink(m_selectedDomain), m_opener, m_notice, m_clipboard);
    else
        Q_EMIT whoisRequested(m_selectedDomain);
}

void ResultLists::showAnswer(ListId id, qsizetype row)
{
    if (row < 0 || row >= entries(id).size())
        return;
    m_selectedDomain = entries(id).at(row);
    Q_EMIT whoisRequested(m_selectedDomain);
}

void ResultLists::copyEntry(ListId id, qsizetype row)
{
    if (row < 0 || row >= entries(id).size())
        return;
    m_selectedDomain = entries(id).at(row);
    m_clipboard.setText(m_selectedDomain);
}

void ResultLists::openPurchasePage(ListId id, qsizetype row)
{
    if (row < 0 || row >= entries(id).size())
        return;
    m_selectedDomain = entries(id).at(row);
    m_opener.openAddress(purchaseLink(m_selectedDomain));
}

int ResultLists::dropOnSaved(const QString &text)
{
    QStringList added;
    if (const auto rows = parseDragText(text)) {
        // Rows that are not in the source list (stale, or no source yet) are passed over.
        const QStringList &source = entries(m_dragSourceList);
        for (const qsizetype row : *rows) {
            if (row >= 0 && row < source.size())
                added.append(source.at(row));
        }
    } else {
        added = droppedNames(text);
    }
    model(ListId::Saved)->append(added);
    saveRemembered();
    return static_cast<int>(added.size());
}

QString overflowNoticeText()
{
    return QStringLiteral("One of your lists has reached %1 entries.  They have been saved and cleared.  "
                          "You may find your backed up lists in the quillmere /overflow/ directory.")
        .arg(ResultLists::kOverflowSize);
}

} // namespace wendlecott::core

// Compiled here rather than in the library-wide moc file.
#include "moc_ResultLists.cpp"
