#pragma once

#include <QMessageBox>
#include <functional>

// Answers the next modal box or dialog from inside its exec(), polling for QApplication::activeModalWidget().
void answerNextModal(const std::function<void(QWidget *)> &action, int timeoutMs = 5000);

// Presses a standard button of the next QMessageBox (none: closes it as the title bar would), recording title and text.
void answerNextMessageBox(QMessageBox::StandardButton button, QString *title = nullptr, QString *text = nullptr);
