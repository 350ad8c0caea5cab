#include "zemdownloadmgr.h"

#include "blobchannel.h"
#include "blobreply.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QWebPage>

ZemDownloadMgr::ZemDownloadMgr(QObject* parent)
    : FileDownload(parent)
{
}

ZemDownloadMgr::~ZemDownloadMgr() = default;

void ZemDownloadMgr::startDownload(QNetworkReply* reply, QWebPage* page)
{
    startDownload(reply->url(), QString(), page);
}

void ZemDownloadMgr::startDownload(const QUrl& url, const QString& suggestedName, QWebPage* page)
{
    m_page = page;
    m_blobs = page->findChild<BlobChannel*>();
    start(page->view(), url, suggestedName, m_blobs ? m_blobs->blobType(url) : QString());
}

QNetworkReply* ZemDownloadMgr::fetch(const QUrl& url)
{
    if (url.scheme() == QLatin1String("blob"))
        return new BlobReply(url, m_blobs, this);
    QNetworkRequest request{QUrl()};
    request.setUrl(url);
    return m_page->networkAccessManager()->get(request);
}

// The blob kept for this download is not needed any more.
void ZemDownloadMgr::refused(const QUrl& url)
{
    if (m_blobs)
        m_blobs->release(url);
}
