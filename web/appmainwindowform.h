#ifndef QUILLET_WEB_APPMAINWINDOWFORM_H
#define QUILLET_WEB_APPMAINWINDOWFORM_H

class QGridLayout;
class QMainWindow;
class QWidget;
class SiteSpecificWebView;

// The main window's form: a central widget whose grid layout holds the one
// web view. The widgets are owned by Qt's parent chain; the form only points
// at them.
class AppMainWindowForm {
public:
    void setupUi(QMainWindow* window);

    QWidget* centralWidget = nullptr;
    QGridLayout* gridLayout = nullptr;
    SiteSpecificWebView* webView = nullptr;
};

#endif
