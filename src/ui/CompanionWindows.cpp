#include "ui/CompanionWindows.h"

#include "config/AppState.h"
#include "config/FileUtils.h"
#include "config/SettingsKeys.h"
#include "config/Startup.h"
#include "core/store/StoredAnswer.h"
#include "ui/AboutWindow.h"
#include "ui/GeneratorWindow.h"
#include "ui/HelpWindow.h"
#include "ui/WhoisWindow.h"

#include <QDir>
#include <QUrl>
#include <QWindow>

#include <memory>

namespace wendlecott::ui {

namespace {

void bringToFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

CompanionWindows::CompanionWindows(config::AppState &state, QWidget *owner)
    : QObject(owner), m_state(state), m_owner(owner)
{
}

GeneratorWindow *CompanionWindows::generator() const
{
    return m_generator.data();
}

AboutWindow *CompanionWindows::about() const
{
    return m_about.data();
}

HelpWindow *CompanionWindows::help() const
{
    return m_help.data();
}

void CompanionWindows::openGenerator(const std::function<void(qint64)> &startRun)
{
    if (!m_generator) {
        m_generator = new GeneratorWindow(m_state.folder(), m_state.settings(), m_state.notice(),
                                          m_state.scheduler(), m_owner);
        m_generator->setStartRun(startRun);
    }
    bringToFront(m_generator);
}

void CompanionWindows::openWhois(const QString &domain)
{
    WhoisWindow *window = WhoisWindow::replaceAndShow(
        m_whois, domain, m_state.table(), m_state.lookupChoices(), m_state.lookupServices(),
        m_state.connections(), m_state.scheduler(), m_state.timing(), m_owner);
    window->setRecorder(m_state.answerStore());
}

void CompanionWindows::showStoredAnswer(const store::StoredAnswer &answer)
{
    if (m_whois)
        m_whois->close();
    const core::LookupChoices choices = m_state.lookupChoices();
    auto *window = new WhoisWindow(answer.name, m_state.table(), choices.useProxy, m_state.connections(),
                                   m_state.scheduler(), m_state.timing(), m_owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setLookup(choices, m_state.lookupServices());
    window->setRecorder(m_state.answerStore());
    m_whois = window;
    window->showStored(answer);
    bringToFront(window);
}

WhoisWindow *CompanionWindows::whois() const
{
    return m_whois.data();
}

void CompanionWindows::openWebsite()
{
    openAddressFrom(m_owner, addressForBrowser(config::kProductWebAddress));
}

void CompanionWindows::openAddressFrom(QWidget *window, const QString &url)
{
    const std::unique_ptr<core::UserNotice> notice = m_state.notice().noticeFor(window);
    (void)core::openAddressOrOfferCopy(url, m_state.opener(), *notice, m_state.clipboard());
}

void CompanionWindows::viewHelp()
{
    const QString path = config::helpFilePath(m_state.folder());
    if (path.isEmpty()) {
        m_state.notice().showMessage(QString(),
                                     QStringLiteral("The user guide %1 is not in the program folder %2.")
                                         .arg(config::fileNamePart(config::kUserGuideFileName),
                                              QDir::toNativeSeparators(m_state.folder().root())),
                                     core::NoticeIcon::Warning);
        return;
    }
    openHelpFile(path);
}

void CompanionWindows::openHelpFile(const QString &path)
{
    if (!config::isUserGuide(path)) {
        (void)m_state.opener().openFile(path);
        return;
    }
    if (!m_help || m_help->guidePath() != path) {
        delete m_help.data();
        m_help = new HelpWindow(
            path, [this](const QUrl &url) { openAddressFrom(m_help.data(), url.toString()); }, m_owner);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringToFront(m_help);
}

void CompanionWindows::showAbout()
{
    if (!m_about) {
        m_about = new AboutWindow(
            [this] { openAddressFrom(m_about.data(), addressForBrowser(config::kProductWebAddress)); },
            m_owner);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringToFront(m_about);
}

void CompanionWindows::closeAtShutdown(QWidget *window)
{
    if (window)
        m_others.append(QPointer<QWidget>(window));
}

void CompanionWindows::raiseOverOwner(std::initializer_list<QWidget *> windows)
{
    QWindow *owner = m_owner->window()->windowHandle();
    for (QWidget *window : windows) {
        if (!window || !window->isVisible())
            continue;
        if (QWindow *handle = window->windowHandle(); handle && owner)
            handle->setTransientParent(owner);
        window->raise();
        window->activateWindow();
    }
}

void CompanionWindows::closeAll()
{
    for (const QPointer<QWidget> &window : std::as_const(m_others)) {
        if (window)
            window->close();
    }
    for (QWidget *window : std::initializer_list<QWidget *>{m_generator, m_whois, m_about, m_help}) {
        if (window)
            window->close();
    }
}

} // namespace wendlecott::ui
