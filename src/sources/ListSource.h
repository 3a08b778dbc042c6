#pragma once

#include "config/ProgramFolder.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/base/Result.h"
#include "core/lists/RunSource.h"

#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace wendlecott::sources {

// What a source puts into txtWordNum when it is chosen.
enum class StartPosition {
    Unchanged, // "Browse for names" leaves the box alone
    One,       // always "1"
    Resume,    // the value stored under the source's resume key (default 1)
};

// How a source is handled when it is chosen.
enum class SourceKind {
    Browse,     // opens the browse window, nothing else changes
    Generate,   // opens the name generator, which writes CreatedDomains.txt
    Search,     // Yahoo or Google: the list builder writes BrowserSearch.txt
    WordList,   // one of the four word lists that come with the program
    CustomList, // a file the user picks
};

// One item of Combo1 (and of the Tools menu, in the same order).
struct NameSource {
    QString caption;
    SourceKind kind;
    QString listPath; // relative to the program folder; empty: unchanged or picked by the user
    StartPosition start;
    std::optional<config::SettingKey> resumeKey; // where a run stores its next position
};

inline constexpr std::size_t kNameSourceCount = 9;
// The nine sources in Combo1's order.
const std::array<NameSource, kNameSourceCount> &nameSources();
// The source with this caption, or nothing.
const NameSource *findNameSource(const QString &caption);

// A counted entry is a line that holds something besides its line end; a line of a single
// space counts. Lines end at LF; CRs before it are not part of the entry.
//
// The number of counted entries in the file, counted by ListReader::entryCount as a run reads
// them; 0 for a file a run cannot read (missing, not a regular file, an entry over the length
// limit) or an empty path. No message: the run that reads it says the cause.
qint32 countEntries(const QString &path);

// Reads entries of list files by position. It keeps the last file's text and an index of its
// counted entries, so a run that reads a whole list one entry at a time reads the file once;
// a file that was changed or replaced since (another size, modification time or file) is
// read afresh.
class ListReader {
public:
    // Entry `position` (1-based) of the file at `path`; core::kEndOfListSentinel past the last
    // entry; the empty text for a position of 0 or less. When the file cannot be read: an
    // error whose message is "File " + path + " not found.", for the caller to show; a file
    // that is not a regular file or holds an entry over core::kMaxLineBytes characters is
    // refused with a message that says so.
    core::Result<QString> readEntry(const QString &path, qint32 position);
    // The number of counted entries, read through the same index.
    core::Result<qint32> entryCount(const QString &path);
    // Forgets the kept file.
    void reset();

private:
    struct Stamp {
        QString path;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        quint64 fileId = 0;
        quint64 deviceId = 0;
        bool operator==(const Stamp &) const = default;
    };
    struct Span {
        qsizetype start;
        qsizetype length;
    };
    core::Status refresh(const QString &path);
    static std::optional<Stamp> stampOf(const QString &path);

    std::optional<Stamp> m_stamp;
    QString m_text;
    std::vector<Span> m_entries;
};

// readEntry through one reader kept for the calling thread.
core::Result<QString> readEntry(const QString &path, qint32 position);

// After every edit of txtWordNum: the text it must hold. "1" when either text is not a whole
// number (an empty box included), when the position is not below the entry count, or when it
// is below 1; otherwise the text as it is.
QString correctedStartPosition(const QString &wordNum, const QString &wordMax);

// cmdCreate ("Search") is enabled exactly when txtSearch holds at least one character.
bool searchButtonEnabled(const QString &searchText);

// What the main window opens after a change of source.
enum class SourceWindow {
    None,
    CustomListDialog, // file-open dialog: filter dialogFilter, starting in dialogFolder
    Generator,        // frmMake, without waiting
    Browse,           // Form5, without waiting
};

// What the main window must do when Combo1 changes (or Stop reloads the source). Every
// optional left empty means: leave that control as it is.
struct SourceSelection {
    bool known = false; // the caption is one of the nine
    // The word-list group: txtWordNum, txtWordMax, their labels, cmdDoSearch, cmbTLDs and its
    // label. The search group: the search box's two labels, txtSearch, Combo2 and cmdCreate.
    std::optional<bool> wordListControlsVisible;
    std::optional<bool> searchControlsVisible;
    std::optional<QString> listPath; // the new ListPath (full path)
    std::optional<QString> wordMax;  // txtWordMax
    std::optional<QString> wordNum;  // txtWordNum
    std::optional<bool> wordNumEnabled;
    std::optional<bool> startEnabled;        // cmdDoSearch
    std::optional<bool> stopEnabled;         // Command3
    std::optional<bool> searchTextEnabled;   // txtSearch
    std::optional<bool> searchEngineEnabled; // Combo2
    std::optional<bool> searchButtonEnabled; // cmdCreate
    SourceWindow opens = SourceWindow::None;
    QString dialogFolder; // for CustomListDialog: the program's "\wordlists" folder
    QString dialogFilter; // for CustomListDialog: "*.txt"
};

// The handler of a change of Combo1 as a function. `searchText` is what txtSearch holds.
// For "Custom List" the window opens the dialog and then calls completeCustomList.
SourceSelection selectSource(const QString &caption, const config::SettingsStore &settings,
                             const config::ProgramFolder &folder, const QString &searchText);

// "Custom List" after its dialog: `chosen` is the picked file, nothing when cancelled (the
// list keeps `currentListPath`, empty at first use). Sets listPath, wordMax and wordNum.
void completeCustomList(SourceSelection &selection, const std::optional<QString> &chosen,
                        const QString &currentListPath);

} // namespace wendlecott::sources
