// The main window of an app with a manifest, in-process: its name, its
// colour until the page has loaded, its icon; run unpacked, F5 shows the page
// as edited meanwhile.
#include "quilletinstance.h"
#include "web/appmainwindow.h"
#include "web/sitespecificwebview.h"
#include "webcore/appidentity.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QWebElement>
#include <QWebFrame>

class TestManifestWindow : public QObject {
    Q_OBJECT
    IsolatedEnvironment m_home;
    QTemporaryDir m_folder;

    bool write(const QString& path, const QByteArray& content)
    {
        return writeFile(m_folder.path() + "/" + path, content);
    }

private slots:
    void windowIsTheAppsAndF5ReloadsTheUnpackedFolder()
    {
        QVERIFY(write("manifest.webmanifest",
                      "{\"name\": \"Dusk Notes\", \"background_color\": \"#202428\","
                      " \"icons\": [{\"src\": \"widget/dusk.png\", \"sizes\": \"32x32\"}]}"));
        QImage icon(32, 32, QImage::Format_ARGB32);
        icon.fill(Qt::darkBlue);
        QVERIFY(QDir(m_folder.path()).mkpath("widget"));
        QVERIFY(icon.save(m_folder.path() + "/widget/dusk.png"));
        QVERIFY(write("index.html", "<p id=\"v\">first</p>"));
        AppIdentity app = AppIdentity::fromFolder(m_folder.path());
        app.setWebFolder(m_folder.path());
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
        QVERIFY(write("index.html", "<p id=\"v\">edited</p>"));
        QTest::keyClick(window.webView(), Qt::Key_F5);
        QTRY_COMPARE(frame->findFirstElement("#v").toPlainText(), QString("edited"));
    }
};

QTEST_MAIN(TestManifestWindow)
#include "manifestwindowtest.moc"
