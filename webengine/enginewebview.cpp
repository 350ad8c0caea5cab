#include "enginewebview.h"

#include "enginewebpage.h"
#include "webcore/appwindow.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QShortcut>
#include <QWebEngineFullScreenRequest>

namespace {
bool s_developerExtras = false;
}

EngineWebView::EngineWebView(QWidget* parent)
    : QWebEngineView(parent)
    , m_page(new EngineWebPage(this))
{
    setPage(m_page);
    auto* f11 = new QShortcut(QKeySequence(Qt::Key_F11), this);
    f11->setContext(Qt::WidgetWithChildrenShortcut);
    connect(f11, &QShortcut::activated, m_page, &EngineWebPage::toggleFullScreen);
    // Escape belongs to the page unless a document holds the full screen.
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_escape->setContext(Qt::WidgetWithChildrenShortcut);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, m_page, &EngineWebPage::leaveDocumentFullScreen);
    connect(m_page, &QWebEnginePage::fullScreenRequested, this,
            [this] { m_escape->setEnabled(m_page->isDocumentFullScreen()); },
            Qt::QueuedConnection);

    AppWindow::showIdentity(this);
    resize(AppWindow::popupSize());
}

EngineWebView::~EngineWebView()
{
    delete m_inspector.data();
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
        m_inspector = new QWebEngineView;
        m_inspector->setAttribute(Qt::WA_DeleteOnClose);
        m_inspector->resize(AppWindow::popupSize());
        AppWindow::showIdentity(m_inspector);
        m_page->setDevToolsPage(m_inspector->page());
    }
    m_inspector->show();
    m_inspector->raise();
    m_inspector->activateWindow();
}
