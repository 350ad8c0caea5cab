#include "enginemainwindow.h"

#include "enginewebpage.h"
#include "enginewebview.h"
#include "shell/constants.h"
#include "webcore/appidentity.h"

#include <QShortcut>
#include <QUrl>

EngineMainWindow::EngineMainWindow(QWidget* parent)
    : AppWindow(parent)
{
    setObjectName(QStringLiteral("AppMainWindow"));
    const bool bundleLoaded = loadBundle();
    EngineWebView::setDeveloperExtras(APPLICATION_ID.isUnset());
    m_view = new EngineWebView(this);
    setCentralWidget(m_view);
    configure();
    restoreGeometry();
    if (bundleLoaded)
        m_view->setUrl(QUrl(QStringLiteral("qrc:/index.html")));
    else
        m_view->setHtml(bundleProblemPage());
}

EngineMainWindow::~EngineMainWindow() = default;

void EngineMainWindow::configure()
{
    showIdentity(this);
    const AppIdentity& app = AppIdentity::current();
    // The app's own colour until its page paints: no white flash on a dark app.
    if (app.backgroundColor().isValid())
        m_view->page()->setBackgroundColor(app.backgroundColor());
    // Run unpacked, the developer edits a file and reloads with F5.
    if (!app.webFolder().isEmpty()) {
        auto* reload = new QShortcut(QKeySequence::Refresh, this);
        connect(reload, &QShortcut::activated, m_view, &QWebEngineView::reload);
    }
}
