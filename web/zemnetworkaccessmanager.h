#ifndef QUILLET_WEB_ZEMNETWORKACCESSMANAGER_H
#define QUILLET_WEB_ZEMNETWORKACCESSMANAGER_H

#include <QNetworkAccessManager>

// Every request of a view's pages passes through here. A plain-HTTP request to
// the application's own host is answered from the bundle's "widget" folder,
// whatever its method, so the packaged application runs on a real web origin
// and its host never leaves the machine; everything else goes to the network
// unchanged.
class ZemNetworkAccessManager : public QNetworkAccessManager {
    Q_OBJECT
public:
    explicit ZemNetworkAccessManager(QObject* parent = nullptr);

    // The bundle URL a request is answered from, or an empty URL when the
    // request goes to the network.
    static QUrl bundleUrlFor(QNetworkAccessManager::Operation op, const QUrl& url);

protected:
    QNetworkReply* createRequest(QNetworkAccessManager::Operation op,
                                 const QNetworkRequest& request,
                                 QIODevice* outgoingData) override;
};

#endif
