#ifndef QUILLET_WEBENGINE_ENGINEDOWNLOAD_H
#define QUILLET_WEBENGINE_ENGINEDOWNLOAD_H

#include "webcore/filedownload.h"

class QWebEngineDownloadItem;

// A download of a Qt WebEngine page (see FileDownload): the same dialogs,
// progress, cancel and no-partial-file rules as on QtWebKit. The engine
// fetches the body itself, into a private temporary file; FileDownload then
// writes it to the chosen file as it does any other reply's.
class EngineDownload : public FileDownload {
    Q_OBJECT
public:
    // Takes the engine's request while its signal runs: the engine cancels a
    // download that is not accepted by then.
    static void start(QWebEngineDownloadItem* item);

protected:
    QNetworkReply* fetch(const QUrl& url) override;
    void refused(const QUrl& url) override;

private:
    explicit EngineDownload(QWebEngineDownloadItem* item, QObject* parent);

    QWebEngineDownloadItem* m_item;  // the engine's, until it is finished
};

#endif
