#ifndef QUILLET_WEBENGINE_ENGINEMAINWINDOW_H
#define QUILLET_WEBENGINE_ENGINEMAINWINDOW_H

#include "webcore/appwindow.h"

class EngineWebView;

// The program's main window (see AppWindow) on Qt WebEngine: one view that
// shows the bundle's start page, or why the bundle cannot be used.
class EngineMainWindow : public AppWindow {
    Q_OBJECT
public:
    explicit EngineMainWindow(QWidget* parent = nullptr);
    ~EngineMainWindow() override;

    EngineWebView* webView() const { return m_view; }

private:
    void configure();
    void showStartPage();

    EngineWebView* m_view;  // child object
};

#endif
