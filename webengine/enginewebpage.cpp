#include "enginewebpage.h"

#include "enginebridge.h"
#include "engineprofile.h"
#include "enginewebview.h"
#include "webcore/documentfullscreen.h"
#include "webcore/navigationpolicy.h"
#include "webcore/pageconsole.h"
#include "webcore/webapp.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QJsonArray>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineSettings>

namespace {

PageConsole::Level consoleLevel(QWebEnginePage::JavaScriptConsoleMessageLevel level)
{
    switch (level) {
    case QWebEnginePage::ErrorMessageLevel: return PageConsole::Level::Error;
    case QWebEnginePage::WarningMessageLevel: return PageConsole::Level::Warning;
    default: return PageConsole::Level::Log;
    }
}

// The documents that get the bridge: the origin's and the bundle's start page.
bool isAppOrigin(const QUrl& origin)
{
    return origin.scheme() == QLatin1String("qrc")
           || (origin.scheme() == QLatin1String("http")
               && origin.host() == APPLICATION_HOST.toLower());
}

}  // namespace

EngineWebPage::EngineWebPage(QObject* parent)
    : QWebEnginePage(EngineProfile::profile(), parent)
    , m_bridge(new EngineBridge(this, this))
    , m_fullScreen(new DocumentFullScreen(
          m_bridge, [this] { triggerAction(QWebEnginePage::ExitFullScreen); }, this))
{
    QWebEngineSettings* web = settings();
    web->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    web->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    web->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);
    web->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    web->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    web->setAttribute(QWebEngineSettings::PluginsEnabled, true);

    connect(this, &QWebEnginePage::loadFinished, this, [this] { m_loaded = true; });
    connect(this, &QWebEnginePage::windowCloseRequested, this, [this] {
        if (QWidget* window = targetWindow())
            window->close();
    });
    connect(this, &QWebEnginePage::geometryChangeRequested, this, [this](const QRect& geometry) {
        if (QWidget* window = targetWindow())
            window->setGeometry(geometry);
    });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            &EngineWebPage::applyFullScreenRequest);
    connect(this, &QWebEnginePage::renderProcessTerminated, this,
            &EngineWebPage::recoverFromEndedRenderer);
    // The dialog runs an event loop of its own: not inside the page's signal.
    connect(this, &QWebEnginePage::printRequested, this, &EngineWebPage::printPage,
            Qt::QueuedConnection);
}

// No script may reach the bridge while the page goes.
EngineWebPage::~EngineWebPage()
{
    delete m_fullScreen;
    m_bridge->disconnect();
    delete m_bridge;
}

bool EngineWebPage::isDocumentFullScreen() const
{
    return m_fullScreen->isOn();
}

void EngineWebPage::toggleFullScreen()
{
    m_bridge->toggleFullScreen();
}

bool EngineWebPage::leaveDocumentFullScreen()
{
    if (!m_fullScreen->isOn())
        return false;
    m_fullScreen->leave();
    return true;
}

// Every pop-up is an ordinary top-level view that goes away when closed.
QWebEnginePage* EngineWebPage::createWindow(WebWindowType)
{
    auto* view = new EngineWebView(nullptr);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->show();
    return view->page();
}

bool EngineWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    switch (NavigationPolicy::decide(url, type == NavigationTypeBackForward)) {
    case NavigationPolicy::Decision::Refuse: return false;
    case NavigationPolicy::Decision::HandToDesktop:
        QDesktopServices::openUrl(url);
        if (isMainFrame)
            closeIfNeverLoaded();
        return false;
    case NavigationPolicy::Decision::Follow: break;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

// A pop-up opened for a "mailto:" link never shows a document: the link went
// to the desktop, so its empty window goes.
void EngineWebPage::closeIfNeverLoaded()
{
    QWidget* window = targetWindow();
    if (!window || m_loaded || !url().isEmpty() || history()->count() > 0)
        return;
    QTimer::singleShot(0, window, &QWidget::close);
}

void EngineWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                             const QString& message, int lineNumber,
                                             const QString& sourceID)
{
    PageConsole::show(consoleLevel(level), message, lineNumber, sourceID);
}

