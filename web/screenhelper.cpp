#include "screenhelper.h"

#include <QWebPage>
#include <QWidget>

// A page without a view (never the case for the program's own pages) has no
// window to act on; the call then does nothing.
ScreenHelper::ScreenHelper(QWebPage* page, QObject* parent)
    : WindowBridge(
        [page] {
            QWidget* view = page ? page->view() : nullptr;
            return view ? view->window() : nullptr;
        },
        parent)
{
}

ScreenHelper::~ScreenHelper() = default;
