#include "app/input_hold.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QShortcutEvent>
#include <QTimerEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <utility>

namespace quillon {
namespace {

// What the user does to a window. ShortcutOverride is not among them: it only asks the focus
// widget whether it wants a key itself, changes nothing, and must be answered at once for the
// shortcut (or the key press) that follows it to be taken.
bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::Close:
      return true;
    default:
      return false;
  }
}

// A mouse or wheel event as it arrived. A copy of the event itself would not do: its point is
// shared with the device's record of the pointer, which later events move. The event is made
// anew when it is delivered, as the platform makes each one just before sending it.
class KeptPointerEvent final : public QEvent {
 public:
  explicit KeptPointerEvent(const QSinglePointEvent& event)
      : QEvent(QEvent::None),
        type_(event.type()),
        device_(event.pointingDevice()),
        position_(event.position()),
        scene_position_(event.scenePosition()),
        global_position_(event.globalPosition()),
        button_(event.button()),
        buttons_(event.buttons()),
        modifiers_(event.modifiers()),
        timestamp_(event.timestamp()) {
    if (type_ == QEvent::Wheel) {
      const auto& wheel = static_cast<const QWheelEvent&>(event);
      pixel_delta_ = wheel.pixelDelta();
      angle_delta_ = wheel.angleDelta();
      phase_ = wheel.phase();
      inverted_ = wheel.inverted();
      source_ = Qt::MouseEventNotSynthesized;
    } else {
      const auto& mouse = static_cast<const QMouseEvent&>(event);
      source_ = mouse.source();
      double_click_ = mouse.flags().testFlag(Qt::MouseEventCreatedDoubleClick);
    }
  }

  std::unique_ptr<QInputEvent> Make() const {
    const QPointingDevice* device =
        device_.isNull() ? QPointingDevice::primaryPointingDevice() : device_.data();
    std::unique_ptr<QInputEvent> event;
    if (type_ == QEvent::Wheel) {
      event =
          std::make_unique<QWheelEvent>(position_, global_position_, pixel_delta_, angle_delta_,
                                        buttons_, modifiers_, phase_, inverted_, source_, device);
    } else {
      event = std::make_unique<Mouse>(*this, device);
    }
    event->setTimestamp(timestamp_);
    return event;
  }

 private:
  // A press that made a double click is marked so, as the platform marks it.
  struct Mouse final : QMouseEvent {
    Mouse(const KeptPointerEvent& kept, const QPointingDevice* device)
        : QMouseEvent(kept.type_, kept.position_, kept.scene_position_, kept.global_position_,
                      kept.button_, kept.buttons_, kept.modifiers_, kept.source_, device) {
      m_doubleClick = kept.double_click_;
    }
  };

  QEvent::Type type_;
  QPointer<const QPointingDevice> device_;
  QPointF position_;
  QPointF scene_position_;
  QPointF global_position_;
  Qt::MouseButton button_;
  Qt::MouseButtons buttons_;
  Qt::KeyboardModifiers modifiers_;
  quint64 timestamp_;
  Qt::MouseEventSource source_ = Qt::MouseEventNotSynthesized;
  bool double_click_ = false;
  QPoint pixel_delta_;
  QPoint angle_delta_;
  Qt::ScrollPhase phase_ = Qt::NoScrollPhase;
  bool inverted_ = false;
};

// A copy to deliver later.
std::unique_ptr<QEvent> Copy(const QEvent& event) {
  switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
      return std::make_unique<KeptPointerEvent>(static_cast<const QSinglePointEvent&>(event));
    default:
      return std::unique_ptr<QEvent>(event.clone());
  }
}

// A button pressed by its mnemonic clicks when its animation timer fires; that timer carries the
// user's click.
bool IsClickAnimation(const QObject* receiver, const QEvent* event) {
  if (event->type() != QEvent::Timer) {
    return false;
  }
  const auto* button = qobject_cast<const QAbstractButton*>(receiver);
  return button != nullptr && button->isDown();
}

// The top-level window an event for this receiver goes to; none for receivers outside windows.
QWindow* TopLevelWindow(QObject* receiver) {
  QWindow* window = nullptr;
  if (receiver->isWindowType()) {
    window = static_cast<QWindow*>(receiver);
  } else if (receiver->isWidgetType()) {
    window = static_cast<QWidget*>(receiver)->window()->windowHandle();
  }
  while (window != nullptr && window->parent() != nullptr) {
    window = window->parent();
  }
  return window;
}

