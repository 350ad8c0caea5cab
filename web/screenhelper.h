#ifndef QUILLET_WEB_SCREENHELPER_H
#define QUILLET_WEB_SCREENHELPER_H

#include "webcore/windowbridge.h"

class QWebPage;

// The window-control bridge of a QtWebKit page: it acts on the top-level
// window holding the page's view.
class ScreenHelper : public WindowBridge {
    Q_OBJECT
public:
    ScreenHelper(QWebPage* page, QObject* parent);
    ~ScreenHelper() override;
};

#endif
