#include "sitespecificwebview.h"

#include "sitespecificcookiejar.h"
#include "sitespecificwebpage.h"
#include "webcore/appidentity.h"
#include "webcore/appwindow.h"
#include "zemnetworkaccessmanager.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QStandardPaths>
#include <QWebSettings>

SiteSpecificWebView::SiteSpecificWebView(QWidget* parent)
    : QWebView(parent)
{
    // Before the page exists: a page takes the web storage folder when it is
    // created, and the first page would otherwise keep web storage in memory.
    QWebSettings::enablePersistentStorage(storagePath());
    QWebSettings::setOfflineStorageDefaultQuota(qint64(10485760));

    m_page = new SiteSpecificWebPage(this);
    setPage(m_page);
    settings()->setAttribute(QWebSettings::PluginsEnabled, true);

    m_cookieJar = SiteSpecificCookieJar::instance();
    // No parent: a manager becomes the shared jar's parent, so none may die.
    m_networkAccessManager = new ZemNetworkAccessManager(nullptr);
    m_page->setNetworkAccessManager(m_networkAccessManager);
    m_networkAccessManager->setCookieJar(m_cookieJar);

    AppWindow::showIdentity(m_page->view());
    resize(AppWindow::popupSize());
}

SiteSpecificWebView::~SiteSpecificWebView() = default;

QString SiteSpecificWebView::storagePath()
{
    return AppIdentity::current().storagePath();
}

// Replaces WebKit's menu: the inspector when developer extras are on, else
// nothing at all.
void SiteSpecificWebView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    if (page()->settings()->testAttribute(QWebSettings::DeveloperExtrasEnabled))
        menu.addAction(pageAction(QWebPage::InspectElement));
    menu.exec(mapToGlobal(event->pos()));
}
