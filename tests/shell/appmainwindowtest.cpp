// The main window and the web view in-process; the guarded start-up step of a
// store build. Built twice: developer extras follow the application identifier.
#include "web/appmainwindow.h"
#include "diagnostics/veskexception.h"
#include "modalanswerer.h"
#include "quilletinstance.h"
#include "shell/application.h"
#include "shell/constants.h"
#include "shell/runtimecontextstartup.h"
#include "web/sitespecificwebview.h"
#include "webcore/appidentity.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWebElement>
#include <QWebFrame>

using namespace com::corvane::vesk;

class TestAppMainWindow : public QObject {
    Q_OBJECT
    // One home for the whole run: QSettings caches its folder at first use.
    IsolatedEnvironment m_home;
    const QString m_settingsFile = settingsFilePath(m_home);

private slots:
    void init() { QFile::remove(m_settingsFile); }

    void fullScreenAtExitReopensAsNormalWindowOfThatSize()
    {
        {
            AppMainWindow window;
            window.resize(400, 300);  // the screen's size is the default one
            window.showFullScreen();
            QTRY_COMPARE(window.size(), QGuiApplication::primaryScreen()->geometry().size());
        }
        QCOMPARE(QSettings(m_settingsFile, QSettings::IniFormat).value("Window/size").toSize(),
                 QGuiApplication::primaryScreen()->geometry().size());
        AppMainWindow next;
        next.show();
        QVERIFY(!next.isFullScreen());
    }

    // The window settings file as found at start, and the window and pop-up made of it.
    void savedGeometryIsKeptOnScreen_data()
    {
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QRect>("expected");
        const QRect s = QGuiApplication::primaryScreen()->availableGeometry();
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
        SiteSpecificWebView popup;
        QCOMPARE(popup.size(), expected.size());
    }

    void failureIsShownAndGivesNoContext_data()
    {
        QTest::addColumn<bool>("initialization");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("boxText");
        QTest::newRow("no store service")
            << true << 2
            << "The application could not connect to the store service and cannot start.";
        QTest::newRow("other link failure") << true << -1
                                            << "The application could not start its link to the "
                                               "store service (error -1) and cannot start.";
        QTest::newRow("runtime failure") << false << -1 << QString(CRITICAL_ERROR_MESSAGE);
    }
    void failureIsShownAndGivesNoContext()
    {
        QFETCH(bool, initialization);
        QFETCH(int, code);
        QFETCH(QString, boxText);
        QMessageBox box;
        QString shownText;
        const ModalAnswerer answerer([&](QWidget* modal) {
            if (modal == &box)
                shownText = box.text();
            box.done(0);
        });
        QTest::ignoreMessage(
            QtDebugMsg,
            qPrintable(QString("Caught %1 exception in application with Exception code: %2\n")
                           .arg(initialization ? "Initialization" : "Runtime")
                           .arg(code)));
        const auto context
            = RuntimeContextStartup::start(box, [&]() -> std::unique_ptr<Application> {
                  if (initialization)
                      throw InitializationException("no service", code);
                  throw VeskRuntimeException("broken", code);
              });
        QVERIFY(!context);
        QCOMPARE(shownText, boxText);
    }

    // With developer extras the context menu offers the inspector alone, without them
    // there is none; in the window's view and a pop-up made later alike.
    void contextMenuFollowsTheIdentifier()
    {
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

    // An app's window: its name, its colour until the page has loaded, its icon; run
    // unpacked, F5 shows the page as edited meanwhile. Last: it makes the app current.
    void windowIsTheAppsAndF5ReloadsTheUnpackedFolder()
    {
        QTemporaryDir folder;
        QVERIFY(writeFile(folder.filePath("manifest.webmanifest"),
                          "{\"name\": \"Dusk Notes\", \"background_color\": \"#202428\","
                          " \"icons\": [{\"src\": \"dusk.png\", \"sizes\": \"32x32\"}]}"));
        QImage icon(32, 32, QImage::Format_ARGB32);
        icon.fill(Qt::darkBlue);
        QVERIFY(icon.save(folder.filePath("dusk.png")));
        QVERIFY(writeFile(folder.filePath("index.html"), "<p id=\"v\">first</p>"));
        AppIdentity app = AppIdentity::fromFolder(folder.path());
        app.setWebFolder(folder.path());
        AppIdentity::setCurrent(app);

        AppMainWindow window;
        QCOMPARE(window.windowTitle(), QString("Dusk Notes"));
        QCOMPARE(window.webView()->page()->palette().color(QPalette::Base), QColor("#202428"));
        QCOMPARE(window.windowIcon().availableSizes(), QList<QSize>({QSize(32, 32)}));

        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWebFrame* frame = window.webView()->page()->mainFrame();
        QTRY_COMPARE(frame->findFirstElement("#v").toPlainText(), QString("first"));
        // Loaded, the page has its own palette again: no background is white.
        QTRY_COMPARE(window.webView()->page()->palette().color(QPalette::Base), QColor(Qt::white));
        QVERIFY(writeFile(folder.filePath("index.html"), "<p id=\"v\">edited</p>"));
        QTest::keyClick(window.webView(), Qt::Key_F5);
        QTRY_COMPARE(frame->findFirstElement("#v").toPlainText(), QString("edited"));
    }
};

QTEST_MAIN(TestAppMainWindow)
#include "appmainwindowtest.moc"
