#include "support/modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

void answerNextModal(const std::function<void(QWidget *)> &action, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer::singleShot(10, [action, deadline] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible())
            action(modal);
        else if (!deadline.hasExpired())
            answerNextModal(action, int(deadline.remainingTime()));
    });
}

void answerNextMessageBox(QMessageBox::StandardButton button, QString *title, QString *text)
{
    answerNextModal([button, title, text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (title)
            *title = modal->windowTitle();
        if (text && box)
            *text = box->text();
        if (QAbstractButton *pressed = box ? box->button(button) : nullptr)
            pressed->click();
        else
            modal->close();
    });
}
