#include "appmainwindow.h"

#include "appmainwindowform.h"
#include "shell/constants.h"
#include "sitespecificwebview.h"
#include "webcore/appidentity.h"

#include <QNetworkProxyFactory>
#include <QPalette>
#include <QResizeEvent>
#include <QShortcut>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

#include <memory>

namespace {

// The app's own colour until its page has loaded: no white flash on a dark
// app. The view hands its palette to its page; once loaded, both get their
// own back, so a page without a background of its own is white, as in a
// browser.
void showColourUntilLoaded(QWebView* view, const QColor& colour)
{
    const QPalette original = view->palette();
    QPalette palette = original;
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    view->setPalette(palette);
    QWebPage* page = view->page();
    auto loaded = std::make_shared<QMetaObject::Connection>();
    *loaded = QObject::connect(
        page, &QWebPage::loadFinished, view, [view, page, original, loaded](bool ok) {
            if (!ok || page->mainFrame()->url().toString() == QLatin1String("about:blank"))
                return;
            view->setPalette(original);
            QObject::disconnect(*loaded);
        });
}

}  // namespace

AppMainWindow::AppMainWindow(QWidget* parent)
    : AppWindow(parent)
    , m_form(new AppMainWindowForm)
{
    m_form->setupUi(this);
    const bool bundleLoaded = loadBundle();
    configure();
    restoreGeometry();
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    if (bundleLoaded)
        m_form->webView->setUrl(m_startUrl);
    else
        m_form->webView->setHtml(bundleProblemPage());
}

AppMainWindow::~AppMainWindow()
{
    delete m_form;
}

SiteSpecificWebView* AppMainWindow::webView() const
{
    return m_form->webView;
}

void AppMainWindow::resizeEvent(QResizeEvent* event)
{
    m_form->webView->setGeometry(QRect(0, 0, width(), height()));
    QWidget::resizeEvent(event);
}

void AppMainWindow::configure()
{
    m_startUrl = QUrl(QStringLiteral("qrc:/index.html"));
    showIdentity(this);
    const AppIdentity& app = AppIdentity::current();
    if (app.backgroundColor().isValid())
        showColourUntilLoaded(m_form->webView, app.backgroundColor());
    // Run unpacked, the developer edits a file and reloads with F5.
    if (!app.webFolder().isEmpty()) {
        auto* reload = new QShortcut(QKeySequence::Refresh, this);
        connect(reload, &QShortcut::activated, m_form->webView, &QWebView::reload);
    }

    QWebSettings* web = QWebSettings::globalSettings();
    web->setAttribute(QWebSettings::PluginsEnabled, true);
    web->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);
    web->setAttribute(QWebSettings::JavascriptCanAccessClipboard, true);
    web->setAttribute(QWebSettings::OfflineWebApplicationCacheEnabled, true);
    web->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, true);
    web->setAttribute(QWebSettings::LocalStorageEnabled, true);
    web->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, true);
    web->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, true);
    if (APPLICATION_ID.isUnset())
        web->setAttribute(QWebSettings::DeveloperExtrasEnabled, true);
}
