#pragma once

#include <QString>
#include <QUrl>
#include <QWebEngineView>

namespace wendlecott::platform {

// A web view that reports what the browse window needs of a loaded document: an event when
// a page begins to load, one when a document is complete (with the inner markup of its body),
// the status text (the address under the pointer) and the title.
//
// The markup is read by a script in a world of its own, so a page's scripts cannot change
// what it gives, and is cut at `maxMarkupChars` inside the page, so a huge document never
// crosses to the program whole. A link that asks for a new window opens in this view.
class WebPageView : public QWebEngineView {
    Q_OBJECT
public:
    static constexpr int kMaxFramesRead = 64;

    explicit WebPageView(QWidget *parent = nullptr);
    ~WebPageView() override;

    void setMaxMarkupChars(qsizetype chars) { m_maxMarkupChars = chars; }
    qsizetype maxMarkupChars() const { return m_maxMarkupChars; }

    // Navigates to what a user typed: an address with or without its scheme.
    void navigateTo(const QString &address);
    // Each does nothing when there is nothing to do.
    void goBack();
    void goForward();
    void refresh();
    void stopLoading();

Q_SIGNALS:
    void downloadBegin();
    // A document finished loading; one that failed to load gives the empty markup.
    void documentComplete(const QString &bodyMarkup);
    void statusTextChanged(const QString &text);

protected:
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;

private:
    QString markupScript() const;
    void readMarkup();

    qsizetype m_maxMarkupChars = qsizetype(4) << 20;
    quint64 m_loads = 0; // counts loads, so that markup of a page already left is dropped
};

} // namespace wendlecott::platform
