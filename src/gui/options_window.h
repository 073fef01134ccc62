// The Options window `TForm3`. For now it holds the port group "Communicationport"
// (`GroupBox_set_communicationport`) and the version field; both are drawn from the session, and the
// group's buttons go to link::PortGroup.
#pragma once

#include <QWidget>

#include "app/session.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace etc::gui {

class OptionsWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit OptionsWindow(app::Session& session, QWidget* parent = nullptr);

    void refresh();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildPortGroup();

    app::Session& m_session;
    QLabel* m_versionInfo = nullptr;
    QGroupBox* m_portGroup = nullptr;
    QLineEdit* m_port = nullptr;
    QPushButton* m_autoSearch = nullptr;
    QPushButton* m_manualSelect = nullptr;
    QWidget* m_manualPanel = nullptr;
    QComboBox* m_portList = nullptr;
    QWidget* m_searching = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_portGroupDrawn = false;
};

}  // namespace etc::gui
