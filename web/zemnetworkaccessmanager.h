#ifndef QUILLET_WEB_ZEMNETWORKACCESSMANAGER_H
#define QUILLET_WEB_ZEMNETWORKACCESSMANAGER_H

#include <QNetworkAccessManager>

// Every request of a view's pages passes through here.
class ZemNetworkAccessManager : public QNetworkAccessManager {
    Q_OBJECT
public:
    explicit ZemNetworkAccessManager(QObject* parent = nullptr);
};

#endif
