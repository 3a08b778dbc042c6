#pragma once

#include "config/ProgramFolder.h"
#include "core/base/Scheduler.h"
#include "sources/Generator.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

namespace wendlecott::config {
class SettingsStore;
}
namespace wendlecott::core {
class UserNotice;
}

namespace wendlecott::sources {

// The three switches of the "Prefixes/Suffixes" frame, in the order of their settings
// "chkAdd0".."chkAdd2".
enum class AffixSwitch { Prefixes = 0, Suffixes = 1, Hyphens = 2 };
inline constexpr int kAffixSwitchCount = 3;

// One item of the extension list: ".com" as read from TLDs.txt, and whether the next
// generation uses it.
struct ExtensionItem {
    QString text;
    bool checked = true;
};

inline const QString kGeneratorInitialStatus = QStringLiteral("Status...");
inline const QString kNoWordSelectedMessage =
    QStringLiteral("You must first select an item to remove from the list.");
// The names built per slice between returns to the event loop.
inline constexpr qint64 kGeneratorSliceSize = 20000;

// Told to the user when a generation stopped at the name limit.
QString nameLimitMessage(qint64 created);

// The Domain Name Creator's workflow without its window: the word list of Appends.txt with
// Add and Del, the base word and the three switches (stored as "txtMake" and "chkAdd0".."2"),
// the extension list from TLDs.txt, and the generation itself. A generation is built in
// slices from zero-delay scheduler calls, so the window repaints between them; at its end
// CreatedDomains.txt is written anew and the count is handed on to start a check run. A
// list that cannot be written starts no run.
//
//   idle --generateNames--> generating --(slices)...--> writing --> idle, run started
//                               \--(Appends.txt unreadable)--> idle, nothing built
class GeneratorSession : public QObject {
    Q_OBJECT
public:
    // Sets the main window's entry count to `count` and presses its Start.
    using StartRun = std::function<void(qint64 count)>;

    GeneratorSession(config::ProgramFolder folder, config::SettingsStore &settings, core::UserNotice &notice,
                     core::Scheduler &scheduler, QObject *parent = nullptr);
    ~GeneratorSession() override;

    void setStartRun(StartRun startRun) { m_startRun = std::move(startRun); }
    void setSliceSize(qint64 names) { m_sliceSize = qMax<qint64>(1, names); }
    // The most names one generation builds (kMaxGeneratedNames unless a test lowers it).
    void setNameLimit(qint64 names) { m_nameLimit = qMax<qint64>(1, names); }

    // As when the window opens: reads the usable words of Appends.txt, the three switches,
    // the base word and the extension list (all checked). Restoring writes no setting.
    void load();

    const QStringList &words() const { return m_words; }
    const QString &baseWord() const { return m_baseWord; }
    bool isSwitchOn(AffixSwitch which) const { return m_switches[std::size_t(which)]; }
    const QList<ExtensionItem> &extensions() const { return m_extensions; }
    const QString &status() const { return m_status; }
    bool isGenerating() const { return m_generating; }
    // The names of the current or last generation, in generation order; null before the
    // first one and after one that could not start. Valid until namesReset.
    const NameBuffer *names() const;

    // Edits by the user; the base word and the switches are stored at once.
    void setBaseWord(const QString &text);
    void setSwitch(AffixSwitch which, bool on);
    void setExtensionChecked(int index, bool checked);

    // Add: appends `word` as one line to Appends.txt and to the word list. Nothing is
    // validated (an empty word gives an empty line). False, with a message, when the file
    // cannot be written.
    bool addWord(const QString &word);
    // Del on the word list's entry `index` (-1: none selected, which is told and changes
    // nothing): every equal line leaves Appends.txt, only that entry leaves the list.
    bool removeWord(int index);

    // Start Generator. False when a generation is already running or Appends.txt cannot be
    // read (told; nothing is built and no run starts).
    bool generateNames();

    // Save Domains As: the proposed file (the base word + ".txt" in CustomLists, which is
    // created so the dialog can start there), then the copy of CreatedDomains.txt to the
    // chosen file. An empty choice (a cancelled dialog) saves nothing.
    QString proposedSavePath() const;
    bool saveDomainsAs(const QString &destination);

Q_SIGNALS:
    // A new generation began (or failed to begin): names() is another buffer now.
    void namesReset();
    // The current generation's buffer grew.
    void namesAppended();
    void statusChanged(const QString &status);
    void generatingChanged(bool generating);

private:
    void buildSlice();
    void writeAndStart();
    void setStatus(const QString &status);
    void setGenerating(bool generating);
    GeneratorInput currentInput(QStringList affixes) const;
    void tell(const core::Status &failure);

    config::ProgramFolder m_folder;
    config::SettingsStore &m_settings;
    core::UserNotice &m_notice;
    StartRun m_startRun;
    qint64 m_sliceSize = kGeneratorSliceSize;
    qint64 m_nameLimit = kMaxGeneratedNames;

    QStringList m_words;
    QString m_baseWord;
    std::array<bool, kAffixSwitchCount> m_switches = {true, true, true};
    QList<ExtensionItem> m_extensions;
    QString m_status = kGeneratorInitialStatus;

    std::unique_ptr<GeneratorJob> m_job;
    bool m_generating = false;
    // The next slice, or the writing after the last one.
    core::SingleShot m_nextStep;
    // The run's start, after the window has shown that the list is written.
    core::SingleShot m_runStart;
};

} // namespace wendlecott::sources
