#include "appidentity.h"

#include "resourcebundle.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QIconEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace {

const char* const kManifestNames[] = {"manifest.webmanifest", "manifest.json",
                                      "widget/manifest.webmanifest", "widget/manifest.json"};
// Where a bundle file's manifest is read; the bundle is registered there only
// while it is read, so the app's own registration at the root is untouched.
const QString kReadingRoot = QStringLiteral("/quillet-identity");

AppIdentity& currentIdentity()
{
    static AppIdentity identity;
    return identity;
}

// A text member; absent is empty, any other type is a warning.
QString textMember(const QJsonObject& manifest, const char* member, const QString& source,
                   QStringList* warnings)
{
    const QJsonValue value = manifest.value(QLatin1String(member));
    if (value.isString())
        return value.toString().trimmed();
    if (!value.isUndefined() && warnings)
        warnings->append(
            QStringLiteral("%1: \"%2\" is not text; ignored").arg(source, QLatin1String(member)));
    return QString();
}

// The larger side of the largest entry of an icon's "sizes" ("48x48 96x96");
// 0 for "any" or nothing readable.
int largestSize(const QString& sizes)
{
    int largest = 0;
    for (const QString& entry : sizes.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList sides = entry.toLower().split(QLatin1Char('x'));
        if (sides.size() == 2)
            largest = qMax(largest, qMax(sides[0].toInt(), sides[1].toInt()));
    }
    return largest;
}

// The manifest's icons, read only when a size or picture is first asked for:
// the window has its icon at once, and a start-up on a platform that never
// draws it (offscreen) reads no image at all.
class ManifestIconEngine : public QIconEngine {
public:
    explicit ManifestIconEngine(const QStringList& files)
        : m_files(files)
    {
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) const override
    {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new ManifestIconEngine(m_files); }

private:
    const QIcon& icon() const
    {
        if (m_icon.isNull())
            for (const QString& file : m_files)
                m_icon.addFile(file);
        return m_icon;
    }

    QStringList m_files;
    mutable QIcon m_icon;
};

}  // namespace

AppIdentity AppIdentity::fromFolder(const QString& folder, QStringList* warnings)
{
    const QString root = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    for (const char* name : kManifestNames) {
        const QString manifestPath = QLatin1String(name);
        QFile file(root + manifestPath);
        if (!file.exists())
            continue;
        AppIdentity identity;
        if (!file.open(QIODevice::ReadOnly)) {
            if (warnings)
                warnings->append(QStringLiteral("%1 cannot be read (%2); it is ignored")
                                     .arg(manifestPath, file.errorString()));
            return identity;
        }
        if (!identity.read(file.readAll(), manifestPath, root, warnings))
            return AppIdentity();
        return identity;
    }
    return AppIdentity();
}

// A missing or damaged bundle gives no identity; the main window says what is
// wrong with it.
AppIdentity AppIdentity::fromBundle(const QString& bundleFile, QStringList* warnings)
{
    ResourceBundle bundle(bundleFile, kReadingRoot);
    if (!bundle.load())
        return AppIdentity();
    return fromFolder(QLatin1Char(':') + kReadingRoot, warnings);
}

const AppIdentity& AppIdentity::current()
{
    return currentIdentity();
}

void AppIdentity::setCurrent(const AppIdentity& identity)
{
    currentIdentity() = identity;
}

