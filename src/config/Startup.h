#pragma once

#include "config/ProgramFolder.h"

#include <QStringList>

namespace wendlecott::config {

inline const QString kFirstUseMessage = QStringLiteral(
    "Since this is your first time using this program you should visit the Setup area to enable any Top "
    "Level Domains (TLDs) that you want to work with.\r\n\r\nBy default, only .COM and .NET domains are "
    "enabled, but you can configure this program to work with any TLD.");
inline const QString kHelpFileName = QStringLiteral("\\Help.chm");
// The user guide shipped with the program, shown in the program's own help window.
inline const QString kUserGuideFileName = QStringLiteral("\\Help.html");

class AppState;

// What the start-up found, for the main window to act on.
struct StartupState {
    bool openHelp = false; // first start and a help file is there
    QString helpPath;      // see helpFilePath
    qint32 wordNumber = 0;
    bool showFirstUseMessage = false;
    QStringList tldChoices; // the extension drop-down's items
};

// The desktop program's start-up steps that need no window, in their order: the help flag,
// files created when missing, the saved list loaded, folders created when missing, the
// state opened (preferences read, the default TLD table written when missing, the table
// loaded), the first-use flag. A step that fails is skipped and the next one runs.
StartupState runStartupSequence(AppState &state);

// The help to open: the user guide (the program folder's copy, else the shipped one), else
// "Help.chm" in the program folder; empty when neither is there.
QString helpFilePath(const ProgramFolder &folder);
// True for the user guide, which the program shows itself; other help files go to the
// desktop's viewer.
bool isUserGuide(const QString &path);

// Creates the program folder's files and folders that are missing (steps of the start-up).
void createMissingFiles(const ProgramFolder &folder);
void createMissingFolders(const ProgramFolder &folder);

} // namespace wendlecott::config
