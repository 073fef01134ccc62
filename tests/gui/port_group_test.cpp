// The port group "Communicationport" of the Options window: opened from the main window's link
// status, the manual choice, the search, and saving into "com.ini".
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>

#include "gui_rig.h"
#include "gui_tests.h"
#include "link/com_ini.h"

namespace etc::guitest {

namespace {

std::optional<std::string> savedPort(GuiRig& rig) {
    return link::readComIni(rig.dir.path / "com.ini").portName;
}

void expectGroupOpen(GuiRig& rig) {
    QVERIFY(rig.options().isVisible());
    QVERIFY(rig.shows("GroupBox_set_communicationport"));
    QCOMPARE(rig.find<QGroupBox>("GroupBox_set_communicationport")->title(),
             QStringLiteral("Communicationport"));
    QCOMPARE(rig.options().focusWidget(), rig.find("Button_Cancel_set_communicationport"));
}

}  // namespace

class PortGroupTest : public QObject {
    Q_OBJECT
  private slots:
    void errorLabelAndPortButtonOpenTheGroup() {
        GuiRig rig;
        QVERIFY(rig.connect());
        // The port given in place of com.ini's shows on the button and in the field.
        QCOMPARE(rig.text("Button_COM_knop"), QStringLiteral("SIM"));
        rig.click("Label_comm_errors");
        expectGroupOpen(rig);
        QCOMPARE(rig.find<QLineEdit>("Edit_commport")->text(), QStringLiteral("SIM"));
        QCOMPARE(rig.text("Button_Auto_search_Com_port"), QStringLiteral("&AutoSearch Com port"));
        QCOMPARE(rig.text("Button_Manual_select_Com_port"), QStringLiteral("&Manual select Com port"));
        QCOMPARE(rig.text("xpButton3"), QStringLiteral("Open Device manager"));
        QVERIFY(!rig.shows("Panel_manual_select_Com_port"));
        QVERIFY(!rig.shows("Panel_searching_com_port"));

        // F1 asks for the manual here too; F10 is the main window's.
        rig.key(rig.find("Edit_commport"), Qt::Key_F10);
        QVERIFY(rig.s().engine.online());
        rig.key(rig.find("Edit_commport"), Qt::Key_F1);
        QCOMPARE(rig.prompter.texts().front(), std::string("Can't find: Language.ini"));

        rig.click("Button_Cancel_set_communicationport");
        QVERIFY(!rig.options().isVisible());
        QVERIFY(!std::filesystem::exists(rig.dir.path / "com.ini"));

        rig.click("Button_COM_knop");
        expectGroupOpen(rig);
    }

    void manualChoiceIsSavedInComIni() {
        RigOptions options;
        options.ports = {"SIM", "COM7"};
        GuiRig rig(options);
        QVERIFY(rig.connect());
        rig.click("Button_COM_knop");
        rig.click("Button_Manual_select_Com_port");
        QVERIFY(rig.shows("Panel_manual_select_Com_port"));
        auto* list = rig.find<QComboBox>("ComboBox_Manual_select_comport");
        QVERIFY(list);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->itemText(0), QStringLiteral("SIM"));
        QCOMPARE(list->itemText(1), QStringLiteral("COM7"));

        // The list's Cancel leaves the field as it was.
        list->setCurrentIndex(1);
        rig.click("xpButton2");
        QVERIFY(!rig.shows("Panel_manual_select_Com_port"));
        QCOMPARE(rig.find<QLineEdit>("Edit_commport")->text(), QStringLiteral("SIM"));

        rig.click("Button_Manual_select_Com_port");
        list->setCurrentIndex(1);
        rig.click("xpButton1");
        QVERIFY(!rig.shows("Panel_manual_select_Com_port"));
        QCOMPARE(rig.find<QLineEdit>("Edit_commport")->text(), QStringLiteral("COM7"));

        rig.click("Button_Save_set_communicationport");
        QVERIFY(!rig.options().isVisible());
        QCOMPARE(savedPort(rig), std::optional<std::string>("COM7"));
        QCOMPARE(rig.s().engine.portName(), std::string("COM7"));
        // The port button keeps the name it showed at start.
        QCOMPARE(rig.text("Button_COM_knop"), QStringLiteral("SIM"));
        QVERIFY(rig.prompter.shown.empty());
    }

