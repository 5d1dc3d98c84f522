#include "formprobe.h"
#include "ui_vpneditdialog.h"

#include <QDialog>
#include <QLayout>
#include <QSignalSpy>
#include <QtTest>

using Props = QVariantMap;

namespace {

const int Right = int(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);

Props rowLabel()
{
    return {{"minimumSize", QSize(100, 0)}, {"alignment", Right}};
}

Props plainEdit()
{
    return {{"readOnly", false}, {"echoMode", int(QLineEdit::Normal)}};
}

QString describe(const QVariant &value)
{
    QString text;
    QDebug(&text) << value;
    return text;
}

} // namespace

class TestVpnEditDialogForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dialog();
    void widgets_data();
    void widgets();
    void layouts_data();
    void layouts();
    void tabOrder_data();
    void tabOrder();
    void enterPressesOk_data();
    void enterPressesOk();

private:
    QDialog m_dialog;
    Ui_VpnEditDialog m_ui;
};

void TestVpnEditDialogForm::initTestCase()
{
    m_ui.setupUi(&m_dialog);
    // Keyboard behaviour needs a visible, active dialog.
    m_dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&m_dialog));
}

void TestVpnEditDialogForm::dialog()
{
    QCOMPARE(m_dialog.objectName(), QStringLiteral("VpnEditDialog"));
    QCOMPARE(m_dialog.windowTitle(), QStringLiteral("Edit VPN Connection"));
    QCOMPARE(m_dialog.size(), QSize(360, 270));
    QCOMPARE(m_dialog.minimumSize(), QSize(360, 270));
    QCOMPARE(m_dialog.maximumSize(), QSize(360, 270));
    QCOMPARE(m_dialog.windowModality(), Qt::ApplicationModal);
    QVERIFY(m_dialog.isModal());
}

void TestVpnEditDialogForm::widgets_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry"); // a null rect: placed by a layout
    QTest::addColumn<QString>("text");
    QTest::addColumn<Props>("props");

    auto row = [](const char *name, const char *cls, const char *parent, QRect geometry, const QString &text,
                  const Props &props = Props()) {
        QTest::newRow(name) << QString::fromLatin1(cls) << QString::fromLatin1(parent) << geometry << text << props;
    };
    const QRect layout;
    const char *form = "verticalLayoutWidget";

    row("verticalLayoutWidget", "QWidget", "VpnEditDialog", QRect(0, 10, 361, 211), "");
    row("SelectProtocolLabel", "QLabel", form, layout, "Select Protocol :", rowLabel());
    row("VpnProtocolComboBox", "QComboBox", form, layout, "",
        {{"minimumSize", QSize(100, 0)}, {"items", QStringList{"L2TP", "PPTP", "OpenVPN"}}});
    row("NickNameLabel", "QLabel", form, layout, "Nickname :", rowLabel());
    row("NickNameEditBox", "QLineEdit", form, layout, "", plainEdit());
    row("ServerAddressLabel", "QLabel", form, layout, "Server Address :", rowLabel());
    row("ServerAddressEditBox", "QLineEdit", form, layout, "", plainEdit());
    row("KeyLabel", "QLabel", form, layout, "Dudaru Key :", rowLabel());
    row("KeyEditBox", "QLineEdit", form, layout, "", plainEdit());
    row("UserNameLabel", "QLabel", form, layout, "Username :", rowLabel());
    row("UserNameEditBox", "QLineEdit", form, layout, "", plainEdit());
    row("PasswordLabel", "QLabel", form, layout, "Password :", rowLabel());
    // This dialog shows the stored password in clear text.
    row("PasswordEditBox", "QLineEdit", form, layout, "", plainEdit());
    row("OvpnFilePathLabel", "QLabel", form, layout, "ovpn.config", rowLabel());
    row("OvpnFilePathEditBox", "QLineEdit", form, layout, "", {{"minimumSize", QSize(200, 0)}, {"readOnly", true}});
    row("OvpnFileBrowserButton", "QPushButton", form, layout, "...", {{"minimumSize", QSize(15, 0)}});
    row("CancelButton", "QPushButton", "VpnEditDialog", QRect(280, 240, 75, 24), "Cancel",
        {{"autoDefault", false}, {"default", false}});
    row("OkButton", "QPushButton", "VpnEditDialog", QRect(200, 240, 75, 24), "OK",
        {{"autoDefault", false}, {"default", true}});
    row("SeparatorLine", "QFrame", "VpnEditDialog", QRect(0, 230, 360, 3), "",
        {{"frameShape", int(QFrame::HLine)}, {"frameShadow", int(QFrame::Sunken)}});
}

