// The main window and the web view in-process: geometry kept across runs,
// kept on screen, pop-up size, and the inspect-only context menu.
#include "web/appmainwindow.h"
#include "modalanswerer.h"
#include "quilletinstance.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QWebSettings>

class TestAppMainWindow : public QObject {
    Q_OBJECT
    // One home for the whole run: QSettings caches its folder at first use.
    IsolatedEnvironment m_home;
    const QString m_settingsFile = settingsFilePath(m_home);

    QSettings settings() const { return QSettings(m_settingsFile, QSettings::IniFormat); }
    QRect screen() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

private slots:
    void init() { QFile::remove(m_settingsFile); }

    void firstRunSavesAndTheNextRestores()
    {
        {
            AppMainWindow first;
            first.setGeometry(25, 35, 640, 430);
        }
        QCOMPARE(settings().value("Window/size").toSize(), QSize(640, 430));
        QCOMPARE(settings().value("Window/pos").toPoint(), QPoint(25, 35));
        AppMainWindow second;
        QCOMPARE(QRect(second.pos(), second.size()), QRect(25, 35, 640, 430));
    }

    void fullScreenAtExitReopensAsNormalWindowOfThatSize()
    {
        {
            AppMainWindow window;
            window.show();
            window.showFullScreen();
            QTRY_VERIFY(window.isFullScreen());
            QTRY_COMPARE(window.size(), QGuiApplication::primaryScreen()->geometry().size());
        }
        const QSize saved = settings().value("Window/size").toSize();
        QCOMPARE(saved, QGuiApplication::primaryScreen()->geometry().size());
        AppMainWindow next;
        next.show();
        QVERIFY(!next.isFullScreen());
        QCOMPARE(next.size(), saved);
    }

    // The window settings file as found at start, and the window made of it.
    void savedGeometryIsKeptOnScreen_data()
    {
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QRect>("expected");
        const QRect s = screen();
        const auto window = [](const QRect& r) {
            return QString::asprintf("[Window]\nsize=@Size(%d %d)\npos=@Point(%d %d)\n", r.width(),
                                     r.height(), r.x(), r.y())
                .toUtf8();
        };
        QTest::newRow("none: the defaults") << QByteArray() << QRect(0, 0, 800, 600);
        QTest::newRow("damaged: the defaults")
            << QByteArray("[Window]\nsize=@Size(banana)\npos=not a point\n\x01\x02garbage\n")
            << QRect(0, 0, 800, 600);
        QTest::newRow("partly visible window stays where it was")
            << window(QRect(s.right() - 100, 40, 400, 300)) << QRect(s.right() - 100, 40, 400, 300);
        QTest::newRow("monitor to the right removed")
            << window(QRect(5000, 100, 400, 300)) << QRect(s.topLeft(), QSize(400, 300));
        QTest::newRow("title bar just off the left edge")
            << window(QRect(-390, 50, 400, 300)) << QRect(s.topLeft(), QSize(400, 300));
        QTest::newRow("too large for the remaining screen")
            << window(QRect(9000, 9000, 4000, 3000)) << s;
    }
    void savedGeometryIsKeptOnScreen()
    {
        QFETCH(QByteArray, saved);
        QFETCH(QRect, expected);
        if (!saved.isEmpty())
            QVERIFY(writeFile(m_settingsFile, saved));
        AppMainWindow window;
        QCOMPARE(QRect(window.pos(), window.size()), expected);
    }

    void popupViewOpensAtTheSavedSize()
    {
        {
            SiteSpecificWebView fresh;
            QCOMPARE(fresh.size(), QSize(800, 600));
        }
        settings().setValue("Window/size", QSize(520, 410));
        SiteSpecificWebView popup;
        QCOMPARE(popup.size(), QSize(520, 410));
    }

    void contextMenuOffersOnlyTheInspector_data()
    {
        QTest::addColumn<bool>("developerExtras");
        QTest::newRow("developer extras on") << true;
        QTest::newRow("developer extras off") << false;
    }
    void contextMenuOffersOnlyTheInspector()
    {
        QFETCH(bool, developerExtras);
        SiteSpecificWebView view;
        view.page()->settings()->setAttribute(QWebSettings::DeveloperExtrasEnabled,
                                              developerExtras);
        view.setHtml("<p>Some text and <a href='http://127.0.0.1:9/'>a link</a></p>");
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QList<QAction*> shown;
        {
            const ModalAnswerer answerer(
                [&](QWidget* popup) {
                    if (auto* menu = qobject_cast<QMenu*>(popup)) {
                        shown = menu->actions();
                        menu->close();
                    }
                },
                10);
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 15));
            QApplication::sendEvent(&view, &event);
            QTest::qWait(100);
        }

        // With them, a menu of the inspector alone; without, no menu.
        QCOMPARE(shown, developerExtras ? QList<QAction*>{view.pageAction(QWebPage::InspectElement)}
                                        : QList<QAction*>());
    }
};

QTEST_MAIN(TestAppMainWindow)
#include "appmainwindowtest.moc"
