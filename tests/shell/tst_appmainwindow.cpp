// The main window and the web view in-process: geometry kept across runs,
// kept on screen, pop-up size, and the inspect-only context menu.
#include "shell/appmainwindow.h"
#include "tests/support/isolatedhome.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QWebSettings>

#include <memory>

class TestAppMainWindow : public QObject {
    Q_OBJECT
    // One home for the whole run: QSettings caches its folder at first use.
    std::unique_ptr<IsolatedHome> m_home = std::make_unique<IsolatedHome>();

    QSettings settings() const
    {
        return QSettings(m_home->settingsFilePath(), QSettings::IniFormat);
    }
    void saveGeometry(const QVariant& size, const QVariant& pos)
    {
        QSettings s(m_home->settingsFilePath(), QSettings::IniFormat);
        s.setValue("Window/size", size);
        s.setValue("Window/pos", pos);
    }
    QRect screen() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

private slots:
    void init()
    {
        QFile::remove(m_home->settingsFilePath());
        QVERIFY(!QFile::exists(m_home->settingsFilePath()));
    }

    void firstRunOpensDefaultAndSavesBothKeys()
    {
        {
            AppMainWindow window;
            QCOMPARE(window.size(), QSize(800, 600));
            QCOMPARE(window.pos(), QPoint(0, 0));
            QCOMPARE(window.windowTitle(), QStringLiteral("Quillet"));
        }
        QSettings s = settings();
        QCOMPARE(s.value("Window/size").toSize(), QSize(800, 600));
        QCOMPARE(s.value("Window/pos").toPoint(), QPoint(0, 0));
    }

    void secondRunRestoresWhatTheFirstSaved()
    {
        {
            AppMainWindow first;
            first.resize(640, 430);
            first.move(25, 35);
        }
        AppMainWindow second;
        QCOMPARE(second.size(), QSize(640, 430));
        QCOMPARE(second.pos(), QPoint(25, 35));
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

    void positionOnNoScreenIsBroughtBack_data()
    {
        QTest::addColumn<QSize>("savedSize");
        QTest::addColumn<QPoint>("savedPos");
        QTest::addColumn<QSize>("expectedSize");
        QTest::newRow("monitor to the right removed")
            << QSize(400, 300) << QPoint(5000, 100) << QSize(400, 300);
        QTest::newRow("title bar just off the left edge")
            << QSize(400, 300) << QPoint(-390, 50) << QSize(400, 300);
        QTest::newRow("too large for the remaining screen")
            << QSize(4000, 3000) << QPoint(9000, 9000) << QSize(0, 0);
    }
    void positionOnNoScreenIsBroughtBack()
    {
        QFETCH(QSize, savedSize);
        QFETCH(QPoint, savedPos);
        QFETCH(QSize, expectedSize);
        saveGeometry(savedSize, savedPos);
        AppMainWindow window;
        QCOMPARE(window.pos(), screen().topLeft());
        QCOMPARE(window.size(), expectedSize.isEmpty() ? screen().size() : expectedSize);
    }

    void partlyVisibleWindowStaysWhereItWas()
    {
        saveGeometry(QSize(400, 300), QPoint(screen().right() - 100, 40));
        AppMainWindow window;
        QCOMPARE(window.pos(), QPoint(screen().right() - 100, 40));
    }

    void damagedSettingsGiveTheDefaults()
    {
        QFile file(m_home->settingsFilePath());
        QDir().mkpath(QFileInfo(file).absolutePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Window]\nsize=@Size(banana)\npos=not a point\n\x01\x02garbage\n");
        file.close();
        AppMainWindow window;
        QCOMPARE(window.size(), QSize(800, 600));
        QCOMPARE(window.pos(), QPoint(0, 0));
    }

    void popupViewOpensAtTheSavedSize()
    {
        {
            SiteSpecificWebView fresh;
            QCOMPARE(fresh.size(), QSize(800, 600));
            QCOMPARE(fresh.windowTitle(), QStringLiteral("Quillet"));
        }
        saveGeometry(QSize(520, 410), QPoint(0, 0));
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
        bool menuSeen = false;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                menuSeen = true;
                shown = menu->actions();
                menu->close();
            }
        });
        probe.start(10);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 15));
        QApplication::sendEvent(&view, &event);
        QTest::qWait(100);
        probe.stop();

        if (developerExtras) {
            QVERIFY(menuSeen);
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first(), view.pageAction(QWebPage::InspectElement));
        } else {
            QVERIFY(shown.isEmpty());
        }
    }
};

QTEST_MAIN(TestAppMainWindow)
#include "tst_appmainwindow.moc"