void TestVpnEditDialogForm::widgets()
{
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(Props, props);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    const QList<QWidget *> found = m_dialog.findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *widget = found.first();

    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QVERIFY(widget->parentWidget());
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    if (!geometry.isNull())
        QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(FormProbe::text(widget), text);
    QVERIFY(widget->isEnabled());

    for (auto it = props.cbegin(); it != props.cend(); ++it) {
        const QVariant actual = FormProbe::property(widget, it.key());
        QVERIFY2(actual.isValid(), qPrintable(it.key() + QStringLiteral(" does not apply to ") + className));
        QVERIFY2(actual == it.value(), qPrintable(it.key() + QStringLiteral(": got ") + describe(actual)
                                                  + QStringLiteral(", want ") + describe(it.value())));
    }
}

void TestVpnEditDialogForm::layouts_data()
{
    QTest::addColumn<QString>("owner"); // the widget a top layout manages, or the enclosing layout
    QTest::addColumn<QMargins>("margins");
    QTest::addColumn<QStringList>("items");

    auto row = [](const char *name, const char *owner, QMargins margins, const QStringList &items) {
        QTest::newRow(name) << QString::fromLatin1(owner) << margins << items;
    };
    const QMargins none(0, 0, 0, 0);
    const char *add = "AddVpnVerticalLayout";

    row("AddVpnVerticalLayout", "verticalLayoutWidget", QMargins(5, 0, 10, 0),
        {"ProtocolHorizontalLayout", "NickNameHorizontalLayout", "ServerHorizontalLayout", "KeyHorizontalLayout",
         "UserNameHorizontalLayout", "PasswordHorizontalLayout", "ConfigFileHorizontalLayout"});
    row("ProtocolHorizontalLayout", add, none, {"SelectProtocolLabel", "VpnProtocolComboBox", "spacer 40x20"});
    row("NickNameHorizontalLayout", add, none, {"NickNameLabel", "NickNameEditBox"});
    row("ServerHorizontalLayout", add, none, {"ServerAddressLabel", "ServerAddressEditBox"});
    row("KeyHorizontalLayout", add, none, {"KeyLabel", "KeyEditBox"});
    row("UserNameHorizontalLayout", add, none, {"UserNameLabel", "UserNameEditBox"});
    row("PasswordHorizontalLayout", add, none, {"PasswordLabel", "PasswordEditBox"});
    row("ConfigFileHorizontalLayout", add, none, {"OvpnFilePathLabel", "OvpnFilePathEditBox", "OvpnFileBrowserButton"});
}

void TestVpnEditDialogForm::layouts()
{
    QFETCH(QString, owner);
    QFETCH(QMargins, margins);
    QFETCH(QStringList, items);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    auto layout = m_dialog.findChild<QBoxLayout *>(name);
    QVERIFY(layout);
    QVERIFY(layout->parent());
    QCOMPARE(layout->parent()->objectName(), owner);
    QCOMPARE(layout->contentsMargins(), margins);
    QCOMPARE(FormProbe::items(layout), items);
    QVERIFY(FormProbe::spacersExpandHorizontally(layout));
    for (int i = 0; i < layout->count(); ++i)
        QCOMPARE(layout->stretch(i), 0);
}

void TestVpnEditDialogForm::tabOrder_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");

    const QStringList order{"VpnProtocolComboBox", "NickNameEditBox",     "ServerAddressEditBox",  "KeyEditBox",
                            "UserNameEditBox",     "PasswordEditBox",     "OvpnFilePathEditBox",   "OvpnFileBrowserButton",
                            "OkButton",            "CancelButton"};
    for (int i = 0; i + 1 < order.size(); ++i) {
        const QString tag = order.at(i) + QStringLiteral(" to ") + order.at(i + 1);
        QTest::newRow(qPrintable(tag)) << order.at(i) << order.at(i + 1);
    }
}

void TestVpnEditDialogForm::tabOrder()
{
    QFETCH(QString, from);
    QFETCH(QString, to);

    auto start = m_dialog.findChild<QWidget *>(from);
    QVERIFY(start);
    start->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), start);

    QTest::keyClick(start, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), to);
}

void TestVpnEditDialogForm::enterPressesOk_data()
{
    QTest::addColumn<bool>("okEnabled");
    QTest::addColumn<int>("clicks");

    QTest::newRow("ok enabled") << true << 1;
    QTest::newRow("ok disabled") << false << 0;
}

void TestVpnEditDialogForm::enterPressesOk()
{
    QFETCH(bool, okEnabled);
    QFETCH(int, clicks);

    QSignalSpy okClicked(m_ui.OkButton, SIGNAL(clicked()));
    QSignalSpy cancelClicked(m_ui.CancelButton, SIGNAL(clicked()));
    m_ui.OkButton->setEnabled(okEnabled);
    m_ui.NickNameEditBox->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), m_ui.NickNameEditBox);

    QTest::keyClick(m_ui.NickNameEditBox, Qt::Key_Return);
    m_ui.OkButton->setEnabled(true);

    QCOMPARE(okClicked.count(), clicks);
    QCOMPARE(cancelClicked.count(), 0);
}

QTEST_MAIN(TestVpnEditDialogForm)
#include "tst_vpneditdialogform.moc"
