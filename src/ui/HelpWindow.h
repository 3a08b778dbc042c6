#pragma once

#include <QWidget>

#include <functional>

class QTextBrowser;
class QUrl;

namespace wendlecott::ui {

// The user guide (an HTML file shipped beside the program) in a window of the program's own,
// so that help needs no web browser. Links within the guide stay in the window; links to
// the web are handed on (to the user's browser, or offered for copying).
class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    using ExternalLink = std::function<void(const QUrl &url)>;

    static inline const QString kTitle = QStringLiteral("Wendlecott Help");

    HelpWindow(const QString &guidePath, ExternalLink openExternal, QWidget *parent = nullptr);
    ~HelpWindow() override;

    QTextBrowser *browser() const { return m_browser; }
    QString guidePath() const { return m_guidePath; }

    // A click on a link of the guide.
    void followLink(const QUrl &url);

private:
    QString m_guidePath;
    ExternalLink m_openExternal;
    QTextBrowser *m_browser = nullptr;
};

} // namespace wendlecott::ui
