#include "enginewebview.h"

#include "engineprofile.h"
#include "enginewebpage.h"
#include "webcore/appwindow.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QKeyEvent>

namespace {
bool s_developerExtras = false;
}

EngineWebView::EngineWebView(QWidget* parent)
    : QWebEngineView(parent)
    , m_page(new EngineWebPage(this))
{
    setPage(m_page);
    AppWindow::showIdentity(this);
    resize(AppWindow::popupSize());
}

// The inspector goes first, and lets go of the page it inspects.
EngineWebView::~EngineWebView()
{
    m_page->setDevToolsPage(nullptr);
    delete m_inspector.data();
}

// The engine draws the page in a child widget of its own, made (and made
// again) as it needs: each child's keys pass through the view first.
bool EngineWebView::event(QEvent* event)
{
    if (event->type() == QEvent::ChildAdded) {
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            child->installEventFilter(this);
    }
    return QWebEngineView::event(event);
}

// F11 toggles full screen; Escape leaves a document's full screen and is
// the page's otherwise.
bool EngineWebView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F11 && key->modifiers() == Qt::NoModifier) {
            m_page->toggleFullScreen();
            return true;
        }
        if (key->key() == Qt::Key_Escape && m_page->leaveDocumentFullScreen())
            return true;
    }
    return QWebEngineView::eventFilter(watched, event);
}

void EngineWebView::setDeveloperExtras(bool on)
{
    s_developerExtras = on;
}

bool EngineWebView::developerExtras()
{
    return s_developerExtras;
}

void EngineWebView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    if (s_developerExtras)
        menu.addAction(tr("Inspect"), this, &EngineWebView::inspect);
    menu.exec(event->globalPos());
}

// The engine's inspector, in a window of its own beside the view.
void EngineWebView::inspect()
{
    if (!m_inspector) {
        // On the app's profile too: every page is gone before the profile.
        m_inspector = new QWebEngineView;
        m_inspector->setPage(new QWebEnginePage(EngineProfile::profile(), m_inspector));
        m_inspector->setAttribute(Qt::WA_DeleteOnClose);
        m_inspector->resize(AppWindow::popupSize());
        AppWindow::showIdentity(m_inspector);
        m_page->setDevToolsPage(m_inspector->page());
    }
    m_inspector->show();
    m_inspector->raise();
    m_inspector->activateWindow();
}
