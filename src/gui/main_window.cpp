#include "gui/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include "gui/click_label.h"
#include "gui/colours.h"
#include "gui/dashboard_widget.h"
#include "gui/key_forwarder.h"
#include "settings/settings_texts.h"

namespace etc::gui {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPushButton* commandButton(QWidget* parent, const char* name, const char* key, const char* hint, int x) {
    auto* button = new QPushButton(QString::fromLatin1(key), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, 6, 60, 60);
    button->setFocusPolicy(Qt::NoFocus);
    if (hint)
        button->setToolTip(QString::fromLatin1(hint));
    button->setStatusTip(QString::fromLatin1(key));
    QFont font = button->font();
    font.setBold(true);
    font.setPointSize(14);
    button->setFont(font);
    return button;
}

QString tableName(settings::SettingsImage::Table table) {
    using Table = settings::SettingsImage::Table;
    switch (table) {
        case Table::Throttle_response_curve_1:
            return QStringLiteral("Throttle_response_curve_1");
        case Table::Throttle_response_curve_2:
            return QStringLiteral("Throttle_response_curve_2");
        case Table::Throttle_limit:
            return QStringLiteral("Throttle_limit");
        case Table::openloop_idle:
            return QStringLiteral("openloop_idle");
        case Table::PositieveSollwert:
            return QStringLiteral("PositieveSollwert");
    }
    return {};
}

constexpr std::array<settings::SettingsImage::Table, 4> kMainTables{
    settings::SettingsImage::Table::Throttle_response_curve_1,
    settings::SettingsImage::Table::Throttle_response_curve_2,
    settings::SettingsImage::Table::Throttle_limit,
    settings::SettingsImage::Table::openloop_idle,
};

// Overlays stand out from the orange window: silver with a dark frame and the title inside.
QString overlayStyle(const QString& name) {
    return QStringLiteral(
               "QGroupBox#%1 { background-color: %2; border: 2px solid #404040; border-radius: 6px; "
               "margin-top: 0px; padding-top: 18px; font-weight: bold; }"
               "QGroupBox#%1::title { subcontrol-origin: padding; subcontrol-position: top left; "
               "left: 10px; top: 4px; }")
        .arg(name, cssColour(kSilver));
}

constexpr int kGridWidth = 986;
constexpr int kGridHeight = 52;

}  // namespace

MainWindow::MainWindow(app::Session& session, const live::Dashboard& dashboard, QWidget* parent)
    : QWidget(parent), m_session(session), m_dashboard(dashboard) {
    setObjectName(QStringLiteral("TForm1"));
    setFixedSize(kMainWindowWidth, kMainWindowHeight);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, windowsColour(kOrange));
    setPalette(palette);

    buildCommandBar();
    buildMaps();
    m_dashboardWidget = new DashboardWidget(m_dashboard, this);
    m_dashboardWidget->move(8, 490);
    buildLinkStatus();
    buildOverlays();
    connectClicks();

    m_keys =
        new KeyForwarder(this, [this](app::Key key, bool alt) { return m_session.keyPressed(key, alt); });
    refresh();
}

void MainWindow::buildCommandBar() {
    m_help = commandButton(this, "Button_Help_F1", "F1", nullptr, 8);
    m_openFile = commandButton(this, "SpeedButton_openfile", "F2", "Open file", 72);
    m_saveFile = commandButton(this, "SpeedButton_savefile", "F3", "Save file", 136);
    m_options = commandButton(this, "SpeedButton_options", "F4", "Options", 200);
    m_f7 = commandButton(this, "AdvSmoothButton1", "F7", "Up / Down load", 264);
    // Outside the visible area: its enabled state is what the F7 key asks.
    m_upDownLoad = new QPushButton(QStringLiteral("F7"), this);
    m_upDownLoad->setObjectName(QStringLiteral("SpeedButton_up_down_load"));
    m_upDownLoad->setGeometry(-200, -200, 40, 40);
    m_upDownLoad->setFocusPolicy(Qt::NoFocus);
}

