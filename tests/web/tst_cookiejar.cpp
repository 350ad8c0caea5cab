// The persistent cookie jar against its file: what is written, in which
// group, and what a new jar (a restarted program) restores and sends. The
// round trip through a real server and restart is in tests/e2e/e2e_cookie.
#include "tests/support/isolatedhome.h"
#include "web/sitespecificcookiejar.h"

#include <QFile>
#include <QNetworkCookie>
#include <QSettings>
#include <QTest>

namespace {
QList<QNetworkCookie> cookies(const QByteArray& setCookieLine)
{
    return QNetworkCookie::parseCookies(setCookieLine);
}

QByteArray cookieHeaderFor(const SiteSpecificCookieJar& jar, const QString& url)
{
    QByteArray header;
    for (const QNetworkCookie& cookie : jar.cookiesForUrl(QUrl(url)))
        header += cookie.toRawForm(QNetworkCookie::NameAndValueOnly) + ';';
    return header;
}

QByteArray fileText()
{
    QFile file(SiteSpecificCookieJar::cookieFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}

class TestCookieJar : public QObject {
    Q_OBJECT
    IsolatedHome* m_home = nullptr;

private slots:
    void init() { m_home = new IsolatedHome; }
    void cleanup() { delete m_home; }

    void emptyListReturnsFalseAndLeavesTheFileUntouched()
    {
        {
            SiteSpecificCookieJar jar;
            jar.setCookiesFromUrl(cookies("a=1"), QUrl("http://example.com/"));
        }
        const QByteArray before = fileText();
        QVERIFY(!before.isEmpty());
        {
            SiteSpecificCookieJar jar;
            QVERIFY(!jar.setCookiesFromUrl({}, QUrl("http://other.org/")));
        }
        QCOMPARE(fileText(), before);
    }

    void groupsFollowTheHostAndHostlessUrlsUseTheGeneralSection()
    {
        {
            SiteSpecificCookieJar jar;
            jar.setCookiesFromUrl(cookies("id=one"), QUrl("http://one.example/"));
            jar.setCookiesFromUrl(cookies("id=two"), QUrl("http://two.example/"));
            jar.setCookiesFromUrl(cookies("local=yes"), QUrl("file:///tmp/page.html"));
        }
        QSettings file(SiteSpecificCookieJar::cookieFilePath(), QSettings::IniFormat);
        QCOMPARE(file.childGroups(), QStringList({"one.example", "two.example"}));
        QVERIFY(file.value("one.example/id").toString().startsWith("id=one;"));
        QVERIFY(file.value("two.example/id").toString().startsWith("id=two;"));
        QCOMPARE(file.childKeys(), QStringList({"local"}));
        QVERIFY(fileText().contains("[General]\nlocal="));
    }

    void expiringACookieOverwritesItsStoredText()
    {
        const QUrl url("http://example.com/");
        {
            SiteSpecificCookieJar jar;
            jar.setCookiesFromUrl(cookies("sid=abc; expires=Wed, 01 Jan 2099 00:00:00 GMT"), url);
            jar.setCookiesFromUrl(cookies("sid=; expires=Thu, 01 Jan 1970 00:00:00 GMT"), url);
            QCOMPARE(cookieHeaderFor(jar, url.toString()), QByteArray());
        }
        QSettings file(SiteSpecificCookieJar::cookieFilePath(), QSettings::IniFormat);
        const QString stored = file.value("example.com/sid").toString();
        QVERIFY2(stored.startsWith("sid=; expires=Thu, 01-Jan-1970"), qPrintable(stored));
        SiteSpecificCookieJar restarted;
        QCOMPARE(cookieHeaderFor(restarted, url.toString()), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestCookieJar)
#include "tst_cookiejar.moc"
