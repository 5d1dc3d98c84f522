#include "formprobe.h"
#include "ui_mainwindow.h"

#include <QImage>
#include <QLayout>
#include <QMainWindow>
#include <QPixmap>
#include <QtTest>

// Expectation keys are read by FormProbe::property().
using Props = QVariantMap;

namespace {

const int Right = int(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
const int Centre = int(Qt::AlignCenter);
const int NoEdit = int(QAbstractItemView::NoEditTriggers);
const int ElideMiddle = int(Qt::ElideMiddle);

// Qt reports a mask without its blank character when the blank is a space.
const QString Mask = QStringLiteral("000.000.000.000");

QVariantList linkColours()
{
    return {QColor(0, 0, 255), QColor(0, 0, 255), QColor(120, 120, 120)};
}

Props linkLook()
{
    return {{"bold", true},
            {"underline", true},
            {"ownPointSize", false},
            {"cursor", int(Qt::PointingHandCursor)},
            {"alignment", Centre},
            {"openExternalLinks", true},
            {"windowText", linkColours()}};
}

Props rowLabel()
{
    return {{"minimumSize", QSize(120, 0)}, {"alignment", Right}};
}

Props rowEdit()
{
    return {{"minimumSize", QSize(0, 24)}, {"readOnly", false}, {"echoMode", int(QLineEdit::Normal)}};
}

Props listLook()
{
    return {{"family", QStringLiteral("MS Shell Dlg 2")}, {"pointSize", 8}, {"editTriggers", NoEdit},
            {"elideMode", ElideMiddle}};
}

Props with(Props base, const Props &more)
{
    for (auto it = more.cbegin(); it != more.cend(); ++it)
        base.insert(it.key(), it.value());
    return base;
}

QString describe(const QVariant &value)
{
    QString text;
    QDebug(&text) << value;
    return text;
}

// Mean colour of the visible pixels, so a picture can be told apart by its hue.
QColor meanColour(const QImage &image)
{
    double red = 0, green = 0, blue = 0, weight = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.redF() * c.alphaF();
            green += c.greenF() * c.alphaF();
            blue += c.blueF() * c.alphaF();
            weight += c.alphaF();
        }
    }
    if (weight == 0)
        return QColor();
    return QColor::fromRgbF(float(red / weight), float(green / weight), float(blue / weight));
}

} // namespace

class TestMainWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void window();
    void windowSizeLimits_data();
    void windowSizeLimits();
    void tabPages_data();
    void tabPages();
    void widgets_data();
    void widgets();
    void layouts_data();
    void layouts();
    void dnsFieldMask_data();
    void dnsFieldMask();
    void images_data();
    void images();

private:
    QMainWindow m_window;
    Ui_MainWindow m_ui;
};

void TestMainWindowLayout::initTestCase()
{
    // The images live in the static client library; its resource initialiser is only linked when named.
    Q_INIT_RESOURCE(resources);
    m_ui.setupUi(&m_window);
}

void TestMainWindowLayout::window()
{
    QCOMPARE(m_window.objectName(), QStringLiteral("MainWindow"));
    QVERIFY(m_window.isEnabled());
    QCOMPARE(m_window.windowTitle(), QStringLiteral("Orvi - Dudaru"));
    QCOMPARE(m_window.minimumSize(), QSize(700, 601));
    QCOMPARE(m_window.maximumSize(), QSize(700, 800));
    QVERIFY(m_window.windowIcon().availableSizes().contains(QSize(32, 32)));

    QWidget *central = m_window.centralWidget();
    QVERIFY(central);
    QCOMPARE(central->objectName(), QStringLiteral("CentralWidget"));
    QVERIFY2(!central->layout(), "the banner, tabs and footer are placed by geometry");
    QStringList children;
    for (QObject *child : central->children()) {
        if (child->isWidgetType())
            children << child->objectName();
    }
    QCOMPARE(children, (QStringList{"MainTabWidget", "BannerLabel", "horizontalLayoutWidget_2"}));
    QCOMPARE(m_ui.MainTabWidget->currentIndex(), 0);
}

