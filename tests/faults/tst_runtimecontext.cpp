// The guarded start-up step of a store build, driven in-process: the message
// box of each failure branch is dismissed by a timer, and the runtime context
// is created against the real local dispatcher service.

#include "diagnostics/veskexception.h"
#include "faultharness.h"
#include "platform/registry.h"
#include "shell/application.h"
#include "shell/constants.h"
#include "shell/runtimecontextstartup.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

using com::corvane::vesk::Application;

namespace {

QStringList s_debugLines;

void recordDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg)
        s_debugLines << text;
}

}  // namespace

class RuntimeContextTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void initializationFailureShowsTheBoxAndCreatesNothing();
    void runtimeFailureShowsTheCriticalErrorMessage();
    void otherExceptionsAreNotCaught();
    void withTheServiceTheContextIsLiveAndThereIsOnlyOne();

private:
    // Runs the start-up step; returns the text of the box it showed, if any.
    QString startAndDismiss(std::unique_ptr<Application>& context,
                            const RuntimeContextStartup::Factory& create = {});
    void useRegistryPort(int port);

    FaultHome m_home;
};

void RuntimeContextTest::initTestCase()
{
    m_home.useInThisProcess();
    useRegistryPort(0);
}

void RuntimeContextTest::useRegistryPort(int port)
{
    m_home.setDispatcherPort(port);
    platform::Registry::instance().reload();
}

QString RuntimeContextTest::startAndDismiss(std::unique_ptr<Application>& context,
                                            const RuntimeContextStartup::Factory& create)
{
    QString shownText;
    QTimer dismisser;
    connect(&dismisser, &QTimer::timeout, [&shownText] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shownText = box->text();
            box->close();
        }
    });
    dismisser.start(20);
    s_debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordDebug);
    QMessageBox messageBox;
    context = create ? RuntimeContextStartup::start(messageBox, create)
                     : RuntimeContextStartup::start(messageBox);
    qInstallMessageHandler(previous);
    return shownText;
}

void RuntimeContextTest::initializationFailureShowsTheBoxAndCreatesNothing()
{
    useRegistryPort(0);  // no service to find
    std::unique_ptr<Application> context;
    const QString shown = startAndDismiss(context);
    QVERIFY(!context);
    QVERIFY(!Application::isLive());
    QCOMPARE(shown, QString::fromLatin1(RuntimeContextStartup::InitializationFailedMessage));
    QCOMPARE(s_debugLines.size(), 1);
    QVERIFY2(QRegularExpression("^Caught Initialization exception in application with Exception "
                                "code: -?\\d+\n$")
                 .match(s_debugLines[0])
                 .hasMatch(),
             qPrintable(s_debugLines[0]));
}

void RuntimeContextTest::runtimeFailureShowsTheCriticalErrorMessage()
{
    std::unique_ptr<Application> context;
    const QString shown = startAndDismiss(context, []() -> std::unique_ptr<Application> {
        throw com::corvane::vesk::VeskRuntimeException("The store link failed", 5);
    });
    QVERIFY(!context);
    QCOMPARE(shown, CRITICAL_ERROR_MESSAGE);
    QCOMPARE(s_debugLines, QStringList{"Caught Runtime exception in application with Exception code: 5\n"});
}

void RuntimeContextTest::otherExceptionsAreNotCaught()
{
    std::unique_ptr<Application> context;
    QVERIFY_EXCEPTION_THROWN(startAndDismiss(context,
                                             []() -> std::unique_ptr<Application> {
                                                 throw std::runtime_error("not the SDK's");
                                             }),
                             std::runtime_error);
}

void RuntimeContextTest::withTheServiceTheContextIsLiveAndThereIsOnlyOne()
{
    LocalDispatcher dispatcher(m_home.root());
    QVERIFY(dispatcher.port() > 0);
    useRegistryPort(dispatcher.port());
    std::unique_ptr<Application> context;
    const QString shown = startAndDismiss(context);
    QVERIFY2(context, qPrintable(s_debugLines.join("")));
    QVERIFY(shown.isEmpty());
    QVERIFY(Application::isLive());

    try {
        Application second;
        QFAIL("a second runtime context was created");
    } catch (const com::corvane::vesk::InitializationException& e) {
        QCOMPARE(e.code(), 0);
        QCOMPARE(QString::fromStdString(e.message()),
                 QString("Only one instance of an Vesk application can be instantiated"));
    }
    QVERIFY(Application::isLive());  // the first one is untouched
    QVERIFY_EXCEPTION_THROWN(context->endEvent(), com::corvane::vesk::VeskWarningException);

    context.reset();
    QVERIFY(!Application::isLive());
    const std::string log = readFile(m_home.logFile("tst_runtimecontext"));
    const auto created = log.find("-INFO- Vesk application created successfully!");
    const auto refused = log.find("-ERROR- Only one instance of an Vesk application can be "
                                  "instantiated (Code: 0)");
    const auto destroyed = log.find("-INFO- Vesk application destroyed!");
    QVERIFY2(created != std::string::npos && refused != std::string::npos
                 && destroyed != std::string::npos,
             log.c_str());
    QVERIFY(created < refused && refused < destroyed);
}

QTEST_MAIN(RuntimeContextTest)
#include "tst_runtimecontext.moc"
