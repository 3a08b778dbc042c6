#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace wendlecott::platform {

// The settings files of the store's earlier layout, which IniSettingsStore takes over once.
//
// That store wrote its INI files by rules of its own: every line ended by CR LF, a value in
// double quotes only when it had to be (blanks at either end, control characters, a leading
// quote), with the escapes \\ \" \n \r \t \xHH \uHHHH, and any other value as it stands,
// commas and semicolons included (QSettings reads those as a list or a comment). Group and
// key names were matched without regard to case. Writes made after the file was last
// rewritten went to a journal beside it, "Tarnhollow.ini.journal", one record a line, the
// three parts always quoted:
//
//   \n"Settings" "wordNumber"="17"\n
//
// A record counts only when whole: followed by the next record's leading line end or by the
// end of the journal. A record cut short by a crash never counts.
struct OldIniValue {
    QString group;
    QString key;
    QString value;
};

// The values of an INI file of that layout, in file order; for a name given twice the first.
QList<OldIniValue> parseOldIni(const QString &text);
// The whole records of a journal, in order.
QList<OldIniValue> parseOldJournal(const QByteArray &bytes);

// Takes over the file at `iniPath` when it is of that layout (it has CR LF line ends, or a
// journal lies beside it): reads it by those rules, plays the journal over it, writes the
// values back through QSettings and then removes the journal. Group and key names that
// differ from "Settings" and the key table only in case take their spelling. Nothing to do
// for a file that QSettings wrote. On failure the files are left as they were.
core::Status takeOverOldLayout(const QString &iniPath);

} // namespace wendlecott::platform