QTableWidget* MainWindow::makeGrid(Table table, QWidget* parent, int x, int y) {
    auto* grid = new QTableWidget(1, settings::SettingsImage::kCurvePoints, parent);
    grid->setObjectName(QStringLiteral("AdvStringGrid_") + tableName(table));
    grid->setGeometry(x, y, kGridWidth, kGridHeight);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->horizontalHeader()->setMinimumSectionSize(20);
    grid->horizontalHeader()->setFixedHeight(24);
    grid->verticalHeader()->setDefaultSectionSize(24);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Display only: in-cell edits have no session action to go to yet.
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int column = 0; column < settings::SettingsImage::kCurvePoints; ++column) {
        auto* item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignCenter);
        grid->setItem(0, column, item);
    }
    return grid;
}

void MainWindow::buildMaps() {
    const std::array<const char*, 2> groupNames{"GroupBox_throttle_response_curve_1",
                                                "GroupBox_throttle_response_curve_2"};
    const std::array<const char*, 2> groupTitles{" Throttle response curve 1", " Throttle response curve 2"};
    for (std::size_t c = 0; c < 2; ++c) {
        auto* group = new QGroupBox(QString::fromLatin1(groupTitles[c]), this);
        group->setObjectName(QString::fromLatin1(groupNames[c]));
        group->setGeometry(8, 72 + static_cast<int>(c) * 110, 1002, 106);

        auto* type = new QComboBox(group);
        type->setObjectName(QStringLiteral("ComboBox_throttle_response_type_%1").arg(c + 1));
        for (const auto item : settings::kResponseTypeItems)
            type->addItem(qs(item));
        type->setGeometry(8, 22, 130, 24);
        m_responseTypes[c] = type;

        auto* accLabel = new QLabel(QStringLiteral("Acc limiter :"), group);
        accLabel->setGeometry(160, 24, 80, 20);
        auto* acc = new QDoubleSpinBox(group);
        acc->setObjectName(QStringLiteral("AdvSpinEdit_throttle_response_curve_%1_acc_limiter").arg(c + 1));
        acc->setRange(0, 125);
        acc->setSingleStep(0.5);
        acc->setDecimals(1);
        acc->setReadOnly(true);
        acc->setGeometry(240, 22, 76, 24);
        m_accLimiters[c] = acc;
        auto* accUnit = new QLabel(QStringLiteral("/ 0,1 sec"), group);
        accUnit->setGeometry(322, 24, 70, 20);

        auto* warning =
            new QLabel(qs(settings::SettingsImage::curveWarningText(static_cast<int>(c) + 1)), group);
        warning->setObjectName(QStringLiteral("AdvSmoothPanel_warning_waarde_niet_oplopend%1").arg(c + 1));
        warning->setGeometry(410, 22, 584, 24);
        warning->setAlignment(Qt::AlignCenter);
        warning->hide();
        m_curveWarnings[c] = warning;

        m_curveGroups[c] = group;
        m_grids[c] = makeGrid(kMainTables[c], group, 8, 50);
    }

    m_throttleLimitPanel = new QGroupBox(QStringLiteral(" Throttle limit"), this);
    m_throttleLimitPanel->setObjectName(QStringLiteral("AdvSmoothPanel_Throttle_limit"));
    m_throttleLimitPanel->setGeometry(8, 294, 1002, 84);
    m_grids[2] = makeGrid(Table::Throttle_limit, m_throttleLimitPanel, 8, 24);

    m_idlePanel = new QGroupBox(QStringLiteral("Openloop idle"), this);
    m_idlePanel->setObjectName(QStringLiteral("AdvSmoothPanel_openloop_idle"));
    m_idlePanel->setGeometry(8, 382, 1002, 104);
    auto* lowest = new QLabel(QStringLiteral("Lowest idle rpm"), m_idlePanel);
    lowest->setObjectName(QStringLiteral("Panel_lowest_idle_rpm"));
    lowest->setGeometry(8, 20, 200, 20);
    m_grids[3] = makeGrid(Table::openloop_idle, m_idlePanel, 8, 44);
}

