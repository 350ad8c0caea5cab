#ifndef QUILLET_WEB_BLOBCHANNEL_H
#define QUILLET_WEB_BLOBCHANNEL_H

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

// The native end of the download hook, a script that every main-frame
// document gets before its own scripts run. The hook reports link
// activations that are downloads (a `download` attribute, or a blob: link
// the view would not show) instead of letting the engine follow them, and
// it keeps the blobs behind such links so that their bytes can be read in
// chunks. The engine's own route for a blob: link turns the whole blob into
// one data: URL in memory; this one holds at most a chunk beside the blob.
class BlobChannel : public QObject {
    Q_OBJECT
public:
    explicit BlobChannel(QObject* parent);
    ~BlobChannel() override;

    // The name under which the page exposes the channel; the hook takes it
    // into its closure and removes it from the document's scope.
    static QString scriptName();
    static QString hookScript();

    // Size and type of a blob the hook handed over, -1 and empty when the
    // hook did not hand it over (or it was released).
    qint64 blobSize(const QUrl& url) const;
    QString blobType(const QUrl& url) const;

    // Asks the hook for `length` bytes of the blob at `offset`; the answer is
    // chunkArrived() or chunkFailed(), later, from the event loop.
    void requestChunk(const QUrl& url, qint64 offset, int length);
    // The download of url has ended: the hook lets go of its blob.
    void release(const QUrl& url);
    // A new document replaces the hook and its blobs: reads in progress fail.
    void forgetBlobs();

signals:
    void downloadRequested(const QUrl& url, const QString& suggestedName);
    void chunkArrived(const QUrl& url, qint64 offset, const QByteArray& data);
    void chunkFailed(const QUrl& url);
    void blobsLost();

    // To the hook script.
    void readRequested(const QString& url, double offset, int length);
    void released(const QString& url);

public slots:
    // Called by the hook script. Only http, https, data and blob URLs are
    // downloaded; size and type are those of the blob (-1 and empty else).
    void download(const QString& url, const QString& name, double size, const QString& type);
    void chunkRead(const QString& url, double offset, const QByteArray& data);
    void readFailed(const QString& url);

protected:
    bool event(QEvent* event) override;

private:
    struct Blob {
        qint64 size = -1;
        QString type;
    };
    QHash<QString, Blob> m_blobs;
};

#endif
