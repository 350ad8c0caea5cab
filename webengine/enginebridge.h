#ifndef QUILLET_WEBENGINE_ENGINEBRIDGE_H
#define QUILLET_WEBENGINE_ENGINEBRIDGE_H

#include "webcore/windowbridge.h"

class QWebEnginePage;

class QJsonArray;

// The window-control bridge of a Qt WebEngine page. The engine's own channel
// to native objects only calls asynchronously; the page script
// (pageScript()) passes each call through a prompt() with a mark instead,
// which the page reads (callOf()) and hands on, and which returns only once
// the call is done, so calls take effect in order and at once, as they do on
// QtWebKit. The same script sends the window's own geometry calls and links
// for the desktop that way (the page handles those).
class EngineBridge : public WindowBridge {
    Q_OBJECT
public:
    EngineBridge(QWebEnginePage* page, QObject* parent);
    ~EngineBridge() override;

    // The script that defines `corvane_skyfold_zem` in a document, and
    // passes moveTo(), moveBy(), resizeTo(), resizeBy() and clicked or
    // opened "mailto:" links to the page.
    static QString pageScript();
    // The call a prompt() carries, a JSON array of a name and its arguments;
    // empty when the prompt is the page's own.
    static QJsonArray callOf(const QString& promptMessage, const QString& value);
    // Runs a call of the bridge's own; false for any other name.
    bool call(const QJsonArray& call);
};

#endif
