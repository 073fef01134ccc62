// The Qt adapters of the core's seams: message boxes, file dialogs, the desktop shell, the port list.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <functional>

#include "gui_rig.h"
#include "gui_tests.h"
#include "qtio/qt_desktop.h"
#include "qtio/qt_file_dialogs.h"
#include "qtio/qt_port_list.h"
#include "qtio/qt_prompter.h"

namespace etc::guitest {

namespace {

// Runs `act` on the first visible top-level widget of type T once it shows (inside its event loop).
template <typename T>
void whenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(t);
                return;
            }
        }
    });
    timer->start();
}

struct Seen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
};

Seen answer(QMessageBox* box, QMessageBox::StandardButton press) {
    Seen seen{box->windowTitle(), box->text(), box->icon(), {}};
    for (QAbstractButton* b : box->buttons())
        if (b->isVisibleTo(box))
            seen.buttons << box->standardButton(b);
    std::sort(seen.buttons.begin(), seen.buttons.end());
    if (press == QMessageBox::NoButton)
        QTest::keyClick(box, Qt::Key_Escape);
    else
        box->button(press)->click();
    return seen;
}

}  // namespace

class AdapterTest : public QObject {
    Q_OBJECT
  private slots:
    void okBoxShowsOneButtonAndTheTextWithItsLineBreaks() {
        qtio::QtPrompter qtPrompter;
        link::Prompter& prompter = qtPrompter;
        Seen seen;
        whenShown<QMessageBox>([&](QMessageBox* box) { seen = answer(box, QMessageBox::Ok); });
        const auto pressed = prompter.message(link::MessageKind::Warning, "first\r\nsecond\r\r\nthird");
        QCOMPARE(pressed, link::Button::Ok);
        QCOMPARE(seen.title, QStringLiteral("Warning"));
        QCOMPARE(seen.text, QStringLiteral("first\nsecond\nthird"));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(seen.buttons, (QList<QMessageBox::StandardButton>{QMessageBox::Ok}));
    }

    void okBoxClosedWithoutOkAnswersCancel() {
        qtio::QtPrompter qtPrompter;
        link::Prompter& prompter = qtPrompter;
        whenShown<QMessageBox>([](QMessageBox* box) { (void)answer(box, QMessageBox::NoButton); });
        QCOMPARE(prompter.message(link::MessageKind::Information, "newer"), link::Button::Cancel);
    }

