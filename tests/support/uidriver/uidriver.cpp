// Loaded into the real executable as a Qt generic plugin (QT_QPA_GENERIC_PLUGINS=orviuidriver): once the
// window is up it clicks the first profile of the dashboard and Connect, as a user would (orviuidriver:close then
// closes the window). orviuidriver:watch connects half a second after the window is up, as a user would at the earliest, then prints
// each new log entry ("log: ...") and each new text of the Connect button ("button: ...") on standard output, and
// takes commands from standard input, a line each: "click <button's object name>".
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGenericPlugin>
#include <QListView>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

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
    if (!list || list->model()->rowCount() == 0) {
        QTimer::singleShot(50, [action] { drive(action); });
        return;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    QTest::mouseClick(shownWidget("ConnectButton"), Qt::LeftButton);
    if (action == QLatin1String("close"))
        list->window()->close();
}

void echo()
{
    static QString log, button;
    const QString now = static_cast<QPlainTextEdit *>(shownWidget("VpnLogEditBox"))->toPlainText();
    const QString text = static_cast<QAbstractButton *>(shownWidget("ConnectButton"))->text();
    if (now != log) { // the newest entries are on top
        QStringList added = now.left(now.size() - log.size()).split('\n', Qt::SkipEmptyParts);
        std::reverse(added.begin(), added.end());
        for (const QString &entry : added)
            std::printf("log: %s\n", qPrintable(entry));
        log = now;
    }
    if (text != button)
        std::printf("button: %s\n", qPrintable(button = text));
    std::fflush(stdout);
}

void obey(QSocketNotifier *input)
{
    char line[256] = {};
    const ssize_t size = ::read(0, line, sizeof line - 1);
    if (size == 0) // the end of the input: nothing more will come
        input->setEnabled(false);
    for (const QString &text : QString::fromLocal8Bit(line, size > 0 ? int(size) : 0).split('\n', Qt::SkipEmptyParts)) {
        const QStringList command = text.simplified().split(' ');
        if (command.value(0) == QLatin1String("click")) // also on a tab not in view
            static_cast<QAbstractButton *>(shownWidget(qPrintable(command.value(1))))->click();
    }
}

void watch()
{
    if (!shownWidget("VpnLogEditBox")) {
        QTimer::singleShot(50, watch);
        return;
    }
    QTimer::singleShot(500, [] { drive(QString()); });
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, echo);
    poll->start(50);
    ::fcntl(0, F_SETFL, ::fcntl(0, F_GETFL) | O_NONBLOCK); // never wait for a command
    auto *input = new QSocketNotifier(0, QSocketNotifier::Read, qApp);
    QObject::connect(input, &QSocketNotifier::activated, [input] { obey(input); });
}

} // namespace

class UiDriver : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "uidriver.json")

public:
    QObject *create(const QString &, const QString &action) override
    {
        if (action == QLatin1String("watch"))
            QTimer::singleShot(0, watch);
        else
            QTimer::singleShot(0, [action] { drive(action); });
        return new QObject; // the application keeps it; nothing is left to do with it
    }
};

#include "uidriver.moc"
