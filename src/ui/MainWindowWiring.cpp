#include "ui/MainWindowWiring.h"

#include "config/AppState.h"
#include "core/run/CheckRun.h"
#include "sources/ListSource.h"
#include "ui/BrowseWindow.h"
#include "ui/ListBuilderWindow.h"
#include "ui/MainWindow.h"
#include "ui/SetupWindow.h"

#include <QPointer>

#include <algorithm>
#include <memory>

namespace wendlecott::ui {

namespace {

// The list just written is checked, as Start checks it, even when another source was chosen
// while it was built. The list builder holds its list while a run goes, so none goes here.
void checkBuiltList(MainWindow &window, sources::SearchEngine engine, qint64 entryCount)
{
    if (window.isRunActive())
        return;
    const QString caption = sources::searchSourceCaption(engine);
    if (window.sourceCaption() != caption) {
        const auto &all = sources::nameSources();
        const auto found =
            std::find_if(all.begin(), all.end(),
                         [&caption](const sources::NameSource &source) { return source.caption == caption; });
        window.selectSourceItem(int(found - all.begin()));
    }
    window.startListRun(entryCount);
}

// The list builder: each opening is a fresh run over what the main window's search box
// holds at that moment; while one runs, "Search" brings it to the front. At shutdown it is
// closed, which abandons its run.
void attachListBuilder(MainWindow &window, config::AppState &state)
{
    auto builder = std::make_shared<QPointer<ListBuilderWindow>>();
    window.setListBuilderOpener([&window, &state, builder] {
        if (!*builder) {
            std::optional<sources::ListBuilderRequest> request = sources::makeListBuilderRequest(
                window.searchText(), window.sourceCaption(), window.searchTargetPosition(), state.settings());
            if (!request || !state.http())
                return; // no search text, or a front end that fetches no pages
            const sources::SearchEngine engine = request->engine;
            auto *form = new ListBuilderWindow(state, std::move(*request), &window);
            form->setAttribute(Qt::WA_DeleteOnClose);
            form->setStartRun(
                [&window, engine](qint64 entryCount) { checkBuiltList(window, engine, entryCount); });
            form->setRunInUse({[&window] { return window.isRunActive(); }, [&window] { window.stopRun(); }});
            // After the run's own handlers, so that the controls are back when the list starts.
            QObject::connect(&window, &MainWindow::runEnded, form, &ListBuilderWindow::runEnded,
                             Qt::QueuedConnection);
            window.closeAtShutdown(form);
            *builder = form;
            form->show();
            form->start();
        }
        (*builder)->show();
        (*builder)->raise();
        (*builder)->activateWindow();
    });
}

} // namespace

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
            if (window.isReadOnly())
                settings->setReadOnly(window.readOnlyReason());
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
    attachListBuilder(window, state);
    // At shutdown the window goes without its close handler, which would save the default
    // extension: nothing is written then. Its test lookup's socket goes with it.
    QObject::connect(&window, &MainWindow::shutDown, &window, [setup] { delete setup->data(); });
}

} // namespace wendlecott::ui
