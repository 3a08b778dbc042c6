#include "ui/BlockedNotice.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
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

QLineEdit *readOnlyLine(const QString &objectName, QWidget *parent)
{
    auto *line = new QLineEdit(parent);
    line->setObjectName(objectName);
    line->setReadOnly(true);
    return line;
}

} // namespace

BlockedNotice::BlockedNotice(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmBlocked"));
    setWindowTitle(QStringLiteral("Registrar blocked"));
    // Esc closes the window, as it closes a dialog.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    m_label2 = plainLabel(
        QStringLiteral(
            "Your connections may be blocked by the following registar, or the registrar might be "
            "timing out and causing slow searching.  Consider using throttling to lower the amount "
            "of queries through the Setup menu or disable the TLD using this registrar."),
        QStringLiteral("Label2"), this);
    m_label2->setWordWrap(true);

    // The boxes hold text that came from the network: plain text only, never markup.
    m_txtDomain = readOnlyLine(QStringLiteral("txtDomain"), this);
    m_txtRegistrar = readOnlyLine(QStringLiteral("txtRegistrar"), this);
    m_txtResponse = new QPlainTextEdit(this);
    m_txtResponse->setObjectName(QStringLiteral("txtResponse"));
    m_txtResponse->setReadOnly(true);
    m_txtResponse->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    auto *domainLabel = plainLabel(QStringLiteral("Domain:"), QStringLiteral("lblDomain"), this);
    domainLabel->setBuddy(m_txtDomain);
    auto *registrarLabel = plainLabel(QStringLiteral("Registrar"), QStringLiteral("Label1"), this);
    registrarLabel->setBuddy(m_txtRegistrar);
    auto *responseLabel = plainLabel(QStringLiteral("Response:"), QStringLiteral("Label3"), this);
    responseLabel->setBuddy(m_txtResponse);
    m_furtherLabel = plainLabel(QString(), QStringLiteral("lblFurther"), this);
    m_furtherLabel->setWordWrap(true);
    m_furtherLabel->setVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label2);
    layout->addSpacing(6);
    layout->addWidget(domainLabel);
    layout->addWidget(m_txtDomain);
    layout->addWidget(registrarLabel);
    layout->addWidget(m_txtRegistrar);
    layout->addWidget(responseLabel);
    layout->addWidget(m_txtResponse, 1);
    layout->addWidget(m_furtherLabel);
    resize(460, 360);
}

BlockedNotice::~BlockedNotice() = default;

// A flag rather than a look at the registrar box, so that a caller that knows no server
// name still cannot have its answer replaced by a later one.
bool BlockedNotice::fill(const QString &server, const QString &response, const QString &domain)
{
    if (m_filled) {
        ++m_further;
        QString latest = domain.isEmpty() || server.isEmpty()
                             ? domain + server
                             : QStringLiteral("%1 at %2").arg(domain, server);
        if (!latest.isEmpty())
            latest = QStringLiteral(" The latest: %1.").arg(latest);
        m_furtherLabel->setText(furtherText() + latest);
        m_furtherLabel->setVisible(true);
        return false;
    }
    m_filled = true;
    m_txtDomain->setText(domain);
    m_txtDomain->setCursorPosition(0);
    m_txtRegistrar->setText(server);
    m_txtRegistrar->setCursorPosition(0);
    m_txtResponse->setPlainText(response);
    return true;
}

QString BlockedNotice::furtherText() const
{
    if (m_further == 0)
        return {};
    return m_further == 1
               ? QStringLiteral("1 more refusal or time-out since this notice opened.")
               : QStringLiteral("%1 more refusals or time-outs since this notice opened.").arg(m_further);
}

QString BlockedNotice::registrar() const
{
    return m_txtRegistrar->text();
}

QString BlockedNotice::response() const
{
    return m_txtResponse->toPlainText();
}

QString BlockedNotice::domain() const
{
    return m_txtDomain->text();
}

} // namespace wendlecott::ui
