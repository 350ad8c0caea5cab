#include "enginemainwindow.h"

#include "enginewebpage.h"
#include "enginewebview.h"
#include "shell/constants.h"
#include "webcore/appidentity.h"

#include <QFile>
#include <QShortcut>
#include <QUrl>

#include <memory>

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
        showStartPage();
    else
        m_view->setHtml(bundleProblemPage());
}

EngineMainWindow::~EngineMainWindow() = default;

// The engine reads qrc: from registered resources only: a web folder run
// unpacked has its start page handed over as content with the same address
// (the profile sends what it names under qrc:/widget/ to the origin).
void EngineMainWindow::showStartPage()
{
    const QUrl start(QStringLiteral("qrc:/index.html"));
    const AppIdentity& app = AppIdentity::current();
    if (app.webFolder().isEmpty()) {
        m_view->setUrl(start);
        return;
    }
    QFile page(app.bundleFilePath(start.path()));
    if (!page.open(QIODevice::ReadOnly)) {
        m_view->setHtml(bundleProblemPage());
        return;
    }
    m_view->setHtml(QString::fromUtf8(page.readAll()), start);
}

void EngineMainWindow::configure()
{
    showIdentity(this);
    const AppIdentity& app = AppIdentity::current();
    // The app's own colour until its first page has loaded: no white flash
    // on a dark app. Then a page without a background of its own is white,
    // as in a browser.
    if (app.backgroundColor().isValid()) {
        QWebEnginePage* page = m_view->page();
        page->setBackgroundColor(app.backgroundColor());
        auto loaded = std::make_shared<QMetaObject::Connection>();
        *loaded = connect(page, &QWebEnginePage::loadFinished, this, [page, loaded](bool ok) {
            if (!ok)
                return;
            page->setBackgroundColor(Qt::white);
            QObject::disconnect(*loaded);
        });
    }
    // Run unpacked, the developer edits a file and reloads with F5.
    if (!app.webFolder().isEmpty()) {
        auto* reload = new QShortcut(QKeySequence::Refresh, this);
        connect(reload, &QShortcut::activated, m_view, &QWebEngineView::reload);
    }
}
