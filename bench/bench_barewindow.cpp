// The plain way to put a window of the client's size on screen: what the client's start-up is measured against
// (both with QT_QPA_GENERIC_PLUGINS=orvifirstpaint, which ends each at its first paint).
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setFixedSize(700, 700);
    window.show();
    return app.exec();
}
