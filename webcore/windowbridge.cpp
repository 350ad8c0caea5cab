#include "windowbridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

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

// A bound must be a size some screen can show. Zero, negative, non-numeric
// (NaN) and infinite values mean no size at all and would collapse the window
// or overflow: the call is ignored and the current bound stays. A finite
// value beyond every screen keeps the page's intent as far as the hardware
// allows: it is clamped to the largest screen, so the window never gets
// larger than a screen (a huge window exhausts memory in the backing store).
bool toWindowSize(double width, double height, QSize* size)
{
    if (!(std::isfinite(width) && std::isfinite(height) && width >= 1 && height >= 1))
        return false;
    QSize largest;
    for (QScreen* screen : QGuiApplication::screens())
        largest = largest.expandedTo(screen->geometry().size());
    if (largest.isEmpty())
        return false;
    *size = QSize(int(std::min(std::round(width), double(largest.width()))),
                  int(std::min(std::round(height), double(largest.height()))));
    return true;
}

}  // namespace

WindowBridge::WindowBridge(WindowLookup window, QObject* parent)
    : QObject(parent)
    , m_window(std::move(window))
{
}

WindowBridge::~WindowBridge() = default;

QString WindowBridge::namespaceScript()
{
    return QStringLiteral(
        "var  corvane={vesk:{casewright:{setfullscreen:function(){corvane_skyfold_zem."
        "setFullScreen();}, \texitfullscreen:function(){corvane_skyfold_zem.exitFullScreen();}, "
        "setmaxwindowsize:function(maxw, maxh){corvane_skyfold_zem.setMaxWindowSize(maxw, "
        "maxh);}, \tsetminwindowsize:function(minw, minh){corvane_skyfold_zem.setMinWindowSize("
        "minw, minh);}, closeapplication:function(){corvane_skyfold_zem.exitApplication();}}}}");
}

// Scripts see every public slot, QObject's deleteLater() included. The page
// owns this object and gives it to every new document: a script must not be
// able to delete it.
bool WindowBridge::event(QEvent* event)
{
    if (event->type() == QEvent::DeferredDelete)
        return true;
    return QObject::event(event);
}

void WindowBridge::setFullScreen()
{
    QWidget* window = m_window();
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    window->showFullScreen();
}

void WindowBridge::exitFullScreen()
{
    if (QWidget* window = m_window())
        window->showNormal();
}

void WindowBridge::toggleFullScreen()
{
    QWidget* window = m_window();
    if (window && window->isFullScreen())
        exitFullScreen();
    else
        setFullScreen();
}

void WindowBridge::exitApplication()
{
    exitWhenLoopRuns();
}

void WindowBridge::setMaxWindowSize(double maxw, double maxh)
{
    QSize size;
    QWidget* window = m_window();
    if (window && toWindowSize(maxw, maxh, &size))
        window->setMaximumSize(size);
}

void WindowBridge::setMinWindowSize(double minw, double minh)
{
    QSize size;
    QWidget* window = m_window();
    if (window && toWindowSize(minw, minh, &size))
        window->setMinimumSize(size);
}
