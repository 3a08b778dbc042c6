#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace wendlecott::core {
class ServerPacer;
struct TldTable;
} // namespace wendlecott::core

namespace wendlecott::sources {

// What the main window's controls show and allow, decided without a display.

// A box's text as a whole number, as the run takes its positions: a text that is no number
// counts 0, one beyond the 32-bit range is held at its edge.
qint32 wholeNumber(const QString &text);

// The status bar's source panel: the list file a run reads (the source's caption when it has
// none, "No source chosen" before a choice); the tooltip names the source and the whole path.
struct SourcePanelText {
    QString text;
    QString tooltip;
};
SourcePanelText sourcePanelText(const QString &caption, const QString &listPath);

// The progress bar for the run's position of its entry count: a range of 0 to `maximum`
// (never 0 to 0, which would be a busy indicator), the position held inside it.
struct ProgressShown {
    qint32 maximum = 1;
    qint32 value = 0;
    QString format;
};
ProgressShown progressShown(qint32 position, qint32 count);

// The caption of the button beside cmbTLDs with `ticked` extensions ticked.
QString extensionTicksCaption(qsizetype ticked);

// After a run over a fixed list file (a word list or a search list) the source is chosen
// again, so its count and resume position are read afresh; the other sources keep their boxes.
bool reselectSourceAfterRun(const QString &caption);

// Which window a source of Combo1 and of the Tools menu needs before it can be offered.
enum class SourceWindowNeeded { None, Browse, ListBuilder };
SourceWindowNeeded windowNeededBy(int sourceIndex);

// The servers a run waits for after they refused, with the milliseconds left of each pause,
// as a line for the status bar: the longest wait first, in whole seconds rounded up; empty
// when no server is paused. At most `shown` servers are named, the rest counted.
// The whois servers of the table that the pacer holds back, each once, with the time left.
QList<QPair<QString, qint64>> pausedWhoisServers(const core::TldTable &table, const core::ServerPacer &pacer);

QString backOffText(QList<QPair<QString, qint64>> paused, int shown = 2);

} // namespace wendlecott::sources
