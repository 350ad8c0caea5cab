#include "quilletinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

QuilletInstance::QuilletInstance(const QString& executableName)
    : m_executableName(executableName)
{
    QDir root(m_root.path());
    for (const char* folder : {"install", "home/.config", "home/.local/share", "bundle", "run"})
        root.mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(m_root.path() + "/run", QFile::ReadOwner | QFile::WriteOwner
                                                      | QFile::ExeOwner);
    QFile::copy(QStringLiteral(QUILLET_BUILD_ROOT "/") + executableName,
                installFolder() + "/" + executableName);
    QFile::copy(QStringLiteral(QUILLET_BUILD_ROOT "/icon.ico"), installFolder() + "/icon.ico");

    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert("HOME", homeFolder());
    m_environment.insert("XDG_CONFIG_HOME", homeFolder() + "/.config");
    m_environment.insert("XDG_DATA_HOME", homeFolder() + "/.local/share");
    m_environment.insert("XDG_RUNTIME_DIR", m_root.path() + "/run");
    m_environment.insert("QUILLET_REGISTRY", registryPath());
    // Tests that need a real display (QUILLET_TEST_DISPLAY) keep their own platform.
    if (!m_environment.contains("QUILLET_TEST_DISPLAY"))
        m_environment.insert("QT_QPA_PLATFORM", "offscreen");
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setWorkingDirectory(homeFolder());
}

QuilletInstance::~QuilletInstance()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void QuilletInstance::addBundleFile(const QString& relativePath, const QByteArray& content)
{
    const QString path = m_root.path() + "/bundle/" + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

bool QuilletInstance::buildBundle()
{
    QProcess package;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLET_RCC", QUILLET_RCC);
    package.setProcessEnvironment(environment);
    package.start(QStringLiteral(QUILLET_PACKAGE),
                  {m_root.path() + "/bundle", installFolder(), installFolder() + "/icon.ico"});
    return package.waitForFinished(30000) && package.exitStatus() == QProcess::NormalExit
        && package.exitCode() == 0;
}

bool QuilletInstance::useSampleBundle()
{
    removeBundle();
    return QFile::copy(QStringLiteral(QUILLET_BUILD_ROOT "/Widget.rcc"),
                       installFolder() + "/Widget.rcc");
}

bool QuilletInstance::start(const QStringList& arguments)
{
    m_output.clear();
    m_process.setProcessEnvironment(m_environment);
    m_process.start(installFolder() + "/" + m_executableName, arguments);
    return m_process.waitForStarted(10000);
}

bool QuilletInstance::waitForExit(int milliseconds)
{
    return QTest::qWaitFor([this] { return !isRunning(); }, milliseconds);
}
