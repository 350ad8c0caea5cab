#ifndef QUILLET_WEB_ZEMNETWORKACCESSMANAGER_H
#define QUILLET_WEB_ZEMNETWORKACCESSMANAGER_H

#include <QNetworkAccessManager>

// Every request of a view's pages passes through here. A plain-HTTP request to
// the application's own host is answered from the bundle's "widget" folder,
// whatever its method, so the packaged application runs on a real web origin
// and its host never leaves the machine; everything else goes to the network
// unchanged (the rules of the origin: BundleReply).
class ZemNetworkAccessManager : public QNetworkAccessManager {
    Q_OBJECT
public:
    explicit ZemNetworkAccessManager(QObject* parent = nullptr);

protected:
    QNetworkReply* createRequest(QNetworkAccessManager::Operation op,
                                 const QNetworkRequest& request, QIODevice* outgoingData) override;
};

#endif
