#include "config/Startup.h"

#include "config/FileUtils.h"
#include "config/SettingsKeys.h"
#include "core/TextFile.h"
#include "core/TldTable.h"

#include <QDir>

namespace wendlecott::config {

void createMissingFiles(const ProgramFolder &folder)
{
    for (const char *name :
         {"\\BrowserSearch.txt", "\\Appends.txt", "\\CreatedDomains.txt", "\\Remembered.txt"}) {
        const QString path = folder.path(QLatin1String(name));
        if (!xfileExists(path))
            (void)core::appendText(path, QLatin1String(core::kCrLf)); // one empty line
    }
}

void createMissingFolders(const ProgramFolder &folder)
{
    for (const char *name : {"\\backups", "\\overflow", "\\wordlists", "\\searches"}) {
        const QString path = folder.path(QLatin1String(name));
        if (!xdirExists(path))
            (void)QDir().mkpath(path);
    }
}

StartupState runStartupSequence(const ProgramFolder &folder, SettingsStore &settings, core::TldTable &table,
                                const std::function<void()> &loadSavedList)
{
    StartupState state;

    if (auto throttle = toInt32(readSetting(settings, keys::Throttle, defaults::ThrottleAtStartup)))
        state.throttleMs = *throttle;

    if (readSetting(settings, keys::ShowHelp, defaults::ShowHelp) == QLatin1String("1")) {
        (void)writeSetting(settings, keys::ShowHelp, QStringLiteral("0"));
        state.helpPath = folder.path(kHelpFileName);
        state.openHelp = xfileExists(state.helpPath);
    }

    createMissingFiles(folder);
    if (loadSavedList)
        loadSavedList();

    if (auto position = toInt32(readSetting(settings, keys::WordNumber, defaults::WordNumber)))
        state.wordNumber = *position;

    createMissingFolders(folder);

    const QString tldPath = folder.path(QLatin1Char('\\') + core::kTldFileName);
    (void)core::writeDefaultTLDs(tldPath, false);
    (void)core::loadTLDTable(table, tldPath);
    state.tldChoices = core::loadTLDs(tldPath);

    if (auto proxy = toTruth(readSetting(settings, keys::ChkProxy, defaults::ChkProxy)))
        state.useProxy = *proxy;
    state.defaultExtension = readSetting(settings, keys::DefaultExt, defaults::DefaultExt);

    if (readSetting(settings, keys::FirstUse, defaults::FirstUse).isEmpty()) {
        (void)writeSetting(settings, keys::FirstUse, QStringLiteral("NO"));
        state.showFirstUseMessage = true;
    }
    return state;
}

} // namespace wendlecott::config
