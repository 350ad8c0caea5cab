#ifndef QUILLET_TESTS_QUILLETINSTANCE_H
#define QUILLET_TESTS_QUILLETINSTANCE_H

#include "isolatedenvironment.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Where the program keeps its window settings (INI) and its web storage and
// cookies.ini in an isolated environment.
QString settingsFilePath(const IsolatedEnvironment& environment);
QString storageFolder(const IsolatedEnvironment& environment);
// Writes a file, making its folders; true when all of it was written.
bool writeFile(const QString& path, const QByteArray& content);
// The bundle the build made from app/.
QByteArray sampleBundle();
// The application's origin, "http://<application host>", and a start page
// for a bundle that moves onto it, to `path` there ("/index.html").
QByteArray applicationOrigin();
QByteArray startPageOnOrigin(const QByteArray& path);
// The executable under test, as QUILLET_TEST_PROGRAM names it (quillet, on
// QtWebKit, by default; quillet-webengine), and whether it is the Qt WebEngine one.
QString testedProgram();
bool testedOnWebEngine();

// A throw-away installation of the built program under test: its own install
// folder (executable, Widget.rcc, icon.ico) and its own isolated environment,
// so runs never touch the user's files or each other's. It is started from its
// home, not from the install folder, offscreen unless told otherwise.
class QuilletInstance {
public:
    QuilletInstance();
    ~QuilletInstance();

    // Bundle content: files added here are packed by buildBundle() with the
    // packaging command; "widget/a.js" appears as qrc:/widget/a.js.
    void addBundleFile(const QString& relativePath, const QByteArray& content);
    bool buildBundle();
    bool useSampleBundle();  // the bundle the build made from app/
    QString bundlePath() const { return installFolder() + "/Widget.rcc"; }  // none until made

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
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QByteArray output() { return m_output += m_process.readAll(); }  // stdout and stderr

    QString settingsFilePath() const { return ::settingsFilePath(m_home); }
    QString storageFolder() const { return ::storageFolder(m_home); }
    const IsolatedEnvironment& home() const { return m_home; }
    QProcessEnvironment environment() const { return m_environment; }
    QString programPath() const { return installFolder() + "/" + testedProgram(); }

private:
    QString root() const { return QString::fromStdString(m_home.root()); }
    QString installFolder() const { return root() + "/install"; }

    IsolatedEnvironment m_home{false};
    QProcess m_process;
    QProcessEnvironment m_environment;
    QByteArray m_output;
};

#endif
