// What works without a view: the app's identity from its manifest, what the virtual origin
// serves and what goes to the network, the bundle check, the cookie jar against its file.
#include "quilletinstance.h"
#include "recordinghttpserver.h"
#include "web/sitespecificcookiejar.h"
#include "web/zemnetworkaccessmanager.h"
#include "webcore/appidentity.h"
#include "webcore/resourcebundle.h"
#include "webcore/webapp.h"

#include <QDirIterator>
#include <QFile>
#include <QNetworkCookie>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QResource>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>

class TestWebCore : public QObject {
    Q_OBJECT
    IsolatedEnvironment m_home;   // one for the run: QSettings caches its folder at first use
    RecordingHttpServer m_proxy;  // requests that go to the network meet it, as sent

    static AppIdentity readFolder(const QMap<QString, QByteArray>& files, QStringList* warnings)
    {
        QTemporaryDir folder;
        for (auto it = files.begin(); it != files.end(); ++it)
            writeFile(folder.path() + "/" + it.key(), it.value());
        return AppIdentity::fromFolder(folder.path(), warnings);
    }

private slots:
    void initTestCase() { QVERIFY(m_proxy.listen()); }

    void manifestMembersMakeTheApp()
    {
        QStringList warnings;
        const AppIdentity app = readFolder(
            {{"widget/manifest.webmanifest",
              R"({"name": "Field Notes", "short_name": "Notes", "id": "org.example.Notes",
                 "description": "Notes in the field.", "version": "2.0.1",
                 "display": "fullscreen", "background_color": "#102030",
                 "engine": "webengine", "icons": [
                 {"src": "/icons/n-192.png", "sizes": "192x192", "type": "image/png"},
                 {"src": "icons/n.svg", "type": "image/svg+xml"},
                 {"src": "../gone.png"}, )"  // moc would read a "//" in it as a comment
              "{\"src\": \"https://cdn.example.com/n.png\"}]}"},
             {"widget/icons/n-192.png", "png"},
             {"widget/icons/n.svg", "<svg/>"}},
            &warnings);
        QCOMPARE(QStringList({app.name(), app.title(), app.shortName(), app.description(),
                              app.version(), app.key(), app.commandName()}),
                 QStringList({"Field Notes", "Field Notes", "Notes", "Notes in the field.", "2.0.1",
                              "org.example.notes", "field-notes"}));
        QCOMPARE(app.display(), AppIdentity::Display::Fullscreen);
        QCOMPARE(app.backgroundColor(), QColor(0x10, 0x20, 0x30));
        QCOMPARE(app.engine(), AppIdentity::Engine::WebEngine);
        QCOMPARE(app.icons().size(), 1);
        QCOMPARE(app.icons().first().path, QString("widget/icons/n-192.png"));
        QCOMPARE(app.icons().first().size, 192);
        QCOMPARE(warnings.size(), 3);  // the SVG, the missing and the remote icon
        QVERIFY(warnings[0].contains("not a PNG") && warnings[1].contains("gone.png is missing")
                && warnings[2].contains("not in the web folder"));
    }

