#ifndef QUILLET_SHELL_SINGLEINSTANCE_H
#define QUILLET_SHELL_SINGLEINSTANCE_H

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
namespace platform {
class InstanceLock;
}

// One running instance per app, so two never write the same cookie and
// settings files. The first start holds a lock file and listens on a local
// socket, both named after the app; a later start finds the lock held, asks
// the first over the socket to bring its window to the front, and ends. The
// system drops the lock of a crashed instance, so the next start takes it and
// replaces the socket left behind.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: a path without extension, e.g. AppIdentity::instanceName().
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // False when another instance of the app runs.
    bool isFirst() const { return m_first; }
    // From a later start: asks the first instance to show its window. False
    // when it could not be reached within the time.
    bool activateFirst(int milliseconds = 5000);

signals:
    // A later start asked for the window.
    void activationRequested();

private:
    void readRequest();

    QString m_socketPath;
    QString m_lockPath;
    std::unique_ptr<platform::InstanceLock> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_first = true;
};

#endif
