#include "modalanswerer.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>

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
