#include "zemnetworkaccessmanager.h"

#include "webcore/bundlereply.h"

#include <QNetworkRequest>

ZemNetworkAccessManager::ZemNetworkAccessManager(QObject* parent)
    : QNetworkAccessManager(parent)
{
}

QNetworkReply* ZemNetworkAccessManager::createRequest(QNetworkAccessManager::Operation op,
                                                      const QNetworkRequest& request,
                                                      QIODevice* outgoingData)
{
    const QUrl bundled = BundleReply::bundleUrlFor(op, request.url());
    if (bundled.isEmpty())
        return QNetworkAccessManager::createRequest(op, request, outgoingData);
    // Read from the bundle and answered as a web server would, under the URL
    // the page asked for. A request body is not read: only GET and HEAD are
    // served.
    return new BundleReply(op, bundled, request.url(), this);
}
