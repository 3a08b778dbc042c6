#include "ui/ListBuilderWindow.h"

#include "config/AppState.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace wendlecott::ui {

ListBuilderWindow::ListBuilderWindow(config::AppState &state, sources::ListBuilderRequest request,
                                     QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(kCaption);

    m_pleaseWait = new QLabel(kPleaseWaitText, this);
    m_pleaseWait->setObjectName(QStringLiteral("Label1"));
    m_status = new QLineEdit(kInitialStatus, this);
    m_status->setObjectName(QStringLiteral("text1"));
    m_status->setToolTip(kStatusToolTip);
    m_status->setReadOnly(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pleaseWait);
    layout->addWidget(m_status);
    resize(420, 90);

    m_builder = new sources::ListBuilder(std::move(request), state.table(), state.folder(), *state.http(),
                                         state.scheduler(), state.timing(), this);
    connect(m_builder, &sources::ListBuilder::statusChanged, m_status, &QLineEdit::setText);
    connect(m_builder, &sources::ListBuilder::finished, this, &ListBuilderWindow::onFinished);
    connect(m_builder, &sources::ListBuilder::held, this, &ListBuilderWindow::onHeld);
}

void ListBuilderWindow::setRunInUse(RunInUse run)
{
    m_run = std::move(run);
    m_builder->setListInUse(m_run.isRunning);
}

void ListBuilderWindow::onHeld()
{
    const bool stopNow = m_state.notice().noticeFor(this)->askOkCancel(
        kCaption, QStringLiteral("The list of %1 names is ready, but a check run is going.\r\n"
                                 "OK stops the run and checks the new list now; Cancel checks it when "
                                 "the run ends.")
                      .arg(m_builder->totalFound()));
    // The run may have ended while the question was open; then the list is written already.
    if (stopNow && m_builder->phase() == sources::ListBuilder::Phase::Held && m_run.stop)
        m_run.stop();
    if (m_builder->phase() == sources::ListBuilder::Phase::Held && !(m_run.isRunning && m_run.isRunning()))
        m_builder->writeHeldList();
}

void ListBuilderWindow::runEnded()
{
    m_builder->writeHeldList();
}

ListBuilderWindow::~ListBuilderWindow() = default;

void ListBuilderWindow::start()
{
    m_builder->start();
}

QString ListBuilderWindow::statusText() const
{
    return m_status->text();
}

void ListBuilderWindow::closeEvent(QCloseEvent *event)
{
    m_builder->abandon();
    QWidget::closeEvent(event);
}

void ListBuilderWindow::onFinished(const sources::ListBuilderResult &result)
{
    hide();
    if (!result.written) {
        // The list on disk is an older one: checking it would check the wrong names.
        m_state.notice().showMessage({}, result.written.message(), core::NoticeIcon::Warning);
    } else {
        m_state.notice().showMessage({}, sources::listCreatedMessageText(result.totalFound),
                                     core::NoticeIcon::None);
        if (m_startRun)
            m_startRun(result.entryCount);
    }
    close();
}

} // namespace wendlecott::ui
