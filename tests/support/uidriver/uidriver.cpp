// Loaded into the real executable as a Qt generic plugin (QT_QPA_GENERIC_PLUGINS=orviuidriver): once the
// window is up it clicks the first profile of the dashboard and Connect, as a user would (orviuidriver:close then
// closes the window); orviuidriver:logon ticks "Launch on System Startup" and applies the settings instead.
#include <QAbstractButton>
#include <QApplication>
#include <QGenericPlugin>
#include <QListView>
#include <QTest>
#include <QTimer>

namespace {

QWidget *shownWidget(const char *name)
{
    for (QWidget *widget : QApplication::allWidgets())
        if (widget->objectName() == QLatin1String(name) && widget->window()->isVisible())
            return widget;
    return nullptr;
}

void drive(const QString &action)
{
    auto *list = qobject_cast<QListView *>(shownWidget("VpnInfoListBox"));
    if (!list || (action != QLatin1String("logon") && list->model()->rowCount() == 0)) {
        QTimer::singleShot(50, [action] { drive(action); });
        return;
    }
    if (action == QLatin1String("logon")) {
        static_cast<QAbstractButton *>(shownWidget("StartupCheckBox"))->click(); // on a tab not in view
        static_cast<QAbstractButton *>(shownWidget("SettingApplyButton"))->click();
        return;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    QTest::mouseClick(shownWidget("ConnectButton"), Qt::LeftButton);
    if (action == QLatin1String("close"))
        list->window()->close();
}

} // namespace

class UiDriver : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "uidriver.json")

public:
    QObject *create(const QString &, const QString &action) override
    {
        QTimer::singleShot(0, [action] { drive(action); });
        return new QObject; // the application keeps it; nothing is left to do with it
    }
};

#include "uidriver.moc"
