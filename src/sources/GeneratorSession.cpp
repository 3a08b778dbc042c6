#include "sources/GeneratorSession.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/base/UserNotice.h"

#include <QDir>

namespace wendlecott::sources {

QString nameLimitMessage(qint64 created)
{
    return QStringLiteral("Only the first %1 names were created; the list cannot take more.")
        .arg(QString::number(created));
}

GeneratorSession::GeneratorSession(config::ProgramFolder folder, config::SettingsStore &settings,
                                   core::UserNotice &notice, core::Scheduler &scheduler, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_settings(settings)
    , m_notice(notice)
    , m_nextStep(scheduler)
    , m_runStart(scheduler)
{
}

GeneratorSession::~GeneratorSession() = default;

void GeneratorSession::load()
{
    m_words.clear();
    if (auto words = readAffixWords(m_folder.path(kAppendsFile)))
        m_words = std::move(words).value();

    for (int i = 0; i < kAffixSwitchCount; ++i) {
        const QString stored =
            config::readSetting(m_settings, config::chkAddKey(i), config::defaults::ChkAdd);
        m_switches[std::size_t(i)] = config::toTruth(stored).value_or(true);
    }
    m_baseWord = config::readSetting(m_settings, config::keys::TxtMake, config::defaults::TxtMake);

    m_extensions.clear();
    for (const QString &extension : readGeneratorExtensions(m_folder.path(kGeneratorTldFile)))
        m_extensions.append({extension, true});
}

const NameBuffer *GeneratorSession::names() const
{
    return m_job ? &m_job->names() : nullptr;
}

void GeneratorSession::setBaseWord(const QString &text)
{
    m_baseWord = text;
    (void)config::writeSetting(m_settings, config::keys::TxtMake, text);
}

void GeneratorSession::setSwitch(AffixSwitch which, bool on)
{
    const int index = int(which);
    m_switches[std::size_t(index)] = on;
    (void)config::writeSetting(m_settings, config::chkAddKey(index),
                               on ? QStringLiteral("1") : QStringLiteral("0"));
}

void GeneratorSession::setExtensionChecked(int index, bool checked)
{
    if (index >= 0 && index < m_extensions.size())
        m_extensions[index].checked = checked;
}

bool GeneratorSession::addWord(const QString &word)
{
    const core::Status added = appendAffixWord(m_folder.path(kAppendsFile), word);
    if (!added) {
        tell(added);
        return false;
    }
    m_words.append(word);
    return true;
}

bool GeneratorSession::removeWord(int index)
{
    if (index < 0 || index >= m_words.size()) {
        m_notice.showMessage({}, kNoWordSelectedMessage, core::NoticeIcon::None);
        return false;
    }
    const core::Status removed = removeAffixWord(m_folder.path(kAppendsFile), m_words.at(index));
    if (!removed) {
        tell(removed);
        return false;
    }
    // Only this entry leaves the list, though every equal line left the file.
    m_words.removeAt(index);
    return true;
}

GeneratorInput GeneratorSession::currentInput(QStringList affixes) const
{
    GeneratorInput input;
    input.base = m_baseWord;
    input.affixes = std::move(affixes);
    for (const ExtensionItem &item : m_extensions) {
        if (item.checked)
            input.extensions.append(item.text);
    }
    input.prefixes = isSwitchOn(AffixSwitch::Prefixes);
    input.suffixes = isSwitchOn(AffixSwitch::Suffixes);
    input.hyphens = isSwitchOn(AffixSwitch::Hyphens);
    return input;
}

bool GeneratorSession::generateNames()
{
    if (m_generating)
        return false;
    // The names of the last generation go first, whatever happens next; so does a start of
    // a run over them that has not happened yet.
    m_runStart.cancel();
    m_job.reset();
    Q_EMIT namesReset();

    // The words are read from the file at this moment, not taken from the list shown.
    auto words = readAffixWords(m_folder.path(kAppendsFile));
    if (!words) {
        tell(words.status());
        return false;
    }
    QStringList affixes = std::move(words).value();
    // Unchanged since it was shown, the list shares the shown one's text instead of holding a
    // second copy of a possibly long file for the whole generation.
    if (affixes == m_words)
        affixes = m_words;
    m_job = std::make_unique<GeneratorJob>(currentInput(std::move(affixes)), m_nameLimit);
    Q_EMIT namesReset();
    setGenerating(true);
    m_nextStep.start(0, [this] { buildSlice(); });
    return true;
}

void GeneratorSession::buildSlice()
{
    const GeneratorProgress progress = m_job->step(m_sliceSize);
    Q_EMIT namesAppended();
    if (progress.statusChanged)
        setStatus(m_job->status());
    if (!progress.finished) {
        m_nextStep.start(0, [this] { buildSlice(); });
        return;
    }
    setStatus(sortingStatus(progress.created));
    // The status shows before the file is written.
    m_nextStep.start(0, [this] { writeAndStart(); });
}

void GeneratorSession::writeAndStart()
{
    const qint64 created = m_job->created();
    const bool limitReached = m_job->limitReached();
    const core::Status written = writeCreatedDomains(m_folder.path(kCreatedDomainsFile), m_job->names());
    if (!written) {
        // The old list is still on disk; checking it would check the wrong names.
        setStatus(written.message());
        tell(written);
    } else {
        if (limitReached)
            m_notice.showMessage({}, nameLimitMessage(created), core::NoticeIcon::Information);
        setStatus(searchStartedStatus(created));
        m_runStart.start(0, [this, created] {
            if (m_startRun)
                m_startRun(created);
        });
    }
    // Last: whoever hears of the end may start the next generation at once.
    setGenerating(false);
}

QString GeneratorSession::proposedSavePath() const
{
    const QString folder = m_folder.path(kCustomListsFolder);
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + m_baseWord + QStringLiteral(".txt");
}

bool GeneratorSession::saveDomainsAs(const QString &destination)
{
    if (destination.isEmpty())
        return false; // cancelled: nothing is saved
    const core::Status saved = sources::saveDomainsAs(m_folder.path(kCreatedDomainsFile), destination);
    if (!saved)
        tell(saved);
    return saved.ok();
}

void GeneratorSession::setStatus(const QString &status)
{
    m_status = status;
    Q_EMIT statusChanged(m_status);
}

void GeneratorSession::setGenerating(bool generating)
{
    m_generating = generating;
    Q_EMIT generatingChanged(generating);
}

void GeneratorSession::tell(const core::Status &failure)
{
    m_notice.showMessage({}, failure.message(), core::NoticeIcon::Warning);
}

} // namespace wendlecott::sources
