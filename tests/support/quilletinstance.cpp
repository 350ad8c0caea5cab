#include "quilletinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

}  // namespace

QuilletInstance::QuilletInstance(const QString& executableName)
    : m_executableName(executableName)
{
    QDir root(m_root.path());
    for (const char* folder : {"install", "home/.config", "home/.local/share", "bundle", "run"})
        root.mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(m_root.path() + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                      | QFileDevice::ExeOwner);
    QFile::copy(QStringLiteral(QUILLET_BUILD_ROOT "/") + executableName, executablePath());
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
    writeFile(m_root.path() + "/bundle/" + relativePath, content);
}

bool QuilletInstance::buildBundle()
{
    const QString source = m_root.path() + "/bundle";
    QByteArray qrc = "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString alias = QDir(source).relativeFilePath(path);
        qrc += "<file alias=\"" + alias.toUtf8() + "\">" + path.toUtf8() + "</file>\n";
    }
    qrc += "</qresource>\n</RCC>\n";
    const QString qrcPath = m_root.path() + "/bundle.qrc";
    if (!writeFile(qrcPath, qrc))
        return false;
    QProcess rcc;
    rcc.start(QStringLiteral(QUILLET_RCC),
              {"-binary", qrcPath, "-o", installFolder() + "/Widget.rcc"});
    return rcc.waitForFinished(30000) && rcc.exitStatus() == QProcess::NormalExit
        && rcc.exitCode() == 0;
}

bool QuilletInstance::useSampleBundle()
{
    QFile::remove(installFolder() + "/Widget.rcc");
    return QFile::copy(QStringLiteral(QUILLET_BUILD_ROOT "/Widget.rcc"), installFolder() + "/Widget.rcc");
}

void QuilletInstance::removeBundle()
{
    QFile::remove(installFolder() + "/Widget.rcc");
}

void QuilletInstance::setEnvironmentValue(const QString& name, const QString& value)
{
    m_environment.insert(name, value);
}

bool QuilletInstance::start(const QStringList& arguments)
{
    m_output.clear();
    m_process.setProcessEnvironment(m_environment);
    m_process.start(executablePath(), arguments);
    return m_process.waitForStarted(10000);
}

bool QuilletInstance::waitForExit(int milliseconds)
{
    if (!isRunning())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    loop.exec();
    return !isRunning();
}

void QuilletInstance::terminate()
{
    m_process.terminate();
}

void QuilletInstance::kill()
{
    m_process.kill();
}

bool QuilletInstance::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

qint64 QuilletInstance::processId() const
{
    return m_process.processId();
}

int QuilletInstance::exitCode() const
{
    return m_process.exitCode();
}

QProcess::ExitStatus QuilletInstance::exitStatus() const
{
    return m_process.exitStatus();
}

QByteArray QuilletInstance::output()
{
    m_output += m_process.readAll();
    return m_output;
}

