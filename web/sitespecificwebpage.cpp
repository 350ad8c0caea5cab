#include "sitespecificwebpage.h"

#include "screenhelper.h"
#include "sitespecificwebview.h"
#include "zemdownloadmgr.h"

#include <QDesktopServices>
#include <QMutexLocker>
#include <QNetworkReply>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QWebFrame>
#include <QWebHistory>
#include <QWebSettings>

SiteSpecificWebPage::SiteSpecificWebPage(QObject* parent)
    : QWebPage(parent)
{
    m_screenHelper = new ScreenHelper(this, this);
    connect(mainFrame(), &QWebFrame::javaScriptWindowObjectCleared, this,
            &SiteSpecificWebPage::addCasewrightJSObject);
    connect(this, &QWebPage::windowCloseRequested, this, &SiteSpecificWebPage::closeJSWindow);
    connect(this, &QWebPage::printRequested, this, &SiteSpecificWebPage::printFrame);
    connect(this, &QWebPage::geometryChangeRequested, this,
            &SiteSpecificWebPage::changePageGeometry);
    connect(this, &QWebPage::unsupportedContent, this, &SiteSpecificWebPage::downloadContent);
    setForwardUnsupportedContent(true);
    // WebKit lets a script close only a window that a script opened, or one
    // without history; the packaged application may close its main window.
    settings()->setAttribute(QWebSettings::JavascriptCanCloseWindows, true);
    m_downloadMgrs = new QList<ZemDownloadMgr*>;
}

// Managers still listed never reported completion (refused, abandoned or
// cancelled downloads); they go with the page.
//
// Scripts may connect to the bridge's signals, "destroyed" among them (which
// QObject emits even when signals are blocked). No script may run while the
// page is torn down: the bridge loses every connection and goes first,
// before WebKit's destruction starts.
SiteSpecificWebPage::~SiteSpecificWebPage()
{
    m_screenHelper->disconnect();
    delete m_screenHelper;
    while (!m_downloadMgrs->isEmpty())
        m_downloadMgrs->takeFirst()->deleteLater();
    delete m_downloadMgrs;
}

// Every pop-up, a modal dialog request included, is an ordinary top-level
// view that goes away when it is closed.
QWebPage* SiteSpecificWebPage::createWindow(QWebPage::WebWindowType)
{
    auto* view = new SiteSpecificWebView(nullptr);
    view->window()->setAttribute(Qt::WA_DeleteOnClose);
    view->show();
    return view->page();
}

bool SiteSpecificWebPage::acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                                  QWebPage::NavigationType type)
{
    const QUrl url = request.url();
    // The main window's view starts on "about:blank": never step back to it.
    if (type == QWebPage::NavigationTypeBackOrForward
        && url.toString() == QLatin1String("about:blank"))
        return false;
    // Only a real "mailto:" URL goes to the desktop's mail program, and the
    // page the user is on stays: WebKit would otherwise replace it with an
    // empty document when the load of the unknown scheme fails.
    if (url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0) {
        QDesktopServices::openUrl(url);
        closeIfNeverLoaded(frame);
        return false;
    }
    return QWebPage::acceptNavigationRequest(frame, request, type);
}

// A pop-up opened for a "mailto:" link (window.open, target="_blank") never
// shows a document: the link went to the desktop, so its empty window goes.
// Closed from the event loop, as WebKit is still inside this page's load.
void SiteSpecificWebPage::closeIfNeverLoaded(QWebFrame* frame)
{
    QWidget* window = targetWindow();
    if (frame != mainFrame() || !window || window != view() || !frame->url().isEmpty()
        || history()->count() > 0)
        return;
    QTimer::singleShot(0, window, &QWidget::close);
}

void SiteSpecificWebPage::closeJSWindow()
{
    if (QWidget* window = targetWindow())
        window->close();
}

// The dialog runs a nested event loop: the frame, the view and with it the
// dialog may be deleted meanwhile (the window closes, the page navigates).
void SiteSpecificWebPage::printFrame(QWebFrame* webFrame)
{
    QPointer<QWebFrame> frame(webFrame);
    QPrinter printer(QPrinter::ScreenResolution);
    QPointer<QPrintDialog> dialog(new QPrintDialog(&printer, view()));
    const int result = dialog->exec();
    delete dialog.data();
    if (result == QDialog::Accepted && frame)
        frame->print(&printer);
}

void SiteSpecificWebPage::changePageGeometry(const QRect& rectGeom)
{
    if (QWidget* window = targetWindow())
        window->setGeometry(rectGeom);
}

void SiteSpecificWebPage::downloadContent(QNetworkReply* reply)
{
    // Only the reply's URL is needed. Left running, the reply would fetch the
    // whole body into memory with nobody reading it, so it stops here and is
    // released once the manager has taken the URL.
    const bool hasContentType = reply->hasRawHeader("Content-Type");
    reply->abort();
    reply->deleteLater();
    if (!hasContentType)
        return;
    auto* mgr = new ZemDownloadMgr(this);
    {
        QMutexLocker locker(&m_downloadMgrsLock);
        m_downloadMgrs->append(mgr);
    }
    connect(mgr, &ZemDownloadMgr::downloadCompleted, this,
            &SiteSpecificWebPage::cleanUpDownloadMgr);
    mgr->startDownload(reply, this);
}

// The manager reports completion as its last action, so it can go at once.
void SiteSpecificWebPage::cleanUpDownloadMgr(ZemDownloadMgr* mgr)
{
    {
        QMutexLocker locker(&m_downloadMgrsLock);
        m_downloadMgrs->removeOne(mgr);
    }
    delete mgr;
}

// Runs before the scripts of every new main-frame document; child frames are
// not connected and get nothing.
void SiteSpecificWebPage::addCasewrightJSObject()
{
    mainFrame()->addToJavaScriptWindowObject(QStringLiteral("corvane_skyfold_zem"),
                                             m_screenHelper);
    mainFrame()->evaluateJavaScript(ScreenHelper::namespaceScript());
}

QWidget* SiteSpecificWebPage::targetWindow() const
{
    QWidget* pageView = view();
    return pageView ? pageView->window() : nullptr;
}