void TestMainWindowLayout::windowSizeLimits_data()
{
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<QSize>("result");

    QTest::newRow("opening size") << QSize(700, 700) << QSize(700, 700);
    QTest::newRow("narrower") << QSize(500, 700) << QSize(700, 700);
    QTest::newRow("wider") << QSize(900, 700) << QSize(700, 700);
    QTest::newRow("lower than the minimum") << QSize(700, 400) << QSize(700, 601);
    QTest::newRow("higher than the maximum") << QSize(700, 1000) << QSize(700, 800);
    QTest::newRow("lowest") << QSize(700, 601) << QSize(700, 601);
    QTest::newRow("highest") << QSize(700, 800) << QSize(700, 800);
}

void TestMainWindowLayout::windowSizeLimits()
{
    QFETCH(QSize, requested);
    QFETCH(QSize, result);

    QMainWindow window;
    Ui_MainWindow ui;
    ui.setupUi(&window);
    QCOMPARE(window.size(), QSize(700, 700));
    window.resize(requested);
    QCOMPARE(window.size(), result);
}

void TestMainWindowLayout::tabPages_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");

    QTest::newRow("dashboard") << 0 << "DashBoardTab" << "DashBoard";
    QTest::newRow("login details") << 1 << "LoginTab" << "VPN Login Details";
    QTest::newRow("dns protection") << 2 << "DnsProtextionTab" << "DNS Protection";
    QTest::newRow("settings") << 3 << "SettingTab" << "Settings";
}

void TestMainWindowLayout::tabPages()
{
    QFETCH(int, index);
    QFETCH(QString, page);
    QFETCH(QString, title);

    QCOMPARE(m_ui.MainTabWidget->count(), 4);
    QWidget *widget = m_ui.MainTabWidget->widget(index);
    QVERIFY(widget);
    QCOMPARE(widget->objectName(), page);
    QCOMPARE(widget->metaObject()->className(), "QWidget");
    QCOMPARE(m_ui.MainTabWidget->tabText(index), title);
}

