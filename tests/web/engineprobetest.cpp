// The README's compatibility table against the running program: the probe page
// checks each feature on the application's origin, and this engine's column must
// say exactly what it found. An engine update that adds or drops a feature fails here.
#include "quilletinstance.h"
#include "recordinghttpserver.h"

#include <QFile>
#include <QJsonDocument>
#include <QTest>

class TestEngineProbe : public QObject {
    Q_OBJECT

    // The rows "| feature | yes | no |" of the README section on what a web
    // application may use, in the column headed `engine`.
    static QMap<QString, QString> documentedLevel(const QString& engine)
    {
        QFile readme(QStringLiteral(QUILLET_SOURCE_DIR "/README.md"));
        readme.open(QIODevice::ReadOnly);  // unread, the table is empty and the test says so
        const QString text = QString::fromUtf8(readme.readAll());
        const int section = text.indexOf("\n## What a web application may use");
        QMap<QString, QString> rows;
        int column = -1;
        for (const QString& line :
             text.mid(section, text.indexOf("\n## ", section + 1) - section).split('\n')) {
            QStringList cells = line.split('|');
            if (cells.size() < 3 || line.startsWith("|-"))
                continue;
            for (QString& cell : cells)
                cell = cell.trimmed().remove('`');
            if (column < 0)
                column = cells.indexOf(engine);  // the header row
            else
                rows.insert(cells[1], cells.value(column));
        }
        return rows;
    }

private slots:
    void readmeStatesWhatTheEngineHas()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        QFile probe(QStringLiteral(QUILLET_SOURCE_DIR "/tests/web/bundle/widget/probe.html"));
        QVERIFY(probe.open(QIODevice::ReadOnly));
        quillet.addBundleFile("widget/probe.html", probe.readAll());
        quillet.addBundleFile(
            "index.html", startPageOnOrigin("/probe.html?report=" + server.baseUrl() + "/probe"));
        QVERIFY(quillet.buildBundle() && quillet.start());
        QVERIFY2(QTest::qWaitFor([&] { return !server.requestsTo("/probe").isEmpty(); }, 30000),
                 quillet.output().constData());
        const QVariantMap found
            = QJsonDocument::fromJson(server.requestsTo("/probe").first().body).toVariant().toMap();

        const QString engine = testedOnWebEngine() ? "Qt WebEngine" : "QtWebKit";
        const QMap<QString, QString> documented = documentedLevel(engine);
        QVERIFY2(documented.size() >= 30, qPrintable("the README's table has no column " + engine));
        for (const QString& name : found.keys() + documented.keys()) {
            const QString level = !found.contains(name)        ? "unchecked"
                                  : found.value(name).toBool() ? "yes"
                                                               : "no";
            QCOMPARE(name + " in the README: " + documented.value(name, "unsaid"),
                     name + " in the README: " + level);
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineProbe)
#include "engineprobetest.moc"
