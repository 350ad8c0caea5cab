#include "modalanswerer.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>

ModalAnswerer::ModalAnswerer(Answer answer, int intervalMs)
{
    connect(&m_timer, &QTimer::timeout, this, [answer] {
        if (QWidget* active = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                                : QApplication::activePopupWidget())
            answer(active);
    });
    m_timer.start(intervalMs);
}

void ModalAnswerer::typeFileName(QFileDialog* dialog, const QString& fileName)
{
    if (fileName.isEmpty())
        return dialog->reject();
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(fileName);
    // Queued: the dialog may ask whether to replace the file, a box the
    // answerer then answers in turn.
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
}

void ModalAnswerer::printToPdf(QPrintDialog* dialog, const QString& pdf, bool accept)
{
    dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
    dialog->printer()->setOutputFileName(pdf);
    if (auto* printers = dialog->findChild<QComboBox*>("printers"))
        printers->setCurrentIndex(printers->count() - 1);  // "Print to File (PDF)"
    if (auto* fileName = dialog->findChild<QLineEdit*>("filename"))
        fileName->setText(pdf);
    accept ? dialog->accept() : dialog->reject();
}

QByteArray ModalAnswerer::pdfText(const QString& pdf)
{
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    text.waitForFinished(10000);
    return text.readAllStandardOutput().simplified();
}
