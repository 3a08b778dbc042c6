#pragma once

#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "TestFolder.h"
#include "core/lists/ResultLists.h"
#include "core/lists/RunSource.h"
#include "core/lists/UnansweredNames.h"
#include "core/pacing/ServerPacer.h"
#include "core/run/CheckRun.h"
#include "core/tld/TldTable.h"
#include "sources/EntryDomain.h"

#include <QStringList>

namespace wendlecott::testing {

// What every test of a run builds before its run: a temporary program folder, the fake clock
// and notices, real result lists and unanswered names in that folder, a pacer, and a list of
// entries held in memory. A test's harness derives from it and adds its servers.
struct RunFixture {
    TestFolder folder;
    FakeScheduler scheduler;
    FakeNotice notice;
    core::NoClipboard clipboard;
    core::NoAddressOpener opener;
    core::Timing timing;
    core::TldTable table;
    core::ServerPacer pacer{scheduler};
    core::ResultLists lists{folder.path(), notice, clipboard, opener};
    core::UnansweredNames unanswered{folder.file(core::kUnansweredFileName)};
    QStringList entries;

    // The run's surroundings: these lists and unanswered names, no proxy.
    core::RunEnvironment environment()
    {
        core::RunEnvironment environment{table, [] { return false; }, pacer, lists, notice};
        environment.unanswered = &unanswered;
        return environment;
    }

    // `entries` as the run reads them (positions from 1, read when asked), an entry without an
    // extension of its own in ".com".
    core::RunSource entrySource()
    {
        core::RunSource source;
        source.listPath = QStringLiteral("/lists/test.txt");
        source.readEntry = [this](qint32 p) -> core::Result<QString> {
            return p >= 1 && p <= entries.size() ? entries.at(p - 1) : core::kEndOfListSentinel;
        };
        source.domainFor = [](const QString &entry) {
            return sources::domainForEntry(entry, QString(), QStringLiteral(".com"));
        };
        source.domainForExtension = [](const QString &entry, const QString &extension) {
            return sources::domainForEntry(entry, extension, QStringLiteral(".com"));
        };
        return source;
    }
};

} // namespace wendlecott::testing
