#include "sitespecificwebview.h"

#include "webapp.h"
#include "sitespecificcookiejar.h"
#include "sitespecificwebpage.h"
#include "zemnetworkaccessmanager.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QIcon>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QWebSettings>

SiteSpecificWebView::SiteSpecificWebView(QWidget* parent)
    : QWebView(parent)
{
    // WebKit fixes a page's local storage folder when the page is created:
    // set before the page, web storage is kept on disk; set after, it lives
    // in memory only and is gone at the next start.
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

    m_page->view()->setWindowTitle(APPLICATION_TITLE);
    m_page->view()->setWindowIcon(QIcon(QStringLiteral("icon.ico")));

    m_settings = new QSettings(QSettings::IniFormat, QSettings::UserScope, ORGANIZATION_NAME,
                               APPLICATION_NAME, this);
    m_settings->beginGroup(QStringLiteral("Window"));
    QSize initial = m_settings->value(QStringLiteral("size"), QSize(800, 600)).toSize();
    m_settings->endGroup();
    if (!initial.isValid() || initial.isEmpty())
        initial = QSize(800, 600);
    resize(initial);
}

SiteSpecificWebView::~SiteSpecificWebView() = default;

QString SiteSpecificWebView::storagePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QDir::separator() + ORGANIZATION_NAME + QDir::separator() + APPLICATION_NAME;
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
