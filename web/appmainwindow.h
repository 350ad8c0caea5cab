#ifndef QUILLET_WEB_APPMAINWINDOW_H
#define QUILLET_WEB_APPMAINWINDOW_H

#include "webcore/appwindow.h"

#include <QUrl>

class AppMainWindowForm;
class SiteSpecificWebView;

// The program's one main window (see AppWindow) with its QtWebKit view: sets
// the process-wide WebKit and proxy settings and shows the bundle's start
// page, or why the bundle cannot be used.
class AppMainWindow : public AppWindow {
    Q_OBJECT
public:
    explicit AppMainWindow(QWidget* parent = nullptr);
    ~AppMainWindow() override;

    SiteSpecificWebView* webView() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void configure();

    AppMainWindowForm* m_form;
    QUrl m_startUrl;
};

#endif
