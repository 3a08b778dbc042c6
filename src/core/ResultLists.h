#pragma once

#include "core/Result.h"
#include "core/UserNotice.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QItemSelectionModel>
#include <QLocale>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace wendlecott::core {

// The number by which buttons, keys and menu commands name a list. None stands for "no
// list clicked yet" (`DragSourceList` 0).
enum class ListId { None = 0, Low = 1, Registered = 2, High = 3, Mid = 4, Saved = 5 };

// The class of an available name, by the length of its first label.
enum class ProfileClass { High, Mid, Low };

// The number shown in a result list's caption. Not the size of the list: it counts filings
// and deletions, and restarts at every Start.
using ListCounter = qint32;

// The list a ListId names, from a button's or menu item's index; nullopt outside 1..5.
std::optional<ListId> listIdFromIndex(int index);
// The class of an available domain and the list that holds it.
ProfileClass classify(const QString &domain);
ListId listOf(ProfileClass profile);
// True for the two texts that both filing operations ignore, ".com" and ".net".
bool isBareExtension(const QString &domain);

// Fixed texts of each list: caption without a count, tooltip, base name of its live file
// (empty for the Registered and saved lists).
QString uncountedCaption(ListId id);
QString countedCaption(ListId id, ListCounter count);
QString listTooltip(ListId id);
QString fileBaseName(ListId id);

// The file stamp for a moment: the locale's short date (with a four-digit year) and long
// time (without the time zone), with "/", ":" and blanks removed, and anything else that
// is not a letter, a digit, "." or "-" dropped, so it is safe in a file name.
// 9:40:00 AM on 12/6/2026 in English (United States) gives "126202694000AM".
QString fileStampFor(const QDateTime &moment, const QLocale &locale);

// The start of the registrar storefront's purchase link; the domain follows percent-encoded.
inline const QString kStorefrontHost = QStringLiteral("www.secureserver.net");
inline const QString kResellerProgram = QStringLiteral("wendlecott");
QString purchaseLinkPrefix();
QString purchaseLink(const QString &domain);

class ResultLists;

// One list as a model the windows show directly: the entries live here and nowhere else.
class ResultListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    // The drag text of a list: the selected rows, ascending, joined by "|".
    static constexpr char kDragMimeType[] = "text/plain";

    ResultListModel(ListId id, ResultLists &owner);

    ListId id() const { return m_id; }
    const QStringList &entries() const { return m_entries; }
    qsizetype size() const { return m_entries.size(); }
    QString at(qsizetype row) const { return m_entries.value(row); }

    void append(const QString &entry);
    void append(const QStringList &entries);
    void removeAt(qsizetype row);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

private:
    bool acceptsDrops() const { return m_id == ListId::Saved; }
    bool startsDrags() const { return m_id != ListId::Saved && m_id != ListId::None; }

    ListId m_id;
    ResultLists &m_owner;
    QStringList m_entries;
};

