#include "sources/SeenNames.h"

namespace wendlecott::sources {

namespace {

char16_t folded(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u >= u'A' && u <= u'Z' ? char16_t(u + (u'a' - u'A')) : u;
    return char16_t(QChar::toCaseFolded(char32_t(u)));
}

} // namespace

SeenNames::SeenNames()
{
    clear();
}

void SeenNames::clear()
{
    m_states.assign(1, State{});
    m_edges.clear();
    m_index.clear();
    m_last = 0;
    m_names.clear();
}

bool SeenNames::contains(QStringView text) const
{
    qint32 state = 0;
    for (const QChar c : text) {
        state = transition(state, folded(c));
        if (state < 0)
            return false;
    }
    return true;
}

void SeenNames::add(const QString &name)
{
    for (const QChar c : name)
        append(folded(c));
    append(u'\r');
    append(u'\n');
    m_names.append(name);
}

QString SeenNames::text() const
{
    QString text;
    for (const QString &name : m_names)
        text += name + QLatin1String("\r\n");
    return text;
}

qint32 SeenNames::addState(qint32 length, qint32 link)
{
    m_states.push_back(State{length, link, -1, 0});
    return qint32(m_states.size() - 1);
}

qint32 SeenNames::edgeOf(qint32 state, char16_t c) const
{
    const State &from = m_states[std::size_t(state)];
    if (from.degree >= kIndexedDegree)
        return m_index.value(key(state, c), -1);
    for (qint32 e = from.firstEdge; e >= 0; e = m_edges[std::size_t(e)].next) {
        if (m_edges[std::size_t(e)].character == c)
            return e;
    }
    return -1;
}

qint32 SeenNames::transition(qint32 state, char16_t c) const
{
    const qint32 edge = edgeOf(state, c);
    return edge < 0 ? -1 : m_edges[std::size_t(edge)].target;
}

void SeenNames::addEdge(qint32 state, char16_t c, qint32 target)
{
    State &from = m_states[std::size_t(state)];
    m_edges.push_back(Edge{c, target, from.firstEdge});
    from.firstEdge = qint32(m_edges.size() - 1);
    ++from.degree;
    if (from.degree == kIndexedDegree) {
        for (qint32 e = from.firstEdge; e >= 0; e = m_edges[std::size_t(e)].next)
            m_index.insert(key(state, m_edges[std::size_t(e)].character), e);
    } else if (from.degree > kIndexedDegree) {
        m_index.insert(key(state, c), from.firstEdge);
    }
}

// One character more at the end of the text: the standard online construction of a suffix
// automaton (every state stands for a set of substrings that end at the same places).
void SeenNames::append(char16_t c)
{
    const qint32 current = addState(m_states[std::size_t(m_last)].length + 1, -1);
    qint32 p = m_last;
    qint32 edge = -1;
    while (p >= 0 && (edge = edgeOf(p, c)) < 0) {
        addEdge(p, c, current);
        p = m_states[std::size_t(p)].link;
    }
    if (p < 0) {
        m_states[std::size_t(current)].link = 0;
        m_last = current;
        return;
    }
    const qint32 q = m_edges[std::size_t(edge)].target;
    if (m_states[std::size_t(p)].length + 1 == m_states[std::size_t(q)].length) {
        m_states[std::size_t(current)].link = q;
        m_last = current;
        return;
    }
    // q also stands for longer texts than p + c: split off a copy for the shorter ones.
    const qint32 clone = addState(m_states[std::size_t(p)].length + 1, m_states[std::size_t(q)].link);
    for (qint32 e = m_states[std::size_t(q)].firstEdge; e >= 0; e = m_edges[std::size_t(e)].next)
        addEdge(clone, m_edges[std::size_t(e)].character, m_edges[std::size_t(e)].target);
    while (p >= 0) {
        edge = edgeOf(p, c);
        if (edge < 0 || m_edges[std::size_t(edge)].target != q)
            break;
        m_edges[std::size_t(edge)].target = clone;
        p = m_states[std::size_t(p)].link;
    }
    m_states[std::size_t(q)].link = clone;
    m_states[std::size_t(current)].link = clone;
    m_last = current;
}

} // namespace wendlecott::sources
