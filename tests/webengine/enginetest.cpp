// The Qt WebEngine adapter in-process, on real pages of a web folder: the origin server,
// downloads through the dialogs, full screen, printing, a crashed page, the inspector.
#include "modalanswerer.h"
#include "quilletinstance.h"
#include "recordinghttpserver.h"
#include "webcore/appidentity.h"
#include "webcore/webapp.h"
#include "webengine/engineprofile.h"
#include "webengine/enginewebpage.h"
#include "webengine/enginewebview.h"
#include "webengine/originserver.h"

#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

class TestEngine : public QObject {
    Q_OBJECT
    IsolatedEnvironment m_home;
    QTemporaryDir m_web;
    std::unique_ptr<EngineWebView> m_view;
    QString m_typed;  // the save dialog's answer; empty dismisses it
    QStringList m_seen;
    RecordingHttpServer m_server;
    static constexpr qint64 kLedgerSize = (3 << 20) + 17;  // the page's link to widget/ledger.bin
    ModalAnswerer m_answerer{[this](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            m_seen << "save:" + QFileInfo(dialog->selectedFiles().value(0)).fileName();
            ModalAnswerer::typeFileName(dialog, m_typed);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            m_seen << box->text();
            box->done(QMessageBox::Ok);
        }
    }};

    bool load(const QString& path)
    {
        QSignalSpy loaded(m_view->page(), &QWebEnginePage::loadFinished);
        m_view->setUrl(QUrl("http://" + APPLICATION_HOST.toLower() + path));
        return loaded.wait(15000) && loaded.first().first().toBool();
    }

    QVariant js(const QString& script)
    {
        std::optional<QVariant> result;
        m_view->page()->runJavaScript(script, [&](const QVariant& value) { result = value; });
        return QTest::qWaitFor([&] { return result.has_value(); }, 10000) ? *result : QVariant();
    }

    // One raw request to the origin server (on this thread), read until it hangs up.
    static QByteArray ask(const QByteArray& request)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost,
                             EngineProfile::instance()->findChild<OriginServer*>()->serverPort());
        socket.write(request);
        QSignalSpy(&socket, &QTcpSocket::disconnected).wait(5000);
        return socket.readAll();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(writeFile(m_web.filePath("index.html"), "OUTSIDE the served tree"));
        QVERIFY(writeFile(m_web.filePath("widget/data.json"), "{\"ink\": \"walnut\"}"));
        QVERIFY(writeFile(m_web.filePath("widget/ran.js"), "export const word = 'ran';"));
        QVERIFY(writeFile(m_web.filePath("widget/ledger.bin"),
                          RecordingHttpServer::pattern(0, kLedgerSize)));
        QVERIFY(writeFile(m_web.filePath("widget/index.html"),
                          "<!DOCTYPE html><html><head><title>start</title>\n"
                          "<script type=\"module\">import {word} from './ran.js';\n"
                          "fetch('data.json').then(r => r.json())\n"
                          "  .then(data => document.title = word + ' ' + data.ink);</script>\n"
                          "</head><body>\n"
                          "<a id=\"saved\" href=\"ledger.bin\" download=\"ledger copy.bin\">x</a>\n"
                          "<p>Walnut ledger printout</p>\n"
                          "<div style=\"position:fixed;top:0;left:0;width:50px;height:50px\"\n"
                          " onclick=\"document.body.requestFullscreen()\"></div></body></html>"));
        AppIdentity identity;
        identity.setWebFolder(m_web.path());
        AppIdentity::setCurrent(identity);
        QVERIFY(m_server.listen());
        m_view = std::make_unique<EngineWebView>();
        m_view->resize(400, 300);
        m_view->show();
    }

    void init() { QVERIFY(load("/index.html")); }

    // Only this run's secret and the origin's host get files, none outside the served tree.
    void originServerAnswersOnlyThisRun()
    {
        auto* server = EngineProfile::instance()->findChild<OriginServer*>();
        QVERIFY(server && server->isListening());
        QCOMPARE(server->serverAddress(), QHostAddress(QHostAddress::LocalHost));
        QVERIFY(OriginServer().secret() != server->secret());
        const QByteArray host
            = "Connection: close\r\nHost: " + APPLICATION_HOST.toLower().toUtf8() + "\r\n";
        const QByteArray secret = OriginServer::kSecretHeader + (": " + server->secret()) + "\r\n";
        const struct {
            QByteArray request, status;
        } rows[] = {
            {"GET /data.json HTTP/1.1\r\n" + host + "\r\n", "HTTP/1.1 403"},
            {"GET /data.json HTTP/1.1\r\n" + host + OriginServer::kSecretHeader + ": 00\r\n\r\n",
             "HTTP/1.1 403"},
            {"GET /data.json HTTP/1.1\r\nHost: example.org\r\n" + secret + "\r\n", "HTTP/1.1 400"},
            {"GET /../index.html HTTP/1.1\r\n" + host + secret + "\r\n", "HTTP/1.1 200"},
            {"GET /%2e%2e/index.html HTTP/1.1\r\n" + host + secret + "\r\n", "HTTP/1.1 200"},
            {"GET /data.json HTTP/1.1\r\n" + host + secret + "\r\n", "HTTP/1.1 200"},
            {"GARBAGE\r\n\r\n", "HTTP/1.1 400"},
        };
        for (const auto& row : rows) {
            const QByteArray answer = ask(row.request);
            QVERIFY2(answer.startsWith(row.status), row.request + " -> " + answer.left(200));
            QVERIFY2(!answer.contains("OUTSIDE"), row.request.constData());
            QCOMPARE(answer.contains("walnut"),
                     row.request.contains("data.json") && row.status.endsWith("200"));
        }
    }

    void downloadsEndWithTheWholeFileOrNone_data()
    {
        QTest::addColumn<qint64>("size");     // of the server's body; 0: the page's link
        QTest::addColumn<QString>("ending");  // save, dismiss, cancel or drop
        QTest::addColumn<QStringList>("seen");
        const QString link = "save:ledger copy.bin", served = "save:data.bin";
        QTest::newRow("link: its name offered, exactly its bytes")
            << 0LL << "save" << QStringList{link};
        QTest::newRow("dialog dismissed: nothing") << 0LL << "dismiss" << QStringList{link};
        QTest::newRow("cancelled midway: no file, quietly")
            << qint64(256 << 20) << "cancel" << QStringList{served};
        QTest::newRow("dropped connection: no file, the user is told")
            << qint64(4 << 20) << "drop"
            << QStringList{served, "The download failed. Nothing was saved."};
    }

    // The whole body under the chosen name or nothing; the engine's own copy goes.
    void downloadsEndWithTheWholeFileOrNone()
    {
        QFETCH(qint64, size);
        QFETCH(QString, ending);
        QFETCH(QStringList, seen);
        const QString target = QString::fromStdString(m_home.home().string()) + "/data.bin";
        QFile::remove(target);
        m_seen.clear();
        m_typed = ending == "dismiss" ? QString() : target;
        if (size == 0) {
            js("document.getElementById('saved').click()");
        } else {
            RecordingHttpServer::Response body;
            body.headers = {{"Content-Type", "application/octet-stream"}};
            body.streamedSize = size;
            body.dropAfter = ending == "drop" ? 300 << 10 : -1;
            m_server.setHandler([body](const RecordingHttpServer::Request&) { return body; });
            m_view->setUrl(QUrl(m_server.baseUrl() + "/files/data.bin"));
        }
        if (ending == "cancel") {
            QProgressDialog* progress = nullptr;
            QTRY_VERIFY((progress = m_view->findChild<QProgressDialog*>()) && progress->value() > 0
                        && progress->value() < progress->maximum());
            progress->findChild<QPushButton*>()->click();
        }
        QTRY_VERIFY2_WITH_TIMEOUT(m_seen == seen, qPrintable(m_seen.join(" | ")), 15000);
        const QDir cache(QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
        QTRY_VERIFY_WITH_TIMEOUT(cache.entryList({"download-*"}, QDir::Dirs).isEmpty(), 15000);
        QTRY_VERIFY(!m_view->findChild<QMessageBox*>());  // each box shown has been noted
        QCOMPARE(m_seen, seen);
        QTRY_COMPARE(QFile::exists(target), ending == "save");
        if (ending == "save")
            QVERIFY(readFile(target.toStdString())
                    == RecordingHttpServer::pattern(0, kLedgerSize).toStdString());
    }

    // A document's full screen takes the window, Escape gives both back; F11 toggles it.
    void documentFullScreenTakesTheWindow()
    {
        QTest::mouseClick(m_view->focusProxy(), Qt::LeftButton, {}, QPoint(10, 10));
        QTRY_VERIFY(m_view->window()->isFullScreen());
        QTRY_VERIFY(js("document.fullscreenElement === document.body").toBool());
        QTest::keyClick(m_view->focusProxy(), Qt::Key_Escape);
        QTRY_VERIFY(!m_view->window()->isFullScreen());
        QTRY_VERIFY(js("document.fullscreenElement === null").toBool());
        for (const bool on : {true, false}) {
            QTest::keyClick(m_view->focusProxy(), Qt::Key_F11);
            QTRY_COMPARE(m_view->window()->isFullScreen(), on);
        }
    }

    // window.print(): the print dialog, then a PDF with the page's text.
    void printingToAPdfKeepsTheText()
    {
        QTemporaryDir out;
        const QString pdf = out.filePath("printed.pdf");
        bool answered = false;
        const ModalAnswerer printAnswerer(
            [&](QWidget* modal) {
                auto* dialog = qobject_cast<QPrintDialog*>(modal);
                if (dialog && !std::exchange(answered, true))
                    ModalAnswerer::printToPdf(dialog, pdf);
            },
            50);
        js("window.print()");
        QTRY_VERIFY_WITH_TIMEOUT(answered && QFileInfo(pdf).size() > 0, 15000);
        QVERIFY2(ModalAnswerer::pdfText(pdf).contains("Walnut ledger printout"), qPrintable(pdf));
    }

    // A module import and fetch() from the origin run, and again when a killed page returns.
    void originPageRunsModulesAndComesBackWhenItsProcessDies()
    {
        QTRY_COMPARE(m_view->page()->title(), QString("ran walnut"));
        js("document.title = 'before'");
        QSignalSpy loaded(m_view->page(), &QWebEnginePage::loadFinished);
        ::kill(pid_t(m_view->page()->renderProcessPid()), SIGSEGV);
        QVERIFY(loaded.wait(15000));
        QTRY_COMPARE(m_view->page()->title(), QString("ran walnut"));
    }

    // The view's menu offers the inspector only with developer extras, and it opens the tools.
    void inspectorOnlyWithDeveloperExtras()
    {
        for (const bool on : {false, true}) {
            EngineWebView::setDeveloperExtras(on);
            QList<QStringList> menus;
            const ModalAnswerer menuAnswerer([&](QWidget* modal) {
                if (auto* menu = qobject_cast<QMenu*>(modal)) {
                    menus << QStringList();
                    for (QAction* action : menu->actions())
                        menus.last() << action->text();
                    if (QAction* inspect = menu->actions().value(0))
                        inspect->trigger();
                    menu->close();
                }
            });
            // The engine asks for the menu, late under load, on a click in the page itself.
            QTest::mouseClick(m_view->focusProxy(), Qt::RightButton, {}, QPoint(5, 5));
            QTRY_VERIFY_WITH_TIMEOUT(!menus.isEmpty(), 15000);
            QCOMPARE(menus, QList<QStringList>{on ? QStringList{"Inspect"} : QStringList()});
        }
        QWebEnginePage* tools = m_view->page()->devToolsPage();
        QVERIFY(tools && tools->view() && tools->view()->isVisible());
        QTRY_COMPARE(tools->url().scheme(), QString("devtools"));
        tools->view()->close();
    }

    void cleanupTestCase() { m_view.reset(); }
};

int main(int argc, char* argv[])
{
    EngineProfile::prepare();
    QApplication app(argc, argv);
    TestEngine test;
    const int failed = QTest::qExec(&test, argc, argv);
    EngineProfile::shutDown();
    return failed;
}
#include "enginetest.moc"
