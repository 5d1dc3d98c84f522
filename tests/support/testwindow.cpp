#include "support/testwindow.h"

TestWindow::TestWindow(const QByteArray &settings, const QList<VpnServerInfo> &profiles,
                       const std::function<void(TestWindow &)> &beforeWindow, RasApi *ras)
{
    wd.writeScript(QStringLiteral("shared_config.ini"), "[settings]\n" + settings);
    cfg = std::make_unique<SharedConfig>(wd.filePath(QStringLiteral("shared_config.ini")));
    if (!profiles.isEmpty()) {
        cfg->serverInfoList = profiles;
        cfg->save();
    }
    if (beforeWindow)
        beforeWindow(*this);
    w = std::make_unique<MainWindow>(nullptr, cfg.get(), ras);
}
