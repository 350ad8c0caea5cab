// The README's compatibility table against the engine the suite runs on: the
// probe page of the test bundle checks each feature in a real page on the
// application's origin, and every row of the table must say what it found.
// An engine update that adds or drops a feature fails here until the README
// says so.
#include "isolatedenvironment.h"
#include "web/sitespecificwebview.h"
#include "webcore/webapp.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QWebFrame>
#include <QWebSettings>

class TestEngineProbe : public QObject {
    Q_OBJECT

    // Rows "| feature | yes |" of the README section on the engine.
    static QMap<QString, bool> documentedLevel()
    {
        QFile readme(QStringLiteral(QUILLET_SOURCE_DIR "/README.md"));
        if (!readme.open(QIODevice::ReadOnly))
            return {};
        const QString text = QString::fromUtf8(readme.readAll());
        const int section = text.indexOf("\n## What a web application may use");
        const QString table = text.mid(section, text.indexOf("\n## ", section + 1) - section);
        QMap<QString, bool> rows;
        const QRegularExpression row("^\\| (.+?) +\\| (yes|no)\\b",
                                     QRegularExpression::MultilineOption);
        for (auto match = row.globalMatch(table); match.hasNext();) {
            const auto found = match.next();
            rows.insert(found.captured(1).remove('`'), found.captured(2) == "yes");
        }
        return rows;
    }

private slots:
    void readmeStatesWhatTheEngineHas()
    {
        const IsolatedEnvironment home;
        // The program's global settings (storage and databases on).
        QWebSettings* web = QWebSettings::globalSettings();
        for (auto attribute :
             {QWebSettings::OfflineStorageDatabaseEnabled, QWebSettings::LocalStorageEnabled,
              QWebSettings::OfflineWebApplicationCacheEnabled})
            web->setAttribute(attribute, true);
        SiteSpecificWebView view;
        QSignalSpy loaded(&view, &QWebView::loadFinished);
        view.load(QUrl("http://" + APPLICATION_HOST.toLower() + "/probe.html"));
        QVERIFY(loaded.wait(10000) && loaded.first().first().toBool());
        const QVariantMap found = view.page()->mainFrame()->evaluateJavaScript("probe").toMap();

        const QMap<QString, bool> documented = documentedLevel();
        QVERIFY2(documented.size() >= 30, "the README's table is missing");
        for (auto row = documented.cbegin(); row != documented.cend(); ++row) {
            QVERIFY2(found.contains(row.key()),
                     qPrintable("the probe does not check: " + row.key()));
            QVERIFY2(found.value(row.key()).toBool() == row.value(),
                     qPrintable(row.key() + (row.value() ? " is missing" : " is there now")));
        }
        for (const QString& name : found.keys())
            QVERIFY2(documented.contains(name), qPrintable("the README does not say: " + name));
    }
};

QTEST_MAIN(TestEngineProbe)
#include "engineprobetest.moc"