// Calls of the page script (see EngineBridge) from the app's own documents;
// the script sees null, as after a call that returns nothing.
bool EngineWebPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                     const QString& defaultValue, QString* result)
{
    const QJsonArray call = EngineBridge::callOf(msg, defaultValue);
    if (call.isEmpty())
        return QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
    if (isAppOrigin(securityOrigin) && !m_bridge->call(call))
        callOfPage(call);
    return false;
}

// The window's geometry, as a desktop program's page moves and sizes its own
// window (the engine does that only for windows a script opened); a link
// for the desktop, whether a user or a script follows it.
void EngineWebPage::callOfPage(const QJsonArray& call)
{
    const QString name = call.at(0).toString();
    if (name == QLatin1String("openOnDesktop")) {
        const QUrl url(call.at(1).toString());
        if (NavigationPolicy::decide(url, false) == NavigationPolicy::Decision::HandToDesktop) {
            QDesktopServices::openUrl(url);
            closeIfNeverLoaded();
        }
        return;
    }
    QWidget* window = targetWindow();
    const int a = call.at(1).toInt(), b = call.at(2).toInt();
    if (!window || !call.at(1).isDouble() || !call.at(2).isDouble())
        return;
    QRect geometry = window->geometry();
    if (name == QLatin1String("moveTo"))
        geometry.moveTo(a, b);
    else if (name == QLatin1String("moveBy"))
        geometry.translate(a, b);
    else if (name == QLatin1String("resizeTo"))
        geometry.setSize(QSize(a, b));
    else if (name == QLatin1String("resizeBy"))
        geometry.setSize(geometry.size() + QSize(a, b));
    else
        return;
    // Never larger than the screens (a huge window exhausts memory), never empty.
    QSize largest(1, 1);
    for (QScreen* screen : QGuiApplication::screens())
        largest = largest.expandedTo(screen->availableVirtualGeometry().size());
    geometry.setSize(geometry.size().boundedTo(largest).expandedTo(QSize(1, 1)));
    window->setGeometry(geometry);
}

void EngineWebPage::applyFullScreenRequest(QWebEngineFullScreenRequest request)
{
    m_fullScreen->answer(request, targetWindow());
}

// The print dialog; a PDF printer gets the page as text (the engine's PDF),
// any other printer the page as the engine paints it. The page may go while
// the dialog is open.
void EngineWebPage::printPage()
{
    QPointer<EngineWebPage> self(this);
    auto* printer = new QPrinter(QPrinter::ScreenResolution);
    QPointer<QPrintDialog> dialog(new QPrintDialog(printer, view()));
    const int result = dialog->exec();
    delete dialog.data();
    if (result != QDialog::Accepted || !self) {
        delete printer;
        return;
    }
    if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty()) {
        printToPdf(printer->outputFileName(), printer->pageLayout());
        delete printer;
        return;
    }
    print(printer, [printer](bool) { delete printer; });
}

// The page's own process ended under it (a crash, out of memory, killed):
// the window would stay blank. The page is loaded again, unless it ended
// again soon after the last reload, which would only repeat.
void EngineWebPage::recoverFromEndedRenderer(RenderProcessTerminationStatus status, int exitCode)
{
    if (status == NormalTerminationStatus)
        return;
    const bool again = m_lastRecovery.isValid() && m_lastRecovery.elapsed() < 10000;
    PageConsole::show(PageConsole::Level::Error,
                      QStringLiteral("the page's process ended unexpectedly (code %1)%2")
                          .arg(exitCode)
                          .arg(again ? QString() : QStringLiteral("; the page is loaded again")),
                      0, url().toString());
    if (again)
        return;
    m_lastRecovery.start();
    QTimer::singleShot(0, this, [this] { triggerAction(QWebEnginePage::Reload); });
}

QWidget* EngineWebPage::targetWindow() const
{
    QWidget* pageView = view();
    return pageView ? pageView->window() : nullptr;
}
