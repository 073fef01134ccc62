// Hands a window's keys to the session before the window's controls see them.
//
// The filter sits on the application, so it sees a key event at its receiver (the focused control)
// first. Keys the session does not use go on to the control. Keys that may be the session's are also
// claimed against shortcuts (the mnemonics "&s", "&p", "&l" of the up/download menu), so that Alt+S is
// the key action and not a click on the Upload button.
#pragma once

#include <QObject>
#include <functional>

#include "app/session.h"

class QKeyEvent;
class QWidget;

namespace etc::gui {

// The session's name for a Qt key; Key::Other for keys it has no use for.
[[nodiscard]] app::Key sessionKey(int qtKey);

class KeyForwarder final : public QObject {
    Q_OBJECT
  public:
    // `handle` gets the key and whether Alt is held; it returns whether the key was used.
    using Handler = std::function<bool(app::Key key, bool alt)>;
    // `accepts` says which keys the window claims against shortcuts; by default every key the session
    // knows.
    using Filter = std::function<bool(app::Key key, bool alt)>;

    KeyForwarder(QWidget* window, Handler handle, Filter accepts = {});
    ~KeyForwarder() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    [[nodiscard]] bool mine(QObject* watched) const;

    QWidget* m_window;
    Handler m_handle;
    Filter m_accepts;
};

}  // namespace etc::gui
