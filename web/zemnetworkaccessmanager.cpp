#include "zemnetworkaccessmanager.h"

#include "bundlereply.h"
#include "shell/constants.h"

#include <QNetworkRequest>

ZemNetworkAccessManager::ZemNetworkAccessManager(QObject* parent)
    : QNetworkAccessManager(parent)
{
}

// QUrl reports hosts in lower case, so a host in any letter case matches.
// Scheme, host, port, user information, query and fragment are dropped. The
// decoded path is set as a path, not parsed as URL text again, so an encoded
// "%", "?" or "#" in a file name names that file instead of being decoded a
// second time or cutting the path short.
QUrl ZemNetworkAccessManager::bundleUrlFor(QNetworkAccessManager::Operation op, const QUrl& url)
{
    if (op != QNetworkAccessManager::GetOperation || url.scheme() != QLatin1String("http")
        || url.host() != APPLICATION_HOST.toLower())
        return QUrl();
    QUrl bundled;
    bundled.setScheme(QStringLiteral("qrc"));
    bundled.setPath(QStringLiteral("/widget") + url.path(QUrl::FullyDecoded), QUrl::DecodedMode);
    return bundled;
}

QNetworkReply* ZemNetworkAccessManager::createRequest(QNetworkAccessManager::Operation op,
                                                      const QNetworkRequest& request,
                                                      QIODevice* outgoingData)
{
    const QUrl bundled = bundleUrlFor(op, request.url());
    if (bundled.isEmpty())
        return QNetworkAccessManager::createRequest(op, request, outgoingData);
    // Read from the bundle and answered as a web server would, under the URL
    // the page asked for.
    return new BundleReply(bundled, request.url(), this);
}
