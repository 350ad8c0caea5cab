#ifndef QUILLET_WEBCORE_WINDOWBRIDGE_H
#define QUILLET_WEBCORE_WINDOWBRIDGE_H

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

// The native half of the window-control interface that page scripts see as
// `corvane_skyfold_zem`, whatever the engine that exposes it. Every slot acts
// on the top-level window that the engine's adapter names.
class WindowBridge : public QObject {
    Q_OBJECT
public:
    // The window the calls act on; null while there is none.
    using WindowLookup = std::function<QWidget*()>;

    WindowBridge(WindowLookup window, QObject* parent);
    ~WindowBridge() override;

    // The one-line script that defines `corvane.vesk.casewright` on top of
    // the native object.
    static QString namespaceScript();

    // Leaves full screen, or enters it (F11). Not a slot: scripts have the
    // two calls above.
    void toggleFullScreen();

public slots:
    void setFullScreen();
    void exitFullScreen();
    void exitApplication();
    // Sizes are script numbers. A call whose values are not both finite and
    // positive is ignored; values larger than the largest screen are clamped
    // to it.
    void setMaxWindowSize(double maxw, double maxh);
    void setMinWindowSize(double minw, double minh);

protected:
    bool event(QEvent* event) override;

private:
    WindowLookup m_window;
};

#endif
