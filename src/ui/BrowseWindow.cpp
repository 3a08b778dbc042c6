#include "ui/BrowseWindow.h"

#include "browse/BrowseCounts.h"
#include "config/AppState.h"
#include "config/ProgramFolder.h"
#include "platform/widgets/WebPageView.h"
#include "ui/ResultListsView.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace wendlecott::ui {

namespace {

using browse::BrowseList;
using browse::BrowsePanel;

std::size_t indexOf(BrowseList list)
{
    return list == BrowseList::Unregistered ? 0 : 1;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption,
                        const QString &toolTip = {})
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(toolTip);
    return button;
}

// A control of an array: its name and index ("cmdClear" 1 gives "cmdClear_1").
QString arrayName(const char *control, int index)
{
    return QString::fromLatin1(control) + QLatin1Char('_') + QString::number(index);
}

} // namespace

BrowseWindow::BrowseWindow(config::AppState &state, QWidget *parent, const QString &homePage)
    : QWidget(parent, Qt::Window), m_state(state), m_homePage(homePage)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(kCaption);
    const browse::BrowseEnvironment environment{state.runEnvironment(), state.clipboard()};
    m_session = std::make_unique<browse::BrowseSession>(environment, state.folder().root(), state.scheduler(),
                                                        state.timing(), state.connections()());
    buildControls();
    connectSession();
    m_session->open();
    m_pageView->navigateTo(m_homePage);
}

BrowseWindow::~BrowseWindow()
{
    if (!m_closed)
        m_session->close();
    // The views go first: no page event may reach the session while it is taken down.
    delete m_pageView;
    delete m_frameView;
}

void BrowseWindow::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(4);
    layout->addWidget(buildNavigationRow());

    auto *middle = new QHBoxLayout;
    m_pageView = new platform::WebPageView(this);
    m_pageView->setObjectName(QStringLiteral("WebBrowser1"));
    m_pageView->setMaxMarkupChars(browse::BrowseSession::kMaxMarkupChars);
    middle->addWidget(m_pageView, 1);
    middle->addWidget(buildListColumn());
    layout->addLayout(middle, 1);

    layout->addWidget(buildMarketRow());
    buildStatusBar();
    layout->addWidget(m_statusBar);
}

QWidget *BrowseWindow::buildNavigationRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("URL:"), row);
    m_addressBox = new QComboBox(row);
    m_addressBox->setObjectName(QStringLiteral("text1"));
    m_addressBox->setEditable(true);
    m_addressBox->setInsertPolicy(QComboBox::NoInsert);
    m_addressBox->lineEdit()->installEventFilter(this); // Enter navigates; see eventFilter
    label->setBuddy(m_addressBox);
    layout->addWidget(label);
    layout->addWidget(m_addressBox, 1);

    auto *go = makeButton(row, QStringLiteral("Command1"), QStringLiteral("Go"),
                          QStringLiteral("Navigate to the current url!"));
    auto *back = makeButton(row, QStringLiteral("cmdBack"), QStringLiteral("Go Back"));
    auto *forward = makeButton(row, QStringLiteral("cmdFwd"), QStringLiteral("Go Forward"));
    auto *home = makeButton(row, QStringLiteral("cmdHome"), QStringLiteral("Home"));
    auto *refresh = makeButton(row, QStringLiteral("cmdRefresh"), QStringLiteral("Refresh"));
    auto *stop = makeButton(row, QStringLiteral("cmdStop"), QStringLiteral("Stop"));
    for (QPushButton *button : {go, back, forward, home, refresh, stop})
        layout->addWidget(button);

    connect(go, &QPushButton::clicked, this, &BrowseWindow::navigateToTyped);
    connect(m_addressBox, &QComboBox::activated, this,
            [this](int index) { m_pageView->navigateTo(m_addressBox->itemText(index)); });
    connect(back, &QPushButton::clicked, this, [this] { m_pageView->goBack(); });
    connect(forward, &QPushButton::clicked, this, [this] { m_pageView->goForward(); });
    connect(home, &QPushButton::clicked, this, &BrowseWindow::goHome);
    connect(refresh, &QPushButton::clicked, this, [this] { m_pageView->refresh(); });
    connect(stop, &QPushButton::clicked, this, [this] { m_pageView->stopLoading(); });
    return row;
}