void MainWindow::buildLinkStatus() {
    auto* errors = new ClickLabel(this);
    errors->setObjectName(QStringLiteral("Label_comm_errors"));
    errors->setGeometry(800, 10, 200, 22);
    errors->setCursor(Qt::PointingHandCursor);
    m_commErrors = errors;
    m_comButton = new QPushButton(this);
    m_comButton->setObjectName(QStringLiteral("Button_COM_knop"));
    m_comButton->setGeometry(800, 36, 160, 28);
    m_comButton->setFocusPolicy(Qt::NoFocus);
}

void MainWindow::buildOverlays() {
    // The up/download menu.
    m_upDownMenu = new QGroupBox(QStringLiteral("Up / Down load"), this);
    m_upDownMenu->setObjectName(QStringLiteral("GroupBox_up_download_menu"));
    m_upDownMenu->setGeometry(330, 150, 360, 232);
    m_upDownMenu->setStyleSheet(overlayStyle(QStringLiteral("GroupBox_up_download_menu")));
    const auto row = [this](const char* text, const char* name, const char* caption, int y, QLabel** label) {
        auto* l = new QLabel(QString::fromLatin1(text), m_upDownMenu);
        l->setGeometry(20, y + 6, 200, 20);
        if (label)
            *label = l;
        auto* button = new QPushButton(QString::fromLatin1(caption), m_upDownMenu);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(240, y, 90, 32);
        return button;
    };
    m_upload = row("Up-load :", "SpeedButton_Upload", "&s", 28, nullptr);
    m_download = row("Down-load :", "SpeedButton_Download", "&p", 72, nullptr);
    m_lock = row("Lock Program in System:", "SpeedButton_lock_unlock", "&l", 116, &m_lockLabel);
    m_stayOffline = new QPushButton(QStringLiteral("Stay Offline"), m_upDownMenu);
    m_stayOffline->setObjectName(QStringLiteral("Button_stay_offline"));
    m_stayOffline->setGeometry(20, 180, 150, 34);
    m_cancelMenu = new QPushButton(QStringLiteral("&Cancel"), m_upDownMenu);
    m_cancelMenu->setObjectName(QStringLiteral("Button_cancel_Up_download_menu"));
    m_cancelMenu->setGeometry(190, 180, 150, 34);
    m_upDownMenu->hide();

    // The progress panel of up- and downloads.
    m_progressPanel = new QGroupBox(this);
    m_progressPanel->setObjectName(QStringLiteral("GroupBox_gauge_up_down_loading"));
    m_progressPanel->setGeometry(300, 400, 420, 74);
    m_progressPanel->setStyleSheet(overlayStyle(QStringLiteral("GroupBox_gauge_up_down_loading")));
    m_gauge = new QProgressBar(m_progressPanel);
    m_gauge->setObjectName(QStringLiteral("Gauge_up_down_loading"));
    m_gauge->setGeometry(12, 30, 396, 28);

    // The notice of status bit 11.
    auto* power = new QFrame(this);
    power->setObjectName(QStringLiteral("Panel_power_to_system_was_interrupted"));
    power->setGeometry(340, 170, 340, 200);
    power->setStyleSheet(
        QStringLiteral("QFrame#Panel_power_to_system_was_interrupted { background-color: "
                       "#c00000; border: 2px solid white; border-radius: 8px; }"
                       "QLabel { color: white; }"));
    int y = 14;
    for (const auto text : live::kPowerInterruptedTexts) {
        auto* label = new QLabel(qs(text), power);
        label->setAlignment(Qt::AlignCenter);
        QFont font = label->font();
        font.setPointSize(y < 60 ? 16 : 11);
        font.setBold(true);
        label->setFont(font);
        label->setGeometry(10, y, 320, 30);
        y += 36;
    }
    m_powerUpload = new QPushButton(QStringLiteral("Up-load"), power);
    m_powerUpload->setObjectName(QStringLiteral("AdvSmoothButton2"));
    m_powerUpload->setGeometry(30, 140, 130, 40);
    m_powerDownload = new QPushButton(QStringLiteral("Down-load"), power);
    m_powerDownload->setObjectName(QStringLiteral("AdvSmoothButton3"));
    m_powerDownload->setGeometry(180, 140, 130, 40);
    power->hide();
    m_powerPanel = power;

    m_upDownMenu->raise();
    m_progressPanel->raise();
    m_powerPanel->raise();
}