// Closes that the user asks for: of a window or a dialog. A tooltip or a popup that closes itself
// from a timer closes at once.
bool IsUserClose(QObject* receiver) {
  Qt::WindowType type = Qt::Widget;
  if (receiver->isWindowType()) {
    type = static_cast<QWindow*>(receiver)->type();
  } else if (receiver->isWidgetType()) {
    type = static_cast<QWidget*>(receiver)->windowType();
  }
  return type == Qt::Window || type == Qt::Dialog;
}

bool BlockedByModalWindow(QObject* receiver) {
  QWindow* modal = QGuiApplication::modalWindow();
  if (modal == nullptr) {
    return false;
  }
  QWindow* top = TopLevelWindow(receiver);
  return top != nullptr && top != modal;
}

}  // namespace

InputHold::InputHold() {
  QCoreApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold() {
  if (QCoreApplication* application = QCoreApplication::instance()) {
    application->removeEventFilter(this);
  }
}

InputHold::Holding::~Holding() {
  if (--hold_.holding_ == 0) {
    hold_.ScheduleDelivery();
  }
}

InputHold::Deferring::~Deferring() {
  if (--hold_.deferring_ == 0 && hold_.holding_ == 0) {
    hold_.ScheduleDelivery();
  }
}

bool InputHold::eventFilter(QObject* receiver, QEvent* event) {
  if (holding_ == 0) {
    return false;
  }
  const QEvent::Type type = event->type();
  if (IsUserInput(type) && urgent_ && urgent_(receiver, *event)) {
    if (type == QEvent::Shortcut && qobject_cast<QAbstractButton*>(receiver) != nullptr) {
      Send(receiver, event);
      return true;
    }
    return false;
  }
  if (IsUserInput(type)) {
    // Shortcuts go to whatever registered them (actions among them); all else to windows.
    if (type != QEvent::Shortcut && !receiver->isWidgetType() && !receiver->isWindowType()) {
      return false;
    }
    if (type == QEvent::Close && !IsUserClose(receiver)) {
      return false;
    }
  } else if (IsClickAnimation(receiver, event)) {
    // The timer fires again and again until it is handled: one copy is enough.
    const int id = static_cast<QTimerEvent*>(event)->timerId();
    const bool already_kept = std::any_of(kept_.begin(), kept_.end(), [&](const Kept& kept) {
      return kept.receiver == receiver && kept.event->type() == QEvent::Timer &&
             static_cast<QTimerEvent*>(kept.event.get())->timerId() == id;
    });
    if (already_kept) {
      return true;
    }
  } else {
    return false;
  }
  kept_.push_back({receiver, Copy(*event)});
  if (type == QEvent::Close) {
    event->ignore();  // the window stays until the kept request is delivered
  }
  return true;
}

void InputHold::Deliver() {
  while (holding_ == 0 && deferring_ == 0 && !kept_.empty()) {
    Kept next = std::move(kept_.front());
    kept_.pop_front();
    if (next.receiver.isNull() || BlockedByModalWindow(next.receiver.data())) {
      continue;
    }
    Send(next.receiver.data(), next.event.get());
  }
}

void InputHold::Send(QObject* receiver, QEvent* event) {
  if (event->type() == QEvent::Shortcut) {
    auto* button = qobject_cast<QAbstractButton*>(receiver);
    if (button != nullptr && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
      // Its animation would click it from a timer, after this point: it clicks now.
      button->click();
      return;
    }
  }
  if (event->type() == QEvent::Close && receiver->isWidgetType()) {
    // A close asked of a widget itself: the widget closes (or refuses) as it would have then.
    static_cast<QWidget*>(receiver)->close();
    return;
  }
  if (const auto* pointer = dynamic_cast<const KeptPointerEvent*>(event)) {
    const std::unique_ptr<QInputEvent> made = pointer->Make();
    QCoreApplication::sendEvent(receiver, made.get());
    return;
  }
  QCoreApplication::sendEvent(receiver, event);
}

void InputHold::ScheduleDelivery() {
  // Kept input that no pump point delivers (a reading that ended with an error) is delivered by
  // the event loop, once it runs again.
  if (kept_.empty() || delivery_scheduled_ || deferring_ > 0) {
    return;
  }
  delivery_scheduled_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        delivery_scheduled_ = false;
        Deliver();
      },
      Qt::QueuedConnection);
}

}  // namespace quillon
