#include "support/modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace {

void poll(const std::function<void(QWidget *)> &action, QDeadlineTimer deadline)
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible()) {
        action(modal);
        return;
    }
    if (deadline.hasExpired())
        return;
    QTimer::singleShot(10, [action, deadline] { poll(action, deadline); });
}

} // namespace

void answerNextModal(const std::function<void(QWidget *)> &action, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer::singleShot(0, [action, deadline] { poll(action, deadline); });
}

void answerNextMessageBox(QMessageBox::StandardButton button, QString *title, QString *text)
{
    answerNextModal([button, title, text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return;
        if (title)
            *title = box->windowTitle();
        if (text)
            *text = box->text();
        if (QAbstractButton *b = box->button(button))
            b->click();
    });
}

void closeNextModal()
{
    answerNextModal([](QWidget *modal) { modal->close(); });
}
