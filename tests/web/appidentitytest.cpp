// The app's identity from its manifest: each member, where its data go, and
// the manifests that are ignored with a warning.
#include "webcore/appidentity.h"
#include "quilletinstance.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestAppIdentity : public QObject {
    Q_OBJECT
    IsolatedEnvironment m_home;
    QString inConfig(const char* path) const
    {
        return QString::fromStdString(m_home.configFolder() / path);
    }
    QString inData(const char* path) const
    {
        return QString::fromStdString(m_home.dataFolder() / path);
    }

    // A web folder with the given files.
    static AppIdentity readFolder(const QMap<QString, QByteArray>& files, QStringList* warnings)
    {
        QTemporaryDir folder;
        for (auto it = files.begin(); it != files.end(); ++it)
            writeFile(folder.path() + "/" + it.key(), it.value());
        return AppIdentity::fromFolder(folder.path(), warnings);
    }

private slots:
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
        QVERIFY(app.hasManifest());
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

        QCOMPARE(app.storagePath(), inData("org.example.notes"));
        std::unique_ptr<QSettings> settings(app.createSettings());
        QCOMPARE(settings->fileName(), inConfig("org.example.notes/settings.ini"));
    }

    void membersFallBack_data()
    {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("warning");
        const char* rows[][5]
            = {{"short_name alone names the app", R"({"short_name": "Jot"})", "Jot", "jot", ""},
               {"without id the name gives the folders, in key form",
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
                R"("engine" "WebEngine" is unknown)"}};
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QByteArray(row[1]) << QString::fromUtf8(row[2])
                                  << QString(row[3]) << QString(row[4]);
    }
    void membersFallBack()
    {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, warning);
        QStringList warnings;
        const AppIdentity app = readFolder({{"manifest.json", manifest}}, &warnings);
        QTEST(app.name(), "name");
        QFETCH(QString, key);
        QVERIFY2(app.key().startsWith(key) && app.key().size() >= 2, qPrintable(app.key()));
        QCOMPARE(app.display(), AppIdentity::Display::Standalone);
        QVERIFY(!app.backgroundColor().isValid());
        QCOMPARE(app.engine(), AppIdentity::Engine::WebKit);
        QCOMPARE(warnings.size(), warning.isEmpty() ? 0 : 1);
        QVERIFY(warnings.join("").contains(warning));
    }

    // Without a manifest, or with one that cannot make an app (ignored as a
    // whole, with a warning that says why; the first manifest found is the
    // one read), the app is the built-in one with the built-in folders.
    void unusableManifestsGiveTheBuiltInApp_data()
    {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<QString>("warning");
        QTest::newRow("no manifest") << QByteArray() << "";  // null: no file at all
        QTest::newRow("malformed JSON") << QByteArray("{\"name\": \"A\",") << "not valid JSON";
        QTest::newRow("not an object") << QByteArray("[\"A\"]") << "not a JSON object";
        QTest::newRow("no name") << QByteArray(
            "{\"display\": \"fullscreen\", \"engine\": \"webengine\"}")
                                 << "no \"name\"";
        QTest::newRow("empty file") << QByteArray("") << "not valid JSON";
    }
    void unusableManifestsGiveTheBuiltInApp()
    {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, warning);
        QStringList warnings;
        const AppIdentity app = readFolder(
            manifest.isNull()
                ? QMap<QString, QByteArray>{{"index.html", "<p>"}}
                : QMap<QString, QByteArray>{{"manifest.webmanifest", manifest},
                                            {"widget/manifest.json", "{\"name\": \"Other\"}"}},
            &warnings);
        QVERIFY(!app.hasManifest());
        QCOMPARE(app.name(), QString("Quillet"));
        QCOMPARE(app.title(), QString("Quillet"));
        QCOMPARE(app.display(), AppIdentity::Display::Standalone);
        QCOMPARE(app.engine(), AppIdentity::Engine::WebKit);
        QCOMPARE(app.storagePath(), storageFolder(m_home));
        std::unique_ptr<QSettings> settings(app.createSettings());
        QCOMPARE(settings->fileName(), settingsFilePath(m_home));
        QCOMPARE(warnings.size(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty())
            QVERIFY2(warnings.first().startsWith("manifest.webmanifest is ignored: ")
                         && warnings.first().contains(warning),
                     qPrintable(warnings.first()));
    }
};

QTEST_MAIN(TestAppIdentity)
#include "appidentitytest.moc"
