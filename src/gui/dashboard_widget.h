// The dashboard `Panel_dashbord` at the bottom of the main window: the 18 value texts, the input and
// function lamps with their labels and the offline texts, drawn from live::Dashboard. A click on any
// part of it is reported through `clicked`; what a click does is the session's.
#pragma once

#include <QFrame>
#include <array>
#include <cstdint>

#include "live/dashboard.h"

class QLabel;

namespace etc::gui {

class DashboardWidget final : public QFrame {
    Q_OBJECT
  public:
    explicit DashboardWidget(const live::Dashboard& dashboard, QWidget* parent = nullptr);

    // Draws the dashboard's current state.
    void refresh();

  signals:
    void clicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build();
    void watchClicks(QWidget* widget);

    const live::Dashboard& m_dashboard;
    std::array<QLabel*, live::kDashboardValueCount> m_values{};
    std::array<QFrame*, live::kDashboardValueCount> m_valuePanels{};
    std::array<QFrame*, live::kLampCount> m_lamps{};
    std::array<QLabel*, live::kLampCount> m_lampLabels{};
    std::array<QLabel*, live::kInputLabelCount> m_secondLabels{};
    QLabel* m_pressF10 = nullptr;
    QLabel* m_offline = nullptr;
    // What was drawn last, so that a frame only restyles what changed.
    std::array<std::uint32_t, live::kLampCount> m_drawnLamps{};
    live::FillColours m_drawnFill{0, 0};
    std::uint32_t m_drawnTextColour = 1;
    int m_drawnPointSize = 0;
    bool m_drawnEnabled = true;
};

}  // namespace etc::gui
