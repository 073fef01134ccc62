// The errors and warnings window `TForm5`, drawn from live::ErrorsWindow: 24 indicators with their
// labels, the legend and "Clear message". It stays on top of the main window. Its own Alt+S, Alt+P,
// Alt+L and F1 go to the session as the main window's do.
#pragma once

#include <QWidget>
#include <array>

#include "app/session.h"
#include "live/errors_window.h"

class QLabel;
class QPushButton;

namespace etc::gui {

class KeyForwarder;

class ErrorsWindow final : public QWidget {
    Q_OBJECT
  public:
    ErrorsWindow(app::Session& session, live::ErrorsWindow& errors, QWidget* parent = nullptr);

    void refresh();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    app::Session& m_session;
    live::ErrorsWindow& m_errors;
    KeyForwarder* m_keys = nullptr;
    std::array<QLabel*, live::kConditionCount> m_indicators{};
    std::array<QLabel*, live::kConditionCount> m_labels{};
    std::array<live::ConditionMark, live::kConditionCount> m_drawn{};
    QPushButton* m_clear = nullptr;
};

}  // namespace etc::gui
