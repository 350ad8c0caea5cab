// The guarded start-up step of a store build: each failure of the runtime
// context is written to the debug output and shown in the modal message box;
// the step then gives no context, so the program ends without a window.
#include "diagnostics/veskexception.h"
#include "isolatedenvironment.h"
#include "modalanswerer.h"
#include "shell/application.h"
#include "shell/constants.h"
#include "shell/runtimecontextstartup.h"

#include <QMessageBox>
#include <QTest>

#include <stdexcept>

using namespace com::corvane::vesk;

class TestRuntimeContextStartup : public QObject {
    Q_OBJECT
    IsolatedEnvironment m_home;  // the exceptions write to the log

private slots:
    void failureIsShownAndGivesNoContext_data()
    {
        QTest::addColumn<bool>("initialization");
        QTest::addColumn<QString>("debugLine");
        QTest::addColumn<QString>("boxText");
        QTest::newRow("no store service")
            << true << "Caught Initialization exception in application with Exception code: 2\n"
            << QString::fromLatin1(RuntimeContextStartup::InitializationFailedMessage);
        QTest::newRow("runtime failure")
            << false << "Caught Runtime exception in application with Exception code: -1\n"
            << CRITICAL_ERROR_MESSAGE;
    }
    void failureIsShownAndGivesNoContext()
    {
        QFETCH(bool, initialization);
        QFETCH(QString, debugLine);
        QFETCH(QString, boxText);
        QMessageBox box;
        QString shownText;
        const ModalAnswerer answerer([&](QWidget* modal) {
            if (modal == &box)
                shownText = box.text();
            box.done(0);
        });
        QTest::ignoreMessage(QtDebugMsg, qPrintable(debugLine));
        const auto context = RuntimeContextStartup::start(box, [&]() -> std::unique_ptr<Application> {
            if (initialization)
                throw InitializationException("no service", 2);
            throw VeskRuntimeException("broken", -1);
        });
        QVERIFY(!context);
        QCOMPARE(shownText, boxText);
    }

    void otherExceptionsPassThrough()
    {
        QMessageBox box;
        QVERIFY_EXCEPTION_THROWN(
            RuntimeContextStartup::start(box, []() -> std::unique_ptr<Application> {
                throw std::runtime_error("not ours");
            }),
            std::runtime_error);
    }
};

QTEST_MAIN(TestRuntimeContextStartup)
#include "runtimecontextstartuptest.moc"