void MainWindow::connectClicks() {
    app::Session& s = m_session;
    connect(m_help, &QPushButton::clicked, this, [&s] { s.openManual(); });
    connect(m_openFile, &QPushButton::clicked, this, [&s] { s.openCommand(); });
    connect(m_saveFile, &QPushButton::clicked, this, [&s] { s.saveCommand(); });
    connect(m_options, &QPushButton::clicked, this, [&s] { (void)s.keyPressed(app::Key::F4, false); });
    connect(m_f7, &QPushButton::clicked, this, [&s] { s.f7Button(); });
    connect(m_upDownLoad, &QPushButton::clicked, this, [&s] { s.f7Button(); });
    connect(m_upload, &QPushButton::clicked, this, [&s] { s.uploadCommand(); });
    connect(m_download, &QPushButton::clicked, this, [&s] { s.downloadCommand(); });
    connect(m_lock, &QPushButton::clicked, this, [&s] { s.lockCommand(); });
    connect(m_stayOffline, &QPushButton::clicked, this, [&s] { s.stayOffline(); });
    connect(m_cancelMenu, &QPushButton::clicked, this, [&s] { s.cancelMenu(); });
    connect(m_powerUpload, &QPushButton::clicked, this, [&s] { s.uploadCommand(); });
    connect(m_powerDownload, &QPushButton::clicked, this, [&s] { s.downloadCommand(); });
    connect(static_cast<ClickLabel*>(m_commErrors), &ClickLabel::clicked, this, [&s] { s.openPortGroup(); });
    connect(m_comButton, &QPushButton::clicked, this, [&s] { s.openPortGroup(); });
    connect(m_dashboardWidget, &DashboardWidget::clicked, this, [&s] { s.dashboardClicked(); });
    // Choosing a response type is an edit the core has yet to take: the combo keeps showing the image.
    for (QComboBox* type : m_responseTypes)
        connect(type, &QComboBox::activated, this, [this] { refreshMaps(); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}

void MainWindow::refresh() {
    refreshMaps();
    refreshDashboard();
    refreshState();
}

void MainWindow::refreshState() {
    const app::MainWindowState& w = m_session.window;
    setWindowTitle(QString::fromStdString(m_session.caption()));

    m_openFile->setEnabled(w.mainButtonsEnabled);
    m_saveFile->setEnabled(w.mainButtonsEnabled);
    m_options->setEnabled(w.optionsButtonEnabled);
    m_upDownLoad->setEnabled(w.mainButtonsEnabled);

    for (QGroupBox* group : m_curveGroups)
        group->setVisible(w.mapPanelsShown);
    m_throttleLimitPanel->setVisible(w.mapPanelsShown);
    m_idlePanel->setVisible(w.mapPanelsShown && w.idlePanelShown);
    for (QTableWidget* grid : m_grids)
        grid->setEnabled(w.tablesEnabled);
    for (std::size_t c = 0; c < 2; ++c) {
        m_responseTypes[c]->setEnabled(w.tablesEnabled);
        m_accLimiters[c]->setEnabled(w.tablesEnabled);
        m_curveWarnings[c]->setVisible(m_session.image.curveWarning(static_cast<int>(c) + 1));
    }
    const int highlighted = w.curveWarningHighlighted ? 1 : 0;
    if (highlighted != m_drawnWarningHighlight) {
        // Yellow after a refused lock, white once a lock was sent.
        for (QLabel* warning : m_curveWarnings) {
            warning->setStyleSheet(
                QStringLiteral("color: %1; background-color: #c00000; border-radius: 4px; font-weight: bold;")
                    .arg(cssColour(highlighted ? kYellow : kWhite)));
        }
        m_drawnWarningHighlight = highlighted;
    }

    const app::HeaderGradient header = m_session.headerGradient();
    const std::array<std::uint32_t, 3> colours{header.colour, header.mirror, header.mirrorTo};
    if (colours != m_drawnHeader) {
        // The header colours of the three grids that carry the data-not-locked mark.
        const QString style =
            QStringLiteral(
                "QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                "stop:0 %1, stop:0.5 %2, stop:1 %3); border: 1px solid #a0a0a0; }")
                .arg(cssColour(colours[0]), cssColour(colours[1]), cssColour(colours[2]));
        for (std::size_t i = 0; i < 3; ++i) {
            m_grids[i]->horizontalHeader()->setStyleSheet(style);
            m_grids[i]->setProperty("headerColour", static_cast<qulonglong>(colours[0]));
        }
        m_drawnHeader = colours;
    }

    m_commErrors->setText(QString::fromStdString(m_session.engine.errorLabel()));
    m_comButton->setText(QString::fromStdString(m_session.portGroup.portButtonCaption()));

    refreshUpDownMenu();

    m_progressPanel->setVisible(w.progress.shown);
    m_progressPanel->setTitle(QString::fromStdString(w.progress.caption));
    m_gauge->setMaximum(std::max(w.progress.maximum, 0));
    m_gauge->setValue(std::clamp(w.progress.position, 0, std::max(w.progress.maximum, 0)));

    refreshPowerPanel();
}

void MainWindow::refreshUpDownMenu() {
    using Form = app::MainWindowState::MenuForm;
    const app::MainWindowState& w = m_session.window;
    const Form form = w.upDownMenuForm;
    const bool lockRow = form != Form::GoingOnline;
    m_lockLabel->setVisible(lockRow);
    m_lock->setVisible(lockRow);
    m_stayOffline->setVisible(form != Form::Command);
    m_cancelMenu->setVisible(form == Form::Command);
    m_upDownMenu->setVisible(w.upDownMenuShown);
}

void MainWindow::refreshPowerPanel() {
    const bool shown = m_dashboard.powerInterruptedPanelShown();
    m_powerPanel->setVisible(shown);
    const std::uint64_t requests = m_dashboard.powerInterruptedFocusRequests();
    if (shown && requests != m_seenFocusRequests)
        m_powerUpload->setFocus(Qt::OtherFocusReason);
    m_seenFocusRequests = requests;
}

void MainWindow::refreshMaps() {
    const settings::SettingsImage& image = m_session.image;
    for (std::size_t g = 0; g < kGridCount; ++g) {
        QTableWidget* grid = m_grids[g];
        const Table table = kMainTables[g];
        QStringList headers;
        for (const auto& h : image.axisHeaders(table))
            headers << QString::fromStdString(h);
        grid->setHorizontalHeaderLabels(headers);
        for (int column = 0; column < grid->columnCount(); ++column)
            grid->item(0, column)->setText(QString::number(image.cell(table, column), 'f', 1));
    }
    const std::array<const char*, 2> types{"throttle_response_type_1", "throttle_response_type_2"};
    const std::array<const char*, 2> limiters{"throttle_response_curve_1_acc_limiter",
                                              "throttle_response_curve_2_acc_limiter"};
    for (std::size_t c = 0; c < 2; ++c) {
        const int last = m_responseTypes[c]->count() - 1;
        const int index = static_cast<int>(image.value(types[c]).value_or(0));
        m_responseTypes[c]->setCurrentIndex(std::clamp(index, 0, last));
        m_accLimiters[c]->setValue(image.value(limiters[c]).value_or(0));
        m_curveWarnings[c]->setVisible(image.curveWarning(static_cast<int>(c) + 1));
    }
}

void MainWindow::refreshDashboard() {
    m_dashboardWidget->refresh();
    refreshPowerPanel();
}

}  // namespace etc::gui
