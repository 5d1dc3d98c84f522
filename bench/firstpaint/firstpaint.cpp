// Ends a program at once after its first window was painted, so that a start can be timed from the outside up to
// what the user sees first: QT_QPA_GENERIC_PLUGINS=orvifirstpaint, found through QT_PLUGIN_PATH.
#include <QCoreApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QTimer>

#include <cstdlib>

namespace {

class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            // After the paint in hand and its flush; nothing of the program's own ending is timed.
            QTimer::singleShot(0, [] { std::_Exit(0); });
        }
        return false;
    }

private:
    bool painted = false;
};

} // namespace

class FirstPaintPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "firstpaint.json")

public:
    QObject *create(const QString &, const QString &) override
    {
        auto *filter = new FirstPaint;
        QCoreApplication::instance()->installEventFilter(filter);
        return filter;
    }
};

#include "firstpaint.moc"
