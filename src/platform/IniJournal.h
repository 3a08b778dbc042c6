#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace wendlecott::platform {

// The journal kept beside an INI file ("Tarnhollow.ini.journal"): the writes made since the
// INI file was last rewritten, one record each, appended with a single write. A record is a
// line end, then the section, key and value in double quotes with backslash escapes (as
// encodeIniValue quotes them, so no line end or tab is left in them), then a line end:
//
//   \n"Settings" "wordNumber"="17"\n
//
// The line end in front keeps the records apart even when one was cut short: a write that
// stopped part-way (the program died in it, the disk filled) leaves a line without its own
// line end; the next record's leading line end closes that line, and the record after it
// starts on a line of its own. Such a cut line is never taken: a whole record is followed by
// an empty line (the next record's leading line end) or by the end of the journal, a cut one
// by the text of the next record.
struct IniJournalEntry {
    QString section;
    QString key;
    QString value;
};

QByteArray encodeIniJournalRecord(const QString &section, const QString &key, const QString &value);

// Reads the records in `bytes`, which starts at the beginning of the journal or just after a
// line end that an earlier call stopped at. `consumed` is where the next call starts: after
// the last line end, so a last record still without its line end is read again, whole, once
// its writer (or the next one) has finished. Lines that are not whole records are skipped.
struct IniJournalChunk {
    QList<IniJournalEntry> entries;
    qsizetype consumed = 0;
};
IniJournalChunk parseIniJournal(const QByteArray &bytes);

// The latest value of every key the journal names, in the order the keys first appeared;
// sections and keys matched without regard to case, as the INI file matches them.
class IniJournalValues {
public:
    bool isEmpty() const { return m_entries.isEmpty(); }
    const QList<IniJournalEntry> &entries() const { return m_entries; }
    void clear() { m_entries.clear(); }
    void set(IniJournalEntry entry);
    const QString *find(const QString &section, const QString &key) const;

private:
    QList<IniJournalEntry> m_entries;
};

} // namespace wendlecott::platform
