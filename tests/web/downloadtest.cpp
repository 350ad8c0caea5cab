// Downloads through a real view and page against a loopback HTTP server. By the time the
// user is asked, the page's reply must be stopped, or it would fetch the whole body.
#include "modalanswerer.h"
#include "quilletinstance.h"
#include "recordinghttpserver.h"
#include "web/blobreply.h"
#include "web/sitespecificwebview.h"
#include "web/zemdownloadmgr.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QNetworkReply>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QWebFrame>

#include <csignal>
#include <sys/resource.h>

using Response = RecordingHttpServer::Response;

class TestDownload : public QObject {
    Q_OBJECT
    std::unique_ptr<IsolatedEnvironment> m_home;
    QString m_homePath;
    std::unique_ptr<RecordingHttpServer> m_server;
    std::unique_ptr<SiteSpecificWebView> m_view;
    QString m_typed;
    // Answers: m_typed to a save dialog (dismissed when empty), OK to a message box; notes
    // "save:<offered path, home as ~>[ (page reply running)]" and "<title>|<text>".
    QStringList m_seen;
    QUrl m_opened;  // by open(); empty for a page's own downloads
    ModalAnswerer m_answerer{[this](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            bool running = false;
            for (QNetworkReply* reply : replies())
                running |= reply->request().originatingObject() && reply->isRunning();
            m_seen << "save:" + dialog->selectedFiles().value(0).replace(m_homePath, "~")
                          + (running && !m_opened.isEmpty() ? " (page reply running)" : "");
            ModalAnswerer::typeFileName(dialog, m_typed);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            m_seen << box->windowTitle() + '|' + box->text().replace(m_homePath, "~");
            if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                return yes->click();  // replace the existing file
            box->done(QMessageBox::Ok);
        }
    }};

    int managers() const { return m_view->page()->findChildren<ZemDownloadMgr*>().size(); }
    QStringList savedFiles() const { return QDir(m_homePath).entryList(QDir::Files); }
    QProgressDialog* progressDialog() const { return m_view->findChild<QProgressDialog*>(); }
    QByteArray onDisk() const
    {
        QFile file(m_typed);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QList<QNetworkReply*> replies() const
    {
        return m_view->page()->networkAccessManager()->findChildren<QNetworkReply*>();
    }

    // Serves `size` bytes (cut after dropAfter), opens the path, waits for the page to hand it on.
    void open(const QByteArray& path, qint64 size, bool withLength = true, qint64 dropAfter = -1)
    {
        const Response response{
            200, {{"Content-Type", "application/octet-stream"}}, {}, size, !withLength, dropAfter};
        m_server->setHandler([response](const RecordingHttpServer::Request& request) {
            return request.path() == "/favicon.ico" ? Response() : response;
        });
        QSignalSpy unsupported(m_view->page(), &QWebPage::unsupportedContent);
        m_opened = QUrl(m_server->baseUrl() + path);
        m_view->load(m_opened);
        QVERIFY(unsupported.wait(10000));
    }

    // Runs script on the server's origin, which serves `size` bytes of bytes(n)'s pattern.
    void runOnServerPage(const QString& script, qint64 size)
    {
        m_server->setHandler(RecordingHttpServer::filesOf(size));
        QSignalSpy loaded(m_view.get(), &QWebView::loadFinished);
        m_view->setHtml("<body></body>", QUrl(m_server->baseUrl() + "/app.html"));
        QVERIFY(!loaded.isEmpty() || loaded.wait(10000));
        m_view->page()->mainFrame()->evaluateJavaScript(
            QString("var n = %1; function bytes(n) { var b = new Uint8Array(n);"
                    " for (var i = 0; i < n; ++i) b[i] = (i * 131 + (i >> 12)) & 255; return b; }\n"
                    "function blob(type) {"
                    " return URL.createObjectURL(new Blob([bytes(n)], {type: type})); }\n"
                    "function link(href, name, inDocument) { var a = document.createElement('a');"
                    " if (inDocument) document.body.appendChild(a); a.href = href;"
                    " if (name) a.setAttribute('download', name); return a; }\n")
                .arg(size)
            + script);
    }

    // Watches the manager's own transfer (WebKit's requests name their frame) to its end.
    bool watchTransfer(const std::function<void(qint64 done, qint64 total)>& onProgress)
    {
        QNetworkReply* transfer = nullptr;
        const auto issued = [&] {
            for (QNetworkReply* reply : replies())
                if (!reply->request().originatingObject() && reply->url() == m_opened)
                    transfer = reply;
            return transfer != nullptr;
        };
        if (!QTest::qWaitFor(issued, 10000))
            return false;
        connect(transfer, &QNetworkReply::downloadProgress, this, onProgress);
        // Progress is reported at most every 100 ms: a stall after the first chunk shows some.
        connect(transfer, &QNetworkReply::readyRead, this, [stalled = false]() mutable {
            if (!std::exchange(stalled, true))
                QThread::msleep(150);
        });
        return QSignalSpy(transfer, &QNetworkReply::finished).wait(20000);
    }

private slots:
    void initTestCase() { qRegisterMetaType<QNetworkReply*>(); }

    // The previous test's view goes first: it uses the server and the home.
    void init()
    {
        m_view.reset();
        m_server = std::make_unique<RecordingHttpServer>();
        QVERIFY(m_server->listen());
        m_home = std::make_unique<IsolatedEnvironment>();
        m_homePath = QString::fromStdString(m_home->home());
        m_typed = m_homePath + "/saved.bin";
        m_seen.clear();
        m_opened.clear();
        m_view = std::make_unique<SiteSpecificWebView>();
    }

    // The name offered is the URL's last segment, decoded, without query and fragment.
    void downloadEndsWithTheWholeFileOrNone_data()
    {
        const QString asked = QString::fromUtf8("save:~/data é.bin");
        const QString failed = "Download Error|The download failed. Nothing was saved.";
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("dialog dismissed: no transfer") << "dismiss" << QStringList(asked);
        QTest::newRow("file that cannot be created: no transfer, the user is told")
            << "uncreatable"
            << QStringList{asked, "Download Error|The file ~/no folder/data.bin cannot be "
                                  "created. Nothing was saved."};
        QTest::newRow("with length: exactly the bytes sent") << "length" << QStringList(asked);
        QTest::newRow("unknown length: exactly the bytes sent")
            << "no length" << QStringList(asked);
        QTest::newRow("dropped connection: the file it was to replace stays, the user is told")
            << "drop replacing"
            << QStringList{asked,
                           QString::fromUtf8("Save File|data é.bin already exists.\nDo you want "
                                             "to replace it?"),
                           failed};
        // A file-size limit makes the disk refuse writes, as a full disk would.
        QTest::newRow("write error: no file, the user is told")
            << "write" << QStringList{asked, failed};
    }

    // Until the body is complete, the chosen name holds what it held before. No transfer without
    // a file to write; the manager and the page's reply are released whatever the ending.
    void downloadEndsWithTheWholeFileOrNone()
    {
        QFETCH(QString, ending);
        QFETCH(QStringList, seen);
        const bool completes = ending.endsWith("length");
        const bool transfers = ending != "dismiss" && ending != "uncreatable";
        const qint64 size = !transfers ? 512 << 20 : completes ? (16 << 20) + 123 : 4 << 20;
        const QByteArray previous = ending == "drop replacing" ? "the user's own data" : "";
        const QString name = QString::fromUtf8("data é.bin");
        if (!previous.isEmpty()) {
            m_typed = m_homePath + '/' + name;
            QVERIFY(writeFile(m_typed, previous));
        } else if (!transfers) {
            m_typed = ending == "dismiss" ? QString() : m_homePath + "/no folder/data.bin";
        }
        open("/files/data%20%C3%A9.bin?x=1#y", size, ending != "no length",
             ending.startsWith("drop") ? 300 << 10 : -1);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit limited{ending == "write" ? rlim_t(256 << 10) : saved.rlim_cur,
                             saved.rlim_max};
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        int maximum = 0;
        bool seenMidway = false, untouchedMidway = false;
        const bool finished
            = transfers && watchTransfer([&](qint64 done, qint64 total) {
                  if (done > 0 && done != total && !std::exchange(seenMidway, true)) {
                      maximum = progressDialog() ? progressDialog()->maximum() : 0;
                      untouchedMidway
                          = onDisk() == previous && QFile::exists(m_typed) == !previous.isEmpty();
                  }
              });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(!transfers || (finished && seenMidway && untouchedMidway));
        QTRY_COMPARE(managers(), 0);
        QTRY_VERIFY(!progressDialog());
        QTRY_COMPARE(replies().size(), 0);
        QTRY_VERIFY(!m_view->findChild<QMessageBox*>());  // each box shown has been noted
        QCOMPARE(m_seen, seen);
        QCOMPARE(m_server->requestsTo(m_opened.path(QUrl::FullyEncoded).toUtf8()).size() > 1,
                 transfers);
        if (!completes) {
            QCOMPARE(savedFiles(), previous.isEmpty() ? QStringList() : QStringList(name));
            QCOMPARE(onDisk(), previous);
            return;
        }
        QCOMPARE(maximum, ending == "length" ? int(size) : -1);
        QVERIFY(onDisk() == RecordingHttpServer::pattern(0, size));
    }

    // Links that ask to be downloaded, named by the `download` attribute without folders, or by
    // the type. A blob download cancelled, or whose page goes away, leaves no file.
    void linksSaveTheWholeFileOrNone_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("ending");  // save, cancel or navigate
        const QString revoked
            = "var url = blob('%1'); link(url, '%2').click(); URL.revokeObjectURL(url);";
        QTest::newRow("blob: made by an Export button, revoked at once (several chunks)")
            << revoked.arg("text/csv", "report.csv") << "report.csv" << qint64((3 << 20) + 5)
            << "save";
        QTest::newRow("blob: link in the document, named with a folder")
            << "link(blob('text/plain'), '../up/notes.txt', true)"
               ".dispatchEvent(new MouseEvent('click', {bubbles: true}));"
            << "_up_notes.txt" << qint64(1000) << "save";
        QTest::newRow("blob: link without name, of a type the view cannot show")
            << "link(blob('application/zip')).click();"
            << "download.zip" << qint64(70000) << "save";
        QTest::newRow("empty blob")
            << revoked.arg("", "empty.txt") << "empty.txt" << qint64(0) << "save";
        QTest::newRow("data: link with a download attribute")
            << "link('data:application/octet-stream;base64,'"
               " + btoa(String.fromCharCode.apply(null, bytes(n))), 'd.bin').click();"
            << "d.bin" << qint64(3000) << "save";
        QTest::newRow("server link in the document, with a download attribute")
            << "link('/files/data.bin', 'Quarter 3.bin', true).click();"
            << "Quarter 3.bin" << qint64(200000) << "save";
        for (const char* ending : {"cancel", "navigate"})
            QTest::newRow(qPrintable(QString("blob: %1 midway").arg(ending)))
                << revoked.arg("", "big.bin") << "big.bin" << qint64(48 << 20) << ending;
    }

    void linksSaveTheWholeFileOrNone()
    {
        QFETCH(QString, script);
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, ending);
        runOnServerPage(script, size);
        QStringList seen("save:~/" + name);
        if (ending != "save") {
            // Begun, with nothing under the chosen name until the end.
            QTRY_VERIFY(progressDialog() && !QFile::exists(m_typed));
            if (ending == "cancel")
                progressDialog()->findChild<QPushButton*>()->click();
            else
                m_view->setHtml("<p>elsewhere</p>", QUrl(m_server->baseUrl() + "/other"));
            if (ending == "navigate")
                seen << "Download Error|The download failed. Nothing was saved.";
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_seen, seen, BlobReply::kChunkTimeoutMs + 5000);
        QTRY_COMPARE(managers(), 0);
        QTRY_VERIFY(!m_view->findChild<QMessageBox*>());
        QCOMPARE(m_seen, seen);
        if (ending == "save")
            QVERIFY(QFile::exists(m_typed) && onDisk() == RecordingHttpServer::pattern(0, size));
        else
            QCOMPARE(savedFiles(), QStringList());
    }
};

QTEST_MAIN(TestDownload)
#include "downloadtest.moc"
