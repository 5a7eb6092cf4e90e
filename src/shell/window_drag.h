#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

namespace shell {

// Moves a top-level window when the left button is pressed on the background of one of the watched widgets
// (the window itself or a page): a press that lands on a control belongs to that control and does not drag.
// The window system does the moving where it can; where it refuses (no window manager, offscreen) the window
// follows the mouse.
class WindowDragger : public QObject {
    Q_OBJECT
public:
    explicit WindowDragger(QWidget* window);
    void watch(QWidget* background);
    bool isFollowingMouse() const { return m_following; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool isBackgroundAt(QWidget* background, const QPoint& pos);

    QPointer<QWidget> m_window;
    bool m_following = false;
    QPoint m_grabOffset;
};

}  // namespace shell
