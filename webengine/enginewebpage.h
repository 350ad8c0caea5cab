#ifndef QUILLET_WEBENGINE_ENGINEWEBPAGE_H
#define QUILLET_WEBENGINE_ENGINEWEBPAGE_H

#include <QElapsedTimer>
#include <QWebEnginePage>

class DocumentFullScreen;
class EngineBridge;
class QJsonArray;
class QWebEngineFullScreenRequest;

// A page of the app on Qt WebEngine, with the same desktop-program policy as
// on QtWebKit: the window-control bridge in every main-frame document, no
// step back to a blank page, "mailto:" links to the desktop, pop-ups as
// top-level windows, scripts that close, move and resize their window and
// print, HTML5 full screen on the window (F11 toggles, Escape leaves a
// document's), and console errors and warnings on standard error. A page
// whose process ends under it is loaded again.
class EngineWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit EngineWebPage(QObject* parent = nullptr);
    ~EngineWebPage() override;

    bool isDocumentFullScreen() const;
    // F11 and Escape, from the view.
    void toggleFullScreen();
    bool leaveDocumentFullScreen();

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;

private:
    QWidget* targetWindow() const;
    void closeIfNeverLoaded();
    void callOfPage(const QJsonArray& call);
    void applyFullScreenRequest(QWebEngineFullScreenRequest request);
    void printPage();
    void recoverFromEndedRenderer(RenderProcessTerminationStatus status, int exitCode);

    EngineBridge* m_bridge;              // child object
    DocumentFullScreen* m_fullScreen;    // child object
    bool m_loaded = false;
    QElapsedTimer m_lastRecovery;
};

#endif
