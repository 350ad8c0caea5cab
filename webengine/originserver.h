#ifndef QUILLET_WEBENGINE_ORIGINSERVER_H
#define QUILLET_WEBENGINE_ORIGINSERVER_H

#include <QByteArray>
#include <QTcpServer>

// The app's virtual origin for Qt WebEngine, which cannot answer http
// requests itself: an HTTP server on 127.0.0.1 that answers requests for the
// origin's host from the bundle, as BundleReply does for QtWebKit. The
// engine's host resolver sends the host here. A request is answered only when
// it carries this run's secret, which the profile adds to the origin's
// requests; any other local process gets 403 and nothing of the bundle.
class OriginServer : public QTcpServer {
    Q_OBJECT
public:
    // The request header that carries the secret.
    static constexpr char kSecretHeader[] = "X-Quillet-Origin";

    explicit OriginServer(QObject* parent = nullptr);
    ~OriginServer() override;

    // Listens on 127.0.0.1 on a port the system chooses.
    bool start();
    // A new random value for every server.
    QByteArray secret() const { return m_secret; }

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    QByteArray m_secret;
};

#endif
