#ifndef QUILLET_WEBCORE_DOCUMENTFULLSCREEN_H
#define QUILLET_WEBCORE_DOCUMENTFULLSCREEN_H

#include <QObject>
#include <QPointer>

#include <functional>

class WindowBridge;
class QWidget;

// The HTML5 full screen of a page's documents, whatever the engine. A
// document's request acts on the window as the bridge's setfullscreen() and
// exitfullscreen() do. While a document is full screen the window is
// watched: whatever takes it out of full screen (Escape, F11, the bridge, the
// window manager) takes the document out too.
class DocumentFullScreen : public QObject {
    Q_OBJECT
public:
    // leaveDocument: asks the engine to take the document out of full screen.
    DocumentFullScreen(WindowBridge* bridge, std::function<void()> leaveDocument, QObject* parent);

    // Whether a document holds the full screen.
    bool isOn() const { return m_on; }
    // A document's request, accepted, to enter (on) or leave full screen in
    // window.
    void apply(bool on, QWidget* window);
    // The engine's request object (accept(), reject(), toggleOn()): accepted
    // and applied in window, refused while the page has no window.
    template <class Request>
    void answer(Request& request, QWidget* window)
    {
        if (!window) {
            request.reject();
            return;
        }
        request.accept();
        apply(request.toggleOn(), window);
    }
    // Escape while a document is full screen.
    void leave();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget* window);

    WindowBridge* m_bridge;  // not owned
    std::function<void()> m_leaveDocument;
    bool m_on = false;
    QPointer<QWidget> m_watchedWindow;  // while a document is full screen
};

#endif
