#include "gui/errors_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "gui/colours.h"
#include "gui/key_forwarder.h"

namespace etc::gui {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString indicatorStyle(std::uint32_t fill) {
    return QStringLiteral(
               "background-color: %1; color: white; font-weight: bold; border: 1px solid #404040; "
               "border-radius: 9px;")
        .arg(cssColour(fill));
}

constexpr int kRowHeight = 22;
constexpr int kTop = 12;

}  // namespace

ErrorsWindow::ErrorsWindow(app::Session& session, live::ErrorsWindow& errors, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_session(session), m_errors(errors) {
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(qs(live::kErrorsWindowCaption));
    // It pops up by itself in the middle of work: the keys stay with the window the user works in.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(300, kTop + static_cast<int>(live::kConditionCount) * kRowHeight + 110);

    for (std::size_t n = 0; n < live::kConditionCount; ++n) {
        const int y = kTop + static_cast<int>(n) * kRowHeight;
        auto* indicator = new QLabel(this);
        indicator->setObjectName(QString::fromStdString(live::indicatorName(n)));
        indicator->setAlignment(Qt::AlignCenter);
        indicator->setGeometry(10, y, 18, 18);
        indicator->hide();
        auto* label = new QLabel(qs(live::kConditionTexts[n]), this);
        label->setObjectName(QString::fromStdString(live::messageLabelName(n)));
        label->setGeometry(36, y, 256, 18);
        label->hide();
        m_indicators[n] = indicator;
        m_labels[n] = label;
    }

    const int legendTop = kTop + static_cast<int>(live::kConditionCount) * kRowHeight + 8;
    auto* warningLamp = new QLabel(this);
    warningLamp->setObjectName(QStringLiteral("AdvSmoothStatusIndicator_legend_warning"));
    warningLamp->setGeometry(10, legendTop, 18, 18);
    warningLamp->setStyleSheet(indicatorStyle(live::kWarningFill));
    auto* warningText = new QLabel(qs(live::kWarningLegendText), this);
    warningText->setGeometry(36, legendTop, 200, 18);
    auto* errorLamp = new QLabel(qs(live::kErrorIndicatorCaption), this);
    errorLamp->setObjectName(QStringLiteral("AdvSmoothStatusIndicator_legend_error"));
    errorLamp->setAlignment(Qt::AlignCenter);
    errorLamp->setGeometry(10, legendTop + 24, 18, 18);
    errorLamp->setStyleSheet(indicatorStyle(live::kErrorFill));
    auto* errorText = new QLabel(qs(live::kErrorLegendText), this);
    errorText->setGeometry(36, legendTop + 24, 200, 18);

    m_clear = new QPushButton(qs(live::kClearMessageText), this);
    m_clear->setObjectName(QStringLiteral("Button_clear_message"));
    m_clear->setGeometry(90, legendTop + 54, 120, 30);
    connect(m_clear, &QPushButton::clicked, this, [this] { m_errors.clearMessage(); });

    // Only the upload, download and lock keys and the manual work here.
    m_keys = new KeyForwarder(
        this, [this](app::Key key, bool alt) { return m_session.keyPressed(key, alt); },
        [](app::Key key, bool alt) {
            return key == app::Key::F1 ||
                   (alt && (key == app::Key::S || key == app::Key::P || key == app::Key::L));
        });
    refresh();
}

void ErrorsWindow::refresh() {
    const auto& marks = m_errors.marks();
    for (std::size_t n = 0; n < live::kConditionCount; ++n) {
        const live::ConditionMark mark = marks[n];
        const bool visible = mark != live::ConditionMark::Hidden;
        if (visible && mark != m_drawn[n]) {
            m_indicators[n]->setStyleSheet(indicatorStyle(live::markFill(mark)));
            m_indicators[n]->setText(qs(live::markCaption(mark)));
            m_indicators[n]->setProperty("fill", static_cast<qulonglong>(live::markFill(mark)));
        }
        m_indicators[n]->setVisible(visible);
        m_labels[n]->setVisible(visible);
        m_drawn[n] = mark;
    }
    if (m_errors.windowShown() && !isVisible())
        show();
    else if (!m_errors.windowShown() && isVisible())
        hide();
}

void ErrorsWindow::closeEvent(QCloseEvent* event) {
    m_errors.close();
    event->accept();
}

}  // namespace etc::gui
