// quillet-pkgtool: the parts of quillet-package that need Qt and the engine.
//
//   quillet-pkgtool check FOLDER [ENGINE] check a web folder before shipping, for
//                                         the engine named (webkit, webengine) or
//                                         the one its manifest names
//   quillet-pkgtool manifest FOLDER       the app's identity, one "member<TAB>value" a line
//   quillet-pkgtool icons FOLDER OUTPUT NAME
//                                         OUTPUT/<N>x<N>/apps/NAME.png at the hicolor sizes
#include "foldercheck.h"
#include "webcore/appidentity.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>

namespace {

void printWarnings(const QStringList& warnings)
{
    for (const QString& warning : warnings)
        std::fprintf(stderr, "quillet-package: warning: %s\n", qPrintable(warning));
}

int check(const QString& folder, std::optional<AppIdentity::Engine> engine)
{
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "quillet-package: no such folder: %s\n", qPrintable(folder));
        return 2;
    }
    FolderCheck check(folder, engine);
    const QStringList pages = check.pages();
    const bool webEngine = check.engine() == AppIdentity::Engine::WebEngine;
    std::printf("Checking %d page(s) of %s in QtWebKit%s\n", int(pages.size()), qPrintable(folder),
                webEngine ? "; the app runs on Qt WebEngine, so what only QtWebKit lacks is "
                            "left out"
                          : "");
    QList<FolderCheck::Finding> findings = check.run();
    std::stable_sort(findings.begin(), findings.end(),
                     [](const FolderCheck::Finding& a, const FolderCheck::Finding& b) {
                         return a.file != b.file ? a.file < b.file : a.line < b.line;
                     });
    int errors = 0;
    for (const FolderCheck::Finding& finding : findings) {
        QString where = finding.file;
        if (!where.isEmpty() && finding.line > 0)
            where += QLatin1Char(':') + QString::number(finding.line);
        std::printf("%s%s: %s\n",
                    qPrintable(where.isEmpty() ? where : where + QStringLiteral(": ")),
                    finding.error ? "error" : "warning", qPrintable(finding.text));
        errors += finding.error ? 1 : 0;
    }
    const int warnings = int(findings.size()) - errors;
    std::printf("%d error(s), %d warning(s)\n", errors, warnings);
    if (check.leftOut())
        std::printf("Left out %d finding(s) that only QtWebKit has: the app runs on Qt WebEngine\n",
                    check.leftOut());
    const QStringList advice = FolderCheck::advice(findings);
    if (!advice.isEmpty())
        std::printf("\nWhat to do:\n");
    for (const QString& paragraph : advice)
        std::printf("  - %s\n", qPrintable(paragraph));
    return errors ? 1 : 0;
}

int manifest(const QString& folder)
{
    QStringList warnings;
    const AppIdentity app = AppIdentity::fromFolder(folder, &warnings);
    printWarnings(warnings);
    const QString display
        = app.display() == AppIdentity::Display::Fullscreen ? "fullscreen" : "standalone";
    const QList<QPair<const char*, QString>> members = {
        {"manifest", app.hasManifest() ? "yes" : "no"},
        {"name", app.name()},
        {"short_name", app.shortName()},
        {"description", app.description()},
        {"version", app.version()},
        {"key", app.key()},
        {"command", app.hasManifest() ? app.commandName() : QStringLiteral("quillet")},
        {"display", display},
        {"background_color", app.backgroundColor().isValid() ? app.backgroundColor().name() : ""},
        {"engine", AppIdentity::engineName(app.engine())}};
    for (const auto& member : members) {
        QString value = member.second;
        value.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        std::printf("%s\t%s\n", member.first, qPrintable(value));
    }
    return 0;
}

// The smallest source at least as large as the size, else the largest one.
QImage sourceFor(const QList<QImage>& images, int size)
{
    QImage best;
    for (const QImage& image : images) {
        const int side = qMin(image.width(), image.height());
        const int bestSide = best.isNull() ? 0 : qMin(best.width(), best.height());
        if (best.isNull() || (side >= size && (bestSide < size || side < bestSide))
            || (bestSide < size && side > bestSide))
            best = image;
    }
    return best;
}

int icons(const QString& folder, const QString& output, const QString& name)
{
    QStringList warnings;
    const AppIdentity app = AppIdentity::fromFolder(folder, &warnings);
    QList<QImage> images;
    for (const AppIdentity::Icon& icon : app.icons()) {
        const QImage image(QDir(folder).filePath(icon.path));
        if (image.isNull())
            warnings << QStringLiteral("icon %1 cannot be read as an image").arg(icon.path);
        else
            images << image;
    }
    if (images.isEmpty() && QFileInfo::exists(QDir(folder).filePath("icon.ico")))
        images << QImage(QDir(folder).filePath("icon.ico"));
    printWarnings(warnings);
    if (images.isEmpty() || images.first().isNull())
        return 0;
    int largest = 0;
    for (const QImage& image : images)
        largest = qMax(largest, qMin(image.width(), image.height()));
    // Every usual size up to 256; 512 only from a source that large.
    for (int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        if (size == 512 && largest < 512)
            continue;
        const QImage scaled
            = sourceFor(images, size)
                  .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage square(size, size, QImage::Format_ARGB32);
        square.fill(Qt::transparent);
        QPainter(&square).drawImage((size - scaled.width()) / 2, (size - scaled.height()) / 2,
                                    scaled);
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(output).arg(size);
        QDir().mkpath(dir);
        if (!square.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) {
            std::fprintf(stderr, "quillet-package: cannot write icons to %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    // The check runs off screen unless told otherwise; nothing is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString command = args.value(0);
    if (command == QLatin1String("check") && (args.size() == 2 || args.size() == 3)) {
        const std::optional<AppIdentity::Engine> engine = AppIdentity::engineNamed(args.value(2));
        if (args.size() == 2 || engine)
            return check(args[1], engine);
    }
    if (command == QLatin1String("manifest") && args.size() == 2)
        return manifest(args[1]);
    if (command == QLatin1String("icons") && args.size() == 4)
        return icons(args[1], args[2], args[3]);
    std::fprintf(stderr,
                 "usage: quillet-pkgtool check FOLDER [webkit|webengine] | manifest FOLDER | "
                 "icons FOLDER OUTPUT NAME\n");
    return 2;
}