    // A member that cannot be used is ignored with a warning; a manifest that cannot make an
    // app (the first found is read) is, with a warning why: the app is then the built-in one.
    void membersFallBack_data()
    {
        QTest::addColumn<QByteArray>("manifest");  // null: no manifest at all
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");  // how it starts; empty for the built-in app
        QTest::addColumn<QString>("warning");
        const char* rows[][5]
            = {{"without id the name gives the folders, in key form",
                R"({"name": "My Notes!", "id": "/"})", "My Notes!", "my-notes", ""},
               {"an id cannot climb out of the data folder",
                R"({"name": "N", "id": "../../etc/..x"})", "N", "etc-.x", ""},
               {"a name without Latin letters gets a key of its own", R"({"name": "ノート"})",
                "ノート", "app-", ""},
               {"a name that is not text is ignored, with a warning",
                R"({"name": 7, "short_name": "Seven"})", "Seven", "seven", R"("name" is not text)"},
               {"an unknown display is standalone, with a warning",
                R"({"name": "D", "display": "kiosk", "id": "dd"})", "D", "dd",
                R"("display" "kiosk" is unknown)"},
               {"a colour that is none is ignored, with a warning",
                R"({"name": "C", "background_color": "dusk", "id": "cc"})", "C", "cc",
                R"("background_color" "dusk" is not a colour)"},
               {"an unknown engine is QtWebKit, with a warning",
                R"({"name": "E", "engine": "WebEngine", "id": "ee"})", "E", "ee",
                R"("engine" "WebEngine" is unknown)"},
               {"malformed JSON", R"({"name": "A",)", "Quillet", "",
                "manifest.webmanifest is ignored: not valid JSON"},
               {"not an object", R"(["A"])", "Quillet", "",
                "manifest.webmanifest is ignored: not a JSON object"},
               {"no name", R"({"display": "fullscreen", "engine": "webengine"})", "Quillet", "",
                "manifest.webmanifest is ignored: it has no \"name\""},
               {"no manifest", nullptr, "Quillet", "", ""}};
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QByteArray(row[1]) << QString::fromUtf8(row[2])
                                  << QString(row[3]) << QString(row[4]);
    }
    void membersFallBack()
    {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, key);
        QFETCH(QString, warning);
        QStringList warnings;
        const AppIdentity app = readFolder(
            manifest.isNull()
                ? QMap<QString, QByteArray>{{"index.html", "<p>"}}
                : QMap<QString, QByteArray>{{"manifest.webmanifest", manifest},
                                            {"widget/manifest.json", "{\"name\": \"Other\"}"}},
            &warnings);
        QTEST(app.name(), "name");
        QCOMPARE(app.hasManifest(), !key.isEmpty());
        QCOMPARE(app.key().left(key.size()), key);
        QCOMPARE(app.storagePath(),
                 key.isEmpty()
                     ? storageFolder(m_home)
                     : QString::fromStdString(m_home.dataFolder() / app.key().toStdString()));
        QCOMPARE(app.display(), AppIdentity::Display::Standalone);
        QVERIFY(!app.backgroundColor().isValid());
        QCOMPARE(app.engine(), AppIdentity::Engine::WebKit);
        QCOMPARE(warnings.size(), warning.isEmpty() ? 0 : 1);
        QVERIFY2(warnings.join("").contains(warning), qPrintable(warnings.join("")));
    }

    void servesBundleOrNetwork_data()
    {
        QTest::addColumn<QString>("call");  // "[METHOD ]url"
        QTest::addColumn<int>("status");    // 0: goes to the network; no further columns
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("content");  // the bundle file's text
        const QString host = APPLICATION_HOST, origin = "http://" + APPLICATION_HOST;
        QTest::newRow("encoded percent is decoded once only")
            << origin + "/pct%2541.txt" << 200 << "text/plain" << QByteArray("percent file");
        QTest::newRow("encoded dot segments stay inside the widget folder")
            << origin + "/css/%2e%2e/%2E%2E/%2e%2e/img/dot.png" << 200 << "image/png"
            << QByteArray("PNG");
        QTest::newRow("POST to the origin is refused there")
            << "POST " + origin + "/data.json" << 405 << "text/plain"
            << QByteArray("405 Method Not Allowed");
        QTest::newRow("POST elsewhere goes to the network")
            << "POST http://example.com/data.json" << 0;
        QTest::newRow("https to the origin host goes to the network")
            << "https://" + host + "/a" << 0;
        QTest::newRow("host that merely starts with the origin host goes to the network")
            << origin + ".example/data.json" << 0;
    }

    // What goes to the network meets the proxy: the origin's host never does.
    void servesBundleOrNetwork()
    {
        QFETCH(QString, call);
        QFETCH(int, status);
        const QString url = call.section(' ', -1);
        const QByteArray method = call.contains(' ') ? call.section(' ', 0, 0).toLatin1() : "GET";
        ZemNetworkAccessManager nam;
        nam.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", m_proxy.port()));
        const int seenBefore = m_proxy.requests().size();
        const QNetworkRequest request{QUrl(url)};
        std::unique_ptr<QNetworkReply> reply(method == "GET" ? nam.get(request)
                                                             : nam.post(request, QByteArray("x")));
        QVERIFY(reply->isFinished()
                || QSignalSpy(reply.get(), &QNetworkReply::finished).wait(5000));
        QCOMPARE(reply->url(), QUrl(url));

        if (status == 0) {
            QCOMPARE(m_proxy.requests().size(), seenBefore + 1);
            const RecordingHttpServer::Request sent = m_proxy.requests().last();
            QCOMPARE(sent.method, url.startsWith("https") ? QByteArray("CONNECT") : method);
            QVERIFY2(sent.target.contains(QUrl(url).host().toLatin1()), sent.target.constData());
            return;
        }
        QFETCH(QString, type);
        QFETCH(QByteArray, content);
        QCOMPARE(m_proxy.requests().size(), seenBefore);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
        QCOMPARE(reply->error() == QNetworkReply::NoError, status == 200);
        QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), type);
        const QByteArray body = reply->readAll();
        QVERIFY2(body.contains(content), body.constData());
        if (status == 200)
            QCOMPARE(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(), body.size());
    }

    // Every bit of the sample bundle's header, names and tree flipped: variants let through
    // are registered and read, and Qt reads an index unchecked, so a wrong pass crashes here.
    void everyFlippedIndexBitIsRefusedOrHarmless()
    {
        const QByteArray sample = sampleBundle();
        const auto bytes = [](const QByteArray& data) {
            return reinterpret_cast<const uchar*>(data.constData());
        };
        QCOMPARE(ResourceBundle::checkData(bytes(sample), sample.size()), QString());
        // rcc writes the header (24 bytes), the file data, the names and last the tree.
        const int names = int(qFromBigEndian<quint32>(sample.constData() + 16));
        QVERIFY(names > 24 && names < sample.size());
        // Flipped bits make Qt warn about data it cannot uncompress.
        const QtMessageHandler previous
            = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        int refused = 0, read = 0;
        for (int offset = 0; offset < sample.size(); offset = offset == 23 ? names : offset + 1) {
            for (int bit = 0; bit < 8; ++bit) {
                QByteArray variant = sample;
                variant[offset] = char(variant[offset] ^ (1 << bit));
                if (!ResourceBundle::checkData(bytes(variant), variant.size()).isEmpty()) {
                    ++refused;
                } else if (QResource::registerResource(bytes(variant), "/variant")) {
                    for (QDirIterator it(":/variant", QDir::Files, QDirIterator::Subdirectories);
                         it.hasNext();) {
                        QFile file(it.next());
                        read += file.open(QIODevice::ReadOnly) && !file.readAll().isNull();
                    }
                    QResource::unregisterResource(bytes(variant), "/variant");
                }
            }
        }
        qInstallMessageHandler(previous);
        QVERIFY(refused > 0 && read > 0);
    }
    static QStringList cookiesFor(const SiteSpecificCookieJar& jar, const QString& url)
    {
        QStringList texts;
        for (const QNetworkCookie& cookie : jar.cookiesForUrl(QUrl(url)))
            texts << QString::fromUtf8(cookie.toRawForm(QNetworkCookie::NameAndValueOnly));
        return texts;
    }

    // A damaged file (an earlier version's, keyed by name alone) is moved aside; what could be
    // read of it goes on. A new jar brings back every cookie of the last but an expired one.
    void cookieFileKeepsEveryCookieAndSetsADamagedOneAside()
    {
        const QString path = SiteSpecificCookieJar::cookieFilePath();
        const QByteArray damaged = "[old.example]\nid=\"id=old; domain=old.example; path=/app\"\n"
                                   "sid=\"sid=kept; expires=Fri, 01-Jan-2100 00:00:00 GMT; "
                                   "domain=old.example; path=/\"\n\x89PNG\r\n\x1a\n";
        QVERIFY(writeFile(path, damaged));
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(
                "Cookie file .*/cookies\\.ini was damaged: kept it as .*/cookies\\.ini\\.damaged; "
                "the 2 cookies that could be read go into a new file"));
        {
            SiteSpecificCookieJar jar;  // writes its file when it goes
            const char* set[][2]
                = {{"id=A; path=/a", "http://example.com/a/page"},
                   {"id=B; path=/b", "http://example.com/b/page"},
                   {"id=C; domain=.example.com; path=/", "http://www.example.com/"},
                   {"local=yes", "file:///tmp/page.html"},
                   {"sid=abc; expires=Wed, 01 Jan 2099 00:00:00 GMT", "http://example.com/"},
                   {"sid=; expires=Thu, 01 Jan 1970 00:00:00 GMT", "http://example.com/"}};
            for (const auto& [line, url] : set)
                jar.setCookiesFromUrl(QNetworkCookie::parseCookies(line), QUrl(url));
        }
        SiteSpecificCookieJar jar;
        QCOMPARE(cookiesFor(jar, "http://example.com/a/x"), QStringList({"id=A", "id=C"}));
        QCOMPARE(cookiesFor(jar, "http://example.com/b/x"), QStringList({"id=B", "id=C"}));
        QCOMPARE(cookiesFor(jar, "http://old.example/app/x"), QStringList({"id=old", "sid=kept"}));
        QCOMPARE(cookiesFor(jar, "http://example.com/"), QStringList("id=C"));
        QCOMPARE(cookiesFor(jar, "file:///tmp/page.html"), QStringList("local=yes"));
        QCOMPARE(QByteArray::fromStdString(readFile((path + ".damaged").toStdString())), damaged);
        QVERIFY(!QFile::exists(path + ".damaged-2"));
    }
};

QTEST_MAIN(TestWebCore)
#include "webcoretest.moc"
