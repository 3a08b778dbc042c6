#include "config/Startup.h"

#include "config/AppState.h"
#include "config/FileUtils.h"
#include "config/SettingsKeys.h"
#include "core/base/Paths.h"
#include "core/base/TextFile.h"
#include "core/lists/ResultLists.h"
#include "core/tld/TldTable.h"

#include <QDir>

namespace wendlecott::config {

void createMissingFiles(const ProgramFolder &folder)
{
    for (const QString &name : {core::kBrowserSearchFile, QStringLiteral("\\Appends.txt"),
                                QStringLiteral("\\CreatedDomains.txt"), QStringLiteral("\\Remembered.txt")}) {
        const QString path = folder.path(name);
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

QString helpFilePath(const ProgramFolder &folder)
{
    const QString guide = folder.shippedPath(kUserGuideFileName);
    if (xfileExists(guide))
        return guide;
    const QString chm = folder.path(kHelpFileName);
    return xfileExists(chm) ? chm : QString();
}

bool isUserGuide(const QString &path)
{
    return path.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive);
}

StartupState runStartupSequence(AppState &state)
{
    StartupState startup;
    const ProgramFolder &folder = state.folder();
    SettingsStore &settings = state.settings();

    if (readSetting(settings, keys::ShowHelp, defaults::ShowHelp) == QLatin1String("1")) {
        (void)writeSetting(settings, keys::ShowHelp, QStringLiteral("0"));
        startup.helpPath = helpFilePath(folder);
        startup.openHelp = !startup.helpPath.isEmpty();
    }

    createMissingFiles(folder);
    state.lists().loadRemembered();

    if (auto position = toInt32(readSetting(settings, keys::WordNumber, defaults::WordNumber)))
        startup.wordNumber = *position;

    createMissingFolders(folder);

    (void)state.open();
    startup.tldChoices = core::loadTLDs(state.tldPath());

    if (readSetting(settings, keys::FirstUse, defaults::FirstUse).isEmpty()) {
        (void)writeSetting(settings, keys::FirstUse, QStringLiteral("NO"));
        startup.showFirstUseMessage = true;
    }
    return startup;
}

} // namespace wendlecott::config