bool AppIdentity::read(const QByteArray& json, const QString& manifestPath, const QString& folder,
                       QStringList* warnings)
{
    const QString ignored = QStringLiteral("%1 is ignored: %2; the app runs as %3")
                                .arg(manifestPath, QStringLiteral("%1"), APPLICATION_NAME);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        if (warnings) {
            const QString why = error.error != QJsonParseError::NoError
                                    ? QStringLiteral("not valid JSON (%1 at byte %2)")
                                          .arg(error.errorString())
                                          .arg(error.offset)
                                    : QStringLiteral("not a JSON object");
            warnings->append(ignored.arg(why));
        }
        return false;
    }
    const QJsonObject manifest = document.object();
    const QString name = textMember(manifest, "name", manifestPath, warnings);
    const QString shortName = textMember(manifest, "short_name", manifestPath, warnings);
    if (name.isEmpty() && shortName.isEmpty()) {
        if (warnings)
            warnings->append(ignored.arg(QStringLiteral("it has no \"name\" or \"short_name\"")));
        return false;
    }
    m_name = name.isEmpty() ? shortName : name;
    m_title = m_name;
    m_shortName = shortName.isEmpty() ? m_name : shortName;
    m_description = textMember(manifest, "description", manifestPath, warnings);
    m_version = textMember(manifest, "version", manifestPath, warnings);

    m_key = keyFrom(textMember(manifest, "id", manifestPath, warnings));
    if (m_key.isEmpty())
        m_key = keyFrom(m_name);
    if (m_key.isEmpty())  // a name without Latin letters or digits
        m_key = QStringLiteral("app-")
                + QString::fromLatin1(
                    QCryptographicHash::hash(m_name.toUtf8(), QCryptographicHash::Sha1)
                        .toHex()
                        .left(8));

    const QString display = textMember(manifest, "display", manifestPath, warnings);
    if (display == QLatin1String("fullscreen"))
        m_display = Display::Fullscreen;
    else if (!display.isEmpty() && display != QLatin1String("standalone")
             && display != QLatin1String("minimal-ui") && display != QLatin1String("browser")
             && warnings)
        warnings->append(
            QStringLiteral("%1: \"display\" \"%2\" is unknown; the window is standalone")
                .arg(manifestPath, display));

    const QString background = textMember(manifest, "background_color", manifestPath, warnings);
    if (QColor::isValidColor(background))
        m_backgroundColor = QColor(background);
    else if (!background.isEmpty() && warnings)
        warnings->append(QStringLiteral("%1: \"background_color\" \"%2\" is not a colour; ignored")
                             .arg(manifestPath, background));

    const QString engine = textMember(manifest, "engine", manifestPath, warnings);
    if (const std::optional<Engine> named = engineNamed(engine))
        m_engine = *named;
    else if (!engine.isEmpty() && warnings)
        warnings->append(QStringLiteral("%1: \"engine\" \"%2\" is unknown (webkit or webengine); "
                                        "the app runs on QtWebKit")
                             .arg(manifestPath, engine));

    readIcons(manifest.value(QLatin1String("icons")), manifestPath, folder, warnings);
    return true;
}

// Icon sources are URLs relative to the manifest, as on the web: a manifest
// in widget/ sees the virtual origin, one at the root sees the bundle root.
void AppIdentity::readIcons(const QJsonValue& value, const QString& manifestPath,
                            const QString& folder, QStringList* warnings)
{
    if (value.isUndefined())
        return;
    auto warn = [&](const QString& text) {
        if (warnings)
            warnings->append(manifestPath + QStringLiteral(": ") + text);
    };
    if (!value.isArray()) {
        warn(QStringLiteral("\"icons\" is not a list; ignored"));
        return;
    }
    const bool served = manifestPath.startsWith(QLatin1String("widget/"));
    const QString host = APPLICATION_HOST.toLower();
    const QUrl base
        = served ? QUrl(QStringLiteral("http://") + host + QLatin1Char('/') + manifestPath.mid(7))
                 : QUrl(QStringLiteral("qrc:/") + manifestPath);
    for (const QJsonValue& entry : value.toArray()) {
        const QJsonObject icon = entry.toObject();
        const QString src = icon.value(QLatin1String("src")).toString();
        if (src.isEmpty()) {
            warn(QStringLiteral("an icon without \"src\" is ignored"));
            continue;
        }
        const QUrl url = base.resolved(QUrl(src));
        QString path;
        if (url.scheme() == QLatin1String("qrc"))
            path = url.path().mid(1);
        else if (url.scheme() == QLatin1String("http") && url.host() == host)
            path = QStringLiteral("widget") + url.path();
        else {
            warn(QStringLiteral("icon %1 is not in the web folder; ignored").arg(src));
            continue;
        }
        const QString type = icon.value(QLatin1String("type")).toString();
        if (!(type == QLatin1String("image/png")
              || (type.isEmpty() && path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)))) {
            warn(QStringLiteral("icon %1 is not a PNG image; only PNG icons are used").arg(src));
            continue;
        }
        if (!QFile::exists(folder + path)) {
            warn(QStringLiteral("icon %1 is missing (%2 is not in the web folder)").arg(src, path));
            continue;
        }
        m_icons.append({path, largestSize(icon.value(QLatin1String("sizes")).toString())});
    }
}

