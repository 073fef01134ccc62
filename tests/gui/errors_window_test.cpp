// The errors and warnings window: flags pop it up and stay until "Clear message", the looks of a
// warning and an error, and its own keys.
#include <fstream>

#include "gui_rig.h"
#include "gui_tests.h"

namespace etc::guitest {

namespace {

constexpr unsigned long long kErrorFill = 0x0000FF;
constexpr unsigned long long kWarningFill = 0x2894FF;

unsigned long long fill(GuiRig& rig, const char* indicator) {
    QWidget* w = rig.find(indicator);
    return w ? w->property("fill").toULongLong() : 1;
}

// Runs until the module's next frames were shown.
void nextFrames(GuiRig& rig) {
    const int polls = rig.polls();
    QVERIFY(rig.runUntil([&] { return rig.polls() >= polls + 2; }, 2s));
}

}  // namespace

class ErrorsWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void windowIsPlacedOnTopWithItsCaptionAndLegend() {
        GuiRig rig;
        rig.start();
        gui::ErrorsWindow& window = rig.errorsWindow();
        QCOMPARE(window.windowTitle(), QStringLiteral("                    Errors and warnings"));
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(window.pos(), QPoint(1018 - 315, 55));
        QCOMPARE(rig.text("Label_Error_message_16"), QStringLiteral("Maximum  Intergrator  time"));
        QCOMPARE(rig.text("Label_Error_message_17"), QStringLiteral("5V short circuit"));
        QCOMPARE(rig.text("Button_clear_message"), QStringLiteral("Clear message"));
        QVERIFY(!window.findChildren<QLabel*>().isEmpty());
        bool warningLegend = false, errorLegend = false;
        for (QLabel* label : window.findChildren<QLabel*>()) {
            warningLegend |= label->text() == QStringLiteral("Orange = warning");
            errorLegend |= label->text() == QStringLiteral("Red with ! = error");
        }
        QVERIFY(warningLegend);
        QVERIFY(errorLegend);
        QVERIFY(!window.isVisible());
    }

    void flagsShowAndStayUntilClearMessage() {
        GuiRig rig;
        QVERIFY(rig.connect());
        QVERIFY(!rig.errorsWindow().isVisible());

        rig.module->live().errors = {0x0004, 0, 0x0202};
        nextFrames(rig);
        QVERIFY(rig.errorsWindow().isVisible());
        QVERIFY(rig.shows("AdvSmoothStatusIndicator_error_02"));
        QCOMPARE(rig.text("AdvSmoothStatusIndicator_error_02"), QStringLiteral("!"));
        QCOMPARE(fill(rig, "AdvSmoothStatusIndicator_error_02"), kErrorFill);
        QVERIFY(rig.shows("Label_Error_message_02"));
        QCOMPARE(rig.text("Label_Error_message_02"), QStringLiteral("TPS 1  0.25V below calibration value"));
        // Warning and error bit of one condition: shown as an error.
        QVERIFY(rig.shows("AdvSmoothStatusIndicator_error_17"));
        QCOMPARE(fill(rig, "AdvSmoothStatusIndicator_error_17"), kErrorFill);
        QVERIFY(!rig.shows("AdvSmoothStatusIndicator_error_00"));
        QVERIFY(!rig.shows("Label_Error_message_03"));

        // The module stops flagging: the flags stay on screen.
        rig.module->live().errors = {0, 0, 0};
        nextFrames(rig);
        QVERIFY(rig.errorsWindow().isVisible());
        QVERIFY(rig.shows("AdvSmoothStatusIndicator_error_02"));
        QVERIFY(rig.shows("Label_Error_message_17"));

        rig.click("Button_clear_message");
        QVERIFY(!rig.errorsWindow().isVisible());
        nextFrames(rig);
        QVERIFY(!rig.errorsWindow().isVisible());
        QVERIFY(!rig.find("AdvSmoothStatusIndicator_error_02")->isVisibleTo(&rig.errorsWindow()));

        // A warning now: orange, no caption, and the window is back.
        rig.module->live().errors = {0x0400, 0, 0};
        nextFrames(rig);
        QVERIFY(rig.errorsWindow().isVisible());
        QVERIFY(rig.shows("AdvSmoothStatusIndicator_error_02"));
        QCOMPARE(rig.text("AdvSmoothStatusIndicator_error_02"), QString());
        QCOMPARE(fill(rig, "AdvSmoothStatusIndicator_error_02"), kWarningFill);
        QVERIFY(!rig.shows("AdvSmoothStatusIndicator_error_17"));
    }

    void clearedConditionsComeBackWhileTheModuleStillFlagsThem() {
        GuiRig rig;
        QVERIFY(rig.connect());
        rig.module->live().errors = {0, 0x8001, 0};
        nextFrames(rig);
        QCOMPARE(fill(rig, "AdvSmoothStatusIndicator_error_15"), kWarningFill);
        QCOMPARE(fill(rig, "AdvSmoothStatusIndicator_error_08"), kErrorFill);
        rig.click("Button_clear_message");
        QVERIFY(!rig.errorsWindow().isVisible());
        nextFrames(rig);
        QVERIFY(rig.errorsWindow().isVisible());
        QVERIFY(rig.shows("AdvSmoothStatusIndicator_error_15"));
        QVERIFY(rig.shows("AdvSmoothStatusIndicator_error_08"));
    }

    void closingTheWindowKeepsTheFlags() {
        GuiRig rig;
        QVERIFY(rig.connect());
        rig.module->live().errors = {0x0001, 0, 0};
        nextFrames(rig);
        QVERIFY(rig.errorsWindow().isVisible());
        rig.errorsWindow().close();
        QVERIFY(!rig.errorsWindow().isVisible());
        QVERIFY(rig.s().window.errors.conditionVisible(0));
    }

    void itsOwnKeysUploadDownloadAndLockButNothingElse() {
        GuiRig rig;
        QVERIFY(rig.connect());
        rig.module->live().errors = {0x0001, 0, 0};
        nextFrames(rig);
        gui::ErrorsWindow& window = rig.errorsWindow();
        QVERIFY(window.isVisible());

        // F10 belongs to the main window only.
        rig.key(&window, Qt::Key_F10);
        QVERIFY(rig.s().engine.online());

        const int locks = rig.requests('L');
        rig.key(&window, Qt::Key_L, Qt::AltModifier);
        QVERIFY(rig.runUntil([&] { return rig.requests('L') > locks; }, 2s));
        QVERIFY(rig.runUntil([&] { return rig.polls() > 0 && rig.s().engine.pollTimer().isActive(); }, 2s));

        const int reads = rig.requests('Z');
        rig.key(&window, Qt::Key_S, Qt::AltModifier);
        QVERIFY(rig.shows("GroupBox_gauge_up_down_loading"));
        QVERIFY(rig.runUntil([&] { return rig.requests('Z') == reads + 18; }, 10s));

        std::ofstream(rig.dir.path / "OXT ETC Manual V1.05.pdf") << "manual";
        rig.key(&window, Qt::Key_F1);
        QCOMPARE(rig.desktop.opened,
                 (std::vector<std::string>{(rig.dir.path / "OXT ETC Manual V1.05.pdf").string()}));
    }
};

std::unique_ptr<QObject> makeErrorsWindowTest() {
    return std::make_unique<ErrorsWindowTest>();
}

}  // namespace etc::guitest

#include "errors_window_test.moc"
