#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Answers the next modal box or dialog from inside its exec(): polls for
// QApplication::activeModalWidget() and hands it to the action.
void answerNextModal(const std::function<void(QWidget *)> &action, int timeoutMs = 5000);

// Presses a standard button of the next QMessageBox (NoButton: closes it as the title bar would)
// and records its title and text.
void answerNextMessageBox(QMessageBox::StandardButton button, QString *title = nullptr, QString *text = nullptr);
