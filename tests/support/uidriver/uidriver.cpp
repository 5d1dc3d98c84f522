// Loaded into the real executable as a Qt generic plugin (QT_QPA_GENERIC_PLUGINS=orviuidriver): once the
// window is up it clicks the first profile of the dashboard and Connect, as a user would.
#include <QApplication>
#include <QGenericPlugin>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

void connectFirstProfile()
{
    QListView *list = nullptr;
    for (QWidget *widget : QApplication::allWidgets())
        if (widget->objectName() == QLatin1String("VpnInfoListBox") && widget->isVisible())
            list = qobject_cast<QListView *>(widget);
    if (!list || list->model()->rowCount() == 0) {
        QTimer::singleShot(50, connectFirstProfile);
        return;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    QTest::mouseClick(list->window()->findChild<QPushButton *>(QStringLiteral("ConnectButton")), Qt::LeftButton);
}

} // namespace

class UiDriver : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "uidriver.json")

public:
    QObject *create(const QString &, const QString &) override
    {
        QTimer::singleShot(0, connectFirstProfile);
        return new QObject; // the application keeps it; nothing is left to do with it
    }
};

#include "uidriver.moc"
