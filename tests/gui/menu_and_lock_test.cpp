// The up/download menu and its forms, the F7 key against the F7 button, upload and download by key,
// the lock with the data-not-locked mark in the caption and the grid headers, and the power notice.
#include <QGroupBox>
#include <QTableWidget>

#include "gui_rig.h"
#include "gui_tests.h"
#include "settings_support.h"

namespace etc::guitest {

namespace {

const QString kCaption = QStringLiteral("OXT V1.05 ETC");
const QString kMarkedCaption =
    QStringLiteral("OXT V1.05 ETC                                                DATA IS NOT LOCKED !!!");
constexpr unsigned long long kHeaderNotLocked = 9174014;
constexpr unsigned long long kHeaderLocked = 15853789;

unsigned long long headerColour(GuiRig& rig, const char* grid) {
    QWidget* w = rig.find(grid);
    return w ? w->property("headerColour").toULongLong() : 0;
}

void expectCommandMenu(GuiRig& rig) {
    QVERIFY(rig.shows("GroupBox_up_download_menu"));
    QCOMPARE(rig.find<QGroupBox>("GroupBox_up_download_menu")->title(), QStringLiteral("Up / Down load"));
    QVERIFY(rig.shows("SpeedButton_Upload"));
    QVERIFY(rig.shows("SpeedButton_Download"));
    QVERIFY(rig.shows("SpeedButton_lock_unlock"));
    QVERIFY(rig.shows("Button_cancel_Up_download_menu"));
    QVERIFY(!rig.shows("Button_stay_offline"));
    QCOMPARE(rig.text("SpeedButton_Upload"), QStringLiteral("&s"));
    QCOMPARE(rig.text("SpeedButton_Download"), QStringLiteral("&p"));
    QCOMPARE(rig.text("SpeedButton_lock_unlock"), QStringLiteral("&l"));
    QCOMPARE(rig.text("Button_cancel_Up_download_menu"), QStringLiteral("&Cancel"));
}

RigOptions fallingCurveModule() {
    settings::SettingsImage image;
    (void)image.setValue("throttle_response_type_1", 2);
    std::array<std::uint8_t, 21> points{};
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = static_cast<std::uint8_t>(10 * i);
    points[7] = 10;  // lower than the cell before it
    image.setUserCurve(1, points);
    RigOptions options;
    options.module.memory = test::memoryOf(image);
    return options;
}

}  // namespace

class MenuAndLockTest : public QObject {
    Q_OBJECT
  private slots:
    void f7ButtonOpensTheMenuWhileTheF7KeyWaitsForTheMainButtons() {
        GuiRig rig;
        rig.start();
        QVERIFY(!rig.enabled("SpeedButton_up_down_load"));
        rig.key(&rig.main(), Qt::Key_F7);
        QVERIFY(!rig.shows("GroupBox_up_download_menu"));

        rig.click("AdvSmoothButton1");
        expectCommandMenu(rig);
        QVERIFY(!rig.enabled("SpeedButton_openfile"));

        rig.click("Button_cancel_Up_download_menu");
        QVERIFY(!rig.shows("GroupBox_up_download_menu"));
        QVERIFY(rig.enabled("SpeedButton_openfile"));
        QVERIFY(rig.enabled("SpeedButton_up_down_load"));

        rig.key(&rig.main(), Qt::Key_F7);
        expectCommandMenu(rig);
        QVERIFY(!rig.enabled("SpeedButton_up_down_load"));
    }

    void altSIsTheKeyActionNotTheUploadButtonsMnemonic() {
        GuiRig rig;
        QVERIFY(rig.connect());
        rig.key(&rig.main(), Qt::Key_F7);
        expectCommandMenu(rig);
        auto* upload = rig.find<QPushButton>("SpeedButton_Upload");
        int clicks = 0;
        QObject::connect(upload, &QPushButton::clicked, upload, [&clicks] { ++clicks; });
        const int reads = rig.requests('Z');
        rig.s().window.optionsCancelEnabled = false;
        // Mnemonics act only in the active window.
        rig.main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.main()));

        rig.key(upload, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(clicks, 0);
        // Only the key action enables the Cancel buttons of the Options groups besides uploading.
        QVERIFY(rig.s().window.optionsCancelEnabled);
        QVERIFY(!rig.shows("GroupBox_up_download_menu"));
        QVERIFY(rig.shows("GroupBox_gauge_up_down_loading"));
        QVERIFY(rig.runUntil([&] { return rig.requests('Z') == reads + 18; }, 10s));
        QVERIFY(rig.runUntil([&] { return !rig.shows("GroupBox_gauge_up_down_loading"); }, 5s));

        // "s" without Alt is left to the controls.
        const int versions = rig.requests('V');
        rig.key(&rig.main(), Qt::Key_S);
        rig.run(2s);
        QCOMPARE(rig.requests('V'), versions);
    }

