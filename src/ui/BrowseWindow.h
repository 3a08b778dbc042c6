#pragma once

#include "browse/BrowseAddresses.h"
#include "browse/BrowseChecker.h"
#include "browse/BrowseSession.h"

#include <QWidget>

#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QListView;
class QPushButton;
class QStatusBar;

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::platform {
class WebPageView;
}

namespace wendlecott::ui {

// Form5, "Browse for Domains": a small web browser that checks every domain name found in the
// pages the user visits. A thin shell over browse::BrowseSession: the visible web view
// (WebBrowser1) and the small one that loads frames (WebBrowser2) hand it each document's
// markup, and it shows the checker's two lists, labels and status panels.
class BrowseWindow final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Browse for Domains");

    // Opens the session (the queue file deleted, the dispatcher ticking) and goes to
    // `homePage`, which is also where Home goes.
    explicit BrowseWindow(config::AppState &state, QWidget *parent = nullptr,
                          const QString &homePage = browse::kHomePage);
    ~BrowseWindow() override;

    browse::BrowseSession &session() { return *m_session; }
    platform::WebPageView *pageView() const { return m_pageView; }
    platform::WebPageView *frameView() const { return m_frameView; }
    QString homePage() const { return m_homePage; }

    // The commands, as their controls run them.
    void navigateToTyped(); // Command1, Enter in text1: the typed address joins the drop-down
    void goHome();          // cmdHome
    void openMarketplace(const QString &caption); // a Command2 button
    void clearCache();                            // Command3
    void deleteSelected(browse::BrowseList list); // cmdClear2, Delete in the list

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    QWidget *buildNavigationRow();
    QWidget *buildListColumn();
    void buildListControls(browse::BrowseList list, QWidget *column);
    QWidget *buildMarketRow();
    void buildStatusBar();
    void connectSession();
    void showTitle(const QString &title);
    qint64 ownCount(int list) const; // entries of List1 (0) or List2 (1)
    void showOwnCounts();
    browse::BrowseList listOf(const QObject *object) const;

    config::AppState &m_state;
    QString m_homePage;
    std::unique_ptr<browse::BrowseSession> m_session;

    QComboBox *m_addressBox = nullptr;
    platform::WebPageView *m_pageView = nullptr;
    platform::WebPageView *m_frameView = nullptr;
    std::array<QLabel *, 2> m_labels{};
    std::array<QListView *, 2> m_lists{};
    QStatusBar *m_statusBar = nullptr;
    std::array<QLabel *, 3> m_panels{};
    bool m_closed = false;
};

} // namespace wendlecott::ui
