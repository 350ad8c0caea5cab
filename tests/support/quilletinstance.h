#ifndef QUILLET_TESTS_QUILLETINSTANCE_H
#define QUILLET_TESTS_QUILLETINSTANCE_H

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throw-away installation of a built Quillet executable: its own install
// folder (executable, Widget.rcc, icon.ico) and its own home, config, data
// and registry, so runs never touch the user's files or each other's.
// The program is started from a folder other than the install folder.
class QuilletInstance {
public:
    explicit QuilletInstance(const QString& executableName = QStringLiteral("quillet"));
    ~QuilletInstance();

    // Bundle content: files added here are packed by buildBundle() with the
    // packaging command; "widget/a.js" appears as qrc:/widget/a.js.
    void addBundleFile(const QString& relativePath, const QByteArray& content);
    bool buildBundle();
    bool useSampleBundle();  // the bundle the build made from app/
    void removeBundle() { QFile::remove(bundlePath()); }
    QString bundlePath() const { return installFolder() + "/Widget.rcc"; }

    void setEnvironmentValue(const QString& name, const QString& value)
    {
        m_environment.insert(name, value);
    }
    bool start(const QStringList& arguments = {});
    // Waits while running the caller's event loop (servers in the test keep
    // answering). True when the process ended within the time.
    bool waitForExit(int milliseconds);
    void terminate() { m_process.terminate(); }  // SIGTERM
    void kill() { m_process.kill(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 processId() const { return m_process.processId(); }
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QByteArray output() { return m_output += m_process.readAll(); }  // stdout and stderr

    QString homeFolder() const { return m_root.path() + "/home"; }
    // The INI file of the window settings.
    QString settingsFilePath() const { return homeFolder() + "/.config/brambleKiln/Quillet.ini"; }
    // WebKit storage and cookies.ini.
    QString storageFolder() const { return homeFolder() + "/.local/share/brambleKiln/Quillet"; }
    QString registryPath() const { return m_root.path() + "/registry.reg"; }  // QUILLET_REGISTRY
    QProcessEnvironment environment() const { return m_environment; }

private:
    QString installFolder() const { return m_root.path() + "/install"; }

    QTemporaryDir m_root;
    QString m_executableName;
    QProcess m_process;
    QProcessEnvironment m_environment;
    QByteArray m_output;
};

#endif
