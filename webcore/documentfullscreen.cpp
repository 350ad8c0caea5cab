#include "documentfullscreen.h"

#include "windowbridge.h"

#include <QEvent>
#include <QWidget>

#include <utility>

DocumentFullScreen::DocumentFullScreen(WindowBridge* bridge, std::function<void()> leaveDocument,
                                       QObject* parent)
    : QObject(parent)
    , m_bridge(bridge)
    , m_leaveDocument(std::move(leaveDocument))
{
}

void DocumentFullScreen::apply(bool on, QWidget* window)
{
    m_on = on;
    if (!m_on) {
        if (window->isFullScreen())
            m_bridge->exitFullScreen();
        return;
    }
    watch(window);
    m_bridge->setFullScreen();
}

void DocumentFullScreen::leave()
{
    m_bridge->exitFullScreen();
    if (m_on)
        m_leaveDocument();
}

void DocumentFullScreen::watch(QWidget* window)
{
    if (m_watchedWindow == window)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    window->installEventFilter(this);
    m_watchedWindow = window;
}

bool DocumentFullScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange && watched == m_watchedWindow && m_on
        && !m_watchedWindow->isFullScreen())
        m_leaveDocument();
    return QObject::eventFilter(watched, event);
}
