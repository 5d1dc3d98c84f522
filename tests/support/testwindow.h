#pragma once

#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "support/tempworkdir.h"

#include <QByteArray>
#include <functional>
#include <memory>

class RasApi;

// A MainWindow on a configuration file of its own in a fresh working folder. The file starts with the given
// [settings] lines and profiles; beforeWindow runs after the record is loaded, before the window is built.
struct TestWindow
{
    explicit TestWindow(const QByteArray &settings = QByteArray(), const QList<VpnServerInfo> &profiles = {},
                        const std::function<void(TestWindow &)> &beforeWindow = {}, RasApi *ras = nullptr);

    template <class T = QWidget> T *get(const QString &name) const { return w->findChild<T *>(name); }
    void click(const QString &button) const;
    void clickRow(const QString &list, int row) const;
    QString log() const;

    TempWorkDir wd;
    std::unique_ptr<SharedConfig> cfg;
    std::unique_ptr<MainWindow> w;
};
