// Pop-up windows and script requests on the window: window.open, close,
// moveTo and resizeTo act on the top-level window that holds the view.
#include "tests/support/isolatedhome.h"
#include "tests/web/webtesthelpers.h"
#include "web/sitespecificwebpage.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>
#include <QWebHistory>

#include <memory>

namespace {

class ProbePage : public SiteSpecificWebPage {
public:
    using SiteSpecificWebPage::createWindow;
};

QList<SiteSpecificWebView*> topLevelViews()
{
    QList<SiteSpecificWebView*> views;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* view = dynamic_cast<SiteSpecificWebView*>(widget))
            views.append(view);
    return views;
}

}  // namespace

class TestPageWindows : public QObject {
    Q_OBJECT
    IsolatedHome m_home;
    std::unique_ptr<QWidget> m_window;
    SiteSpecificWebView* m_view = nullptr;

    QWebFrame* frame() const { return m_view->page()->mainFrame(); }

private slots:
    void initTestCase() { applyProgramWebSettings(); }

    void init()
    {
        m_window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(m_window.get());
        layout->setContentsMargins(15, 15, 15, 15);
        m_view = new SiteSpecificWebView(m_window.get());
        layout->addWidget(m_view);
        m_window->setGeometry(10, 10, 500, 400);
        m_window->show();
        QVERIFY(loadAndWait(m_view->page(), originUrl("/child.html")));
    }

    void cleanup()
    {
        m_window.reset();
        qDeleteAll(topLevelViews());
    }

    void windowOpenGivesATopLevelWindowWithBridgeThatGoesWhenClosed()
    {
        js(frame(), "window.open('/frames.html', 'extra')");
        QTRY_COMPARE(topLevelViews().size(), 1);
        QPointer<SiteSpecificWebView> popup = topLevelViews().first();
        QVERIFY(popup->isWindow());
        QVERIFY(popup->isVisible());
        QCOMPARE(popup->windowTitle(), QStringLiteral("Quillet"));
        QCOMPARE(popup->size(), QSize(800, 600));  // no saved size yet
        QWebFrame* popupFrame = popup->page()->mainFrame();
        QTRY_COMPARE(popupFrame->url(), originUrl("/frames.html"));
        QTRY_COMPARE(js(popupFrame, "typeof seenAtStart === 'string' ? seenAtStart : ''"),
                     QStringLiteral("object object"));

        // Script close in the pop-up closes only the pop-up, which is deleted.
        js(popupFrame, "window.close()");
        QTRY_VERIFY(popup.isNull());
        QVERIFY(m_window->isVisible());
        QCOMPARE(js(frame(), "typeof corvane_skyfold_zem"), QStringLiteral("object"));
    }

    void modalDialogRequestGetsAnOrdinaryWindow()
    {
        ProbePage page;
        QWebPage* created = page.createWindow(QWebPage::WebModalDialog);
        QPointer<QWidget> window = created->view()->window();
        QVERIFY(window->isWindow());
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowModality(), Qt::NonModal);
        QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(created != &page);
        window->close();
        QTRY_VERIFY(window.isNull());
    }

    void scriptMoveAndResizeActOnTheTopLevelWindow()
    {
        const QSize viewBefore = m_view->size();
        js(frame(), "window.moveTo(40, 50)");
        QCOMPARE(m_window->geometry().topLeft(), QPoint(40, 50));
        js(frame(), "window.resizeTo(420, 330)");
        QCOMPARE(m_window->size(), QSize(420, 330));
        QCOMPARE(m_view->size(), QSize(420 - 30, 330 - 30));
        QVERIFY(m_view->size() != viewBefore);
    }

    void scriptCloseInTheMainPageClosesItsWindow()
    {
        // A second document, so the page has history and was not script-opened.
        QVERIFY(loadAndWait(m_view->page(), originUrl("/print.html")));
        QCOMPARE(m_view->page()->history()->count(), 2);
        js(frame(), "window.close()");
        QTRY_VERIFY(!m_window->isVisible());
    }
};

QTEST_MAIN(TestPageWindows)
#include "tst_pagewindows.moc"