void TestMainWindowLayout::widgets_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry"); // a null rect: placed by a layout
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<Props>("props");

    auto row = [](const char *name, const char *cls, const char *parent, QRect geometry, const QString &text,
                  bool disabled = false, const Props &props = Props()) {
        QTest::newRow(name) << QString::fromLatin1(cls) << QString::fromLatin1(parent) << geometry << text
                            << disabled << props;
    };
    const QRect layout;

    // Central widget.
    row("MainTabWidget", "QTabWidget", "CentralWidget", QRect(5, 159, 695, 481), "", false, {{"documentMode", true}});
    row("BannerLabel", "QLabel", "CentralWidget", QRect(0, 0, 700, 155), "", false,
        {{"styleSheet", "background-color:white"}, {"pixmapSize", QSize(700, 155)}, {"alignment", Centre}});
    row("horizontalLayoutWidget_2", "QWidget", "CentralWidget", QRect(10, 650, 681, 42), "");

    // Dashboard.
    row("DashBoardDescriptionLabel", "QLabel", "DashBoardTab", QRect(20, 10, 350, 25), "Select VPN from Saved Logins",
        false, {{"pointSize", 9}, {"bold", false}});
    row("VpnInfoListBox", "QListView", "DashBoardTab", QRect(10, 40, 480, 90), "", false, listLook());
    row("ConnectButton", "QPushButton", "DashBoardTab", QRect(500, 90, 180, 40), "Connect", true,
        {{"pointSize", 12}, {"bold", true}});
    row("VpnLogEditBox", "QPlainTextEdit", "DashBoardTab", QRect(10, 230, 670, 190), "", false, {{"readOnly", true}});
    row("ConnectionInfoBox", "QGroupBox", "DashBoardTab", QRect(10, 140, 670, 75), "", false, {{"checkable", false}});
    row("horizontalLayoutWidget_8", "QWidget", "ConnectionInfoBox", QRect(10, 10, 651, 61), "");
    row("YourIPStatic", "QLabel", "horizontalLayoutWidget_8", layout, "Your IP :", false, {{"alignment", Right}});
    row("YourIPLabel", "QLabel", "horizontalLayoutWidget_8", layout, "XXX.XXX.XXX.XXX", false,
        {{"pointSize", 12}, {"bold", true}});
    row("ConntectedTimeStatic", "QLabel", "horizontalLayoutWidget_8", layout, "VPN Duration :", false,
        {{"alignment", Right}});
    row("ConnectedTimeLabel", "QLabel", "horizontalLayoutWidget_8", layout, "00 : 00 : 00", false,
        {{"pointSize", 12}, {"bold", true}});

    // Login details.
    row("LoginDetailsDescriptionLabel", "QLabel", "LoginTab", QRect(20, 10, 350, 25), "Saved VPN Login Details", false,
        {{"pointSize", 9}});
    row("VpnInfoDetailListBox", "QListView", "LoginTab", QRect(10, 40, 480, 90), "", false, listLook());
    row("VpnConnectionEditButton", "QPushButton", "LoginTab", QRect(500, 75, 180, 25), "Edit Connection", true,
        {{"pointSize", 10}, {"bold", false}});
    row("VpnConnectionDeleteButton", "QPushButton", "LoginTab", QRect(500, 105, 180, 25), "Delete Connection", true,
        {{"pointSize", 10}, {"bold", false}});
    row("ModifyVpnLabel", "QLabel", "LoginTab", QRect(500, 40, 180, 25), "Modify Saved VPN Details :", false,
        {{"pointSize", 9}, {"alignment", Centre}});
    row("AddVpnGroupBox", "QGroupBox", "LoginTab", QRect(10, 140, 670, 311), "Add a new VPN Connection", false,
        {{"checkable", false}});
    row("verticalLayoutWidget", "QWidget", "AddVpnGroupBox", QRect(0, 20, 661, 271), "");
    const char *form = "verticalLayoutWidget";
    row("SelectProtocolLabel", "QLabel", form, layout, "VPN Protocol :", false, rowLabel());
    row("VpnProtocolComboBox", "QComboBox", form, layout, "", false,
        {{"minimumSize", QSize(150, 0)}, {"items", QStringList{"L2TP", "PPTP", "OpenVPN"}}});
    row("NickNameLabel", "QLabel", form, layout, "Nickname :", false, rowLabel());
    row("NickNameEditBox", "QLineEdit", form, layout, "", false, rowEdit());
    row("ServerAddressLabel", "QLabel", form, layout, "Server Address :", false, rowLabel());
    row("ServerAddressEditBox", "QLineEdit", form, layout, "", false, rowEdit());
    row("KeyLabel", "QLabel", form, layout, "Dudaru Key :", false, rowLabel());
    row("KeyEditBox", "QLineEdit", form, layout, "", false, rowEdit());
    row("UserNameLabel", "QLabel", form, layout, "Username :", false, rowLabel());
    row("UserNameEditBox", "QLineEdit", form, layout, "", false, rowEdit());
    row("PasswordLabel", "QLabel", form, layout, "Password :", false, rowLabel());
    row("PasswordEditBox", "QLineEdit", form, layout, "", false,
        with(rowEdit(), {{"echoMode", int(QLineEdit::Password)}}));
    row("OvpnFilePathLabel", "QLabel", form, layout, "ovpn.config :", false, rowLabel());
    row("OvpnFilePathEditBox", "QLineEdit", form, layout, "", false,
        {{"minimumSize", QSize(480, 24)}, {"readOnly", true}});
    row("OvpnFileBrowserButton", "QPushButton", form, layout, "...", false, {{"minimumSize", QSize(30, 0)}});
    row("VpnConnectionAddButton", "QPushButton", form, layout, "Add New Connection", true,
        {{"minimumSize", QSize(200, 28)}});

    // DNS protection: the group box starts unchecked, so its children are greyed but not disabled by the form.
    row("DnsLeakProtectionGroupBox", "QGroupBox", "DnsProtextionTab", QRect(10, 15, 670, 360), "Enable DNS Protection",
        false, {{"checkable", true}, {"checked", false}});
    const char *dns = "DnsLeakProtectionGroupBox";
    row("DnsServerLabel", "QLabel", dns, QRect(30, 30, 300, 30), "Recommended DNS Servers");
    row("OpenDnsRadioButton", "QRadioButton", dns, QRect(50, 60, 250, 25), "OpenDNS", false, {{"checked", true}});
    row("GoogleDnsRadioButton", "QRadioButton", dns, QRect(50, 90, 250, 25), "Google DNS", false, {{"checked", false}});
    row("SpecifyDnsRadioButton", "QRadioButton", dns, QRect(50, 120, 250, 25), "Specify your own DNS Servers", false,
        {{"checked", false}});
    row("PreferredDnsServerLabel", "QLabel", dns, QRect(70, 150, 180, 24), "Preferred DNS Server :", false,
        {{"alignment", Right}});
    row("AlternativeDnsServerLabel", "QLabel", dns, QRect(70, 180, 180, 24), "Alternative DNS Server :", false,
        {{"alignment", Right}});
    // A mask without content still has its separators as text.
    row("PreferredDnsServerEditBox", "QLineEdit", dns, QRect(260, 150, 390, 24), "...", false,
        {{"inputMask", Mask}, {"cursorPosition", 0}});
    row("AlternativeDnsServerEditBox", "QLineEdit", dns, QRect(260, 180, 390, 24), "...", false,
        {{"inputMask", Mask}});
    row("VerifyInternetLabel", "QLabel", dns, QRect(30, 220, 300, 30), "Internet Connection Status");
    row("PingGoogleStatic", "QLabel", dns, QRect(50, 260, 150, 25), "one.one.one.one :", false,
        {{"alignment", Right}});
    row("PingGoogleLabel", "QLabel", dns, QRect(210, 260, 100, 25), "---", false,
        {{"alignment", Centre},
         {"windowText", QVariantList{QColor(255, 0, 0), QColor(0, 0, 0), QColor(120, 120, 120)}}});
    row("horizontalLayoutWidget_3", "QWidget", "DnsProtextionTab", QRect(10, 380, 671, 41), "");
    row("DnsResetButton", "QPushButton", "horizontalLayoutWidget_3", layout, "Reset", true);
    row("DnsApplyButton", "QPushButton", "horizontalLayoutWidget_3", layout, "Apply", true);

    // Settings.
    row("SettingGroupBox", "QGroupBox", "SettingTab", QRect(10, 50, 670, 325), "Settings", false,
        {{"checkable", false}});
    row("StartupCheckBox", "QCheckBox", "SettingGroupBox", QRect(30, 30, 500, 25), "Launch on System Startup", false,
        {{"checked", false}});
    row("ReconnectionCheckBox", "QCheckBox", "SettingGroupBox", QRect(30, 60, 500, 25),
        "Redial Automatically if VPN connection Drops", false, {{"checked", false}});
    row("CheckVpnHorizontalLayout_2", "QWidget", "SettingGroupBox", QRect(50, 160, 601, 31), "");
    const char *interval = "CheckVpnHorizontalLayout_2";
    row("VpnCheckIntervalLabel1", "QLabel", interval, layout, "Check VPN every", false,
        {{"minimumSize", QSize(100, 0)}, {"alignment", Centre}});
    row("VpnCheckIntervalEditBox", "QLineEdit", interval, layout, "500", false,
        {{"minimumSize", QSize(65, 0)}, {"maximumSize", QSize(50, QWIDGETSIZE_MAX)}, {"maxLength", 5}});
    row("VpnCheckIntervalLabel2", "QLabel", interval, layout, "ms ( >= 100ms)");
    row("horizontalLayoutWidget_4", "QWidget", "SettingTab", QRect(10, 380, 671, 41), "");
    row("SettingResetButton", "QPushButton", "horizontalLayoutWidget_4", layout, "Reset", true);
    row("SettingApplyButton", "QPushButton", "horizontalLayoutWidget_4", layout, "Apply", true);

    // Footer: the window turns the three link texts into links later.
    const char *footer = "horizontalLayoutWidget_2";
    row("FacebookLabel", "QLabel", footer, layout, "Facebook", false, linkLook());
    row("SuggestionsLabel", "QLabel", footer, layout, "Twitter", false, linkLook());
    row("NeedHelpLabel", "QLabel", footer, layout, "Need Help?", false, linkLook());
    row("CopyrightLabel", "QLabel", footer, layout, QString::fromUtf8("\u00a9 2026 Orvi Dudaru. All rights reserved."),
        false, {{"bold", false}, {"underline", false}, {"openExternalLinks", false}});
}

