// Start: the windows as created, the splash rules, and the connect handshake through the upload to
// polling with the live values, the lamps and the uploaded maps on screen.
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>
#include <fstream>

#include "gui/colours.h"
#include "gui/splash_dialog.h"
#include "gui_rig.h"
#include "gui_tests.h"
#include "settings_support.h"

namespace etc::guitest {

namespace {

using Table = settings::SettingsImage::Table;

// A module whose settings and live values the screens must show.
RigOptions moduleWithSettings(const char* version) {
    settings::SettingsImage image;
    (void)image.setValue("throttle_response_type_1", 2);  // User defined: the grid shows the user curve
    std::array<std::uint8_t, 21> rising{};
    for (std::size_t i = 0; i < rising.size(); ++i)
        rising[i] = static_cast<std::uint8_t>(10 * i);  // 0.0 .. 100.0 %
    image.setUserCurve(1, rising);
    (void)image.setValue("throttle_response_curve_1_acc_limiter", 12.5);
    for (int c = 0; c < 21; ++c)
        image.setCell(Table::Throttle_limit, c, 2.5 * c);
    (void)image.setValue("RPM_Range_Row1", 600);
    RigOptions options;
    options.module.version = version;
    options.module.memory = test::memoryOf(image);
    auto& live = options.live;
    live.engineSpeed = 300;  // 3000 rpm
    live.pedal1 = 45;        // 22.5 %
    live.battery = 18;       // 12.5 V
    live.waterTemp = 25;
    live.status = 1u << 4;  // high idle
    return options;
}

QString cell(QTableWidget* grid, int column) {
    return grid ? grid->item(0, column)->text() : QStringLiteral("<no grid>");
}
QString header(QTableWidget* grid, int column) {
    return grid ? grid->model()->headerData(column, Qt::Horizontal).toString() : QStringLiteral("<no grid>");
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void windowsAreBuiltAsTheModuleToolHasThem() {
        GuiRig rig;
        rig.start();
        gui::MainWindow& main = rig.main();
        QCOMPARE(main.objectName(), QStringLiteral("TForm1"));
        QCOMPARE(main.size(), QSize(1018, 712));
        QCOMPARE(main.palette().color(QPalette::Window), QColor(0xFF, 0x94, 0x28));
        QCOMPARE(main.pos(), QPoint(0, 20));
        QCOMPARE(main.windowTitle(), QStringLiteral("OXT V1.05 ETC"));
        QCOMPARE(rig.errorsWindow().objectName(), QStringLiteral("TForm5"));
        QCOMPARE(rig.errorsWindow().pos(), QPoint(1018 - 315, 55));
        QCOMPARE(rig.options().objectName(), QStringLiteral("TForm3"));
        QCOMPARE(rig.options().windowTitle(), QStringLiteral("Options"));
        QVERIFY(!rig.options().isVisible());
        QVERIFY(!rig.errorsWindow().isVisible());

        for (const char* name : {"Button_Help_F1", "SpeedButton_openfile", "SpeedButton_savefile",
                                 "SpeedButton_options", "AdvSmoothButton1"}) {
            auto* button = rig.find<QPushButton>(name);
            QVERIFY2(button, name);
            QCOMPARE(button->size(), QSize(60, 60));
        }
        QCOMPARE(rig.text("SpeedButton_openfile"), QStringLiteral("F2"));
        QCOMPARE(rig.find("SpeedButton_openfile")->toolTip(), QStringLiteral("Open file"));
        QCOMPARE(rig.find("SpeedButton_savefile")->toolTip(), QStringLiteral("Save file"));
        QCOMPARE(rig.find("SpeedButton_options")->toolTip(), QStringLiteral("Options"));
        QCOMPARE(rig.text("AdvSmoothButton1"), QStringLiteral("F7"));

        auto* curve1 = rig.find<QGroupBox>("GroupBox_throttle_response_curve_1");
        QVERIFY(curve1);
        QCOMPARE(curve1->title(), QStringLiteral(" Throttle response curve 1"));
        auto* type = rig.find<QComboBox>("ComboBox_throttle_response_type_2");
        QVERIFY(type);
        QCOMPARE(type->count(), 3);
        QCOMPARE(type->itemText(0), QStringLiteral("Lineair"));
        QCOMPARE(type->itemText(1), QStringLiteral("E-log"));
        QCOMPARE(type->itemText(2), QStringLiteral("User defined"));
        auto* limit = rig.find<QTableWidget>("AdvStringGrid_Throttle_limit");
        QVERIFY(limit);
        QCOMPARE(limit->rowCount(), 1);
        QCOMPARE(limit->columnCount(), 21);
        auto* curveGrid = rig.find<QTableWidget>("AdvStringGrid_Throttle_response_curve_1");
        QCOMPARE(header(curveGrid, 0), QStringLiteral("    0"));
        QCOMPARE(header(curveGrid, 20), QStringLiteral(" 100%"));
        QCOMPARE(header(rig.find<QTableWidget>("AdvStringGrid_openloop_idle"), 1), QStringLiteral("420"));

        // The start state: online colours, values disabled at "0", "Up_loading" shown, buttons off.
        auto* dashboard = rig.find("Panel_dashbord");
        QVERIFY(dashboard);
        QCOMPARE(dashboard->property("fillTo").toULongLong(), 12632256ull);
        auto* speed = rig.find<QLabel>("Label_enginespeed_waarde");
        QVERIFY(speed);
        QCOMPARE(speed->text(), QStringLiteral("0"));
        QVERIFY(!speed->isEnabled());
        QVERIFY(rig.shows("GroupBox_gauge_up_down_loading"));
        QCOMPARE(rig.find<QGroupBox>("GroupBox_gauge_up_down_loading")->title(),
                 QStringLiteral("Up_loading"));
        QVERIFY(!rig.enabled("SpeedButton_openfile"));
        QVERIFY(!rig.enabled("SpeedButton_savefile"));
        QVERIFY(!rig.enabled("SpeedButton_options"));
        QVERIFY(!rig.enabled("SpeedButton_up_down_load"));
        QVERIFY(rig.enabled("AdvSmoothButton1"));
        QCOMPARE(rig.text("Label_comm_errors"), QStringLiteral("Errors:"));
        QVERIFY(!rig.shows("Label_communication_is_offline"));
        QVERIFY(!rig.shows("GroupBox_up_download_menu"));
        QVERIFY(!rig.shows("Panel_power_to_system_was_interrupted"));
    }

    void connectEndsPollingWithLiveValuesAndUploadedMapsShown() {
        GuiRig rig(moduleWithSettings("1EA1AB1AA"));
        rig.start();
        QCOMPARE(rig.requests('V'), 0);  // the handshake waits for the step timer
        QVERIFY(rig.connect());
        QCOMPARE(rig.requests('Z'), 18);

        QCOMPARE(rig.text("Label_enginespeed_waarde"), QStringLiteral("3000"));
        QCOMPARE(rig.text("Label_Pedal_pos_1_waarde"), QStringLiteral("22.5"));
        QCOMPARE(rig.text("Label_Battery_Voltage_waarde"), QStringLiteral("12.5"));
        QCOMPARE(rig.text("Label_Water_temp_waarde"), QStringLiteral("25.0"));
        QCOMPARE(rig.text("Label_Pedal_pos_mV_1_waarde"), QStringLiteral("500"));
        QVERIFY(rig.enabled("Label_enginespeed_waarde"));
        QVERIFY(rig.find("Label_enginespeed_waarde")->styleSheet().contains(QStringLiteral("#ffff00")));
        QCOMPARE(rig.find("Panel_highidle_Led")->property("colour").toULongLong(), 65280ull);
        QCOMPARE(rig.find("Panel_ALS_Led")->property("colour").toULongLong(), 0ull);
        QVERIFY(rig.shows("Panel_Digital_input_1"));

        QVERIFY(!rig.shows("GroupBox_gauge_up_down_loading"));
        QVERIFY(rig.enabled("SpeedButton_openfile"));
        QVERIFY(rig.enabled("SpeedButton_savefile"));
        QVERIFY(rig.enabled("SpeedButton_options"));
        QVERIFY(rig.enabled("SpeedButton_up_down_load"));
        QCOMPARE(rig.find<QLabel>("StaticText_version_info")->text(), QStringLiteral("1EA1AB1AA"));

        auto* curve = rig.find<QTableWidget>("AdvStringGrid_Throttle_response_curve_1");
        QCOMPARE(cell(curve, 1), QStringLiteral("5.0"));
        QCOMPARE(cell(curve, 20), QStringLiteral("100.0"));
        QCOMPARE(rig.find<QComboBox>("ComboBox_throttle_response_type_1")->currentText(),
                 QStringLiteral("User defined"));
        auto* limit = rig.find<QTableWidget>("AdvStringGrid_Throttle_limit");
        QCOMPARE(cell(limit, 3), QStringLiteral("7.5"));
        QCOMPARE(header(limit, 0), QStringLiteral("600"));
        QVERIFY(rig.shows("AdvSmoothPanel_openloop_idle"));
        QVERIFY(!rig.shows("AdvSmoothPanel_warning_waarde_niet_oplopend1"));
        QVERIFY(rig.prompter.shown.empty());

        // Polling goes on: every 120 ms after a frame.
        const int before = rig.polls();
        rig.run(1s);
        QVERIFY(rig.polls() >= before + 6);
    }

    void aModuleWithoutTheIdleTableHidesItsPanel() {
        GuiRig rig(moduleWithSettings("1EA1AA1AA"));
        QVERIFY(rig.connect());
        QCOMPARE(rig.requests('Z'), 16);
        QVERIFY(!rig.shows("AdvSmoothPanel_openloop_idle"));
        QVERIFY(rig.shows("AdvSmoothPanel_Throttle_limit"));
    }

    void splashIsLeftOutOnlyForMinusOInTheFirstThreeArguments() {
        QVERIFY(gui::splashWanted({}));
        QVERIFY(!gui::splashWanted({QStringLiteral("-O")}));
        QVERIFY(!gui::splashWanted({QStringLiteral("-2"), QStringLiteral("-O")}));
        QVERIFY(!gui::splashWanted({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("-O")}));
        QVERIFY(gui::splashWanted(
            {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("-O")}));
        QVERIFY(gui::splashWanted({QStringLiteral("-o")}));
    }

    void splashShowsTheVersionAndClosesByItsTimer() {
        gui::SplashDialog splash;
        QCOMPARE(splash.objectName(), QStringLiteral("TOKBottomDlg_openingsscherm"));
        QCOMPARE(splash.size(), QSize(617, 367));
        auto* version = splash.findChild<QLabel*>(QStringLiteral("Label_versie"));
        QVERIFY(version);
        QCOMPARE(version->text(), QStringLiteral("1.05"));
        QVERIFY(splash.findChild<QPushButton*>(QStringLiteral("OKBtn")));
        QCOMPARE(splash.closeTimer()->interval(), 10000);
        QVERIFY(splash.closeTimer()->isSingleShot());
        // The same timer, shortened, closes the shown dialog.
        splash.closeTimer()->setInterval(20);
        splash.show();
        QVERIFY(splash.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 2000);
        QCOMPARE(splash.result(), int(QDialog::Accepted));
    }

    void splashOkClosesIt() {
        gui::SplashDialog splash;
        splash.show();
        QTest::mouseClick(splash.findChild<QPushButton*>(QStringLiteral("OKBtn")), Qt::LeftButton);
        QVERIFY(!splash.isVisible());
    }

    void f1AsksForTheEnglishManualWithoutLanguageIni() {
        GuiRig rig;
        rig.start();
        rig.key(&rig.main(), Qt::Key_F1);
        QCOMPARE(rig.prompter.texts(), (std::vector<std::string>{"Can't find: Language.ini",
                                                                 "Can't find:  OXT ETC Manual V1.05.pdf"}));
        QVERIFY(rig.desktop.opened.empty());
    }

    void f1ButtonOpensTheDutchManualChosenByLanguageIni() {
        GuiRig rig;
        rig.start();
        const char dutch[4] = {3, 0, 0, 0};
        std::ofstream(rig.dir.path / "Language.ini", std::ios::binary).write(dutch, 4);
        std::ofstream(rig.dir.path / "OXT ETC Handleiding V1.03.pdf") << "handleiding";
        rig.click("Button_Help_F1");
        QVERIFY(rig.prompter.shown.empty());
        QCOMPARE(rig.desktop.opened,
                 (std::vector<std::string>{(rig.dir.path / "OXT ETC Handleiding V1.03.pdf").string()}));
    }
};

std::unique_ptr<QObject> makeStartupTest() {
    return std::make_unique<StartupTest>();
}

}  // namespace etc::guitest

#include "startup_test.moc"
