// Serving bundled assets through the virtual origin (http://<application
// host>/...) against loading the same files by direct qrc: URLs, through the
// same network access manager. A bundle of many small files and one large
// file is made with rcc at start; each round fetches every file both ways,
// in alternating order. Prints the medians and the ratios origin / direct.
//
//   originbench [rounds] [small files] [large file MiB]   (default 21 200 8)
#include "benchsupport.h"
#include "web/zemnetworkaccessmanager.h"
#include "webcore/webapp.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QResource>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Bundle {
    QStringList smallPaths;  // below the widget folder, with a leading "/"
    QString largePath;
    qint64 bytes = 0;
};

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray randomBytes(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char('a' + QRandomGenerator::global()->bounded(26));
    return data;
}

// Writes the assets and packs them into <dir>/bench.rcc, registered at the root.
bool makeBundle(const QString& dir, int smallFiles, int largeMiB, Bundle* bundle)
{
    QByteArray qrc = "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    auto add = [&](const QString& relative, const QByteArray& content) {
        bundle->bytes += content.size();
        qrc += "<file alias=\"widget" + relative.toUtf8() + "\">"
               + (dir + "/src" + relative).toUtf8() + "</file>\n";
        return writeFile(dir + "/src" + relative, content);
    };
    static const char* kinds[] = {"js", "css", "html", "json"};
    for (int i = 0; i < smallFiles; ++i) {
        const QString path
            = QStringLiteral("/assets/file%1.%2").arg(i).arg(QLatin1String(kinds[i % 4]));
        if (!add(path, randomBytes(1024 + QRandomGenerator::global()->bounded(3 * 1024))))
            return false;
        bundle->smallPaths.append(path);
    }
    bundle->largePath = QStringLiteral("/media/large.bin");
    // Incompressible content, so rcc stores it as it is, like media files.
    QByteArray large(largeMiB * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(large.data()),
                                          large.size() / int(sizeof(quint32)));
    if (!add(bundle->largePath, large))
        return false;
    qrc += "</qresource>\n</RCC>\n";
    if (!writeFile(dir + "/bench.qrc", qrc))
        return false;
    QProcess rcc;
    rcc.start(QStringLiteral(QUILLET_RCC),
              {"-binary", dir + "/bench.qrc", "-o", dir + "/bench.rcc"});
    if (!rcc.waitForFinished(120000) || rcc.exitCode() != 0)
        return false;
    return QResource::registerResource(dir + "/bench.rcc");
}

// Fetches every URL at once and waits for all of them; returns the seconds
// taken, or a negative value when a reply failed or came back short.
double fetchAll(QNetworkAccessManager& nam, const QList<QUrl>& urls, qint64 expectedBytes)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    int pending = urls.size();
    qint64 received = 0;
    bool failed = false;
    for (const QUrl& url : urls) {
        QNetworkReply* reply = nam.get(QNetworkRequest(url));
        QObject::connect(reply, &QNetworkReply::readyRead, reply,
                         [reply, &received] { received += reply->readAll().size(); });
        QObject::connect(reply, &QNetworkReply::finished, reply, [&, reply] {
            received += reply->readAll().size();
            failed = failed || reply->error() != QNetworkReply::NoError;
            reply->deleteLater();
            if (--pending == 0)
                loop.quit();
        });
    }
    if (pending > 0)
        loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return failed || received != expectedBytes ? -1.0 : seconds;
}

qint64 sizeOf(const QString& widgetPath)
{
    return QFile(QStringLiteral(":/widget") + widgetPath).size();
}

}  // namespace

int main(int argc, char* argv[])
{
    int rounds = 21, smallFiles = 200, largeMiB = 8;
    readBenchArguments(argc, argv,
                       "originbench [rounds (21)] [small files (200)] [large file MiB (8)]",
                       {&rounds, &smallFiles, &largeMiB});
    QCoreApplication app(argc, argv);

    QTemporaryDir dir;
    Bundle bundle;
    if (!dir.isValid() || !makeBundle(dir.path(), smallFiles, largeMiB, &bundle)) {
        std::fprintf(stderr, "originbench: could not build the asset bundle\n");
        return 1;
    }
    const QString origin = QStringLiteral("http://") + APPLICATION_HOST.toLower();
    QList<QUrl> smallOrigin, smallDirect;
    qint64 smallBytes = 0;
    for (const QString& path : bundle.smallPaths) {
        smallOrigin.append(QUrl(origin + path));
        smallDirect.append(QUrl(QStringLiteral("qrc:/widget") + path));
        smallBytes += sizeOf(path);
    }
    const QList<QUrl> largeOrigin{QUrl(origin + bundle.largePath)};
    const QList<QUrl> largeDirect{QUrl(QStringLiteral("qrc:/widget") + bundle.largePath)};
    const qint64 largeBytes = sizeOf(bundle.largePath);

    ZemNetworkAccessManager nam;
    // One warm-up round each way.
    fetchAll(nam, smallOrigin, smallBytes);
    fetchAll(nam, smallDirect, smallBytes);

    std::vector<double> so, sd, lo, ld;
    for (int round = 0; round < rounds; ++round) {
        const bool originFirst = round % 2 == 0;
        for (int pass = 0; pass < 2; ++pass) {
            const bool viaOrigin = (pass == 0) == originFirst;
            const double small = fetchAll(nam, viaOrigin ? smallOrigin : smallDirect, smallBytes);
            const double large = fetchAll(nam, viaOrigin ? largeOrigin : largeDirect, largeBytes);
            if (small < 0 || large < 0) {
                std::fprintf(stderr, "originbench: a fetch failed or came back short\n");
                return 1;
            }
            (viaOrigin ? so : sd).push_back(small);
            (viaOrigin ? lo : ld).push_back(large);
        }
    }
    std::vector<double> to, td;
    for (int i = 0; i < rounds; ++i) {
        to.push_back(so[i] + lo[i]);
        td.push_back(sd[i] + ld[i]);
    }

    std::printf(
        "origin benchmark: %d rounds, %d small files (%.1f KiB), one large file (%.1f MiB)\n",
        rounds, smallFiles, smallBytes / 1024.0, largeBytes / 1048576.0);
    std::printf("%-14s %12s %12s %8s\n", "set", "origin ms", "qrc: ms", "ratio");
    auto row = [](const char* name, const std::vector<double>& o, const std::vector<double>& d) {
        std::printf("%-14s %12.2f %12.2f %7.2fx\n", name, median(o) * 1e3, median(d) * 1e3,
                    median(o) / median(d));
    };
    row("small files", so, sd);
    row("large file", lo, ld);
    row("all assets", to, td);
    return 0;
}
