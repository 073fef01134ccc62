// The main window `TForm1`: command bar, the four map grids, the dashboard, the link status and the
// overlays, drawn from the session's state. Clicks and keys go to the session's actions.
#pragma once

#include <QWidget>
#include <array>

#include "app/session.h"
#include "live/dashboard.h"
#include "settings/settings_image.h"

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace etc::gui {

class DashboardWidget;
class KeyForwarder;

inline constexpr int kMainWindowWidth = 1018;
inline constexpr int kMainWindowHeight = 712;

class MainWindow final : public QWidget {
    Q_OBJECT
  public:
    MainWindow(app::Session& session, const live::Dashboard& dashboard, QWidget* parent = nullptr);

    // Everything below draws the session's current state.
    void refresh();
    // Caption, buttons, panels, overlays, the link status.
    void refreshState();
    // Grid headers and cells, response types and acc limiters.
    void refreshMaps();
    void refreshDashboard();

  signals:
    // Closing the main window ends the program.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    using Table = settings::SettingsImage::Table;
    static constexpr std::size_t kGridCount = 4;

    void buildCommandBar();
    void buildMaps();
    void buildLinkStatus();
    void buildOverlays();
    QTableWidget* makeGrid(Table table, QWidget* parent, int x, int y);
    void connectClicks();
    void refreshUpDownMenu();
    void refreshPowerPanel();

    app::Session& m_session;
    const live::Dashboard& m_dashboard;
    KeyForwarder* m_keys = nullptr;

    QPushButton* m_help = nullptr;
    QPushButton* m_openFile = nullptr;
    QPushButton* m_saveFile = nullptr;
    QPushButton* m_options = nullptr;
    QPushButton* m_f7 = nullptr;
    QPushButton* m_upDownLoad = nullptr;  // the hidden twin of F7 that follows the main buttons

    std::array<QGroupBox*, 2> m_curveGroups{};
    std::array<QComboBox*, 2> m_responseTypes{};
    std::array<QDoubleSpinBox*, 2> m_accLimiters{};
    std::array<QLabel*, 2> m_curveWarnings{};
    int m_drawnWarningHighlight = -1;
    QGroupBox* m_throttleLimitPanel = nullptr;
    QGroupBox* m_idlePanel = nullptr;
    std::array<QTableWidget*, kGridCount> m_grids{};
    std::array<std::uint32_t, 3> m_drawnHeader{};

    DashboardWidget* m_dashboardWidget = nullptr;
    QLabel* m_commErrors = nullptr;
    QPushButton* m_comButton = nullptr;

    QGroupBox* m_upDownMenu = nullptr;
    QPushButton* m_upload = nullptr;
    QPushButton* m_download = nullptr;
    QLabel* m_lockLabel = nullptr;
    QPushButton* m_lock = nullptr;
    QPushButton* m_stayOffline = nullptr;
    QPushButton* m_cancelMenu = nullptr;

    QGroupBox* m_progressPanel = nullptr;
    QProgressBar* m_gauge = nullptr;

    QWidget* m_powerPanel = nullptr;
    QPushButton* m_powerUpload = nullptr;
    QPushButton* m_powerDownload = nullptr;
    std::uint64_t m_seenFocusRequests = 0;
};

}  // namespace etc::gui
