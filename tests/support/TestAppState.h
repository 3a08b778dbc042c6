#pragma once

#include "config/AppState.h"
#include "config/SettingsStore.h"
#include "core/base/Scheduler.h"
#include "core/base/UserNotice.h"

#include <memory>

namespace wendlecott::testing {

// Ports that forward to fakes the test keeps (and inspects) itself, so that an application
// state can be built over them.
class BorrowedSettings final : public config::SettingsStore {
public:
    explicit BorrowedSettings(config::SettingsStore &store) : m_store(store) {}
    QString getSetting(const QString &app, const QString &section, const QString &key,
                       const QString &defaultValue) const override
    {
        return m_store.getSetting(app, section, key, defaultValue);
    }
    core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                             const QString &value) override
    {
        return m_store.saveSetting(app, section, key, value);
    }

private:
    config::SettingsStore &m_store;
};

// Forwards every call, window notices included, to the test's notice.
using BorrowedNotice = core::ForwardingNotice;

class BorrowedScheduler final : public core::Scheduler {
public:
    explicit BorrowedScheduler(core::Scheduler &scheduler) : m_scheduler(scheduler) {}
    qint64 now() const override { return m_scheduler.now(); }
    TimerId callAfter(qint64 ms, std::function<void()> callback) override
    {
        return m_scheduler.callAfter(ms, std::move(callback));
    }
    void cancel(TimerId id) override { m_scheduler.cancel(id); }

private:
    core::Scheduler &m_scheduler;
};

class BorrowedClipboard final : public core::Clipboard {
public:
    explicit BorrowedClipboard(core::Clipboard &clipboard) : m_clipboard(clipboard) {}
    void setText(const QString &text) override { m_clipboard.setText(text); }

private:
    core::Clipboard &m_clipboard;
};

class BorrowedOpener final : public core::AddressOpener {
public:
    explicit BorrowedOpener(core::AddressOpener &opener) : m_opener(opener) {}
    bool openAddress(const QString &url) override { return m_opener.openAddress(url); }
    bool openFile(const QString &path) override { return m_opener.openFile(path); }

private:
    core::AddressOpener &m_opener;
};

class BorrowedHttp final : public core::HttpClient {
public:
    explicit BorrowedHttp(core::HttpClient &http) : m_http(http) {}
    std::unique_ptr<core::HttpFetch> get(const core::HttpRequest &request) override
    {
        return m_http.get(request);
    }

private:
    core::HttpClient &m_http;
};

// What an application state in a test is built over.
struct TestStateParts {
    QString programFolder;
    config::SettingsStore &settings;
    core::UserNotice &notice;
    core::Scheduler &scheduler;
    core::ConnectionFactory connections;
    core::Clipboard *clipboard = nullptr;
    core::AddressOpener *opener = nullptr;
    core::HttpClient *http = nullptr; // none: no RDAP
};

// An application state over a program folder and fakes the test owns; not opened yet.
inline std::unique_ptr<config::AppState> makeTestState(TestStateParts parts)
{
    config::AppPorts ports;
    ports.settings = std::make_unique<BorrowedSettings>(parts.settings);
    ports.notice = std::make_unique<BorrowedNotice>(parts.notice);
    ports.scheduler = std::make_unique<BorrowedScheduler>(parts.scheduler);
    ports.connections = std::move(parts.connections);
    if (parts.clipboard)
        ports.clipboard = std::make_unique<BorrowedClipboard>(*parts.clipboard);
    if (parts.opener)
        ports.opener = std::make_unique<BorrowedOpener>(*parts.opener);
    if (parts.http)
        ports.http = std::make_unique<BorrowedHttp>(*parts.http);
    return std::make_unique<config::AppState>(config::ProgramFolder(parts.programFolder), std::move(ports));
}

} // namespace wendlecott::testing
