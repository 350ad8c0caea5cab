#ifndef QUILLET_WEB_ZEMDOWNLOADMGR_H
#define QUILLET_WEB_ZEMDOWNLOADMGR_H

#include "webcore/filedownload.h"

class BlobChannel;
class QWebPage;

// A download of a QtWebKit page (see FileDownload): its dialogs belong to the
// page's view, and the transfer runs through the page's network access
// manager, or through its BlobChannel for a blob: URL.
class ZemDownloadMgr : public FileDownload {
    Q_OBJECT
public:
    explicit ZemDownloadMgr(QObject* parent = nullptr);
    ~ZemDownloadMgr() override;

    // Reads only the URL of reply.
    void startDownload(QNetworkReply* reply, QWebPage* page);
    // The same for a URL, with the name the page proposed (a link's
    // `download` attribute; empty when it proposed none).
    void startDownload(const QUrl& url, const QString& suggestedName, QWebPage* page);

protected:
    QNetworkReply* fetch(const QUrl& url) override;
    void refused(const QUrl& url) override;

private:
    QPointer<QWebPage> m_page;
    QPointer<BlobChannel> m_blobs;
};

#endif
