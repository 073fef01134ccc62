#include "gui/key_forwarder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace etc::gui {

app::Key sessionKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_F1:
            return app::Key::F1;
        case Qt::Key_F2:
            return app::Key::F2;
        case Qt::Key_F3:
            return app::Key::F3;
        case Qt::Key_F4:
            return app::Key::F4;
        case Qt::Key_F7:
            return app::Key::F7;
        case Qt::Key_F10:
            return app::Key::F10;
        case Qt::Key_S:
            return app::Key::S;
        case Qt::Key_P:
            return app::Key::P;
        case Qt::Key_L:
            return app::Key::L;
        default:
            return app::Key::Other;
    }
}

KeyForwarder::KeyForwarder(QWidget* window, Handler handle, Filter accepts)
    : QObject(window), m_window(window), m_handle(std::move(handle)), m_accepts(std::move(accepts)) {
    if (!m_accepts) {
        m_accepts = [](app::Key key, bool alt) {
            const bool letter = key == app::Key::S || key == app::Key::P || key == app::Key::L;
            return key != app::Key::Other && (!letter || alt);
        };
    }
    qApp->installEventFilter(this);
}

KeyForwarder::~KeyForwarder() {
    if (qApp)
        qApp->removeEventFilter(this);
}

bool KeyForwarder::mine(QObject* watched) const {
    if (!watched->isWidgetType())
        return false;
    return static_cast<QWidget*>(watched)->window() == m_window;
}

bool KeyForwarder::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    if (!mine(watched))
        return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    const app::Key key = sessionKey(keyEvent->key());
    const bool alt = keyEvent->modifiers().testFlag(Qt::AltModifier);
    if (!m_accepts(key, alt))
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Claimed: the key press comes to us instead of triggering a shortcut.
        event->accept();
        return true;
    }
    if (!m_handle(key, alt))
        return false;
    event->accept();
    return true;
}

}  // namespace etc::gui