    void aTypedNameIsSaved() {
        GuiRig rig;
        rig.start();
        rig.click("Label_comm_errors");
        auto* edit = rig.find<QLineEdit>("Edit_commport");
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("/dev/ttyUSB3"));
        rig.click("Button_Save_set_communicationport");
        QCOMPARE(savedPort(rig), std::optional<std::string>("/dev/ttyUSB3"));
    }

    void anUnwritableComIniSaysSoAndKeepsThePort() {
        GuiRig rig;
        rig.start();
        std::filesystem::create_directories(rig.dir.path / "com.ini");  // a folder where the file goes
        rig.click("Label_comm_errors");
        auto* edit = rig.find<QLineEdit>("Edit_commport");
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("COM9"));
        rig.click("Button_Save_set_communicationport");
        QCOMPARE(rig.prompter.texts(), (std::vector<std::string>{"Write Error File: com.ini"}));
        QCOMPARE(rig.s().engine.portName(), std::string("SIM"));
    }

    void anEmptyPortFieldIsRefused() {
        GuiRig rig;
        rig.start();
        rig.click("Label_comm_errors");
        auto* edit = rig.find<QLineEdit>("Edit_commport");
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
        rig.click("Button_Save_set_communicationport");
        QCOMPARE(rig.prompter.texts(),
                 (std::vector<std::string>{
                     "Please click on the Auto search button\r\nor select manually the Com port !!!"}));
        QCOMPARE(rig.prompter.shown[0].kind, link::MessageKind::Warning);
        QVERIFY(rig.options().isVisible());
        QVERIFY(rig.shows("GroupBox_set_communicationport"));
        QVERIFY(!std::filesystem::exists(rig.dir.path / "com.ini"));
    }

    void autoSearchFindsTheAnsweringPort() {
        // Started on "COM1", which does not exist: the tool is offline at 9600 baud, where the module
        // answers the probe.
        RigOptions options;
        options.ports = {"NOPE", "SIM"};
        options.portOverride.clear();
        GuiRig rig(options);
        rig.start();
        QVERIFY(rig.runUntil([&] { return rig.shows("Label_communication_is_offline"); }, 2s));
        QCOMPARE(rig.prompter.texts(),
                 (std::vector<std::string>{"COM port not available or USB kabel not connected !!!"}));
        rig.click("Label_comm_errors");
        rig.click("Button_Auto_search_Com_port");
        QVERIFY(rig.shows("Panel_searching_com_port"));
        QVERIFY(rig.runUntil([&] { return !rig.shows("Panel_searching_com_port"); }, 10s));
        QCOMPARE(rig.find<QLineEdit>("Edit_commport")->text(), QStringLiteral("SIM"));
        QCOMPARE(rig.find<QLabel>("StaticText_version_info")->text(), QStringLiteral("1EA1AB1AA"));
        QCOMPARE(rig.prompter.shown.size(), std::size_t{1});
        QCOMPARE(rig.port->openedName(), std::string("SIM"));
        rig.click("Button_Save_set_communicationport");
        QCOMPARE(savedPort(rig), std::optional<std::string>("SIM"));
    }

    void aSearchWithoutPortsWarnsOnce() {
        RigOptions options;
        options.ports = {"NOPE1", "NOPE2"};
        GuiRig rig(options);
        rig.start();
        rig.click("Label_comm_errors");
        rig.click("Button_Auto_search_Com_port");
        QVERIFY(rig.runUntil([&] { return !rig.shows("Panel_searching_com_port"); }, 10s));
        QCOMPARE(
            rig.prompter.texts(),
            (std::vector<std::string>{"No Com port or connection was found\r\nPlease check USB cable and "
                                      "that the Power(12V) is connected to ECU !!!"}));
    }

    void deviceManagerWithoutComViewSaysSo() {
        GuiRig rig;
        rig.start();
        rig.click("Label_comm_errors");
        rig.click("xpButton3");
        QCOMPARE(rig.prompter.texts(), (std::vector<std::string>{"Can't find:  Com_view.bat"}));
    }
};

std::unique_ptr<QObject> makePortGroupTest() {
    return std::make_unique<PortGroupTest>();
}

}  // namespace etc::guitest

#include "port_group_test.moc"