QString AppIdentity::engineName(Engine engine)
{
    return engine == Engine::WebEngine ? QStringLiteral("webengine") : QStringLiteral("webkit");
}

std::optional<AppIdentity::Engine> AppIdentity::engineNamed(const QString& name)
{
    for (const Engine engine : {Engine::WebKit, Engine::WebEngine})
        if (name == engineName(engine))
            return engine;
    return std::nullopt;
}

QString AppIdentity::engineProgram(Engine engine)
{
    return engine == Engine::WebEngine ? QStringLiteral("quillet-webengine")
                                       : QStringLiteral("quillet");
}

QString AppIdentity::commandName() const
{
    const QString command = keyFrom(m_name);
    return command.isEmpty() ? m_key : command;
}

QString AppIdentity::bundleFilePath(const QString& path) const
{
    return m_webFolder.isEmpty() ? QLatin1Char(':') + path : m_webFolder + path;
}

QString AppIdentity::storagePath() const
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (hasManifest())
        return data + QDir::separator() + m_key;
    return data + QDir::separator() + ORGANIZATION_NAME + QDir::separator() + APPLICATION_NAME;
}

QSettings* AppIdentity::createSettings(QObject* parent) const
{
    if (!hasManifest())
        return new QSettings(QSettings::IniFormat, QSettings::UserScope, ORGANIZATION_NAME,
                             APPLICATION_NAME, parent);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return new QSettings(config + QLatin1Char('/') + m_key + QStringLiteral("/settings.ini"),
                         QSettings::IniFormat, parent);
}

QString AppIdentity::instanceName() const
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QString app
        = hasManifest() ? m_key : ORGANIZATION_NAME + QLatin1Char('.') + APPLICATION_NAME;
    return runtime + QStringLiteral("/quillet-") + app;
}

QIcon AppIdentity::windowIcon() const
{
    if (m_icons.isEmpty())
        return QIcon(QStringLiteral("icon.ico"));
    QStringList files;
    for (const Icon& entry : m_icons)
        files << bundleFilePath(QLatin1Char('/') + entry.path);
    return QIcon(new ManifestIconEngine(files));
}

QString AppIdentity::keyFrom(const QString& text)
{
    QString key;
    for (const QChar c : text.toLower()) {
        const bool kept = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                          || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                          || c == QLatin1Char('+') || c == QLatin1Char('.');
        if (kept)
            key += c;
        else if (!key.isEmpty() && !key.endsWith(QLatin1Char('-')))
            key += QLatin1Char('-');
    }
    // Starts with a letter or digit (a dot would hide the folder), ends
    // with neither "-" nor ".", and never climbs out of a folder.
    while (!key.isEmpty() && !key.at(0).isLetterOrNumber())
        key.remove(0, 1);
    while (key.contains(QLatin1String("..")))
        key.replace(QLatin1String(".."), QLatin1String("."));
    key.truncate(64);
    while (key.endsWith(QLatin1Char('-')) || key.endsWith(QLatin1Char('.')))
        key.chop(1);
    return key.size() >= 2 ? key : QString();
}