void TestMainWindowLayout::widgets()
{
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, disabled);
    QFETCH(Props, props);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    const QList<QWidget *> found = m_window.findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *widget = found.first();

    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QVERIFY(widget->parentWidget());
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    if (!geometry.isNull())
        QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(FormProbe::text(widget), text);
    QCOMPARE(widget->testAttribute(Qt::WA_ForceDisabled), disabled);

    for (auto it = props.cbegin(); it != props.cend(); ++it) {
        const QVariant actual = FormProbe::property(widget, it.key());
        QVERIFY2(actual.isValid(), qPrintable(it.key() + QStringLiteral(" does not apply to ") + className));
        QVERIFY2(actual == it.value(), qPrintable(it.key() + QStringLiteral(": got ") + describe(actual)
                                                  + QStringLiteral(", want ") + describe(it.value())));
    }
}

void TestMainWindowLayout::layouts_data()
{
    QTest::addColumn<QString>("owner"); // the widget a top layout manages, or the enclosing layout
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QMargins>("margins");
    QTest::addColumn<QStringList>("items");

    auto row = [](const char *name, const char *owner, int spacing, QMargins margins, const QStringList &items) {
        QTest::newRow(name) << QString::fromLatin1(owner) << spacing << margins << items;
    };
    const QMargins none(0, 0, 0, 0);
    const char *add = "AddVpnVerticalLayout";

    row("DashboardhorizontalLayout", "horizontalLayoutWidget_8", 10, QMargins(30, 0, 30, 0),
        {"YourIPStatic", "YourIPLabel", "spacer 20x20", "ConntectedTimeStatic", "ConnectedTimeLabel"});
    row("AddVpnVerticalLayout", "verticalLayoutWidget", 6, QMargins(5, 0, 5, 0),
        {"ProtocolHorizontalLayout", "NickNameHorizontalLayout", "ServerHorizontalLayout", "KeyHorizontalLayout",
         "UserNameHorizontalLayout", "PasswordHorizontalLayout", "ConfigFileHorizontalLayout",
         "AddButtonHorizontalLayout"});
    row("ProtocolHorizontalLayout", add, 6, none, {"SelectProtocolLabel", "VpnProtocolComboBox", "spacer 40x20"});
    row("NickNameHorizontalLayout", add, 6, none, {"NickNameLabel", "NickNameEditBox"});
    row("ServerHorizontalLayout", add, 6, none, {"ServerAddressLabel", "ServerAddressEditBox"});
    row("KeyHorizontalLayout", add, 6, none, {"KeyLabel", "KeyEditBox"});
    row("UserNameHorizontalLayout", add, 6, none, {"UserNameLabel", "UserNameEditBox"});
    row("PasswordHorizontalLayout", add, 6, none, {"PasswordLabel", "PasswordEditBox"});
    row("ConfigFileHorizontalLayout", add, 6, none,
        {"OvpnFilePathLabel", "OvpnFilePathEditBox", "OvpnFileBrowserButton"});
    row("AddButtonHorizontalLayout", add, 6, none, {"spacer 40x20", "VpnConnectionAddButton"});
    row("DnsProtectionButtonBarHorizontalLayout", "horizontalLayoutWidget_3", 10, none,
        {"spacer 40x20", "DnsResetButton", "DnsApplyButton"});
    row("CheckVpnHorizontalLayout", "CheckVpnHorizontalLayout_2", 0, QMargins(11, 11, 11, 11),
        {"VpnCheckIntervalLabel1", "VpnCheckIntervalEditBox", "VpnCheckIntervalLabel2", "spacer 200x20"});
    row("SettingButtonBarHorizontalLayout", "horizontalLayoutWidget_4", 10, none,
        {"spacer 40x20", "SettingResetButton", "SettingApplyButton"});
    row("FooterHorizontalLayout", "horizontalLayoutWidget_2", 15, QMargins(10, 0, 10, 0),
        {"FacebookLabel", "SuggestionsLabel", "NeedHelpLabel", "spacer 1x20", "CopyrightLabel"});
}