QWidget *BrowseWindow::buildListColumn()
{
    auto *column = new QWidget(this);
    column->setMinimumWidth(220);
    column->setMaximumWidth(320);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    buildListControls(BrowseList::Unregistered, column);
    buildListControls(BrowseList::Registered, column);
    return column;
}

void BrowseWindow::buildListControls(BrowseList list, QWidget *column)
{
    const std::size_t at = indexOf(list);
    const int index = int(list);
    auto *layout = static_cast<QVBoxLayout *>(column->layout());
    browse::BrowseChecker &checker = m_session->checker();

    m_labels[at] = new QLabel(checker.label(list), column);
    m_labels[at]->setObjectName(QStringLiteral("Label%1").arg(index));
    auto *view = new QListView(column);
    view->setObjectName(QStringLiteral("List%1").arg(index));
    if (list == BrowseList::Unregistered)
        view->setToolTip(QStringLiteral("These domain names have not been registered."));
    view->setModel(checker.model(list));
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformItemSizes(true);
    view->installEventFilter(this);
    m_lists[at] = view;

    auto *buttons = new QHBoxLayout;
    auto *clear = makeButton(column, arrayName("cmdClear", index), QStringLiteral("Clear"),
                             QStringLiteral("Clear List"));
    auto *del = makeButton(column, arrayName("cmdClear2", index), QStringLiteral("Del"),
                           QStringLiteral("Delete Selected Item"));
    auto *copy =
        makeButton(column, arrayName("cmdCopy", index), QStringLiteral("Copy"), QStringLiteral("Copy List"));
    for (QPushButton *button : {clear, del, copy}) {
        button->setFocusPolicy(Qt::NoFocus); // the list keeps the focus and its current entry
        buttons->addWidget(button);
    }
    layout->addWidget(m_labels[at]);
    layout->addWidget(view, 1);
    layout->addLayout(buttons);

    connect(clear, &QPushButton::clicked, this, [this, list] { m_session->checker().clearList(list); });
    connect(del, &QPushButton::clicked, this, [this, list] { deleteSelected(list); });
    connect(copy, &QPushButton::clicked, this, [this, list] { m_session->checker().copyList(list); });
    connect(view, &QAbstractItemView::doubleClicked, this,
            [this, list](const QModelIndex &item) { m_session->checker().openEntry(list, item.row()); });
}

QWidget *BrowseWindow::buildMarketRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const QStringList captions = browse::marketplaceCaptions();
    for (int i = 0; i < captions.size(); ++i) {
        auto *button = makeButton(row, arrayName("Command2", i), captions.at(i));
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this,
                [this, caption = captions.at(i)] { openMarketplace(caption); });
    }
    layout->addStretch(1);
    auto *clearCache = makeButton(row, QStringLiteral("Command3"), QStringLiteral("Clear Cache"),
                                  QStringLiteral("If you notice the program has stopped checking domains, "
                                                 "please click here to correct the problem"));
    layout->addWidget(clearCache);
    connect(clearCache, &QPushButton::clicked, this, &BrowseWindow::clearCache);

    // The second view only loads frames for their names; it is not there to be looked at.
    m_frameView = new platform::WebPageView(row);
    m_frameView->setObjectName(QStringLiteral("WebBrowser2"));
    m_frameView->setMaxMarkupChars(browse::BrowseSession::kMaxMarkupChars);
    m_frameView->setFixedSize(24, 16);
    layout->addWidget(m_frameView);
    return row;
}

void BrowseWindow::buildStatusBar()
{
    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);
    const std::array<int, 3> stretch = {2, 2, 3};
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i] = new QLabel(m_statusBar);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        m_panels[i]->setMinimumWidth(40);
        m_statusBar->addWidget(m_panels[i], stretch[i]);
    }
}

