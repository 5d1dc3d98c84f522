#pragma once

#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "support/tempworkdir.h"

#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

// A MainWindow on a configuration file of its own in a fresh working folder. The file starts with the given
// [settings] lines and profiles; beforeWindow runs after the record is loaded, before the window is built.
struct TestWindow
{
    explicit TestWindow(const QByteArray &settings = QByteArray(), const QList<VpnServerInfo> &profiles = {},
                        const std::function<void(TestWindow &)> &beforeWindow = {}, RasApi *ras = nullptr);

    template <class T = QWidget> T *get(const QString &name) const { return w->findChild<T *>(name); }
    void click(const QString &button) const { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }
    void clickRow(const QString &list, int row) const
    {
        auto *view = get<QListView>(list);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center());
    }
    QString log() const { return get<QPlainTextEdit>(QStringLiteral("VpnLogEditBox"))->toPlainText(); }

    TempWorkDir wd;
    std::unique_ptr<SharedConfig> cfg;
    std::unique_ptr<MainWindow> w;
};
