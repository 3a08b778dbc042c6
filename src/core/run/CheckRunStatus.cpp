// The run engine's texts, in one place for both programs: the described status panels and
// the status line of a run over several servers.
#include "core/run/CheckRun.h"

namespace wendlecott::core {

QString CheckRun::idlePanelText(int panel)
{
    switch (panel) {
    case 0:
        return QStringLiteral("Entry Status");
    case 1:
        return QStringLiteral("Open Connections");
    default:
        return QStringLiteral("Connection Status");
    }
}

void CheckRun::setPanel(int panel, const QString &text)
{
    if (m_panels[panel] == text)
        return;
    m_panels[panel] = text;
    Q_EMIT panelChanged(panel, text);
}

// The described texts of the entry just taken: the number of the next one, and whether the
// list is done.
void CheckRun::showTaken(qint32 position)
{
    const qint32 next = position + 1;
    if (m_entryCount >= next)
        setPanel(0, QStringLiteral("%1 of %2").arg(next).arg(m_entryCount));
    if (m_entryCount < next)
        setPanel(1, QStringLiteral("Open: Closing connections..."));
    else
        setPanel(1, QStringLiteral("Open: %1").arg(slotCount() - m_busy));
}

RunStatus CheckRun::status() const
{
    RunStatus status;
    status.inFlight = m_busy;
    status.askingDns = m_dns ? m_dns->pendingCount() : 0;
    status.settledByDns = m_filer.settledByDnsCount();
    for (const auto &[key, server] : m_servers) {
        const qint64 paused = m_pacer.pausedFor(key);
        if (paused > 0)
            status.backingOff += int(server.names.size());
        else
            status.queued += int(server.names.size());
        if (paused > status.restingMs) {
            status.restingMs = paused;
            status.restingServer = key;
        }
    }
    return status;
}

QString CheckRun::statusText() const
{
    const RunStatus now = status();
    QString text = QStringLiteral("In flight: %1, queued: %2, waiting on back-off: %3")
                       .arg(now.inFlight)
                       .arg(now.queued)
                       .arg(now.backingOff);
    if (m_policy.dnsFirst.enabled)
        text +=
            QStringLiteral(", asking DNS: %1, settled by DNS: %2").arg(now.askingDns).arg(now.settledByDns);
    if (now.restingMs > 0)
        text += QStringLiteral(" (%1 rests %2 s)").arg(now.restingServer).arg((now.restingMs + 999) / 1000);
    return text;
}

} // namespace wendlecott::core
