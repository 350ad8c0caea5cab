#ifndef QUILLET_WEB_BUNDLEREPLY_H
#define QUILLET_WEB_BUNDLEREPLY_H

#include <QByteArray>
#include <QFile>
#include <QNetworkReply>

// The answer to a request on the virtual origin, read from a bundle file and
// presented as a web server would: under the requested http URL, with an
// HTTP status (200, 403 for a folder, 404 for a missing file, 405 for a
// method other than GET and HEAD), a reason phrase and a Content-Type taken
// from the file name. Pages then see the origin as a real one: XHR reports
// status 200, a missing file is a 404 with a short body, HEAD gets the
// headers of GET without the body, and content the view cannot show carries
// the Content-Type that a download needs.
class BundleReply : public QNetworkReply {
    Q_OBJECT
public:
    // bundleUrl: the qrc: URL of the file; url: the URL the page asked for.
    BundleReply(QNetworkAccessManager::Operation op, const QUrl& bundleUrl, const QUrl& url,
                QObject* parent = nullptr);
    ~BundleReply() override;

    void abort() override;
    void close() override;
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    void answer(int status, const char* reason, const QString& contentType, qint64 length);
    void fail(QNetworkReply::NetworkError error, int status, const char* reason);

    QFile m_file;
    QByteArray m_errorBody;  // served instead of a file that cannot be read
};

#endif