void TestMainWindowLayout::layouts()
{
    QFETCH(QString, owner);
    QFETCH(int, spacing);
    QFETCH(QMargins, margins);
    QFETCH(QStringList, items);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    auto layout = m_window.findChild<QBoxLayout *>(name);
    QVERIFY(layout);
    QVERIFY(layout->parent());
    QCOMPARE(layout->parent()->objectName(), owner);
    QCOMPARE(layout->spacing(), spacing);
    QCOMPARE(layout->contentsMargins(), margins);
    QCOMPARE(FormProbe::items(layout), items);
    QVERIFY(FormProbe::spacersExpandHorizontally(layout));
    for (int i = 0; i < layout->count(); ++i)
        QCOMPARE(layout->stretch(i), 0);
}

void TestMainWindowLayout::dnsFieldMask_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("empty field shows blanks") << "PreferredDnsServerEditBox" << "" << "..." << "   .   .   .   ";
    QTest::newRow("full address") << "PreferredDnsServerEditBox" << "208067222222" << "208.067.222.222"
                                  << "208.067.222.222";
    QTest::newRow("dots end a short group") << "AlternativeDnsServerEditBox" << "8.8.4.4" << "8.8.4.4"
                                            << "8  .8  .4  .4  ";
    QTest::newRow("letters are refused") << "PreferredDnsServerEditBox" << "1a0b.x0y.1" << "10.0.1."
                                         << "10 .0  .1  .   ";
    QTest::newRow("a second dot skips no group") << "AlternativeDnsServerEditBox" << "1..2" << "1.2.."
                                                 << "1  .2  .   .   ";
    QTest::newRow("digits past the last group are dropped") << "AlternativeDnsServerEditBox" << "1234567890123456"
                                                            << "123.456.789.012" << "123.456.789.012";
}

