#pragma once

#include "core/base/UserNotice.h"
#include "core/lists/ListFiles.h"
#include "core/lists/ListRules.h"
#include "core/lists/ResultListModel.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace wendlecott::core {

// The five lists of the main window, their counters and captions, and the list commands.
// One instance lives as long as the program; the check run and the browse window file into
// it, the windows show its models and call its commands with the rows they act on. The
// files of the lists are kept by ListFiles.
class ResultLists final : public QObject {
    Q_OBJECT
public:
    using Clock = ListFiles::Clock;

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
    static inline const QString kClearSavedTitle = QStringLiteral("Clear Saved Domains");

    // `root` is the program folder. The clock gives the local time for file stamps; the
    // locale writes them.
    ResultLists(QString root, UserNotice &notice, Clipboard &clipboard, AddressOpener &opener,
                Clock clock = &QDateTime::currentDateTime, QLocale locale = QLocale::system());
    ~ResultLists() override;

    ResultListModel *model(ListId id) const;
    const QStringList &entries(ListId id) const;
    ListCounter counter(ListId id) const;
    QString caption(ListId id) const;

    const ListFiles &files() const { return m_files; }
    QString fileStamp() const { return m_files.fileStamp(); }
    QString selectedDomain() const { return m_selectedDomain; }
    ListId dragSourceList() const { return m_dragSourceList; }
    bool purchaseLinkOn() const { return m_purchaseLinkOn; }
    void setPurchaseLinkOn(bool on) { m_purchaseLinkOn = on; }

    // Filing. Both ignore ".com" and ".net"; addAvailable returns the class it filed under.
    std::optional<ProfileClass> addAvailable(const QString &domain);
    void addRegistered(const QString &domain);

    // Brings the three live files in line with lists 1, 4 and 3.
    void saveProfileLists();
    // The end of a run: live files whose write failed are tried once more; true when a list
    // is still held only in memory (a live or overflow file could not be written).
    bool listsUnwrittenAfterRetry();
    // Overflow: true when a list reached the limit, was saved and the lists were reset.
    bool checkOverflow();
    bool saveOverflow();
    // Empties lists 1 to 4, zeroes their counters (captions stay), takes a new file stamp
    // and writes the backup markers.
    void resetLists();
    void newFileStamp();
    // A run starts: the four counters restart at 0, the lists keep their entries.
    void resetCounters();
    // One counter of lists 1 to 4 restarts at 0; the list and its caption stay (the browse
    // window's Clear of its Unregistered list does this to list 1).
    void resetCounter(ListId id);

    void loadRemembered();
    bool saveRemembered();

    // The list commands, on a list 1 to 5; other ids do nothing.
    // Removes the entry at `row`; lists 1 to 4 count one down, the saved list rewrites
    // Remembered.txt. False when there is no such row.
    bool deleteEntry(ListId id, qsizetype row);
    // Empties the list; lists 1 to 4 drop the count from their caption. The saved list asks
    // first (kClearSavedTitle) when it holds names, then rewrites Remembered.txt.
    void clearList(ListId id);
    // Puts every entry, each followed by CR LF, on the clipboard (an empty text for an empty list).
    void copyList(ListId id);
    // Puts the entries at `rows` (in the order given, rows not in the list passed over), each
    // followed by CR LF, on the clipboard.
    void copyEntries(ListId id, const QList<qsizetype> &rows);
    // Runs the Edit menu item at `index` (0 to 9); other indexes do nothing.
    void runEditMenuItem(int index);

    // Names list 1 to 4 as the source of the next drop (a click on it); the saved list is
    // passed over.
    void setDragSourceList(ListId id);
    // Opens the entry at `row` (a double-click): it becomes `SelectedDomain`, and its
    // purchase page opens (when no browser takes it, the user may copy the address), or with
    // the purchase link off the WHOIS window is asked for.
    void openEntry(ListId id, qsizetype row);
    // The same for a name shown in another window's list (the browse window's).
    void openDomain(const QString &domain);
    // The context menu's commands on the entry at `row`, which becomes `SelectedDomain`:
    // "Show answer" asks for the WHOIS window whatever the purchase link says, "Copy" puts
    // the entry on the clipboard, "Open purchase page" opens its purchase page.
    void showAnswer(ListId id, qsizetype row);
    void copyEntry(ListId id, qsizetype row);
    void openPurchasePage(ListId id, qsizetype row);
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
    int slot(ListId id) const; // index into the arrays below; -1 for None
    void setCaption(ListId id, const QString &caption);
    ListFiles::EntriesOf entriesOf() const;

    UserNotice &m_notice;
    Clipboard &m_clipboard;
    AddressOpener &m_opener;
    ListFiles m_files;

    std::array<std::unique_ptr<ResultListModel>, 5> m_models;
    std::array<ListCounter, 5> m_counters{};
    std::array<QString, 5> m_captions;

    QString m_selectedDomain;
    ListId m_dragSourceList = ListId::None;
    bool m_purchaseLinkOn = true;
};

// The text of the notice that a result list reached its overflow size and the lists were
// saved into the overflow folder and cleared; the windows and the command line show it alike.
QString overflowNoticeText();

} // namespace wendlecott::core
