// Mouse events sent straight to a widget with the buttons held spelt out,
// so a move carries the button a drag holds and no event waits on the
// event loop.
#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace orvelan::apptest {

inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

inline void mousePress(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(widget, QEvent::MouseButtonPress, at, button, button);
}

inline void mouseRelease(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(widget, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

inline void mouseMove(QWidget* widget, QPoint at, Qt::MouseButtons held = Qt::LeftButton)
{
    sendMouse(widget, QEvent::MouseMove, at, Qt::NoButton, held);
}

inline void mouseClick(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    mousePress(widget, at, button);
    mouseRelease(widget, at, button);
}

// Press, release, then the second press as the double-click it becomes.
inline void mouseDoubleClick(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    mouseClick(widget, at, button);
    sendMouse(widget, QEvent::MouseButtonDblClick, at, button, button);
    mouseRelease(widget, at, button);
}

}  // namespace orvelan::apptest
