#pragma once

#include "core/lookup/HttpClient.h"

#include <QList>
#include <QPointer>

#include <memory>

namespace wendlecott::testing {

// A fetch the test finishes by hand: respond() or fail() emits what the real one would.
class FakeHttpFetch final : public core::HttpFetch {
    Q_OBJECT
public:
    explicit FakeHttpFetch(core::HttpRequest request) : m_request(std::move(request)) {}

    const core::HttpRequest &request() const { return m_request; }
    bool isAborted() const { return m_aborted; }
    bool isDone() const { return m_done; }

    void abort() override { m_aborted = true; }

    // The body arrives in pieces (progress after each), then the answer ends.
    void respond(int status, const QByteArray &body, QList<QPair<QByteArray, QByteArray>> headers = {},
                 qsizetype pieceSize = 0)
    {
        if (m_aborted || m_done)
            return;
        const qsizetype step = pieceSize > 0 ? pieceSize : qMax<qsizetype>(1, body.size());
        for (qsizetype sent = step; sent < body.size(); sent += step)
            Q_EMIT progress(sent);
        core::HttpResponse response;
        response.ending = core::HttpEnding::Finished;
        response.status = status;
        response.body = body;
        response.headers = std::move(headers);
        response.finalUrl = m_request.url;
        if (!body.isEmpty())
            Q_EMIT progress(body.size());
        finish(response);
    }
    void fail(core::HttpEnding ending, const QString &error = QStringLiteral("failed"))
    {
        core::HttpResponse response;
        response.ending = ending;
        response.error = error;
        response.finalUrl = m_request.url;
        finish(response);
    }
    void finish(const core::HttpResponse &response)
    {
        if (m_aborted || m_done)
            return;
        m_done = true;
        Q_EMIT finished(response);
    }

private:
    core::HttpRequest m_request;
    bool m_aborted = false;
    bool m_done = false;
};

// Hands out fetches the test answers; keeps every one it made (while it lives).
class FakeHttpClient final : public core::HttpClient {
public:
    std::unique_ptr<core::HttpFetch> get(const core::HttpRequest &request) override
    {
        auto fetch = std::make_unique<FakeHttpFetch>(request);
        fetches.append(fetch.get());
        requests.append(request);
        return fetch;
    }
    // The last fetch handed out, while its owner keeps it.
    FakeHttpFetch *last() const { return fetches.isEmpty() ? nullptr : fetches.last().data(); }

    QList<QPointer<FakeHttpFetch>> fetches;
    QList<core::HttpRequest> requests;
};

} // namespace wendlecott::testing
