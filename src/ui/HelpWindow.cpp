#include "ui/HelpWindow.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace wendlecott::ui {

namespace {

// Links that name a part of the guide itself (another shipped page or an anchor).
bool isInsideGuide(const QUrl &url)
{
    return url.isRelative() || url.isLocalFile() || url.scheme() == QLatin1String("qrc");
}

} // namespace

HelpWindow::HelpWindow(const QString &guidePath, ExternalLink openExternal, QWidget *parent)
    : QWidget(parent, Qt::Window), m_guidePath(guidePath), m_openExternal(std::move(openExternal))
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(kTitle);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    // Every link comes through followLink, so web addresses never end in an empty page.
    m_browser->setOpenLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);
    m_browser->setSource(QUrl::fromLocalFile(guidePath));

    auto *back = new QPushButton(QStringLiteral("&Back"), this);
    back->setObjectName(QStringLiteral("cmdHelpBack"));
    back->setEnabled(false);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    auto *contents = new QPushButton(QStringLiteral("C&ontents"), this);
    contents->setObjectName(QStringLiteral("cmdHelpHome"));
    connect(contents, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("cmdHelpClose"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(contents);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser, 1);
    layout->addLayout(buttons);
    resize(720, 640);
}

HelpWindow::~HelpWindow() = default;

void HelpWindow::followLink(const QUrl &url)
{
    if (!isInsideGuide(url)) {
        if (m_openExternal)
            m_openExternal(url);
        return;
    }
    const QUrl target = m_browser->source().resolved(url);
    if (target.adjusted(QUrl::RemoveFragment) == m_browser->source().adjusted(QUrl::RemoveFragment)) {
        m_browser->scrollToAnchor(target.fragment());
        return;
    }
    m_browser->setSource(target);
}

} // namespace wendlecott::ui
