#include "blobreply.h"

#include "blobchannel.h"

#include <QTimer>

#include <cstring>

BlobReply::BlobReply(const QUrl& url, BlobChannel* channel, QObject* parent)
    : QNetworkReply(parent)
    , m_channel(channel)
{
    setRequest(QNetworkRequest(url));
    setUrl(url);
    setOperation(QNetworkAccessManager::GetOperation);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (m_channel) {
        connect(m_channel, &BlobChannel::chunkArrived, this, &BlobReply::onChunk);
        connect(m_channel, &BlobChannel::chunkFailed, this, &BlobReply::onFailure);
        connect(m_channel, &BlobChannel::blobsLost, this, [this] {
            if (!m_done)
                finish(ContentNotFoundError, tr("The page no longer holds this data."));
        });
    }
    m_chunkTimeout.setSingleShot(true);
    m_chunkTimeout.setInterval(kChunkTimeoutMs);
    connect(&m_chunkTimeout, &QTimer::timeout, this, [this] {
        if (!m_done && m_waiting)
            finish(ContentNotFoundError, tr("The page no longer holds this data."));
    });
    // Signals only once the caller has had the chance to connect.
    QTimer::singleShot(0, this, &BlobReply::begin);
}

BlobReply::~BlobReply()
{
    if (m_channel && !m_done)
        m_channel->release(url());
}

void BlobReply::begin()
{
    if (m_done)
        return;
    m_total = m_channel ? m_channel->blobSize(url()) : -1;
    if (m_total < 0) {
        finish(ContentNotFoundError, tr("The page no longer holds this data."));
        return;
    }
    setHeader(QNetworkRequest::ContentLengthHeader, m_total);
    if (!m_channel->blobType(url()).isEmpty())
        setHeader(QNetworkRequest::ContentTypeHeader, m_channel->blobType(url()));
    emit metaDataChanged();
    if (m_total == 0) {
        emit downloadProgress(0, 0);
        finish(NoError, QString());
        return;
    }
    requestNext();
}

void BlobReply::requestNext()
{
    if (m_done || m_waiting || m_received >= m_total || bytesAvailable() >= kChunkSize)
        return;
    m_waiting = true;
    m_chunkTimeout.start();
    m_channel->requestChunk(url(), m_received, int(qMin<qint64>(kChunkSize, m_total - m_received)));
}

void BlobReply::onChunk(const QUrl& chunkUrl, qint64 offset, const QByteArray& data)
{
    if (m_done || !m_waiting || chunkUrl != url() || offset != m_received)
        return;
    m_waiting = false;
    m_chunkTimeout.stop();
    if (data.isEmpty() || data.size() > m_total - m_received) {
        finish(ContentNotFoundError, tr("The page no longer holds this data."));
        return;
    }
    if (m_consumed == m_buffer.size()) {
        m_buffer = data;
        m_consumed = 0;
    } else {
        m_buffer.append(data);
    }
    m_received += data.size();
    QPointer<BlobReply> self(this);
    emit downloadProgress(m_received, m_total);
    if (self)
        emit readyRead();
    if (!self || m_done)
        return;
    if (m_received == m_total)
        finish(NoError, QString());
    else
        requestNext();
}

void BlobReply::onFailure(const QUrl& chunkUrl)
{
    if (!m_done && m_waiting && chunkUrl == url())
        finish(ContentNotFoundError, tr("The page no longer holds this data."));
}

qint64 BlobReply::bytesAvailable() const
{
    return m_buffer.size() - m_consumed + QIODevice::bytesAvailable();
}

qint64 BlobReply::readData(char* data, qint64 maxSize)
{
    const qint64 count = qMin<qint64>(maxSize, m_buffer.size() - m_consumed);
    if (count <= 0)
        return m_done ? -1 : 0;
    std::memcpy(data, m_buffer.constData() + m_consumed, size_t(count));
    m_consumed += count;
    if (m_consumed == m_buffer.size()) {
        m_buffer.clear();
        m_consumed = 0;
        // Asked from the event loop: the reader may be inside readyRead().
        QTimer::singleShot(0, this, &BlobReply::requestNext);
    }
    return count;
}

void BlobReply::abort()
{
    if (!m_done)
        finish(OperationCanceledError, tr("Operation canceled"));
}

void BlobReply::finish(NetworkError error, const QString& text)
{
    m_done = true;
    m_waiting = false;
    m_chunkTimeout.stop();
    if (m_channel)
        m_channel->release(url());
    if (error != NoError) {
        setError(error, text);
        emit errorOccurred(error);
    }
    setFinished(true);
    emit finished();
}
