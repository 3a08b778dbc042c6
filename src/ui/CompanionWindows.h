#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <initializer_list>

class QWidget;

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::store {
struct StoredAnswer;
}

namespace wendlecott::ui {

class AboutWindow;
class GeneratorWindow;
class HelpWindow;
class WhoisWindow;

// The smaller windows the main window opens over itself, one of each at a time: the name
// generator, the WHOIS window, About and the user guide; and the addresses it hands to the
// desktop's browser. At shutdown they close with the windows opened for it elsewhere.
class CompanionWindows final : public QObject {
    Q_OBJECT
public:
    CompanionWindows(config::AppState &state, QWidget *owner);

    GeneratorWindow *generator() const;
    AboutWindow *about() const;
    HelpWindow *help() const;

    // The generator calls `startRun` with the count of the list it wrote.
    void openGenerator(const std::function<void(qint64)> &startRun);
    void openWhois(const QString &domain);
    // The WHOIS window with an answer from the answer store, asking nobody until told to.
    void showStoredAnswer(const store::StoredAnswer &answer);
    WhoisWindow *whois() const;
    // The user guide in the help window, or a message that it is missing.
    void viewHelp();
    // The user guide opens in the program's help window; another help file in the desktop's viewer.
    void openHelpFile(const QString &path);
    void showAbout();
    void openWebsite();
    // A desktop without a browser: the user is told, over the window that asked, and may copy
    // the address.
    void openAddressFrom(QWidget *window, const QString &url);
    // A window opened for the owner elsewhere (Setup, list builder, browse) that shutdown closes.
    void closeAtShutdown(QWidget *window);
    // Each shown window of `windows` becomes a dependant of the owner's window (it stays above
    // it) and is raised, the last one on top.
    void raiseOverOwner(std::initializer_list<QWidget *> windows);
    void closeAll();

private:
    config::AppState &m_state;
    QWidget *m_owner;
    QPointer<GeneratorWindow> m_generator;
    QPointer<AboutWindow> m_about;
    QPointer<WhoisWindow> m_whois;
    QPointer<HelpWindow> m_help;
    QList<QPointer<QWidget>> m_others;
};

} // namespace wendlecott::ui
