#include "config/AppState.h"
#include "config/FolderLock.h"
#include "config/ProgramFolder.h"
#include "ui/AboutWindow.h"
#include "ui/DesktopPorts.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowWiring.h"
#include "ui/SplashWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTextStream>

#include <memory>

#include <unistd.h>

namespace {

using namespace wendlecott;

// --measure-startup: says how long the program took until the main window was first
// painted, then ends it.
class FirstPaintWatch final : public QObject {
public:
    explicit FirstPaintWatch(const QElapsedTimer &sinceStart) : m_sinceStart(sinceStart) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTextStream(stdout) << "main window shown after " << m_sinceStart.nsecsElapsed() / 1e6 << " ms\n";
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &m_sinceStart;
    bool m_done = false;
};

const QString kQuit = QStringLiteral("quit");

// Takes the program folder's lock. When another process holds it, asks whether to open the
// folder read-only or quit: the empty text when the lock is held here, the reason when the
// user chose read-only, kQuit otherwise.
QString lockOrOpenReadOnly(config::FolderLock &lock)
{
    const core::Status locked = lock.acquire();
    if (locked)
        return {};
    QMessageBox box(QMessageBox::Warning, config::kProductName,
                    locked.message() + QStringLiteral("\n\nOpen it read-only (no runs), or quit?"));
    QPushButton *openReadOnly = box.addButton(QStringLiteral("Open &Read-Only"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("&Quit"), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == openReadOnly ? locked.message() : kQuit;
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();

    // The browse window's web view refuses to run as root inside its sandbox.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The web view shares OpenGL contexts with the rest of the program; this must be said
    // before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    QApplication app(argc, argv);
    QApplication::setApplicationName(config::kProductName);
    QApplication::setOrganizationName(config::kCompanyName);
    QApplication::setApplicationVersion(ui::versionText());
    QApplication::setWindowIcon(ui::programIcon());
    // The installed menu entry (wendlecott.desktop): lets a Wayland desktop match the window
    // to it and show its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("wendlecott"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Finds unregistered domain names."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folderOption(
        QStringLiteral("program-folder"),
        QStringLiteral("Keep the program's files in DIR (else $%1, else the program's own folder).")
            .arg(QLatin1String(config::kProgramFolderEnv)),
        QStringLiteral("DIR"));
    const QCommandLineOption noSplashOption(QStringLiteral("no-splash"),
                                            QStringLiteral("Open the main window at once."));
    const QCommandLineOption measureOption(
        QStringLiteral("measure-startup"),
        QStringLiteral("Print the time until the main window is shown, then end."));
    parser.addOptions({folderOption, noSplashOption, measureOption});
    parser.process(app);

    config::AppState state(
        config::ProgramFolder::locate(parser.value(folderOption), QCoreApplication::applicationDirPath()),
        ui::desktopPorts());

    // One window or command at a time writes into a program folder.
    config::FolderLock folderLock(state.folder().root());
    const QString readOnly = lockOrOpenReadOnly(folderLock);
    if (readOnly == kQuit)
        return 1;
    if (!readOnly.isEmpty())
        state.setAnswerStoreMode(store::StoreMode::ReadOnly); // another program writes the answers

    FirstPaintWatch paintWatch(sinceStart);
    const bool measure = parser.isSet(measureOption);
    const auto prepare = [&](ui::MainWindow *window) {
        ui::attachCompanionWindows(*window, state);
        QObject::connect(window, &ui::MainWindow::shutDown, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        if (measure)
            window->installEventFilter(&paintWatch);
        if (!readOnly.isEmpty())
            window->setReadOnly(readOnly);
    };

    std::unique_ptr<ui::MainWindow> mainWindow;
    std::unique_ptr<ui::SplashWindow> splash;
    if (parser.isSet(noSplashOption)) {
        mainWindow = std::make_unique<ui::MainWindow>(state);
        prepare(mainWindow.get());
        mainWindow->show();
    } else {
        splash = std::make_unique<ui::SplashWindow>(state);
        QObject::connect(splash.get(), &ui::SplashWindow::mainWindowLoaded, &app, prepare);
        splash->start();
    }
    const int status = QApplication::exec();
    // The windows go before the instances they borrow from.
    splash.reset();
    mainWindow.reset();
    return status;
}
