#ifndef QUILLET_TESTS_QUILLETINSTANCE_H
#define QUILLET_TESTS_QUILLETINSTANCE_H

#include "isolatedenvironment.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Where the program keeps its settings (INI) and its web storage and cookies.ini.
QString settingsFilePath(const IsolatedEnvironment& environment);
QString storageFolder(const IsolatedEnvironment& environment);
// Writes a file, making its folders; true when all of it was written.
bool writeFile(const QString& path, const QByteArray& content);
// The bundle the build made from app/.
QByteArray sampleBundle();
// "http://<application host>", and a start page that moves to `path` there.
QByteArray applicationOrigin();
QByteArray startPageOnOrigin(const QByteArray& path);
// The executable under test, QUILLET_TEST_PROGRAM or "quillet" (QtWebKit).
QString testedProgram();
bool testedOnWebEngine();

// A throw-away installation of the program under test with an isolated
// environment of its own; it starts from its home, offscreen unless told otherwise.
class QuilletInstance {
public:
    QuilletInstance();  // a program still running at the end is killed

    // Files packed by buildBundle() ("widget/a.js" is qrc:/widget/a.js).
    void addBundleFile(const QString& relativePath, const QByteArray& content);
    bool buildBundle();
    QString bundlePath() const { return installFolder() + "/Widget.rcc"; }

    void setEnvironmentValue(const QString& name, const QString& value)
    {
        m_environment.insert(name, value);
    }
    bool start(const QStringList& arguments = {});
    // Runs the caller's event loop meanwhile, so the test's servers answer.
    bool waitForExit(int milliseconds);
    void terminate() { m_process.terminate(); }  // SIGTERM
    void kill() { m_process.kill(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QByteArray output() { return m_output += m_process.readAll(); }  // stdout and stderr

    QString settingsFilePath() const { return ::settingsFilePath(m_home); }
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
