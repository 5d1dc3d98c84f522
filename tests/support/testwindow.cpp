#include "support/testwindow.h"

#include <QFile>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

TestWindow::TestWindow(const QByteArray &settings, const QList<VpnServerInfo> &profiles,
                       const std::function<void(TestWindow &)> &beforeWindow, RasApi *ras)
{
    QFile file(wd.filePath(QStringLiteral("shared_config.ini")));
    if (file.open(QIODevice::WriteOnly))
        file.write("[settings]\n" + settings);
    file.close();
    cfg = std::make_unique<SharedConfig>(file.fileName());
    if (!profiles.isEmpty()) {
        cfg->serverInfoList = profiles;
        cfg->save();
    }
    if (beforeWindow)
        beforeWindow(*this);
    w = std::make_unique<MainWindow>(nullptr, cfg.get(), ras);
}

void TestWindow::click(const QString &button) const
{
    QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton);
}

void TestWindow::clickRow(const QString &list, int row) const
{
    auto *view = get<QListView>(list);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center());
}

QString TestWindow::log() const
{
    return get<QPlainTextEdit>(QStringLiteral("VpnLogEditBox"))->toPlainText();
}
