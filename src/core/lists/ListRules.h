#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The fixed rules of the five result lists: which list a name goes to, the texts each list
// shows, the names of their files, and the texts that a drag carries. Pure functions only.

namespace wendlecott::core {

// The number by which buttons, keys and menu commands name a list. None stands for "no
// list clicked yet" (`DragSourceList` 0).
enum class ListId { None = 0, Low = 1, Registered = 2, High = 3, Mid = 4, Saved = 5 };

// The class of an available name, by the length of its first label.
enum class ProfileClass { High, Mid, Low };

// The number shown in a result list's caption. Not the size of the list: it counts filings
// and deletions, and restarts at every Start.
using ListCounter = qint32;

// The three lists that have live files, in the order their files are written.
inline constexpr std::array<ListId, 3> kProfileFileOrder = {ListId::Low, ListId::Mid, ListId::High};

// The list a ListId names, from a button's or menu item's index; nullopt outside 1..5.
std::optional<ListId> listIdFromIndex(int index);
// Lists 1 to 4: counted, clickable as a drag source, emptied by an overflow.
bool isResultList(ListId id);
// Lists 1, 3 and 4, which are mirrored in live files.
bool hasLiveFile(ListId id);

// The class of an available domain and the list that holds it.
ProfileClass classify(const QString &domain);
ListId listOf(ProfileClass profile);
// "High", "Mid" or "Low", as the command line reports a class.
QString profileClassName(ProfileClass profile);
// True for the two texts that both filing operations ignore, ".com" and ".net".
bool isBareExtension(const QString &domain);

// Fixed texts of each list: caption without a count, caption with one (the saved list never
// shows a count), tooltip, base name of its live file (empty for the Registered and saved
// lists).
QString uncountedCaption(ListId id);
QString countedCaption(ListId id, ListCounter count);
QString listTooltip(ListId id);
QString fileBaseName(ListId id);
// The tooltip of a list's caption: the list's tooltip, then what the caption's number counts
// (it is not the list's size) and how many entries the list shows now.
QString captionTooltip(ListId id, qsizetype shown);

// The file stamp for a moment: the locale's short date (with a four-digit year) and long
// time (without the time zone), with "/", ":" and blanks removed, and anything else that
// is not a letter, a digit, "." or "-" dropped, so it is safe in a file name.
// 9:40:00 AM on 12/6/2026 in English (United States) gives "126202694000AM".
QString fileStampFor(const QDateTime &moment, const QLocale &locale);

// The start of the registrar storefront's purchase link; the domain follows percent-encoded.
inline const QString kStorefrontHost = QStringLiteral("www.secureserver.net");
inline const QString kResellerProgram = QStringLiteral("wendlecott");
QString purchaseLinkPrefix();
QString purchaseLink(const QString &domain);

// The drag text of rows of a list with `size` entries: the rows inside the list, ascending,
// each once, joined by "|" ("0|3|4").
QString dragTextFor(QList<int> rows, qsizetype size);
// The rows a dropped text names when it is an index list (digits, "|" and blanks, at least
// one digit); parts that are not a row number are passed over. nullopt for any other text.
std::optional<QList<qsizetype>> parseDragText(const QString &text);
// Names dropped in from another program: every non-empty line, trimmed, when all of them
// look like domains (dot-separated labels of letters, digits and hyphens); otherwise none.
QStringList droppedNames(const QString &text);

} // namespace wendlecott::core
