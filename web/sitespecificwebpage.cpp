#include "sitespecificwebpage.h"

#include "blobchannel.h"
#include "screenhelper.h"
#include "sitespecificwebview.h"
#include "webcore/documentfullscreen.h"
#include "webcore/navigationpolicy.h"
#include "webcore/pageconsole.h"
#include "zemdownloadmgr.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMutexLocker>
#include <QNetworkReply>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QWebFrame>
#include <QWebFullScreenRequest>
#include <QWebHistory>
#include <QWebSettings>

namespace {

PageConsole::Level consoleLevel(QWebPage::MessageLevel level)
{
    switch (level) {
    case QWebPage::ErrorMessageLevel: return PageConsole::Level::Error;
    case QWebPage::WarningMessageLevel: return PageConsole::Level::Warning;
    case QWebPage::InfoMessageLevel: return PageConsole::Level::Info;
    case QWebPage::DebugMessageLevel: return PageConsole::Level::Debug;
    default: return PageConsole::Level::Log;
    }
}

}  // namespace

SiteSpecificWebPage::SiteSpecificWebPage(QObject* parent)
    : QWebPage(parent)
{
    m_screenHelper = new ScreenHelper(this, this);
    m_fullScreen = new DocumentFullScreen(
        m_screenHelper, [this] { leaveDocumentFullScreen(); }, this);
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
    m_downloadMgrs = new QList<FileDownload*>;

    connect(this, &QWebPage::consoleMessageReceived, this,
            &SiteSpecificWebPage::showConsoleMessage);
    settings()->setAttribute(QWebSettings::FullScreenSupportEnabled, true);
    connect(this, &QWebPage::fullScreenRequested, this,
            &SiteSpecificWebPage::applyFullScreenRequest);
    // Downloads start from the event loop, not inside the page script that
    // asked: the save dialog runs an event loop of its own.
    m_blobChannel = new BlobChannel(this);
    connect(m_blobChannel, &BlobChannel::downloadRequested, this,
            &SiteSpecificWebPage::startLinkDownload, Qt::QueuedConnection);
    // Links with a `download` attribute that the hook left to the engine.
    connect(this, &QWebPage::downloadRequested, this, [this](const QNetworkRequest& request) {
        QMetaObject::invokeMethod(this, "startLinkDownload", Qt::QueuedConnection,
                                  Q_ARG(QUrl, request.url()), Q_ARG(QString, QString()));
    });
}

bool SiteSpecificWebPage::isDocumentFullScreen() const
{
    return m_fullScreen->isOn();
}

void SiteSpecificWebPage::setErrorLog(const ErrorLog& log)
{
    PageConsole::setErrorLog(log);
}

// Managers still listed never reported completion (refused, abandoned or
// cancelled downloads); they go with the page.
//
// Scripts may connect to the bridge's signals, "destroyed" among them (which
// QObject emits even when signals are blocked). No script may run while the
// page is torn down: the bridge loses every connection and goes first,
// before WebKit's destruction starts. (The blob channel's hook takes it out
// of the pages' reach before they run.)
SiteSpecificWebPage::~SiteSpecificWebPage()
{
    delete m_fullScreen;
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
    switch (NavigationPolicy::decide(url, type == QWebPage::NavigationTypeBackOrForward)) {
    case NavigationPolicy::Decision::Refuse: return false;
    case NavigationPolicy::Decision::HandToDesktop:
        QDesktopServices::openUrl(url);
        closeIfNeverLoaded(frame);
        return false;
    case NavigationPolicy::Decision::Follow: break;
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
    newDownloadMgr()->startDownload(reply, this);
}

void SiteSpecificWebPage::startLinkDownload(const QUrl& url, const QString& suggestedName)
{
    newDownloadMgr()->startDownload(url, suggestedName, this);
}

ZemDownloadMgr* SiteSpecificWebPage::newDownloadMgr()
{
    auto* mgr = new ZemDownloadMgr(this);
    {
        QMutexLocker locker(&m_downloadMgrsLock);
        m_downloadMgrs->append(mgr);
    }
    connect(mgr, &ZemDownloadMgr::downloadCompleted, this,
            &SiteSpecificWebPage::cleanUpDownloadMgr);
    return mgr;
}

// The manager reports completion as its last action, so it can go at once.
void SiteSpecificWebPage::cleanUpDownloadMgr(FileDownload* mgr)
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
    mainFrame()->addToJavaScriptWindowObject(QStringLiteral("corvane_skyfold_zem"), m_screenHelper);
    mainFrame()->evaluateJavaScript(ScreenHelper::namespaceScript());
    m_blobChannel->forgetBlobs();
    mainFrame()->addToJavaScriptWindowObject(BlobChannel::scriptName(), m_blobChannel);
    mainFrame()->evaluateJavaScript(BlobChannel::hookScript());
}

void SiteSpecificWebPage::showConsoleMessage(QWebPage::MessageSource, QWebPage::MessageLevel level,
                                             const QString& message, int lineNumber,
                                             const QString& sourceID)
{
    PageConsole::show(consoleLevel(level), message, lineNumber, sourceID);
}

// The document's full screen (see DocumentFullScreen) in the page's window.
void SiteSpecificWebPage::applyFullScreenRequest(QWebFullScreenRequest request)
{
    m_fullScreen->answer(request, targetWindow());
}

void SiteSpecificWebPage::leaveDocumentFullScreen()
{
    mainFrame()->evaluateJavaScript(
        QStringLiteral("if (document.webkitExitFullscreen) document.webkitExitFullscreen();"));
}

// Key presses reach the page from its view before the document sees them.
bool SiteSpecificWebPage::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F11 && key->modifiers() == Qt::NoModifier) {
            m_screenHelper->toggleFullScreen();
            return true;
        }
        if (key->key() == Qt::Key_Escape && m_fullScreen->isOn()) {
            m_fullScreen->leave();
            return true;
        }
    }
    return QWebPage::event(event);
}

QWidget* SiteSpecificWebPage::targetWindow() const
{
    QWidget* pageView = view();
    return pageView ? pageView->window() : nullptr;
}
