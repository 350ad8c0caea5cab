// The bundle check on real rcc data: the sample bundle the build makes, and
// every variant of it with one bit of its header, names or tree flipped. A
// variant the check lets through is registered and every file in it is read.
// Qt reads the index without bounds checks: a variant that should have been
// refused crashes this test.
#include "webcore/resourcebundle.h"
#include "quilletinstance.h"

#include <QDirIterator>
#include <QFile>
#include <QResource>
#include <QTest>
#include <QtEndian>

class TestResourceBundle : public QObject {
    Q_OBJECT

    static int readEveryFile(const QString& root)
    {
        int files = 0;
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                files += file.readAll().isNull() ? 0 : 1;
        }
        return files;
    }

private slots:
    void everyFlippedIndexBitIsRefusedOrHarmless()
    {
        const QByteArray sample = sampleBundle();
        QVERIFY(!sample.isEmpty());
        const auto bytes = [](const QByteArray& data) {
            return reinterpret_cast<const uchar*>(data.constData());
        };
        QCOMPARE(ResourceBundle::checkData(bytes(sample), sample.size()), QString());
        QVERIFY(QResource::registerResource(bytes(sample), "/variant"));
        const int files = readEveryFile(":/variant");
        QVERIFY(QResource::unregisterResource(bytes(sample), "/variant"));
        QVERIFY(files > 3);

        // rcc writes the header, the file data, the names and last the tree.
        const int names = int(qFromBigEndian<quint32>(sample.constData() + 16));
        QVERIFY(names > 24 && names < sample.size());
        QList<int> offsets;
        for (int i = 0; i < sample.size(); ++i)
            if (i < 24 || i >= names)
                offsets << i;
        // Flipped bits make Qt warn about data it cannot uncompress.
        const QtMessageHandler previous
            = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        int refused = 0, read = 0;
        for (int offset : offsets) {
            for (int bit = 0; bit < 8; ++bit) {
                QByteArray variant = sample;
                variant[offset] = char(variant[offset] ^ (1 << bit));
                if (!ResourceBundle::checkData(bytes(variant), variant.size()).isEmpty()) {
                    ++refused;
                } else if (QResource::registerResource(bytes(variant), "/variant")) {
                    read += readEveryFile(":/variant");
                    QResource::unregisterResource(bytes(variant), "/variant");
                }
            }
        }
        qInstallMessageHandler(previous);
        qInfo("%d of %d variants refused; %d files read from the others", refused,
              int(offsets.size()) * 8, read);
        QVERIFY(refused > 0 && read > 0);
    }
};

QTEST_GUILESS_MAIN(TestResourceBundle)
#include "resourcebundletest.moc"
