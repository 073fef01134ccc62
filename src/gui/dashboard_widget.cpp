#include "gui/dashboard_widget.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>

#include "gui/colours.h"

namespace etc::gui {

namespace {

// The captions above the value texts, in the order of live::DashboardValue.
constexpr std::array<const char*, live::kDashboardValueCount> kValueCaptions{
    "Engine speed", "Pedal pos. 1", "Pedal 1",        "Pedal 2",       "Throttle pos. 1", "Throttle 1",
    "Battery",      "Throttle 2",   "Throttle corr.", "Motor current", "Correction PID",  "PWM throttle",
    "Load input",   "Resp. curve",  "Water temp",     "ETC temp",      "Var. launch",     "Var. ALS",
};

constexpr int kPanelWidth = 1002;
constexpr int kPanelHeight = 214;
constexpr int kCellWidth = 92;
constexpr int kSpeedWidth = 190;
constexpr int kColumns = 6;
constexpr int kCellHeight = 62;
constexpr int kValuePointSize = 13;

QString lampStyle(std::uint32_t colour) {
    return QStringLiteral("background-color: %1; border: 1px solid #303030; border-radius: 7px;")
        .arg(cssColour(colour));
}

}  // namespace

DashboardWidget::DashboardWidget(const live::Dashboard& dashboard, QWidget* parent)
    : QFrame(parent), m_dashboard(dashboard) {
    setObjectName(QString::fromUtf8(live::kDashboardPanel.data(), live::kDashboardPanel.size()));
    resize(kPanelWidth, kPanelHeight);
    setFrameShape(QFrame::StyledPanel);
    build();
    watchClicks(this);
    refresh();
}

void DashboardWidget::build() {
    // Value panels: engine speed takes the first column, the others fill 6 × 3 cells beside it.
    int slot = 0;
    for (std::size_t i = 0; i < live::kDashboardValueCount; ++i) {
        auto* panel = new QFrame(this);
        panel->setObjectName(QStringLiteral("Panel_value_%1").arg(i));
        panel->setStyleSheet(QStringLiteral("QFrame#Panel_value_%1 { background-color: #2b2b2b; "
                                            "border: 1px solid #7a7a7a; border-radius: 6px; }"
                                            "QLabel { color: #d0d0d0; background: transparent; }")
                                 .arg(i));
        int x = 0, y = 0, w = kCellWidth, h = kCellHeight;
        if (i == 0) {
            x = 8;
            y = 8;
            w = kSpeedWidth;
            h = 3 * kCellHeight + 8;
        } else {
            const int column = 1 + slot % kColumns;
            const int row = slot / kColumns;
            x = 8 + kSpeedWidth + 4 + (column - 1) * (kCellWidth + 4);
            y = 8 + row * (kCellHeight + 4);
            ++slot;
        }
        panel->setGeometry(x, y, w, h);

        auto* caption = new QLabel(QString::fromUtf8(kValueCaptions[i]), panel);
        caption->setGeometry(4, 2, w - 8, 16);
        const auto& field = live::kDashboardFields[i];
        auto* unit = new QLabel(
            QString::fromUtf8(field.unit.data(), static_cast<qsizetype>(field.unit.size())), panel);
        unit->setAlignment(Qt::AlignRight | Qt::AlignBottom);
        unit->setGeometry(w - 40, h - 20, 36, 16);

        auto* value = new QLabel(QStringLiteral("0"), panel);
        value->setObjectName(
            QString::fromUtf8(field.label.data(), static_cast<qsizetype>(field.label.size())));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setGeometry(4, 18, w - 10, h - 38);
        QFont font = value->font();
        font.setBold(true);
        font.setPointSize(kValuePointSize);
        value->setFont(font);

        m_valuePanels[i] = panel;
        m_values[i] = value;
    }

    // Lamps: the inputs (with a second label each) in one column, the functions in the next.
    const int lampsLeft = 8 + kSpeedWidth + 4 + kColumns * (kCellWidth + 4) + 4;
    for (std::size_t i = 0; i < live::kLampCount; ++i) {
        const bool input = i < live::kInputLabelCount;
        const int x = input ? lampsLeft : lampsLeft + 110;
        const int y =
            input ? 10 + static_cast<int>(i) * 50 : 10 + static_cast<int>(i - live::kInputLabelCount) * 28;
        auto* lamp = new QFrame(this);
        lamp->setObjectName(QString::fromUtf8(live::kLampNames[i].data(),
                                              static_cast<qsizetype>(live::kLampNames[i].size())));
        lamp->setGeometry(x, y, 14, 14);
        m_drawnLamps[i] = 0xFFFFFFFFu;
        m_lamps[i] = lamp;
        const auto text = live::Dashboard::lampLabel(static_cast<live::Lamp>(i));
        auto* label = new QLabel(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), this);
        label->setGeometry(x + 18, y - 1, input ? 92 : 70, 16);
        QFont small = label->font();
        small.setPointSize(8);
        label->setFont(small);
        m_lampLabels[i] = label;
        if (input) {
            auto* second = new QLabel(this);
            if (i < live::kDigitalInputSecondLabelNames.size()) {
                const auto name = live::kDigitalInputSecondLabelNames[i];
                second->setObjectName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
            } else {
                second->setObjectName(QStringLiteral("Label_CAN_input_txt_2"));
            }
            second->setGeometry(x + 18, y + 16, 92, 16);
            second->setFont(small);
            m_secondLabels[i] = second;
        }
    }