void BrowseWindow::connectSession()
{
    browse::BrowseSession &session = *m_session;
    browse::BrowseChecker &checker = session.checker();
    using View = browse::BrowseSession::View;
    // The counts this window shows are of its own two lists, not of the main window's run.
    connect(
        &checker, &browse::BrowseChecker::panelChanged, this, [this](BrowsePanel panel, const QString &text) {
            m_panels[std::size_t(panel)]->setText(panel == BrowsePanel::Progress
                                                      ? browse::withOwnCount(text, ownCount(0) + ownCount(1))
                                                      : text);
        });
    connect(&checker, &browse::BrowseChecker::labelChanged, this,
            [this](BrowseList list, const QString &text) {
                m_labels[indexOf(list)]->setText(text);
                showOwnCounts();
            });
    for (QAbstractItemView *view : m_lists) {
        QAbstractItemModel *model = view->model();
        connect(model, &QAbstractItemModel::rowsInserted, this, &BrowseWindow::showOwnCounts);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &BrowseWindow::showOwnCounts);
        connect(model, &QAbstractItemModel::modelReset, this, &BrowseWindow::showOwnCounts);
    }
    connect(&session, &browse::BrowseSession::frameRequested, m_frameView,
            [this](const QUrl &address) { m_frameView->setUrl(address); });

    connect(m_pageView, &platform::WebPageView::downloadBegin, &session,
            &browse::BrowseSession::pageLoadStarted);
    connect(m_pageView, &platform::WebPageView::documentComplete, &session,
            [&session](const QString &markup) { session.documentComplete(View::Page, markup); });
    connect(m_frameView, &platform::WebPageView::documentComplete, &session,
            [&session](const QString &markup) { session.documentComplete(View::Frames, markup); });
    connect(m_pageView, &platform::WebPageView::statusTextChanged, &checker,
            [&checker](const QString &text) { checker.setPanel(BrowsePanel::WebView, text); });
    connect(m_pageView, &QWebEngineView::titleChanged, this, &BrowseWindow::showTitle);
}

qint64 BrowseWindow::ownCount(int list) const
{
    return m_lists[std::size_t(list)]->model()->rowCount();
}

void BrowseWindow::showOwnCounts()
{
    for (int i = 0; i < 2; ++i) {
        QLabel *label = m_labels[std::size_t(i)];
        label->setText(browse::withOwnCount(label->text(), ownCount(i)));
    }
}

void BrowseWindow::showTitle(const QString &title)
{
    m_addressBox->setEditText(m_pageView->url().toString());
    setWindowTitle(title + QStringLiteral(" - ") + config::kProductName);
}

void BrowseWindow::navigateToTyped()
{
    const QString address = m_addressBox->currentText().trimmed();
    if (address.isEmpty())
        return;
    if (m_addressBox->findText(address, Qt::MatchFixedString) < 0)
        m_addressBox->addItem(address);
    m_pageView->navigateTo(address);
}

void BrowseWindow::goHome()
{
    m_pageView->navigateTo(m_homePage);
}

void BrowseWindow::openMarketplace(const QString &caption)
{
    const QString address = browse::marketplaceAddress(caption);
    if (!address.isEmpty())
        m_pageView->navigateTo(address);
}

void BrowseWindow::clearCache()
{
    if (m_session->clearCache())
        m_pageView->refresh();
}

void BrowseWindow::deleteSelected(BrowseList list)
{
    const QModelIndex current = m_lists[indexOf(list)]->currentIndex();
    if (current.isValid())
        m_session->checker().deleteEntry(list, current.row());
}

BrowseList BrowseWindow::listOf(const QObject *object) const
{
    return object == m_lists[1] ? BrowseList::Registered : BrowseList::Unregistered;
}

bool BrowseWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    // Enter in the address box navigates here, before the box's own handling, which would
    // also report the entry as chosen from the drop-down list.
    if (watched == m_addressBox->lineEdit() &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        navigateToTyped();
        return true;
    }
    if (watched == m_lists[0] || watched == m_lists[1]) {
        const BrowseList list = listOf(watched);
        switch (ResultListsView::commandForKey(key->key(), key->modifiers())) {
        case ResultListsView::KeyCommand::ClearList:
            m_session->checker().clearList(list);
            return true;
        case ResultListsView::KeyCommand::DeleteSelected:
            deleteSelected(list);
            return true;
        case ResultListsView::KeyCommand::None:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BrowseWindow::closeEvent(QCloseEvent *event)
{
    m_closed = true;
    m_session->close();
    m_pageView->stopLoading();
    m_frameView->stopLoading();
    QWidget::closeEvent(event);
}

} // namespace wendlecott::ui
