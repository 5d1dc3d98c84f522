#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

class QLayout;
class QWidget;

// Reads a form widget the way its table rows describe it, so one data-driven
// test can cover widgets of every class.
namespace FormProbe {

// The visible text: a label's or button's text, a line edit's content, a group box's title.
QString text(const QWidget *widget);

// The value of one expectation key ("pointSize", "readOnly", "windowText", ...);
// an invalid QVariant when the key does not apply to the widget's class.
QVariant property(const QWidget *widget, const QString &key);

// The items of a layout in order: a widget's or sub-layout's object name, or "spacer WxH".
QStringList items(const QLayout *layout);

// Whether every spacer of the layout expands horizontally and keeps its height.
bool spacersExpandHorizontally(const QLayout *layout);

} // namespace FormProbe
