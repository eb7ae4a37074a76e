// SPDX-License-Identifier: MIT
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "qt_backend.h"

namespace tarnel::ui::qt {
namespace {

// A compositor that has stopped answering is not waited for longer than Qt itself
// waits for a frame before it takes a window as hidden.
constexpr int kLongestWaitMs = 100;

/// Ends `loop` when the window it watches is asked to draw its next frame.
class NextFrame : public QObject {
  public:
    explicit NextFrame(QEventLoop& loop) : m_loop(loop) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest)
            m_loop.quit();
        return QObject::eventFilter(watched, event);
    }

  private:
    QEventLoop& m_loop;
};

/// Lets the menu's window finish its frame before the event that may close it.
class FrameBeforeClosing : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonRelease)
            finish_last_frame(qobject_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void finish_last_frame(QWidget* widget) {
    // Qt 6.4's Wayland client answers a frame on a thread of its own, which destroys
    // the frame's callback without the lock that hiding the window takes to destroy it
    // too, and then touches the window: a window that hides or goes as the compositor
    // shows its frame aborts the program in libwayland, or writes into freed memory.
    // Other window systems have no such callback.
    if (widget == nullptr || QGuiApplication::platformName() != QLatin1String("wayland"))
        return;
    QWidget* top = widget->window();
    QWindow* window = top->windowHandle();
    if (window == nullptr || !window->isExposed())
        return;
    // Nothing new is drawn meanwhile, so no new frame is begun.
    const bool updates = top->updatesEnabled();
    top->setUpdatesEnabled(false);
    QEventLoop loop;
    NextFrame next_frame(loop);
    window->installEventFilter(&next_frame);
    QTimer give_up;
    give_up.setSingleShot(true);
    QObject::connect(&give_up, &QTimer::timeout, &loop, &QEventLoop::quit);
    // The first update may be one that Qt had scheduled before the frame began; the
    // second is asked for after it, and Qt gives it only once the frame is shown.
    for (int round = 0; round < 2; ++round) {
        give_up.start(kLongestWaitMs);
        window->requestUpdate();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    window->removeEventFilter(&next_frame);
    top->setUpdatesEnabled(updates);
}

void finish_frames_before_closing(QMenu& menu) {
    menu.installEventFilter(new FrameBeforeClosing(&menu));
}

}  // namespace tarnel::ui::qt
