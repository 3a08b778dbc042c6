#include "ui/BlockedNotice.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace wendlecott::ui {

namespace {

QLabel *plainLabel(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

} // namespace

BlockedNotice::BlockedNotice(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmBlocked"));
    setWindowTitle(QStringLiteral("Registrar blocked"));

    m_label2 = plainLabel(
        QStringLiteral(
            "Your connections may be blocked by the following registar, or the registrar might be "
            "timing out and causing slow searching.  Consider using throttling to lower the amount "
            "of queries through the Setup menu or disable the TLD using this registrar."),
        QStringLiteral("Label2"), this);
    m_label2->setWordWrap(true);

    // Both boxes hold text that came from the network: plain text only, never markup.
    m_txtRegistrar = new QLineEdit(this);
    m_txtRegistrar->setObjectName(QStringLiteral("txtRegistrar"));
    m_txtRegistrar->setReadOnly(true);

    m_txtResponse = new QPlainTextEdit(this);
    m_txtResponse->setObjectName(QStringLiteral("txtResponse"));
    m_txtResponse->setReadOnly(true);
    m_txtResponse->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    auto *registrarLabel = plainLabel(QStringLiteral("Registrar"), QStringLiteral("Label1"), this);
    registrarLabel->setBuddy(m_txtRegistrar);
    auto *responseLabel = plainLabel(QStringLiteral("Response:"), QStringLiteral("Label3"), this);
    responseLabel->setBuddy(m_txtResponse);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label2);
    layout->addSpacing(6);
    layout->addWidget(registrarLabel);
    layout->addWidget(m_txtRegistrar);
    layout->addWidget(responseLabel);
    layout->addWidget(m_txtResponse, 1);
    resize(460, 320);
}

BlockedNotice::~BlockedNotice() = default;

// A flag rather than a look at the registrar box, so that a caller that knows no server
// name still cannot have its answer replaced by a later one.
bool BlockedNotice::fill(const QString &server, const QString &response)
{
    if (m_filled)
        return false;
    m_filled = true;
    m_txtRegistrar->setText(server);
    m_txtRegistrar->setCursorPosition(0);
    m_txtResponse->setPlainText(response);
    return true;
}

QString BlockedNotice::registrar() const
{
    return m_txtRegistrar->text();
}

QString BlockedNotice::response() const
{
    return m_txtResponse->toPlainText();
}

} // namespace wendlecott::ui
