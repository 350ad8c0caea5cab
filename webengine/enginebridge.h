#ifndef QUILLET_WEBENGINE_ENGINEBRIDGE_H
#define QUILLET_WEBENGINE_ENGINEBRIDGE_H

#include "webcore/windowbridge.h"

class QWebEnginePage;

// The window-control bridge of a Qt WebEngine page. The engine's own channel
// to native objects only calls asynchronously; the page script's object
// (pageScript()) passes each call through a prompt() with a mark instead,
// which the page hands to call() and which returns only once the call is
// done, so calls take effect in order and at once, as they do on QtWebKit.
class EngineBridge : public WindowBridge {
    Q_OBJECT
public:
    EngineBridge(QWebEnginePage* page, QObject* parent);
    ~EngineBridge() override;

    // The script that defines `corvane_skyfold_zem` in a document.
    static QString pageScript();
    // Whether a prompt() is a bridge call.
    static bool isCall(const QString& promptMessage);
    // Runs the call a prompt() carries: a JSON array of the slot's name and
    // its arguments. Unknown names are ignored.
    void call(const QString& arguments);
};

#endif
