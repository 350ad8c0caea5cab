#ifndef QUILLET_TESTS_QUILLETINSTANCE_H
#define QUILLET_TESTS_QUILLETINSTANCE_H

#include <QByteArray>
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

    // Bundle content: files added here are packed by buildBundle() with
    // `rcc -binary`; a relative path "widget/a.js" appears as qrc:/widget/a.js.
    void addBundleFile(const QString& relativePath, const QByteArray& content);
    bool buildBundle();
    bool useSampleBundle();  // the bundle the build made from app/
    void removeBundle();

    void setEnvironmentValue(const QString& name, const QString& value);

    bool start(const QStringList& arguments = {});
    // Waits while running the caller's event loop (servers in the test keep
    // answering). True when the process ended within the time.
    bool waitForExit(int milliseconds);
    void terminate();  // SIGTERM
    void kill();
    bool isRunning() const;
    qint64 processId() const;
    int exitCode() const;
    QProcess::ExitStatus exitStatus() const;
    QByteArray output();  // standard output and error so far

    QString homeFolder() const { return m_root.path() + "/home"; }
    // The INI file of the window settings.
    QString settingsFilePath() const { return homeFolder() + "/.config/brambleKiln/Quillet.ini"; }
    // WebKit storage and cookies.ini.
    QString storageFolder() const { return homeFolder() + "/.local/share/brambleKiln/Quillet"; }
    QString registryPath() const { return m_root.path() + "/registry.reg"; }  // QUILLET_REGISTRY
    QProcessEnvironment environment() const { return m_environment; }

private:
    QString installFolder() const { return m_root.path() + "/install"; }
    QString executablePath() const { return installFolder() + "/" + m_executableName; }

    QTemporaryDir m_root;
    QString m_executableName;
    QProcess m_process;
    QProcessEnvironment m_environment;
    QByteArray m_output;
};

#endif
