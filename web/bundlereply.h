#ifndef QUILLET_WEB_BUNDLEREPLY_H
#define QUILLET_WEB_BUNDLEREPLY_H

#include <QByteArray>
#include <QNetworkReply>

// The answer to a request on the virtual origin, read from the bundle. It
// wraps the reply for the bundle file and presents it as a web server would:
// under the requested http URL, with an HTTP status (200, 403 or 404), a
// reason phrase and a Content-Type taken from the file name. Pages then see
// the origin as a real one: XHR reports status 200, a missing file is a 404
// with a short body, and content the view cannot show carries the
// Content-Type that a download needs.
class BundleReply : public QNetworkReply {
    Q_OBJECT
public:
    // Takes ownership of fileReply; url is the URL the page asked for.
    BundleReply(QNetworkReply* fileReply, const QUrl& url, QObject* parent = nullptr);
    ~BundleReply() override;

    void abort() override;
    void close() override;
    qint64 bytesAvailable() const override;
    void setReadBufferSize(qint64 size) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    void describe();
    void forwardError(QNetworkReply::NetworkError code);
    void forwardFinished();

    QNetworkReply* m_fileReply;
    QByteArray m_errorBody;  // served instead of the file when it fails
};

#endif
