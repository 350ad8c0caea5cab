// The guarded start-up step of a store build: each failure of the runtime
// context is written to the debug output and shown in the modal message box;
// the step then gives no context, so the program ends without a window.
#include "shell/runtimecontextstartup.h"
#include "diagnostics/veskexception.h"
#include "isolatedenvironment.h"
#include "modalanswerer.h"
#include "shell/application.h"
#include "shell/constants.h"

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
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("boxText");
        QTest::newRow("no store service")
            << true << 2
            << "The application could not connect to the store service and cannot start.";
        QTest::newRow("service refused")
            << true << 3 << "The store service refused to start the application.";
        QTest::newRow("service did not reply")
            << true << 9
            << "The store service did not answer in time, so the application cannot start.";
        QTest::newRow("other link failure") << true << -1
                                            << "The application could not start its link to the "
                                               "store service (error -1) and cannot start.";
        QTest::newRow("runtime failure") << false << -1 << QString(CRITICAL_ERROR_MESSAGE);
    }
    void failureIsShownAndGivesNoContext()
    {
        QFETCH(bool, initialization);
        QFETCH(int, code);
        QFETCH(QString, boxText);
        QMessageBox box;
        QString shownText;
        const ModalAnswerer answerer([&](QWidget* modal) {
            if (modal == &box)
                shownText = box.text();
            box.done(0);
        });
        QTest::ignoreMessage(
            QtDebugMsg,
            qPrintable(QString("Caught %1 exception in application with Exception code: %2\n")
                           .arg(initialization ? "Initialization" : "Runtime")
                           .arg(code)));
        const auto context
            = RuntimeContextStartup::start(box, [&]() -> std::unique_ptr<Application> {
                  if (initialization)
                      throw InitializationException("no service", code);
                  throw VeskRuntimeException("broken", code);
              });
        QVERIFY(!context);
        QCOMPARE(shownText, boxText);
    }

    void otherExceptionsPassThrough()
    {
        QMessageBox box;
        QVERIFY_EXCEPTION_THROWN(
            RuntimeContextStartup::start(
                box,
                []() -> std::unique_ptr<Application> { throw std::runtime_error("not ours"); }),
            std::runtime_error);
    }
};

QTEST_MAIN(TestRuntimeContextStartup)
#include "runtimecontextstartuptest.moc"
