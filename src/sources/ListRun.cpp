#include "sources/ListRun.h"

#include "config/AppState.h"
#include "sources/EntryDomain.h"
#include "sources/ListSource.h"

#include <memory>

namespace wendlecott::sources {

core::RunSource makeListRunSource(ListRunRequest request, config::AppState &state)
{
    core::RunSource source;
    source.listPath = request.shownName.isEmpty() ? request.listPath : request.shownName;

    auto reader = std::make_shared<ListReader>();
    source.readEntry = [reader, path = request.listPath](qint32 position) {
        return reader->readEntry(path, position);
    };
    source.domainFor = [&state, choice = std::move(request.extensionChoice)](const QString &entry) {
        return domainForEntry(entry, choice ? choice() : QString(), state.preferences().defaultExtension());
    };
    source.domainForExtension = [&state](const QString &entry, const QString &extension) {
        return domainForEntry(entry, extension, state.preferences().defaultExtension());
    };
    source.storePosition = [&state, resumeKey = request.resumeKey](qint32 next) {
        const QString text = QString::number(next);
        if (resumeKey)
            state.positions().record(*resumeKey, text);
        state.positions().record(config::keys::WordNumber, text);
    };
    return source;
}

} // namespace wendlecott::sources
