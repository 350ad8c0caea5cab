#include "sitespecificwebview.h"

#include "appidentity.h"
#include "sitespecificcookiejar.h"
#include "sitespecificwebpage.h"
#include "zemnetworkaccessmanager.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QScreen>
#include <QSettings>
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

    const AppIdentity& app = AppIdentity::current();
    m_page->view()->setWindowTitle(app.title());
    m_page->view()->setWindowIcon(app.windowIcon());

    m_settings = app.createSettings(this);
    m_settings->beginGroup(QStringLiteral("Window"));
    QSize initial = m_settings->value(QStringLiteral("size"), QSize(800, 600)).toSize();
    m_settings->endGroup();
    if (!initial.isValid() || initial.isEmpty())
        initial = QSize(800, 600);
    // A pop-up opens at this size: never larger than the screens.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        initial = initial.boundedTo(screen->availableVirtualGeometry().size());
    resize(initial);
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
