#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace wendlecott::sources {

// The names an extraction has accepted, each followed by CR LF, and the duplicate test the
// extractions run against them: a candidate counts as seen when it occurs anywhere in that
// text, compared without regard to case. So once "example.com" is in, "ample.com" is seen
// too, as is "Example.COM".
//
// The text is indexed by a suffix automaton over its case-folded characters, so a test costs
// the length of the candidate, not the length of the text: a page that yields a hundred
// thousand names is still handled in linear time.
class SeenNames {
public:
    SeenNames();

    // True when `text` occurs in the names' text. The empty text always does.
    bool contains(QStringView text) const;
    // Appends name + CR LF to the text.
    void add(const QString &name);
    void clear();

    const QStringList &names() const { return m_names; }
    qsizetype size() const { return m_names.size(); }
    bool isEmpty() const { return m_names.isEmpty(); }
    // The names, each followed by CR LF.
    QString text() const;

private:
    struct State {
        qint32 length = 0;     // longest text that ends in this state
        qint32 link = -1;      // suffix link
        qint32 firstEdge = -1; // chain of the transitions that leave this state
        qint32 degree = 0;     // their number
    };
    struct Edge {
        char16_t character = 0;
        qint32 target = -1;
        qint32 next = -1;
    };
    // Most states have one or two transitions, found by walking their chain; the few with
    // many (the start state, for one) are also indexed, so no look-up walks a long chain.
    static constexpr qint32 kIndexedDegree = 8;

    void append(char16_t c);
    qint32 addState(qint32 length, qint32 link);
    qint32 edgeOf(qint32 state, char16_t c) const;
    qint32 transition(qint32 state, char16_t c) const;
    void addEdge(qint32 state, char16_t c, qint32 target);
    static quint64 key(qint32 state, char16_t c) { return (quint64(quint32(state)) << 16) | c; }

    std::vector<State> m_states;
    std::vector<Edge> m_edges;
    QHash<quint64, qint32> m_index; // (state, character) -> edge, for states of high degree
    qint32 m_last = 0;
    QStringList m_names;
};

} // namespace wendlecott::sources
