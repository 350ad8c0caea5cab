#include "quilletinstance.h"

#include "webcore/webapp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

QString settingsFilePath(const IsolatedEnvironment& environment)
{
    return QString::fromStdString(environment.configFolder() / "brambleKiln/Quillet.ini");
}

QString storageFolder(const IsolatedEnvironment& environment)
{
    return QString::fromStdString(environment.dataFolder() / "brambleKiln/Quillet");
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray sampleBundle()
{
    QFile file(QStringLiteral(QUILLET_BUILD_ROOT "/Widget.rcc"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray applicationOrigin()
{
    return "http://" + APPLICATION_HOST.toLower().toUtf8();
}

QByteArray startPageOnOrigin(const QByteArray& path)
{
    return "<script>location.replace('" + applicationOrigin() + path + "');</script>";
}

QString testedProgram()
{
    return qEnvironmentVariable("QUILLET_TEST_PROGRAM", QStringLiteral("quillet"));
}

bool testedOnWebEngine()
{
    return testedProgram() == "quillet-webengine";
}

QuilletInstance::QuilletInstance()
{
    QDir(root()).mkpath("install");
    for (const QString& file : {testedProgram(), QStringLiteral("icon.ico")})
        QFile::copy(QStringLiteral(QUILLET_BUILD_ROOT "/") + file, installFolder() + "/" + file);

    m_environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : m_home.variables())
        m_environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    m_environment.insert("QT_QPA_PLATFORM", "offscreen");
    // Chromium's sandbox cannot run as root; for any other user it stays on.
    if (geteuid() == 0)
        m_environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setWorkingDirectory(QString::fromStdString(m_home.home()));
}

void QuilletInstance::addBundleFile(const QString& relativePath, const QByteArray& content)
{
    writeFile(root() + "/bundle/" + relativePath, content);
}

bool QuilletInstance::buildBundle()
{
    QProcess package;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLET_RCC", QUILLET_RCC);
    package.setProcessEnvironment(environment);
    package.start(QStringLiteral(QUILLET_PACKAGE),
                  {root() + "/bundle", installFolder(), installFolder() + "/icon.ico"});
    return package.waitForFinished(30000) && package.exitStatus() == QProcess::NormalExit
           && package.exitCode() == 0;
}

bool QuilletInstance::start(const QStringList& arguments)
{
    m_output.clear();
    m_process.setProcessEnvironment(m_environment);
    m_process.start(programPath(), arguments);
    return m_process.waitForStarted(10000);
}

bool QuilletInstance::waitForExit(int milliseconds)
{
    return QTest::qWaitFor([this] { return !isRunning(); }, milliseconds);
}
