#include "ui/StatusPanel.h"

#include "core/base/ShownText.h"
#include "core/run/CheckRun.h"
#include "sources/MainWindowRules.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>

namespace wendlecott::ui {

StatusPanel::StatusPanel(QWidget *parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        auto *panel = new QLabel(core::CheckRun::idlePanelText(i), this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The panels take the shares the resize rules give them, whatever text they show.
        panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        addWidget(panel, i == 2 ? 2 : 1);
        m_panels[std::size_t(i)] = panel;
    }

    m_sourcePanel = new QLabel(this);
    m_sourcePanel->setObjectName(QStringLiteral("lblSource"));
    m_sourcePanel->setTextFormat(Qt::PlainText);
    m_passedOverPanel = new QLabel(this);
    m_passedOverPanel->setObjectName(QStringLiteral("lblPassedOver"));
    m_passedOverPanel->setToolTip(
        QStringLiteral("Names of this run whose extension no enabled TLD row serves: they were not "
                       "looked up. Add or enable their rows in Setup."));
    m_passedOverPanel->hide();
    m_invalidNamesPanel = new QLabel(this);
    m_invalidNamesPanel->setObjectName(QStringLiteral("lblInvalidNames"));
    m_invalidNamesPanel->setToolTip(
        QStringLiteral("Entries of this run that cannot be domain names (too long, or characters no "
                       "registry accepts): they were not looked up."));
    m_invalidNamesPanel->hide();
    m_settledByDnsPanel = new QLabel(this);
    m_settledByDnsPanel->setObjectName(QStringLiteral("lblSettledByDns"));
    m_settledByDnsPanel->setToolTip(QStringLiteral(
        "Names of this run delegated in their extension's zone: registered, without asking the registry."));
    m_settledByDnsPanel->hide();
    m_backOffPanel = new QLabel(this);
    m_backOffPanel->setObjectName(QStringLiteral("lblBackOff"));
    m_backOffPanel->setTextFormat(Qt::PlainText);
    m_backOffPanel->setToolTip(
        QStringLiteral("Servers that refused or did not answer are paused; their names wait until then."));
    m_backOffPanel->hide();
    m_backOffTimer = new QTimer(this);
    m_backOffTimer->setInterval(1000);
    connect(m_backOffTimer, &QTimer::timeout, this, &StatusPanel::refreshBackOff);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgRun"));
    m_progress->setToolTip(
        QStringLiteral("The position of the name being checked, of the entries on your list."));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("0 of 0"));
    m_progress->setFixedWidth(kProgressWidth);
    addPermanentWidget(m_sourcePanel);
    addPermanentWidget(m_passedOverPanel);
    addPermanentWidget(m_invalidNamesPanel);
    addPermanentWidget(m_settledByDnsPanel);
    addPermanentWidget(m_backOffPanel);
    addPermanentWidget(m_progress);
    showSource(QString(), QString());
}

void StatusPanel::setPanelText(int panel, const QString &text)
{
    if (panel < 0 || panel >= int(m_panels.size()))
        return;
    m_panels[std::size_t(panel)]->setText(text);
    m_panels[std::size_t(panel)]->setToolTip(text);
    refreshBackOff();
}

void StatusPanel::refreshBackOff()
{
    const QString text = m_backOffSource ? sources::backOffText(m_backOffSource()) : QString();
    m_backOffPanel->setText(text);
    m_backOffPanel->setVisible(!text.isEmpty());
    if (text.isEmpty())
        m_backOffTimer->stop();
    else if (!m_backOffTimer->isActive())
        m_backOffTimer->start();
}

void StatusPanel::showIdleTexts()
{
    for (int i = 0; i < int(m_panels.size()); ++i)
        setPanelText(i, core::CheckRun::idlePanelText(i));
}

void StatusPanel::showProgress(qint32 position, qint32 count)
{
    const sources::ProgressShown shown = sources::progressShown(position, count);
    m_progress->setRange(0, shown.maximum);
    m_progress->setValue(shown.value);
    m_progress->setFormat(shown.format);
}

void StatusPanel::showInvalidName(const QString &name, const QString &reason, int count)
{
    m_invalidNamesPanel->setText(QStringLiteral("Invalid: %1 (not looked up)").arg(count));
    m_invalidNamesPanel->setToolTip(
        QStringLiteral("Entries of this run that cannot be domain names: they were not "
                       "looked up. The last one: %1 (%2).")
            .arg(core::quotedLine(name, 60), reason));
    m_invalidNamesPanel->show();
}

void StatusPanel::showPassedOver(int count)
{
    m_passedOverPanel->setText(QStringLiteral("Passed over: %1 (no TLD row)").arg(count));
    m_passedOverPanel->show();
}

void StatusPanel::hidePassedOver()
{
    m_passedOverPanel->hide();
}

void StatusPanel::hideInvalidNames()
{
    m_invalidNamesPanel->hide();
}

void StatusPanel::showSettledByDns(int count)
{
    m_settledByDnsPanel->setText(QStringLiteral("Settled by DNS: %1").arg(count));
    m_settledByDnsPanel->show();
}

void StatusPanel::hideSettledByDns()
{
    m_settledByDnsPanel->hide();
}

void StatusPanel::showSource(const QString &caption, const QString &listPath)
{
    const sources::SourcePanelText shown = sources::sourcePanelText(caption, listPath);
    // A long file name is shortened in the middle; the tooltip holds it whole.
    m_sourcePanel->setText(
        m_sourcePanel->fontMetrics().elidedText(shown.text, Qt::ElideMiddle, kSourcePanelWidth));
    m_sourcePanel->setToolTip(shown.tooltip);
}

void StatusPanel::sharePanels(const std::array<int, 3> &shares)
{
    for (QLabel *panel : m_panels)
        removeWidget(panel);
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        addWidget(m_panels[i], shares[i]);
        m_panels[i]->show();
    }
}

int StatusPanel::leastWidth() const
{
    // The status panels share what the source and the progress leave a quarter, a quarter
    // and a half; each keeps its caption whole.
    const int panels = std::max({4 * m_panels[0]->sizeHint().width(), 4 * m_panels[1]->sizeHint().width(),
                                 2 * m_panels[2]->sizeHint().width()});
    return panels + kSourcePanelWidth + kProgressWidth + kStatusBarSlack;
}

} // namespace wendlecott::ui
