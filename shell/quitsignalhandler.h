#ifndef QUILLET_SHELL_QUITSIGNALHANDLER_H
#define QUILLET_SHELL_QUITSIGNALHANDLER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into an orderly end of the event loop, so windows
// are destroyed (and save their state) exactly as after a normal close.
// The signal handler only writes one byte to a socket pair; the event loop
// picks it up. One instance per process.
class QuitSignalHandler : public QObject {
    Q_OBJECT
public:
    explicit QuitSignalHandler(QObject* parent = nullptr);
    ~QuitSignalHandler() override;

private:
    void quitRequested();
    static void onSignal(int signalNumber);

    QSocketNotifier* m_notifier = nullptr;
};

#endif
