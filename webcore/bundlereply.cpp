#include "bundlereply.h"

#include "appidentity.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>

namespace {

// The type a web server would send for the file name. Looked up once per
// suffix: the MIME database is slow next to serving a small file.
QString contentTypeFor(const QString& path)
{
    static QHash<QString, QString> bySuffix;
    const QString suffix = QFileInfo(path).suffix().toLower();
    auto known = bySuffix.constFind(suffix);
    if (known != bySuffix.constEnd())
        return *known;
    const QString type
        = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    bySuffix.insert(suffix, type);
    return type;
}

}  // namespace

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
QUrl BundleReply::bundleUrlFor(QNetworkAccessManager::Operation op, const QUrl& url)
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

BundleReply::BundleReply(QNetworkAccessManager::Operation op, const QUrl& bundleUrl,
                         const QUrl& url, QObject* parent)
    : QNetworkReply(parent)
    , m_file(AppIdentity::current().bundleFilePath(bundleUrl.path(QUrl::FullyDecoded)))
{
    // A fresh request: no header or attribute of the page's request is kept.
    setRequest(QNetworkRequest(url));
    setUrl(url);
    setOperation(op);
    QNetworkReply::open(QIODevice::ReadOnly | QIODevice::Unbuffered);

    // The whole answer is known at once; like any reply, it is announced
    // through the event loop, after the caller has connected.
    const bool head = op == QNetworkAccessManager::HeadOperation;
    if (!head && op != QNetworkAccessManager::GetOperation) {
        setRawHeader("Allow", "GET, HEAD");
        fail(QNetworkReply::ContentOperationNotPermittedError, 405, "Method Not Allowed");
    } else if (QFileInfo(m_file.fileName()).isDir()) {
        fail(QNetworkReply::ContentOperationNotPermittedError, 403, "Forbidden");
    } else if (!m_file.open(QIODevice::ReadOnly)) {
        fail(QNetworkReply::ContentNotFoundError, 404, "Not Found");
    } else {
        answer(200, "OK", contentTypeFor(url.path()), m_file.size());
        QMetaObject::invokeMethod(this, "metaDataChanged", Qt::QueuedConnection);
        if (!head)
            QMetaObject::invokeMethod(this, "downloadProgress", Qt::QueuedConnection,
                                      Q_ARG(qint64, m_file.size()), Q_ARG(qint64, m_file.size()));
    }
    // HEAD: the headers as for GET (Content-Length included), no body.
    if (head) {
        m_file.close();
        m_errorBody.clear();
    } else {
        QMetaObject::invokeMethod(this, "readyRead", Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(this, "finished", Qt::QueuedConnection);
    setFinished(true);
}

BundleReply::~BundleReply() = default;

void BundleReply::answer(int status, const char* reason, const QString& contentType, qint64 length)
{
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, status);
    setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, QByteArray(reason));
    setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    setHeader(QNetworkRequest::ContentLengthHeader, length);
}

void BundleReply::fail(QNetworkReply::NetworkError error, int status, const char* reason)
{
    m_errorBody = QByteArray::number(status) + ' ' + reason + '\n';
    answer(status, reason, QStringLiteral("text/plain"), m_errorBody.size());
    setError(error, QStringLiteral("%1 %2").arg(status).arg(QLatin1String(reason)));
    QMetaObject::invokeMethod(this, "metaDataChanged", Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, "errorOccurred", Qt::QueuedConnection,
                              Q_ARG(QNetworkReply::NetworkError, error));
}

void BundleReply::abort()
{
    close();
}

void BundleReply::close()
{
    m_file.close();
    m_errorBody.clear();
    QNetworkReply::close();
}

qint64 BundleReply::bytesAvailable() const
{
    const qint64 own = m_file.isOpen() ? m_file.bytesAvailable() : m_errorBody.size();
    return QNetworkReply::bytesAvailable() + own;
}

qint64 BundleReply::readData(char* data, qint64 maxSize)
{
    if (m_file.isOpen()) {
        const qint64 count = m_file.read(data, maxSize);
        return count == 0 && m_file.atEnd() ? -1 : count;
    }
    if (m_errorBody.isEmpty())
        return -1;
    const qint64 count = qMin<qint64>(maxSize, m_errorBody.size());
    memcpy(data, m_errorBody.constData(), size_t(count));
    m_errorBody.remove(0, int(count));
    return count;
}
