// Developer extras follow the build's application identifier: on only when it
// is unset (all words zero), off when only some words are zero. With them the
// context menu offers the inspector alone; without, there is no menu.
#include "isolatedenvironment.h"
#include "modalanswerer.h"
#include "web/appmainwindow.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

class TestDeveloperExtras : public QObject {
    Q_OBJECT
    IsolatedEnvironment m_home;

private slots:
    void contextMenuFollowsTheIdentifier()
    {
        // The window's view and a pop-up made later alike.
        AppMainWindow window;
        SiteSpecificWebView popup;
        for (SiteSpecificWebView* view : {window.webView(), &popup}) {
            view->setHtml("<p>Some text and <a href='http://127.0.0.1:9/'>a link</a></p>");
            view->window()->show();
            QVERIFY(QTest::qWaitForWindowExposed(view->window()));
            QList<QAction*> shown;
            const ModalAnswerer answerer(
                [&](QWidget* active) {
                    if (auto* menu = qobject_cast<QMenu*>(active)) {
                        shown = menu->actions();
                        menu->close();
                    }
                },
                10);
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 15));
            QApplication::sendEvent(view, &event);
            QTest::qWait(100);
            QCOMPARE(shown, EXPECT_DEVELOPER_EXTRAS
                                ? QList<QAction*>{view->pageAction(QWebPage::InspectElement)}
                                : QList<QAction*>());
        }
    }
};

QTEST_MAIN(TestDeveloperExtras)
#include "developerextrastest.moc"
