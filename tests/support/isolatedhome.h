#ifndef QUILLET_TESTS_ISOLATEDHOME_H
#define QUILLET_TESTS_ISOLATEDHOME_H

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

// Points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and QUILLET_REGISTRY of the
// test process at a fresh temporary folder. Create it before the first
// QSettings or QStandardPaths use (QSettings caches its folders).
class IsolatedHome {
public:
    IsolatedHome()
    {
        QDir root(m_root.path());
        root.mkpath("home/.config");
        root.mkpath("home/.local/share");
        qputenv("HOME", home().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home() + "/.config").toUtf8());
        qputenv("XDG_DATA_HOME", (home() + "/.local/share").toUtf8());
        qputenv("QUILLET_REGISTRY", (m_root.path() + "/registry.reg").toUtf8());
    }

    QString home() const { return m_root.path() + "/home"; }
    QString settingsFilePath() const { return home() + "/.config/brambleKiln/Quillet.ini"; }
    QString storageFolder() const { return home() + "/.local/share/brambleKiln/Quillet"; }
    QString registryPath() const { return m_root.path() + "/registry.reg"; }

private:
    QTemporaryDir m_root;
};

#endif