// The five lists of the main window, their counters and captions, their files, and the list
// commands. One instance lives as long as the program; the check run and the browse window
// file into it, the windows show its models.
class ResultLists final : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    // An entry at or past this size in list 1, 3 or 4 sends the lists to the overflow folder.
    static constexpr qsizetype kOverflowSize = 20000;
    // The Registered list is emptied before a filing when it holds more than this.
    static constexpr qsizetype kRegisteredKeep = 100;

    // One item of the main window's Edit menu.
    enum class EditAction { Clear, Copy };
    struct EditMenuItem {
        QString caption;
        EditAction action;
        std::vector<ListId> lists; // in the order the action runs on them
    };
    static const std::vector<EditMenuItem> &editMenuItems();

    // `root` is the program folder. The clock gives the local time for file stamps; the
    // locale writes them.
    ResultLists(QString root, UserNotice &notice, Clipboard &clipboard, AddressOpener &opener,
                Clock clock = &QDateTime::currentDateTime, QLocale locale = QLocale::system());
    ~ResultLists() override;

    ResultListModel *model(ListId id) const;
    // The selection of each list: windows show it through QAbstractItemView::setSelectionModel,
    // and the commands read the current entry from it.
    QItemSelectionModel *selectionModel(ListId id) const;
    const QStringList &entries(ListId id) const;

    ListCounter counter(ListId id) const;
    QString caption(ListId id) const;
    QString fileStamp() const { return m_fileStamp; }
    QString selectedDomain() const { return m_selectedDomain; }
    ListId dragSourceList() const { return m_dragSourceList; }
    bool purchaseLinkOn() const { return m_purchaseLinkOn; }
    void setPurchaseLinkOn(bool on) { m_purchaseLinkOn = on; }

    // The live file of list 1, 3 or 4 with the current stamp, and its copy in "overflow".
    QString liveFilePath(ListId id) const;
    QString rememberedPath() const;

    // Filing. Both ignore ".com" and ".net"; addAvailable returns the class it filed under.
    std::optional<ProfileClass> addAvailable(const QString &domain);
    void addRegistered(const QString &domain);

    // Brings the three live files in line with lists 1, 4 and 3. A file that still holds a
    // prefix of its list gets the missing lines appended; any other is replaced whole.
    void saveProfileLists();
    // Overflow: true when a list reached the limit, was saved and the lists were reset.
    bool checkOverflow();
    bool saveOverflow();
    void resetLists();
    void newFileStamp();
    // A run starts: the four counters restart at 0, the lists keep their entries.
    void resetCounters();

    void loadRemembered();
    bool saveRemembered();

    // The list commands; each takes a ListId 1 to 5.
    void cmdClear_Click(ListId id);  // delete the current entry
    void cmdClear2_Click(ListId id); // clear the list
    void cmdCopy_Click(ListId id);   // copy the list to the clipboard
    // The Delete key on a list: Shift alone clears the list, anything else deletes the entry.
    // Returns false for other keys.
    bool listKeyDown(ListId id, int key, Qt::KeyboardModifiers modifiers);
    // Runs the Edit menu item at `index` (0 to 9); other indexes do nothing.
    void editMenu(int index);

    // Mouse on a list: a click on 1 to 4 names the drag source; a double-click opens the
    // current entry.
    void listClicked(ListId id);
    void listDoubleClicked(ListId id);
    // The drag text of rows of a list ("0|3|4"); starting a drag also names its source.
    QString dragText(ListId id, QList<int> rows);
    // A drop of text on the saved list. An index list ("0|3|4") takes those entries of the
    // drag source; text made only of domain-like lines (from another program) adds those
    // names. Remembered.txt is rewritten either way. Returns the number of entries added.
    int dropOnSaved(const QString &text);

Q_SIGNALS:
    void captionChanged(wendlecott::core::ListId id, const QString &caption);
    // The WHOIS Information window should show this domain (double-click with the purchase
    // link switched off).
    void whoisRequested(const QString &domain);

private:
    // Files are reported in groups, once per fault: a group stays "failing" until its files
    // can be written again.
    enum class FileGroup { Live, Overflow, Markers, Remembered, Count };
    struct LiveFile {
        QString path;         // resolved for the current stamp; empty until needed
        bool mirrors = false; // the file holds exactly the first `rows` entries of its list
        qsizetype rows = 0;
        qint64 bytes = 0;
    };

    int slot(ListId id) const; // index into the arrays below; -1 for None
    LiveFile &liveFile(ListId id);
    void setCaption(ListId id, const QString &caption);
    void listChangedBehindFile(ListId id);
    Status rewriteLiveFile(ListId id, LiveFile &file);
    Status appendToLiveFile(ListId id, LiveFile &file);
    void noteWrite(FileGroup group, const QString &path, const Status &status, QStringList &newFaults);
    void report(FileGroup group, const QStringList &faults);
    QString underFolder(const QString &folder, const QString &name) const;

    QString m_root;
    UserNotice &m_notice;
    Clipboard &m_clipboard;
    AddressOpener &m_opener;
    Clock m_clock;
    QLocale m_locale;

    std::array<std::unique_ptr<ResultListModel>, 5> m_models;
    std::array<std::unique_ptr<QItemSelectionModel>, 5> m_selections;
    std::array<ListCounter, 5> m_counters{};
    std::array<QString, 5> m_captions;
    std::array<LiveFile, 5> m_liveFiles; // used for Low, High and Mid
    std::array<QSet<QString>, static_cast<int>(FileGroup::Count)> m_failing;

    QString m_fileStamp;
    std::optional<QString> m_overflowRetryStamp; // the set a failed overflow save must complete
    QString m_selectedDomain;
    ListId m_dragSourceList = ListId::None;
    bool m_purchaseLinkOn = true;
};

} // namespace wendlecott::core