    const auto makeOfflineText = [this](std::string_view text, const char* name, int y) {
        auto* label = new QLabel(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(Qt::AlignCenter);
        QFont font = label->font();
        font.setPointSize(20);
        font.setBold(true);
        label->setFont(font);
        label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
        label->setGeometry(0, y, kPanelWidth, 40);
        return label;
    };
    m_pressF10 = makeOfflineText(live::kPressF10Text, "Label_press_F10_for_online", 56);
    m_offline = makeOfflineText(live::kCommunicationOfflineText, "Label_communication_is_offline", 110);
}

void DashboardWidget::watchClicks(QWidget* widget) {
    widget->installEventFilter(this);
    for (QObject* child : widget->children()) {
        if (child->isWidgetType())
            watchClicks(static_cast<QWidget*>(child));
    }
}

bool DashboardWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
            emit clicked();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void DashboardWidget::refresh() {
    const live::FillColours fill = m_dashboard.fillColours();
    if (!(fill == m_drawnFill)) {
        setStyleSheet(QStringLiteral("QFrame#Panel_dashbord { background: qlineargradient(x1:0, y1:0, x2:0, "
                                     "y2:1, stop:0 %1, stop:1 %2); border: 1px solid #606060; }")
                          .arg(cssColour(fill.from), cssColour(fill.to)));
        setProperty("fillFrom", static_cast<qulonglong>(fill.from));
        setProperty("fillTo", static_cast<qulonglong>(fill.to));
        m_drawnFill = fill;
    }

    const bool panels = m_dashboard.panelsVisible();
    for (auto* panel : m_valuePanels)
        panel->setVisible(panels);
    for (std::size_t i = 0; i < live::kLampCount; ++i) {
        m_lamps[i]->setVisible(panels);
        m_lampLabels[i]->setVisible(panels);
    }
    const auto& seconds = m_dashboard.secondLabels();
    for (std::size_t i = 0; i < live::kInputLabelCount; ++i) {
        m_secondLabels[i]->setVisible(panels);
        m_secondLabels[i]->setText(QString::fromStdString(seconds[i]));
    }
    m_pressF10->setVisible(m_dashboard.offlineTextsVisible());
    m_offline->setVisible(m_dashboard.offlineTextsVisible());

    const bool enabled = m_dashboard.valueDisplayEnabled();
    const std::uint32_t textColour = m_dashboard.valueTextColour();
    const bool restyle = textColour != m_drawnTextColour;
    const auto& texts = m_dashboard.valueTexts();
    for (std::size_t i = 0; i < live::kDashboardValueCount; ++i) {
        QLabel* value = m_values[i];
        value->setText(QString::fromStdString(texts[i]));
        if (enabled != m_drawnEnabled)
            value->setEnabled(enabled);
        if (restyle)
            value->setStyleSheet(
                QStringLiteral("color: %1; background: transparent;").arg(cssColour(textColour)));
    }
    m_drawnEnabled = enabled;
    m_drawnTextColour = textColour;
    const int pointSize = m_dashboard.engineSpeedPointSize();
    if (pointSize != m_drawnPointSize) {
        QLabel* speed = m_values[static_cast<std::size_t>(live::DashboardValue::EngineSpeed)];
        QFont font = speed->font();
        font.setPointSize(pointSize);
        speed->setFont(font);
        m_drawnPointSize = pointSize;
    }

    const auto& lamps = m_dashboard.lampColours();
    for (std::size_t i = 0; i < live::kLampCount; ++i) {
        if (lamps[i] != m_drawnLamps[i]) {
            m_lamps[i]->setStyleSheet(lampStyle(lamps[i]));
            m_lamps[i]->setProperty("colour", static_cast<qulonglong>(lamps[i]));
            m_drawnLamps[i] = lamps[i];
        }
    }
}

}  // namespace etc::gui