void TestMainWindowLayout::dnsFieldMask()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, shown);

    auto edit = m_window.findChild<QLineEdit *>(field);
    QVERIFY(edit);
    // The group box starts unchecked; typing needs the fields enabled.
    m_ui.DnsLeakProtectionGroupBox->setChecked(true);
    edit->clear();
    edit->setCursorPosition(0);
    QTest::keyClicks(edit, typed);
    m_ui.DnsLeakProtectionGroupBox->setChecked(false);

    QCOMPARE(edit->text(), text);
    QCOMPARE(edit->displayText(), shown);
}

void TestMainWindowLayout::images_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("hue"); // "blue", "green" or "grey": what the picture is mostly drawn in

    QTest::newRow("banner") << ":/icons/res/banner.png" << QSize(700, 155) << "blue";
    QTest::newRow("window icon") << ":/icons/res/icon.ico" << QSize(32, 32) << "blue";
    QTest::newRow("tray while connecting or connected") << ":/icons/res/connecting_tray.png" << QSize(64, 64)
                                                         << "green";
    QTest::newRow("tray while disconnected") << ":/icons/res/disconnected_tray.png" << QSize(64, 64) << "grey";
}

void TestMainWindowLayout::images()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(QString, hue);

    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    QCOMPARE(pixmap.size(), size);

    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    if (path.endsWith(QLatin1String("banner.png"))) {
        // The banner sits on a white label; its edges must blend in.
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::white));
        QCOMPARE(image.pixelColor(699, 154), QColor(Qt::white));
        // Judge the hue from the drawing alone.
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) == QColor(Qt::white))
                    image.setPixelColor(x, y, Qt::transparent);
            }
        }
    }
    const QColor mean = meanColour(image);
    QVERIFY(mean.isValid());
    const int r = mean.red(), g = mean.green(), b = mean.blue();
    if (hue == QLatin1String("blue"))
        QVERIFY2(b > r + 40 && b > g + 20, qPrintable(mean.name()));
    else if (hue == QLatin1String("green"))
        QVERIFY2(g > r + 40 && g > b + 40, qPrintable(mean.name()));
    else
        QVERIFY2(qAbs(r - g) < 16 && qAbs(g - b) < 16, qPrintable(mean.name()));
}

QTEST_MAIN(TestMainWindowLayout)
#include "tst_mainwindowlayout.moc"
