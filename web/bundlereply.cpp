#include "bundlereply.h"

#include <QMimeDatabase>

namespace {

struct HttpStatus {
    int code;
    const char* reason;
};

HttpStatus statusFor(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::NoError:
        return {200, "OK"};
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::ContentOperationNotPermittedError:
        return {403, "Forbidden"};
    default:
        return {404, "Not Found"};
    }
}

}  // namespace

BundleReply::BundleReply(QNetworkReply* fileReply, const QUrl& url, QObject* parent)
    : QNetworkReply(parent)
    , m_fileReply(fileReply)
{
    // Not a child object: the manager deletes every reply among its
    // descendants when it goes, which would delete this one twice.
    m_fileReply->setParent(nullptr);
    setRequest(QNetworkRequest(url));
    setUrl(url);
    setOperation(QNetworkAccessManager::GetOperation);
    QNetworkReply::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    // A bundle file is opened (or found missing) at once; its signals follow
    // through the event loop.
    describe();
    if (m_fileReply->isFinished())
        setFinished(true);

    connect(m_fileReply, &QNetworkReply::metaDataChanged, this, &QNetworkReply::metaDataChanged);
    connect(m_fileReply, &QNetworkReply::readyRead, this, &QNetworkReply::readyRead);
    connect(m_fileReply, &QNetworkReply::downloadProgress, this, &QNetworkReply::downloadProgress);
    connect(m_fileReply, &QNetworkReply::errorOccurred, this, &BundleReply::forwardError);
    connect(m_fileReply, &QNetworkReply::finished, this, &BundleReply::forwardFinished);
}

BundleReply::~BundleReply()
{
    delete m_fileReply;
}

void BundleReply::describe()
{
    const QNetworkReply::NetworkError error = m_fileReply->error();
    const HttpStatus status = statusFor(error);
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, status.code);
    setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, QByteArray(status.reason));
    if (error == QNetworkReply::NoError) {
        const QString type = QMimeDatabase().mimeTypeForFile(url().path(), QMimeDatabase::MatchExtension).name();
        setHeader(QNetworkRequest::ContentTypeHeader, type);
        setHeader(QNetworkRequest::ContentLengthHeader,
                  m_fileReply->header(QNetworkRequest::ContentLengthHeader));
        setHeader(QNetworkRequest::LastModifiedHeader,
                  m_fileReply->header(QNetworkRequest::LastModifiedHeader));
        return;
    }
    m_errorBody = QByteArray::number(status.code) + ' ' + status.reason + '\n';
    setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain"));
    setHeader(QNetworkRequest::ContentLengthHeader, m_errorBody.size());
    setError(error, m_fileReply->errorString());
}

void BundleReply::forwardError(QNetworkReply::NetworkError code)
{
    setError(code, m_fileReply->errorString());
    emit errorOccurred(code);
}

void BundleReply::forwardFinished()
{
    if (!m_errorBody.isEmpty())
        emit readyRead();
    setFinished(true);
    emit finished();
}

void BundleReply::abort()
{
    m_fileReply->abort();
    m_errorBody.clear();
    QNetworkReply::close();
}

void BundleReply::close()
{
    m_fileReply->close();
    QNetworkReply::close();
}

qint64 BundleReply::bytesAvailable() const
{
    const qint64 own = m_errorBody.isEmpty() ? m_fileReply->bytesAvailable() : m_errorBody.size();
    return QNetworkReply::bytesAvailable() + own;
}

void BundleReply::setReadBufferSize(qint64 size)
{
    QNetworkReply::setReadBufferSize(size);
    m_fileReply->setReadBufferSize(size);
}

qint64 BundleReply::readData(char* data, qint64 maxSize)
{
    if (m_errorBody.isEmpty())
        return m_fileReply->read(data, maxSize);
    const qint64 count = qMin<qint64>(maxSize, m_errorBody.size());
    memcpy(data, m_errorBody.constData(), size_t(count));
    m_errorBody.remove(0, int(count));
    return count;
}
