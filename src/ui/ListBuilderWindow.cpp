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