    void downloadMarksTheDataAndTheLockClearsTheMark() {
        GuiRig rig;
        QVERIFY(rig.connect());
        QCOMPARE(rig.main().windowTitle(), kCaption);
        QCOMPARE(headerColour(rig, "AdvStringGrid_Throttle_limit"), kHeaderLocked);

        rig.key(&rig.main(), Qt::Key_P, Qt::AltModifier);
        QVERIFY(rig.runUntil([&] { return rig.requests('R') == 1 && rig.polls() > 5; }, 20s));
        QVERIFY(rig.requests('E') > 0);
        QCOMPARE(rig.main().windowTitle(), kMarkedCaption);
        QCOMPARE(headerColour(rig, "AdvStringGrid_Throttle_response_curve_1"), kHeaderNotLocked);
        QCOMPARE(headerColour(rig, "AdvStringGrid_Throttle_response_curve_2"), kHeaderNotLocked);
        QCOMPARE(headerColour(rig, "AdvStringGrid_Throttle_limit"), kHeaderNotLocked);
        QVERIFY(!rig.module->settingsKept());

        rig.key(&rig.main(), Qt::Key_F7);
        expectCommandMenu(rig);
        rig.click("SpeedButton_lock_unlock");
        QVERIFY(rig.runUntil([&] { return rig.main().windowTitle() == kCaption; }, 5s));
        QVERIFY(rig.requests('L') >= 1);
        QVERIFY(rig.module->settingsKept());
        QCOMPARE(headerColour(rig, "AdvStringGrid_Throttle_limit"), kHeaderLocked);
        QVERIFY(!rig.shows("GroupBox_up_download_menu"));
        QVERIFY(rig.enabled("SpeedButton_openfile"));
        const int polls = rig.polls();
        rig.run(1s);
        QVERIFY(rig.polls() > polls);

        // A second lock leaves the caption as it is.
        const int locks = rig.requests('L');
        rig.key(&rig.main(), Qt::Key_L, Qt::AltModifier);
        QVERIFY(rig.runUntil([&] { return rig.requests('L') > locks; }, 5s));
        rig.run(500ms);
        QCOMPARE(rig.main().windowTitle(), kCaption);
    }

    void lockIsRefusedWhileACurveFalls() {
        GuiRig rig(fallingCurveModule());
        QVERIFY(rig.connect());
        QVERIFY(rig.shows("AdvSmoothPanel_warning_waarde_niet_oplopend1"));
        QCOMPARE(rig.text("AdvSmoothPanel_warning_waarde_niet_oplopend1"),
                 QStringLiteral("Values in throttle response curve 1 needs to be increasing or equal !!!"));
        QVERIFY(!rig.shows("AdvSmoothPanel_warning_waarde_niet_oplopend2"));
        QVERIFY(rig.find("AdvSmoothPanel_warning_waarde_niet_oplopend1")
                    ->styleSheet()
                    .contains(QStringLiteral("color: #ffffff")));

        rig.key(&rig.main(), Qt::Key_L, Qt::AltModifier);
        rig.run(2s);
        QCOMPARE(rig.requests('L'), 0);
        QVERIFY(rig.find("AdvSmoothPanel_warning_waarde_niet_oplopend1")
                    ->styleSheet()
                    .contains(QStringLiteral("color: #ffff00")));
        QVERIFY(rig.polls() > 3);  // polling went on
    }

    void powerInterruptionShowsItsNoticeWithTheUploadButtonFocused() {
        RigOptions options;
        options.live.status = 1u << 11;
        GuiRig rig(options);
        QVERIFY(rig.connect());
        QVERIFY(rig.shows("Panel_power_to_system_was_interrupted"));
        QCOMPARE(rig.main().focusWidget(), rig.find("AdvSmoothButton2"));
        for (const char* lamp : {"Panel_Digital_input_1", "Panel_CAN_input", "Panel_Airco_Led"})
            QCOMPARE(rig.find(lamp)->property("colour").toULongLong(), 0ull);
        const int versions = rig.requests('V');
        rig.click("AdvSmoothButton2");
        QVERIFY(rig.runUntil([&] { return rig.requests('V') == versions + 1; }, 2s));

        rig.module->live().status = 0x07FF;
        QVERIFY(rig.runUntil(
            [&] { return rig.find("Panel_Airco_Led")->property("colour").toULongLong() == 65280; }, 10s));
        QVERIFY(!rig.shows("Panel_power_to_system_was_interrupted"));
        QCOMPARE(rig.find("Panel_Digital_input_1")->property("colour").toULongLong(), 65280ull);
    }
};

std::unique_ptr<QObject> makeMenuAndLockTest() {
    return std::make_unique<MenuAndLockTest>();
}

}  // namespace etc::guitest

#include "menu_and_lock_test.moc"
