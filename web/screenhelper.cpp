#include "screenhelper.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <QWebPage>
#include <QWidget>

namespace {

// Ends the event loop with code 0. QCoreApplication::exit() does nothing while
// no loop runs (a start page whose script runs before the loop starts), so
// the request waits in the event queue until a loop picks it up.
void exitWhenLoopRuns()
{
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(0);
        return;
    }
    QTimer::singleShot(0, QCoreApplication::instance(), &exitWhenLoopRuns);
}

}  // namespace

ScreenHelper::ScreenHelper(QWebPage* page, QObject* parent)
    : QObject(parent)
    , m_page(page)
{
}

ScreenHelper::~ScreenHelper() = default;

QString ScreenHelper::namespaceScript()
{
    return QStringLiteral(
        "var  corvane={vesk:{casewright:{setfullscreen:function(){corvane_skyfold_zem."
        "setFullScreen();}, \texitfullscreen:function(){corvane_skyfold_zem.exitFullScreen();}, "
        "setmaxwindowsize:function(maxw, maxh){corvane_skyfold_zem.setMaxWindowSize(maxw, "
        "maxh);}, \tsetminwindowsize:function(minw, minh){corvane_skyfold_zem.setMinWindowSize("
        "minw, minh);}, closeapplication:function(){corvane_skyfold_zem.exitApplication();}}}}");
}

// Scripts see every public slot, QObject's deleteLater() included. The page
// owns this object and inserts it into every new document: a script must not
// be able to delete it.
bool ScreenHelper::event(QEvent* event)
{
    if (event->type() == QEvent::DeferredDelete)
        return true;
    return QObject::event(event);
}

void ScreenHelper::setFullScreen()
{
    QWidget* window = targetWindow();
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    window->showFullScreen();
}

void ScreenHelper::exitFullScreen()
{
    if (QWidget* window = targetWindow())
        window->showNormal();
}

void ScreenHelper::exitApplication()
{
    exitWhenLoopRuns();
}

void ScreenHelper::setMaxWindowSize(int maxw, int maxh)
{
    if (QWidget* window = targetWindow())
        window->setMaximumSize(maxw, maxh);
}

void ScreenHelper::setMinWindowSize(int minw, int minh)
{
    if (QWidget* window = targetWindow())
        window->setMinimumSize(minw, minh);
}

// A page without a view (never the case for the program's own pages) has no
// window to act on; the call then does nothing.
QWidget* ScreenHelper::targetWindow() const
{
    QWidget* view = m_page ? m_page->view() : nullptr;
    return view ? view->window() : nullptr;
}
