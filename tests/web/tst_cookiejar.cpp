// The persistent cookie jar against its file: what is written, in which
// group, and what a new jar (a restarted program) restores. The round trip
// through a real server and restart is in tests/e2e/e2e_cookie.
#include "tests/support/isolatedhome.h"
#include "web/sitespecificcookiejar.h"

#include <QFile>
#include <QNetworkCookie>
#include <QSettings>
#include <QTest>

#include <memory>

namespace {
void setCookie(SiteSpecificCookieJar& jar, const QByteArray& setCookieLine, const QString& url)
{
    jar.setCookiesFromUrl(QNetworkCookie::parseCookies(setCookieLine), QUrl(url));
}

QByteArray fileText()
{
    QFile file(SiteSpecificCookieJar::cookieFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

class TestCookieJar : public QObject {
    Q_OBJECT
    std::unique_ptr<IsolatedHome> m_home;

private slots:
    void init() { m_home = std::make_unique<IsolatedHome>(); }

    void emptyListReturnsFalseAndLeavesTheFileUntouched()
    {
        {
            SiteSpecificCookieJar jar;  // writes its file when it goes
            setCookie(jar, "a=1", "http://example.com/");
        }
        const QByteArray before = fileText();
        QVERIFY(!before.isEmpty());
        QVERIFY(!SiteSpecificCookieJar().setCookiesFromUrl({}, QUrl("http://other.org/")));
        QCOMPARE(fileText(), before);
    }

    void groupsFollowTheHostAndHostlessUrlsUseTheGeneralSection()
    {
        {
            SiteSpecificCookieJar jar;
            setCookie(jar, "id=one", "http://one.example/");
            setCookie(jar, "id=two", "http://two.example/");
            setCookie(jar, "local=yes", "file:///tmp/page.html");
        }
        QSettings file(SiteSpecificCookieJar::cookieFilePath(), QSettings::IniFormat);
        QCOMPARE(file.childGroups(), QStringList({"one.example", "two.example"}));
        QVERIFY(file.value("one.example/id").toString().startsWith("id=one;"));
        QVERIFY(file.value("two.example/id").toString().startsWith("id=two;"));
        QVERIFY(fileText().contains("[General]\nlocal="));
    }

    void expiringACookieOverwritesItsStoredText()
    {
        const QString url = "http://example.com/";
        {
            SiteSpecificCookieJar jar;
            setCookie(jar, "sid=abc; expires=Wed, 01 Jan 2099 00:00:00 GMT", url);
            setCookie(jar, "sid=; expires=Thu, 01 Jan 1970 00:00:00 GMT", url);
            QVERIFY(jar.cookiesForUrl(QUrl(url)).isEmpty());
        }
        const QString stored = QSettings(SiteSpecificCookieJar::cookieFilePath(), QSettings::IniFormat)
                                   .value("example.com/sid").toString();
        QVERIFY2(stored.startsWith("sid=; expires=Thu, 01-Jan-1970"), qPrintable(stored));
        QVERIFY(SiteSpecificCookieJar().cookiesForUrl(QUrl(url)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCookieJar)
#include "tst_cookiejar.moc"
