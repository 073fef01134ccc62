// Online and offline: F10 and dashboard clicks in every state, and a module that falls silent.
#include <QComboBox>

#include "gui_rig.h"
#include "gui_tests.h"

namespace etc::guitest {

namespace {

constexpr unsigned long long kOnlineFillTo = 12632256;  // clSilver
constexpr unsigned long long kOfflineFillTo = 255;      // red

RigOptions liveModule(int userLevel = 4) {
    RigOptions options;
    options.module.userLevel = userLevel;
    options.live.engineSpeed = 150;
    return options;
}

void expectOffline(GuiRig& rig) {
    QVERIFY(rig.shows("Label_communication_is_offline"));
    QCOMPARE(rig.text("Label_communication_is_offline"), QStringLiteral("communication is offline"));
    QVERIFY(rig.shows("Label_press_F10_for_online"));
    QCOMPARE(rig.text("Label_press_F10_for_online"), QStringLiteral("Press F10 for online"));
    QVERIFY(!rig.shows("Label_enginespeed_waarde"));
    QVERIFY(!rig.shows("Panel_Digital_input_1"));
    QCOMPARE(rig.text("Label_enginespeed_waarde"), QStringLiteral("0"));
    QCOMPARE(rig.find("Panel_dashbord")->property("fillTo").toULongLong(), kOfflineFillTo);
}

void expectOnlineLook(GuiRig& rig) {
    QVERIFY(!rig.shows("Label_communication_is_offline"));
    QVERIFY(!rig.shows("Label_press_F10_for_online"));
    QVERIFY(rig.shows("Label_enginespeed_waarde"));
    QCOMPARE(rig.find("Panel_dashbord")->property("fillTo").toULongLong(), kOnlineFillTo);
}

// The menu in its second form: Upload, Download and "Stay Offline".
void expectGoingOnlineMenu(GuiRig& rig) {
    QVERIFY(rig.shows("GroupBox_up_download_menu"));
    QVERIFY(rig.shows("SpeedButton_Upload"));
    QVERIFY(rig.shows("SpeedButton_Download"));
    QVERIFY(rig.shows("Button_stay_offline"));
    QVERIFY(!rig.shows("SpeedButton_lock_unlock"));
    QVERIFY(!rig.shows("Button_cancel_Up_download_menu"));
    QVERIFY(!rig.enabled("SpeedButton_openfile"));
    QVERIFY(!rig.enabled("SpeedButton_up_down_load"));
}

}  // namespace

class OnlineTest : public QObject {
    Q_OBJECT
  private slots:
    void f10TogglesOfflineAndBackWithTheMenu() {
        GuiRig rig(liveModule());
        QVERIFY(rig.connect());
        QCOMPARE(rig.text("Label_enginespeed_waarde"), QStringLiteral("1500"));

        rig.key(&rig.main(), Qt::Key_F10);
        expectOffline(rig);
        const int polls = rig.polls();
        rig.run(2s);
        QCOMPARE(rig.polls(), polls);

        rig.key(&rig.main(), Qt::Key_F10);
        expectOnlineLook(rig);
        expectGoingOnlineMenu(rig);
        rig.run(2s);
        QCOMPARE(rig.polls(), polls);  // going online sends nothing by itself
    }

    void theWindowTakesF10BeforeTheFocusedControl() {
        GuiRig rig(liveModule());
        QVERIFY(rig.connect());
        auto* combo = rig.find<QComboBox>("ComboBox_throttle_response_type_1");
        QVERIFY(combo);
        combo->setFocus();
        rig.key(combo, Qt::Key_F10);
        expectOffline(rig);
        QCOMPARE(combo->currentIndex(), 0);
    }

    void dashboardClickGoesOfflineThenOnlineWithTheMenu() {
        GuiRig rig(liveModule());
        QVERIFY(rig.connect());
        rig.click("Label_enginespeed_waarde");
        expectOffline(rig);
        QVERIFY(!rig.shows("GroupBox_up_download_menu"));
        const int polls = rig.polls();
        rig.run(1s);
        QCOMPARE(rig.polls(), polls);

        // With the curves shown the next click opens the menu in its second form and polls nothing.
        rig.click("Label_communication_is_offline");
        expectOnlineLook(rig);
        expectGoingOnlineMenu(rig);
        rig.run(1s);
        QCOMPARE(rig.polls(), polls);

        // A click on the bare panel goes offline again.
        rig.click("Panel_dashbord");
        expectOffline(rig);
    }

    void dashboardClickWithoutTheMapsPollsAtOnce() {
        // User level 1 shows no settings: going online polls without the menu.
        GuiRig rig(liveModule(1));
        QVERIFY(rig.connect());
        QVERIFY(!rig.shows("GroupBox_throttle_response_curve_1"));
        rig.click("Label_enginespeed_waarde");
        expectOffline(rig);
        const int polls = rig.polls();
        rig.click("Label_press_F10_for_online");
        expectOnlineLook(rig);
        QVERIFY(!rig.shows("GroupBox_up_download_menu"));
        QVERIFY(rig.enabled("Label_enginespeed_waarde"));
        QVERIFY(rig.runUntil([&] { return rig.polls() >= polls + 3; }, 2s));
        QCOMPARE(rig.text("Label_enginespeed_waarde"), QStringLiteral("1500"));
    }

    void stayOfflineLeavesTheToolOfflineWithTheButtonsOn() {
        GuiRig rig(liveModule());
        QVERIFY(rig.connect());
        rig.key(&rig.main(), Qt::Key_F10);
        rig.key(&rig.main(), Qt::Key_F10);
        expectGoingOnlineMenu(rig);
        rig.click("Button_stay_offline");
        QVERIFY(!rig.shows("GroupBox_up_download_menu"));
        QVERIFY(rig.enabled("SpeedButton_openfile"));
        QVERIFY(rig.enabled("SpeedButton_up_down_load"));
        expectOffline(rig);
        QVERIFY(!rig.port->isOpen());
    }

    void aSilentModuleTakesTheToolOfflineAfterSixFailures() {
        GuiRig rig(liveModule());
        QVERIFY(rig.connect());
        // The poll timer goes on sending while no answer comes, so the module stays silent for a while.
        const int next = rig.polls() + 1;
        for (int i = 0; i < 200; ++i)
            rig.module->addFault(*sim::parseFault("drop:*:" + std::to_string(next + i)));
        const bool wentOffline =
            rig.runUntil([&] { return rig.shows("Label_communication_is_offline"); }, 10s);
        QVERIFY(wentOffline);
        expectOffline(rig);
        QVERIFY(!rig.s().engine.online());
        QCOMPARE(rig.text("Label_comm_errors"), QString::fromStdString(rig.s().engine.errorLabel()));
        QVERIFY2(rig.text("Label_comm_errors").startsWith(QStringLiteral("Errors: ")),
                 qPrintable(rig.text("Label_comm_errors")));
        QVERIFY(!rig.shows("GroupBox_gauge_up_down_loading"));
        const int polls = rig.polls();
        rig.run(3s);
        QCOMPARE(rig.polls(), polls);
    }
};

std::unique_ptr<QObject> makeOnlineTest() {
    return std::make_unique<OnlineTest>();
}

}  // namespace etc::guitest

#include "online_test.moc"
