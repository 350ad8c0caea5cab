#include "zemnetworkaccessmanager.h"

#include "bundlereply.h"
#include "appidentity.h"

#include <QDir>
#include <QNetworkRequest>

ZemNetworkAccessManager::ZemNetworkAccessManager(QObject* parent)
    : QNetworkAccessManager(parent)
{
}

// QUrl reports hosts in lower case, so a host in any letter case matches.
// Scheme, host, port, user information, query and fragment are dropped. The
// decoded path is set as a path, not parsed as URL text again, so an encoded
// "%", "?" or "#" in a file name names that file instead of being decoded a
// second time or cutting the path short. Dot segments are resolved inside the
// served tree, as a web server does: no path, however encoded, leaves
// "widget". Every method on the origin is answered there (GET and HEAD from
// the bundle, others refused), so its host never goes to the network. A web
// folder run unpacked also answers the bundle's own qrc: URLs (the start page
// and what it names), the same files a bundle holds, to GET.
QUrl ZemNetworkAccessManager::bundleUrlFor(QNetworkAccessManager::Operation op, const QUrl& url)
{
    QString folder;
    if (url.scheme() == QLatin1String("http") && url.host() == APPLICATION_HOST.toLower())
        folder = QStringLiteral("/widget");
    else if (op != QNetworkAccessManager::GetOperation || url.scheme() != QLatin1String("qrc")
             || AppIdentity::current().webFolder().isEmpty())
        return QUrl();
    QString path = QDir::cleanPath(url.path(QUrl::FullyDecoded));
    while (path == QLatin1String("/..") || path.startsWith(QLatin1String("/../")))
        path.remove(0, 3);
    QUrl bundled;
    bundled.setScheme(QStringLiteral("qrc"));
    bundled.setPath(folder + path, QUrl::DecodedMode);
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
    // the page asked for. A request body is not read: only GET and HEAD are
    // served.
    return new BundleReply(op, bundled, request.url(), this);
}
