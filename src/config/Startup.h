#pragma once

#include "config/ProgramFolder.h"
#include "config/SettingsStore.h"

#include <QStringList>

#include <functional>

namespace wendlecott::core {
struct TldTable;
}

namespace wendlecott::config {

inline const QString kFirstUseMessage = QStringLiteral(
    "Since this is your first time using this program you should visit the Setup area to enable any Top "
    "Level Domains (TLDs) that you want to work with.\r\n\r\nBy default, only .COM and .NET domains are "
    "enabled, but you can configure this program to work with any TLD.");
inline const QString kHelpFileName = QStringLiteral("\\Help.chm");

// What the start-up read and made, for the main window to apply.
struct StartupState {
    qint32 throttleMs = 0; // stays 0 when "Throttle" is not a number
    bool openHelp = false; // first start and "Help.chm" is there
    QString helpPath;
    qint32 wordNumber = 0;
    bool useProxy = false;
    QString defaultExtension;
    bool showFirstUseMessage = false;
    QStringList tldChoices; // the extension drop-down's items
};

// The start-up steps that need no window, in their order: settings read, files and folders
// created when missing, the default TLD table written when missing and the table loaded,
// the first-use flag. A step that fails is skipped and the next one runs.
// `loadSavedList` runs at its place in the order (after the files are made).
StartupState runStartupSequence(const ProgramFolder &folder, SettingsStore &settings, core::TldTable &table,
                                const std::function<void()> &loadSavedList = {});

// Creates the program folder's files and folders that are missing (steps of the start-up).
void createMissingFiles(const ProgramFolder &folder);
void createMissingFolders(const ProgramFolder &folder);

} // namespace wendlecott::config
