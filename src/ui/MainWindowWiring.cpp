#include "ui/MainWindowWiring.h"

#include "config/AppState.h"
#include "ui/BrowseWindow.h"
#include "ui/MainWindow.h"
#include "ui/SetupWindow.h"

#include <QPointer>

#include <memory>

namespace wendlecott::ui {

void attachCompanionWindows(MainWindow &window, config::AppState &state)
{
    // The Setup window reads the table when it opens, so each opening makes a new one; while
    // one is open the command brings it to the front.
    auto setup = std::make_shared<QPointer<SetupWindow>>();
    window.setSetupOpener([&window, &state, setup] {
        if (!*setup) {
            auto *settings = new SetupWindow(state, &window);
            settings->setAttribute(Qt::WA_DeleteOnClose);
            settings->setOnClosed([&window] { window.loadTLDs(); });
            *setup = settings;
        }
        (*setup)->show();
        (*setup)->raise();
        (*setup)->activateWindow();
    });
    // The browse window: one at a time, not modal, opened maximised; closing it deletes it,
    // its queue file and its socket with it.
    auto browse = std::make_shared<QPointer<BrowseWindow>>();
    window.setBrowseOpener([&window, &state, browse] {
        if (!*browse) {
            auto *browser = new BrowseWindow(state, &window);
            browser->setAttribute(Qt::WA_DeleteOnClose);
            window.closeAtShutdown(browser);
            *browse = browser;
            browser->showMaximized();
        }
        (*browse)->show();
        (*browse)->raise();
        (*browse)->activateWindow();
    });
    // At shutdown the window goes without its close handler, which would save the default
    // extension: nothing is written then. Its test lookup's socket goes with it.
    QObject::connect(&window, &MainWindow::shutDown, &window, [setup] { delete setup->data(); });
}

} // namespace wendlecott::ui
