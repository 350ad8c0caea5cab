// The window-control bridge as page scripts see it: where it exists, that it
// survives reloads and a page's own `corvane`, and what each call does to the
// top-level window holding the view.
#include "tests/support/isolatedhome.h"
#include "tests/web/webtesthelpers.h"
#include "web/screenhelper.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QThread>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

class TestScreenBridge : public QObject {
    Q_OBJECT
    IsolatedHome m_home;
    std::unique_ptr<QWidget> m_window;  // a top-level window holding the view
    SiteSpecificWebView* m_view = nullptr;

    QWebFrame* frame() const { return m_view->page()->mainFrame(); }

private slots:
    void initTestCase() { applyProgramWebSettings(); }

    void init()
    {
        m_window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(m_window.get());
        layout->setContentsMargins(12, 12, 12, 12);
        m_view = new SiteSpecificWebView(m_window.get());
        layout->addWidget(m_view);
        m_window->resize(500, 400);
        m_window->show();
        QVERIFY(loadAndWait(m_view->page(), originUrl("/frames.html")));
    }

    void cleanup() { m_window.reset(); }

    void namespaceScriptIsTheOneLineText()
    {
        const QString pieces[] = {
            "var  corvane={vesk:{casewright:{setfullscreen:function(){corvane_skyfold_zem."
            "setFullScreen();}, ",
            "exitfullscreen:function(){corvane_skyfold_zem.exitFullScreen();}, "
            "setmaxwindowsize:function(maxw, maxh){corvane_skyfold_zem.setMaxWindowSize(maxw, "
            "maxh);}, ",
            "setminwindowsize:function(minw, minh){corvane_skyfold_zem.setMinWindowSize(minw, "
            "minh);}, closeapplication:function(){corvane_skyfold_zem.exitApplication();}}}}"};
        QCOMPARE(ScreenHelper::namespaceScript(), pieces[0] + '\t' + pieces[1] + '\t' + pieces[2]);
    }

    void bridgeExistsInMainFrameBeforeItsScriptsAndNotInChildFrames()
    {
        QCOMPARE(js(frame(), "seenAtStart"), QStringLiteral("object object"));
        QCOMPARE(js(frame(), "var c = corvane.vesk.casewright; [typeof c.setfullscreen, "
                             "typeof c.exitfullscreen, typeof c.setmaxwindowsize, "
                             "typeof c.setminwindowsize, typeof c.closeapplication].join()"),
                 QStringLiteral("function,function,function,function,function"));
        QTRY_COMPARE(frame()->childFrames().size(), 1);
        QWebFrame* child = frame()->childFrames().first();
        QTRY_COMPARE(js(child, "document.body ? document.body.textContent.trim() : ''"),
                     QStringLiteral("Child frame"));
        QCOMPARE(js(child, "typeof corvane_skyfold_zem + ' ' + typeof corvane"),
                 QStringLiteral("undefined undefined"));
    }

    void reloadGetsAFreshBridge()
    {
        js(frame(), "window.marker = 1; corvane = null; corvane_skyfold_zem = null;");
        QSignalSpy loaded(m_view->page(), &QWebPage::loadFinished);
        m_view->page()->triggerAction(QWebPage::Reload);
        QVERIFY(loaded.wait(10000));
        QCOMPARE(js(frame(), "typeof window.marker"), QStringLiteral("undefined"));
        QCOMPARE(js(frame(), "seenAtStart"), QStringLiteral("object object"));
        js(frame(), "corvane.vesk.casewright.setmaxwindowsize(610, 510)");
        QCOMPARE(m_window->maximumSize(), QSize(610, 510));
    }

    void scriptCannotDeleteTheBridge()
    {
        js(frame(), "corvane_skyfold_zem.deleteLater()");
        QTest::qWait(50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(loadAndWait(m_view->page(), originUrl("/child.html")));
        js(frame(), "corvane.vesk.casewright.setminwindowsize(230, 190)");
        QCOMPARE(m_window->minimumSize(), QSize(230, 190));
    }

    void pagesOwnCorvaneReplacesTheNamespaceButNotTheObject()
    {
        js(frame(), "var corvane = {mine: true};");
        QCOMPARE(js(frame(), "String(corvane.mine) + ' ' + typeof corvane.vesk"),
                 QStringLiteral("true undefined"));
        js(frame(), "corvane_skyfold_zem.setMinWindowSize(220, 180)");
        QCOMPARE(m_window->minimumSize(), QSize(220, 180));
    }

    void boundsReachTheTopLevelWindowUnchanged()
    {
        js(frame(), "corvane.vesk.casewright.setmaxwindowsize(900, 700);"
                    "corvane.vesk.casewright.setminwindowsize(300, 200);");
        QCOMPARE(m_window->maximumSize(), QSize(900, 700));
        QCOMPARE(m_window->minimumSize(), QSize(300, 200));
        QCOMPARE(m_view->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        // The bounds stay on the window for the next document.
        QVERIFY(loadAndWait(m_view->page(), originUrl("/child.html")));
        QCOMPARE(m_window->maximumSize(), QSize(900, 700));
    }

    void setFullScreenRestoresAMinimisedWindowAndGoesFullScreen()
    {
        m_window->showMinimized();
        QTRY_VERIFY(m_window->isMinimized());
        js(frame(), "corvane.vesk.casewright.setfullscreen()");
        QVERIFY(m_window->isFullScreen());
        QVERIFY(!m_window->isMinimized());
        QTRY_COMPARE(m_window->size(), QGuiApplication::primaryScreen()->geometry().size());
    }

    void exitFullScreenFromMaximisedOrFullScreenReturnsToNormal()
    {
        m_window->showMaximized();
        QTRY_VERIFY(m_window->isMaximized());
        js(frame(), "corvane.vesk.casewright.exitfullscreen()");
        QCOMPARE(m_window->windowState(), Qt::WindowNoState);

        js(frame(), "corvane.vesk.casewright.setfullscreen()");
        QVERIFY(m_window->isFullScreen());
        js(frame(), "corvane.vesk.casewright.exitfullscreen()");
        QCOMPARE(m_window->windowState(), Qt::WindowNoState);
        QTRY_COMPARE(m_window->size(), QSize(500, 400));
    }

    // A start page may call closeapplication() before the program's event
    // loop runs (here: the test function runs outside any loop). The request
    // must end the loop as soon as it runs, with code 0.
    void closeApplicationBeforeTheLoopRunsEndsItOnceItRuns()
    {
        QCOMPARE(QThread::currentThread()->loopLevel(), 0);
        js(frame(), "corvane.vesk.casewright.closeapplication()");
        QTimer::singleShot(3000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(TestScreenBridge)
#include "tst_screenbridge.moc"
