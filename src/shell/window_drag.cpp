#include "window_drag.h"

#include <QMouseEvent>
#include <QWindow>

namespace shell {

WindowDragger::WindowDragger(QWidget* window) : QObject(window), m_window(window) {
    watch(window);
}

void WindowDragger::watch(QWidget* background) {
    background->installEventFilter(this);
}

bool WindowDragger::isBackgroundAt(QWidget* background, const QPoint& pos) {
    // A control that ignores the press (a label, a frame) hands it on to its parent, so the press only counts
    // when nothing but see-through decoration lies under the mouse.
    QWidget* hit = background->childAt(pos);
    while (hit != nullptr && hit != background) {
        if (!hit->testAttribute(Qt::WA_TransparentForMouseEvents)) {
            return false;
        }
        hit = hit->parentWidget();
    }
    return true;
}

bool WindowDragger::eventFilter(QObject* watched, QEvent* event) {
    auto* background = qobject_cast<QWidget*>(watched);
    if (background == nullptr || m_window == nullptr) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton ||
                !isBackgroundAt(background, mouse->position().toPoint())) {
                return false;
            }
            QWindow* handle = m_window->windowHandle();
            if (handle != nullptr && handle->startSystemMove()) {
                return true;
            }
            m_following = true;
            m_grabOffset = mouse->globalPosition().toPoint() - m_window->frameGeometry().topLeft();
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!m_following) {
                return false;
            }
            if ((mouse->buttons() & Qt::LeftButton) == 0) {
                m_following = false;
                return false;
            }
            m_window->move(mouse->globalPosition().toPoint() - m_grabOffset);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (m_following && mouse->button() == Qt::LeftButton) {
                m_following = false;
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace shell
