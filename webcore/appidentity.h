#ifndef QUILLET_WEBCORE_APPIDENTITY_H
#define QUILLET_WEBCORE_APPIDENTITY_H

#include "webcore/webapp.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QIcon;
class QJsonValue;
class QObject;
class QSettings;

// Who the packaged app is: its name, icon, display mode, colours and the
// folders of its settings, cookies and web storage. Without a manifest it is
// the build's constants and today's folders; a W3C web app manifest in the
// web folder makes it an app of its own with folders of its own.
//
// The manifest is the first of manifest.webmanifest, manifest.json,
// widget/manifest.webmanifest and widget/manifest.json in the web folder.
// Members read: name, short_name, id, icons (PNG), display, background_color,
// description, and two members of our own: "version" and "engine" ("webkit",
// the default, or "webengine"). A manifest that cannot be read, or names no
// app, is ignored with a warning.
class AppIdentity {
public:
    enum class Display { Standalone, Fullscreen };
    // The web engine the app is made for: QtWebKit, the light default, or
    // Qt WebEngine for apps that need the modern web.
    enum class Engine { WebKit, WebEngine };
    struct Icon {
        QString path;  // inside the web folder, e.g. "widget/icons/app-192.png"
        int size = 0;  // the larger side given in "sizes"; 0 for "any" or none
    };

    // The build's identity: no manifest.
    AppIdentity() = default;

    // Reads the manifest of a web folder, given as a directory path or as a
    // resource root (":/"). Files named in the manifest are looked up there.
    // Each problem found is appended to warnings.
    static AppIdentity fromFolder(const QString& folder, QStringList* warnings = nullptr);
    // The same for a resource bundle file, registered only while it is read.
    static AppIdentity fromBundle(const QString& bundleFile, QStringList* warnings = nullptr);

    // The process-wide identity that the window, views and cookie jar read.
    static const AppIdentity& current();
    static void setCurrent(const AppIdentity& identity);

    bool hasManifest() const { return !m_key.isEmpty(); }
    QString name() const { return m_name; }    // settings and desktop entry name
    QString title() const { return m_title; }  // window captions
    QString shortName() const { return m_shortName; }
    QString description() const { return m_description; }
    QString version() const { return m_version; }  // empty when not given
    Display display() const { return m_display; }
    QColor backgroundColor() const { return m_backgroundColor; }  // invalid: none
    QList<Icon> icons() const { return m_icons; }
    Engine engine() const { return m_engine; }
    // Names the data folders and the instance: from "id", else "name", in
    // lower case with only letters, digits, "-", "+" and "."; empty without
    // a manifest.
    QString key() const { return m_key; }
    // The name as a command and package name, by the same rule as key().
    QString commandName() const;

    // A web folder run unpacked (quillet --web-folder); empty for the bundle.
    QString webFolder() const { return m_webFolder; }
    void setWebFolder(const QString& folder) { m_webFolder = folder; }
    // Where a bundle file ("/widget/a.js") is read: the registered resource
    // bundle, or the web folder.
    QString bundleFilePath(const QString& path) const;

    // Web storage, databases and the cookie file.
    QString storagePath() const;
    // The window settings (the caller owns the object).
    QSettings* createSettings(QObject* parent = nullptr) const;
    // The local socket that makes a second start of this app raise the first.
    QString instanceName() const;
    // The manifest's icons from the web folder, else icon.ico beside the
    // executable. Needs a GUI application.
    QIcon windowIcon() const;

    // An engine's name in the manifest and on quillet-package's command line
    // ("webkit", "webengine"), and the program that runs it ("quillet",
    // "quillet-webengine").
    static QString engineName(Engine engine);
    static std::optional<Engine> engineNamed(const QString& name);
    static QString engineProgram(Engine engine);

    // The manifest key rule: lower case, letters, digits, "-", "+" and ".".
    static QString keyFrom(const QString& text);

private:
    bool read(const QByteArray& json, const QString& manifestPath, const QString& folder,
              QStringList* warnings);
    void readIcons(const QJsonValue& value, const QString& manifestPath, const QString& folder,
                   QStringList* warnings);

    QString m_name = APPLICATION_NAME;
    QString m_title = APPLICATION_TITLE;
    QString m_shortName;
    QString m_description;
    QString m_version;
    QString m_key;
    Display m_display = Display::Standalone;
    Engine m_engine = Engine::WebKit;
    QColor m_backgroundColor;
    QList<Icon> m_icons;
    QString m_webFolder;
};

#endif
