#include "platform/widgets/WebPageView.h"

#include <QPointer>
#include <QVariant>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace wendlecott::platform {

namespace {

// A page whose scripts' console messages are not printed: they are the page's business.
class QuietPage final : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int,
                                  const QString &) override
    {
    }
};

} // namespace

WebPageView::WebPageView(QWidget *parent) : QWebEngineView(parent)
{
    setPage(new QuietPage(this));
    connect(this, &QWebEngineView::loadStarted, this, [this] {
        ++m_loads;
        Q_EMIT downloadBegin();
    });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        // A page that could not be loaded shows the engine's own error page, whose names
        // are none of the user's business: its document is empty.
        if (ok)
            readMarkup();
        else
            Q_EMIT documentComplete(QString());
    });
    connect(page(), &QWebEnginePage::linkHovered, this, &WebPageView::statusTextChanged);
}

WebPageView::~WebPageView() = default;

void WebPageView::navigateTo(const QString &address)
{
    const QUrl url = QUrl::fromUserInput(address.trimmed());
    if (url.isValid())
        setUrl(url);
}

void WebPageView::goBack()
{
    if (history()->canGoBack())
        back();
}

void WebPageView::goForward()
{
    if (history()->canGoForward())
        forward();
}

void WebPageView::refresh()
{
    reload();
}

void WebPageView::stopLoading()
{
    stop();
}

QWebEngineView *WebPageView::createWindow(QWebEnginePage::WebWindowType)
{
    return this;
}

// The script that reads a document's markup. document.body is the frameset element of a frame
// set, whose markup lists the frames. Each frame's address is given whole (a frame's src is
// mostly relative to its page) and its tag ends its line, as the frame rules expect; this is
// done on copies, so that no frame loads again. At most kMaxFramesRead frames are rewritten,
// and the markup is cut inside the page.
QString WebPageView::markupScript() const
{
    return QStringLiteral(
               "(function(){var b=document.body;if(!b)return '';var h=b.innerHTML;"
               "var f=document.getElementsByTagName('frame');"
               "for(var i=0;i<f.length&&i<%2;++i){var c=f[i].cloneNode(false);"
               "if(f[i].src){c.setAttribute('src',f[i].src);h=h.replace(f[i].outerHTML,c.outerHTML+'\\n');}}"
               "return h.length>%1?h.substring(0,%1):h;})()")
        .arg(m_maxMarkupChars)
        .arg(kMaxFramesRead);
}

void WebPageView::readMarkup()
{
    const quint64 load = m_loads;
    QPointer<WebPageView> self(this);
    page()->runJavaScript(markupScript(), QWebEngineScript::ApplicationWorld,
                          [self, load](const QVariant &result) {
                              if (!self || self->m_loads != load)
                                  return; // the view is gone, or has moved on to another page
                              QString markup = result.toString();
                              if (markup.size() > self->m_maxMarkupChars)
                                  markup.truncate(self->m_maxMarkupChars);
                              Q_EMIT self->documentComplete(markup);
                          });
}

} // namespace wendlecott::platform
