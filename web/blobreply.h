#ifndef QUILLET_WEB_BLOBREPLY_H
#define QUILLET_WEB_BLOBREPLY_H

#include <QByteArray>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

class BlobChannel;

// The body of a blob: URL that a page's download hook handed over, read
// through the page's BlobChannel one chunk at a time. It asks for the next
// chunk only when its reader has taken the last one, so it never holds more
// than a chunk, whatever the size of the blob. Fails with
// ContentNotFoundError when the page no longer has the blob (it navigated
// away, or the hook never handed it over).
class BlobReply : public QNetworkReply {
    Q_OBJECT
public:
    BlobReply(const QUrl& url, BlobChannel* channel, QObject* parent = nullptr);
    ~BlobReply() override;

    static constexpr int kChunkSize = 1024 * 1024;
    // A chunk not answered in this time means no document holds the blob
    // any more (the page went elsewhere).
    static constexpr int kChunkTimeoutMs = 5000;

    void abort() override;
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void begin();
    void requestNext();
    void onChunk(const QUrl& url, qint64 offset, const QByteArray& data);
    void onFailure(const QUrl& url);
    void finish(NetworkError error, const QString& text);

    QPointer<BlobChannel> m_channel;
    QTimer m_chunkTimeout;
    QByteArray m_buffer;
    qint64 m_consumed = 0;  // bytes of m_buffer already read
    qint64 m_received = 0;  // bytes of the blob received
    qint64 m_total = -1;
    bool m_waiting = false;  // a chunk has been asked for
    bool m_done = false;
};

#endif
