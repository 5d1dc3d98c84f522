#include "formprobe.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QBoxLayout>
#include <QColor>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QTabWidget>

namespace FormProbe {

QString text(const QWidget *widget)
{
    if (auto label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (auto group = qobject_cast<const QGroupBox *>(widget))
        return group->title();
    if (auto plain = qobject_cast<const QPlainTextEdit *>(widget))
        return plain->toPlainText();
    return QString();
}

static QVariant lineEditProperty(const QLineEdit *edit, const QString &key)
{
    if (key == QLatin1String("readOnly"))
        return edit->isReadOnly();
    if (key == QLatin1String("inputMask"))
        return edit->inputMask();
    if (key == QLatin1String("echoMode"))
        return int(edit->echoMode());
    if (key == QLatin1String("maxLength"))
        return edit->maxLength();
    if (key == QLatin1String("cursorPosition"))
        return edit->cursorPosition();
    return QVariant();
}

static QVariant buttonProperty(const QAbstractButton *button, const QString &key)
{
    if (key == QLatin1String("checked"))
        return button->isChecked();
    auto push = qobject_cast<const QPushButton *>(button);
    if (push && key == QLatin1String("default"))
        return push->isDefault();
    if (push && key == QLatin1String("autoDefault"))
        return push->autoDefault();
    return QVariant();
}

static QVariant labelProperty(const QLabel *label, const QString &key)
{
    if (key == QLatin1String("alignment"))
        return int(label->alignment());
    if (key == QLatin1String("openExternalLinks"))
        return label->openExternalLinks();
    if (key == QLatin1String("pixmapSize"))
        return label->pixmap().size();
    if (key == QLatin1String("windowText")) {
        const QPalette palette = label->palette();
        return QVariantList{palette.color(QPalette::Active, QPalette::WindowText),
                            palette.color(QPalette::Inactive, QPalette::WindowText),
                            palette.color(QPalette::Disabled, QPalette::WindowText)};
    }
    return QVariant();
}

static QVariant classProperty(const QWidget *widget, const QString &key)
{
    if (auto edit = qobject_cast<const QLineEdit *>(widget))
        return lineEditProperty(edit, key);
    if (auto button = qobject_cast<const QAbstractButton *>(widget))
        return buttonProperty(button, key);
    if (auto label = qobject_cast<const QLabel *>(widget))
        return labelProperty(label, key);
    if (auto group = qobject_cast<const QGroupBox *>(widget)) {
        if (key == QLatin1String("checkable"))
            return group->isCheckable();
        if (key == QLatin1String("checked"))
            return group->isChecked();
    }
    if (auto view = qobject_cast<const QAbstractItemView *>(widget)) {
        if (key == QLatin1String("editTriggers"))
            return int(view->editTriggers());
        if (key == QLatin1String("elideMode"))
            return int(view->textElideMode());
    }
    if (auto plain = qobject_cast<const QPlainTextEdit *>(widget)) {
        if (key == QLatin1String("readOnly"))
            return plain->isReadOnly();
    }
    if (auto combo = qobject_cast<const QComboBox *>(widget)) {
        if (key == QLatin1String("items")) {
            QStringList texts;
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
            return texts;
        }
    }
    if (auto tabs = qobject_cast<const QTabWidget *>(widget)) {
        if (key == QLatin1String("documentMode"))
            return tabs->documentMode();
    }
    if (auto frame = qobject_cast<const QFrame *>(widget)) {
        if (key == QLatin1String("frameShape"))
            return int(frame->frameShape());
        if (key == QLatin1String("frameShadow"))
            return int(frame->frameShadow());
    }
    return QVariant();
}

QVariant property(const QWidget *widget, const QString &key)
{
    if (key == QLatin1String("minimumSize"))
        return widget->minimumSize();
    if (key == QLatin1String("maximumSize"))
        return widget->maximumSize();
    if (key == QLatin1String("pointSize"))
        return widget->font().pointSize();
    // A font size the form leaves alone follows the parent's, so it is not in the font's resolve mask.
    if (key == QLatin1String("ownPointSize"))
        return bool(widget->font().resolveMask() & QFont::SizeResolved);
    if (key == QLatin1String("bold"))
        return widget->font().bold();
    if (key == QLatin1String("underline"))
        return widget->font().underline();
    if (key == QLatin1String("family"))
        return widget->font().family();
    if (key == QLatin1String("styleSheet"))
        return widget->styleSheet();
    if (key == QLatin1String("cursor"))
        return int(widget->cursor().shape());
    return classProperty(widget, key);
}

QStringList items(const QLayout *layout)
{
    QStringList names;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget()) {
            names << item->widget()->objectName();
        } else if (item->layout()) {
            names << item->layout()->objectName();
        } else if (QSpacerItem *spacer = item->spacerItem()) {
            const QSize hint = spacer->sizeHint();
            names << QStringLiteral("spacer %1x%2").arg(hint.width()).arg(hint.height());
        }
    }
    return names;
}

bool spacersExpandHorizontally(const QLayout *layout)
{
    for (int i = 0; i < layout->count(); ++i) {
        QSpacerItem *spacer = layout->itemAt(i)->spacerItem();
        if (spacer
            && (spacer->sizePolicy().horizontalPolicy() != QSizePolicy::Expanding
                || spacer->sizePolicy().verticalPolicy() != QSizePolicy::Minimum)) {
            return false;
        }
    }
    return true;
}

} // namespace FormProbe
