#ifndef QUILLET_SHELL_QUITSIGNALHANDLER_H
#define QUILLET_SHELL_QUITSIGNALHANDLER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into an orderly end of the event loop, so windows
// are destroyed (and save their state) exactly as after a normal close.
// The signal handler only writes one byte to a socket pair; the event loop
// picks it up. One instance per process.
//
// A page can keep the event loop from ever getting there (a busy script, or
// one that opens confirm() again and again). So the signal also ends every
// wait for the store service, and arms a deadline: a process still alive
// kDeadlineSeconds after the signal is ended by it, with the default action.
// The state is saved first whenever the event loop gets the request at all,
// even from inside a dialog's loop (quitRequested()).
class QuitSignalHandler : public QObject {
    Q_OBJECT
public:
    static constexpr int kDeadlineSeconds = 4;

    explicit QuitSignalHandler(QObject* parent = nullptr);
    ~QuitSignalHandler() override;

    // Whether SIGTERM or SIGINT has arrived.
    static bool wasRequested();

signals:
    // On the GUI thread, before the event loop is told to end: save now what
    // the destructors would save, as the page may not let them run.
    void quitRequested();

private:
    void onQuitRequest();
    static void onSignal(int signalNumber);
    static void runDeadline(int fd);

    QSocketNotifier* m_notifier = nullptr;
};

#endif
