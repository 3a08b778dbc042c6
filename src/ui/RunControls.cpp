#include "ui/RunControls.h"

#include "config/AppState.h"
#include "core/run/CheckRun.h"
#include "sources/MainWindowRules.h"
#include "ui/TopStrip.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>

namespace wendlecott::ui {

RunControls::RunControls(config::AppState &state, QWidget *strip, QObject *parent)
    : QObject(parent), m_state(state)
{
    setObjectName(QStringLiteral("RunControls"));
    m_run = new core::CheckRun(m_state.runEnvironment(), m_state.scheduler(), m_state.timing(),
                               m_state.connections(), core::RunPolicy::described(), this);
    m_run->setObjectName(QStringLiteral("CheckRun"));
    buildWidgets(strip);
    connectCheckRun();
}

void RunControls::buildWidgets(QWidget *strip)
{
    m_startLabel = TopStrip::makeLabel(QStringLiteral("wLabel1"), QStringLiteral("Start Number:"), strip);
    m_startPositionEdit = new QLineEdit(QStringLiteral("1"), strip);
    m_startPositionEdit->setObjectName(QStringLiteral("txtWordNum"));
    m_startPositionEdit->setFixedWidth(80);
    m_ofLabel = TopStrip::makeLabel(QStringLiteral("wLabel2"), QStringLiteral("of"), strip);
    m_entryCountEdit = new QLineEdit(QStringLiteral("1"), strip);
    m_entryCountEdit->setObjectName(QStringLiteral("txtWordMax"));
    m_entryCountEdit->setToolTip(QStringLiteral("The number of entries on your list."));
    m_entryCountEdit->setFixedWidth(80);

    m_startButton = TopStrip::makeButton(QStringLiteral("cmdDoSearch"), QStringLiteral("Start"),
                                         QStringLiteral("Click here to start searching your list."), strip);
    m_startButton->setEnabled(false); // until a source is chosen
    m_stopButton = TopStrip::makeButton(QStringLiteral("Command3"), QStringLiteral("Stop"),
                                        QStringLiteral("Click here to stop searching names"), strip);
    m_stopButton->setEnabled(false);

    m_extensionLabel = TopStrip::makeLabel(QStringLiteral("sLblTLD"), QStringLiteral("TLD:"), strip);
    m_extensionBox = new QComboBox(strip);
    m_extensionBox->setObjectName(QStringLiteral("cmbTLDs"));
    m_extensionBox->setEditable(true);
    m_extensionBox->setInsertPolicy(QComboBox::NoInsert);
    m_extensionBox->setMinimumContentsLength(6);
    // Beside cmbTLDs: several extensions ticked for one run.
    m_extensionTicks = new QToolButton(strip);
    m_extensionTicks->setObjectName(QStringLiteral("cmdTLDs"));
    m_extensionTicks->setText(QStringLiteral("TLDs"));
    m_extensionTicks->setToolTip(
        QStringLiteral("Tick two or more extensions to check every name in each of them."));
    m_extensionTicks->setPopupMode(QToolButton::InstantPopup);
    m_extensionTicks->setMenu(new QMenu(m_extensionTicks));
    // Ticking an extension keeps the menu open, so several can be ticked in one go.
    m_extensionTicks->menu()->installEventFilter(this);
}

bool RunControls::eventFilter(QObject *watched, QEvent *event)
{
    auto *menu = qobject_cast<QMenu *>(watched);
    if (menu && menu == m_extensionTicks->menu() &&
        (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::KeyPress)) {
        QAction *tick = menu->activeAction();
        const bool select =
            event->type() == QEvent::MouseButtonRelease
                ? static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
                      tick == menu->actionAt(static_cast<QMouseEvent *>(event)->position().toPoint())
                : static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space;
        if (tick && tick->isCheckable() && tick->isEnabled() && select) {
            tick->toggle();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void RunControls::connectCheckRun()
{
    connect(m_run, &core::CheckRun::panelChanged, this, &RunControls::panelChanged);
    // The positions are stored before the controls read them back.
    connect(m_run, &core::CheckRun::stopped, &m_state.positions(), &config::PositionRecorder::flush);
    connect(m_run, &core::CheckRun::stopped, this, &RunControls::stopped);
    connect(m_run, &core::CheckRun::progressChanged, this, &RunControls::progressChanged);
    connect(m_run, &core::CheckRun::namePassedOver, this,
            [this](const QString &, int count) { Q_EMIT passedOver(count); });
    connect(m_run, &core::CheckRun::invalidName, this, &RunControls::invalidName);
    connect(m_run, &core::CheckRun::recordFinished, this, [this](const core::RunRecord &record) {
        if (record.evidence.protocol == core::LookupProtocol::Dns)
            Q_EMIT settledByDns(m_run->settledByDnsCount());
    });
}

QList<QWidget *> RunControls::wordListWidgets() const
{
    return {m_startLabel,  m_startPositionEdit, m_ofLabel,      m_entryCountEdit,
            m_startButton, m_extensionLabel,    m_extensionBox, m_extensionTicks};
}

bool RunControls::startAllowed() const
{
    return m_startButton->isEnabled() && m_startButton->isVisibleTo(m_startButton->window());
}

bool RunControls::stopAllowed() const
{
    return m_stopButton->isEnabled();
}

bool RunControls::isRunActive() const
{
    return m_run->isRunning();
}

// The run takes the user's choices as they stand at Start: the ticked extensions, the Jobs
// preference and DnsFirst (one of each and DNS first off: the described run with the one
// extension of cmbTLDs).
void RunControls::startChosenRun(core::RunSource source, qint32 start, qint32 count)
{
    core::RunChoices choices;
    choices.extensions = tickedExtensions();
    choices.jobs = m_state.preferences().jobs();
    choices.dnsFirst = m_state.dnsFirstChoices();
    m_run->setPolicy(core::runPolicyFor(m_state.table(), choices));
    m_run->startRun(std::move(source), start, count);
}

void RunControls::stopRun()
{
    m_run->stopRun();
}

void RunControls::setExtensionChoices(const QStringList &choices)
{
    const QString current = m_extensionBox->currentText();
    m_extensionBox->clear();
    m_extensionBox->addItems(choices);
    // An extension that is still offered stays chosen; any other choice is gone with its row.
    const int keep = current.isEmpty() ? -1 : int(choices.indexOf(current));
    m_extensionBox->setCurrentIndex(keep);
    if (keep < 0)
        m_extensionBox->setEditText(QString());
    refillExtensionTicks(choices);
}

// One tick a enabled extension; ticks of extensions still offered stay.
void RunControls::refillExtensionTicks(const QStringList &choices)
{
    const QStringList ticked = tickedExtensions();
    QMenu *menu = m_extensionTicks->menu();
    menu->clear();
    for (const QString &extension : choices) {
        QAction *tick = menu->addAction(extension);
        tick->setObjectName(QStringLiteral("tickTLD_") + extension);
        tick->setCheckable(true);
        tick->setChecked(ticked.contains(extension));
        connect(tick, &QAction::toggled, this, &RunControls::showTickCount);
    }
    showTickCount();
}

void RunControls::showTickCount()
{
    m_extensionTicks->setText(sources::extensionTicksCaption(tickedExtensions().size()));
}

QStringList RunControls::tickedExtensions() const
{
    QStringList ticked;
    for (const QAction *tick : m_extensionTicks->menu()->actions()) {
        if (tick->isChecked())
            ticked.append(tick->text());
    }
    return ticked;
}

void RunControls::setExtensionTicked(const QString &extension, bool ticked)
{
    for (QAction *tick : m_extensionTicks->menu()->actions()) {
        if (tick->text() == extension)
            tick->setChecked(ticked);
    }
}

} // namespace wendlecott::ui