    void yesNoBoxAnswersTheButtonPressed() {
        qtio::QtPrompter qtPrompter;
        link::Prompter& prompter = qtPrompter;
        Seen seen;
        whenShown<QMessageBox>([&](QMessageBox* box) { seen = answer(box, QMessageBox::No); });
        QCOMPARE(prompter.message(link::MessageKind::Information, "sure?", link::ButtonSet::YesNo),
                 link::Button::No);
        QCOMPARE(seen.title, QStringLiteral("Information"));
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.buttons, (QList<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}));
        whenShown<QMessageBox>([&](QMessageBox* box) { seen = answer(box, QMessageBox::Yes); });
        QCOMPARE(prompter.message(link::MessageKind::Information, "sure?", link::ButtonSet::YesNo),
                 link::Button::Yes);
    }

    void cancelIgnoreBoxAnswersIgnoreOrCancel() {
        qtio::QtPrompter qtPrompter;
        link::Prompter& prompter = qtPrompter;
        Seen seen;
        whenShown<QMessageBox>([&](QMessageBox* box) { seen = answer(box, QMessageBox::Ignore); });
        QCOMPARE(prompter.message(link::MessageKind::Error, "mismatch", link::ButtonSet::CancelIgnore),
                 link::Button::Ignore);
        QCOMPARE(seen.title, QStringLiteral("Error"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons,
                 (QList<QMessageBox::StandardButton>{QMessageBox::Ignore, QMessageBox::Cancel}));
        whenShown<QMessageBox>([](QMessageBox* box) { (void)answer(box, QMessageBox::NoButton); });
        QCOMPARE(prompter.message(link::MessageKind::Error, "mismatch", link::ButtonSet::CancelIgnore),
                 link::Button::Cancel);
    }

    void filtersBecomeQtNameFilters() {
        QCOMPARE(qtio::qtNameFilter("Settings file (*.e00)|*.e00"), QStringLiteral("Settings file (*.e00)"));
        QCOMPARE(qtio::qtNameFilter("Settings file|*.e00"), QStringLiteral("Settings file (*.e00)"));
        QCOMPARE(qtio::qtNameFilter("Both|*.e00;*.e0i|All files (*.*)|*.*"),
                 QStringLiteral("Both (*.e00 *.e0i);;All files (*.*)"));
        QCOMPARE(qtio::qtNameFilter(""), QString());
        QCOMPARE(qtio::qtDefaultSuffix(".e00"), QStringLiteral("e00"));
        QCOMPARE(qtio::qtDefaultSuffix("e00"), QStringLiteral("e00"));
    }

    void saveDialogIsSetUpAsAskedAndGivesThePath() {
        TempDir dir;
        qtio::QtFileDialogs dialogs;
        link::FileDialogRequest request;
        request.title = "Save settings";
        request.filter = "Settings file (*.e00)|*.e00";
        request.defaultExtension = ".e00";
        request.directory = dir.path.string();
        request.fileName = "noname.e00";
        request.confirmOverwrite = true;
        QString title, directory, filter, suffix;
        QStringList selected;
        bool confirms = false;
        bool saving = false;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            directory = dialog->directory().absolutePath();
            filter = dialog->selectedNameFilter();
            suffix = dialog->defaultSuffix();
            selected = dialog->selectedFiles();
            confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            saving = dialog->acceptMode() == QFileDialog::AcceptSave;
            static_cast<QDialog*>(dialog)->accept();
        });
        const auto path = dialogs.saveFile(request);
        QCOMPARE(title, QStringLiteral("Save settings"));
        QCOMPARE(directory, QString::fromStdString(dir.path.string()));
        QCOMPARE(filter, QStringLiteral("Settings file (*.e00)"));
        QCOMPARE(suffix, QStringLiteral("e00"));
        QVERIFY(confirms);
        QVERIFY(saving);
        QCOMPARE(selected.size(), 1);
        QVERIFY(path.has_value());
        QCOMPARE(*path, (dir.path / "noname.e00").string());
    }

    void cancelledOpenDialogGivesNothing() {
        TempDir dir;
        qtio::QtFileDialogs dialogs;
        link::FileDialogRequest request;
        request.title = "Open settings";
        request.filter = "Settings file (*.e00)|*.e00";
        request.directory = dir.path.string();
        bool opening = false;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            opening = dialog->acceptMode() == QFileDialog::AcceptOpen &&
                      dialog->fileMode() == QFileDialog::ExistingFile;
            dialog->reject();
        });
        QVERIFY(!dialogs.openFile(request).has_value());
        QVERIFY(opening);
    }

    void desktopRefusesAMissingDocument() {
        TempDir dir;
        qtio::QtDesktop desktop;
        const std::string missing = (dir.path / "OXT ETC Manual V1.05.pdf").string();
        QVERIFY(!desktop.fileExists(missing));
        QVERIFY(!desktop.openDocument(missing));
        std::ofstream(missing) << "x";
        QVERIFY(desktop.fileExists(missing));
        QVERIFY(!desktop.fileExists(dir.path.string()));  // a folder is not a document
    }

    void portListPutsUsbAndAcmFirstAndKeepsTwenty() {
        std::vector<qtio::SystemPort> ports{{"/dev/ttyS0", ""},
                                            {"/dev/ttyS1", ""},
                                            {"/dev/ttyACM0", ""},
                                            {"/dev/ttyUSB1", "FT232R USB UART"},
                                            {"/dev/ttyS2", "USB adapter"}};
        QCOMPARE(qtio::orderPortList(ports),
                 (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyS0",
                                           "/dev/ttyS1"}));
        std::vector<qtio::SystemPort> many;
        for (int i = 0; i < 30; ++i)
            many.push_back({"/dev/ttyS" + std::to_string(i), ""});
        many.push_back({"/dev/ttyUSB0", ""});
        const auto list = qtio::orderPortList(many);
        QCOMPARE(list.size(), std::size_t{20});
        QCOMPARE(list.front(), std::string("/dev/ttyUSB0"));
        QCOMPARE(list.back(), std::string("/dev/ttyS18"));
    }
};

std::unique_ptr<QObject> makeAdapterTest() {
    return std::make_unique<AdapterTest>();
}

}  // namespace etc::guitest

#include "adapter_test.moc"
