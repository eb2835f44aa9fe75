// Keeps the user's input while the window may not handle it, and hands it over later, in order.
//
// While a sentence is spoken the window handles no input, yet none may be lost: an InputHold,
// installed on the application, takes every user-input event aimed at the program's windows
// (mouse presses, releases, double clicks, moves and wheel turns; key presses and releases; the
// shortcuts, mnemonics among them, that key presses trigger; requests to close a window or a
// dialog, from the window system or the program) while it holds, and keeps a copy of each with its
// receiver, in arrival order. Everything else (repaints, timers, posted calls) goes on. Deliver
// hands the kept events to their receivers in that order, as if they had just arrived.
//
// Two things are done so that a kept click is handled where it is delivered and nowhere later: a
// kept mnemonic clicks its button at once when delivered (a button's own mnemonic would click it
// only after a short animation, from a timer), and while holding, the timer of such an animation
// that is already running is kept like input.
//
// Input the window marks as urgent (SetUrgent) is not kept but handled at once: a request to close
// the window, or to pause, must not wait for the end of a sentence. While a Deferring lives (a
// message box is open), kept input stays kept, so it is not dropped as input for a blocked window,
// and it is delivered once the box has gone.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>

class QEvent;

namespace quillon {

class InputHold final : public QObject {
 public:
  // Installs itself on the application, which must exist, and removes itself when destroyed.
  InputHold();
  ~InputHold() override;
  InputHold(const InputHold&) = delete;
  InputHold& operator=(const InputHold&) = delete;

  // Holds input for as long as it lives; holds nest.
  class Holding {
   public:
    explicit Holding(InputHold& hold) : hold_(hold) { ++hold_.holding_; }
    ~Holding();
    Holding(const Holding&) = delete;
    Holding& operator=(const Holding&) = delete;

   private:
    InputHold& hold_;
  };

  // Defers the delivery of kept input for as long as it lives; input is not held meanwhile.
  class Deferring {
   public:
    explicit Deferring(InputHold& hold) : hold_(hold) { ++hold_.deferring_; }
    ~Deferring();
    Deferring(const Deferring&) = delete;
    Deferring& operator=(const Deferring&) = delete;

   private:
    InputHold& hold_;
  };

  // Says which input is handled at once even while holding; a mnemonic's shortcut then clicks its
  // button at once, anything else goes on to its receiver as if nothing held it.
  using UrgentInput = std::function<bool(QObject* receiver, const QEvent& event)>;
  void SetUrgent(UrgentInput urgent) { urgent_ = std::move(urgent); }

  bool IsHolding() const { return holding_ > 0; }
  std::size_t KeptCount() const { return kept_.size(); }

  // Hands the kept events to their receivers, oldest first; does nothing while holding. A handler
  // run by one of them may hold again and call Deliver itself (a nested reading): the events
  // still kept then go to that call, and what arrives meanwhile comes after them. Events whose
  // receiver is gone are dropped, and so are events for a window that a modal window now blocks,
  // as the window system would drop them.
  void Deliver();

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;

 private:
  struct Kept {
    QPointer<QObject> receiver;
    std::unique_ptr<QEvent> event;
  };

  void Send(QObject* receiver, QEvent* event);
  void ScheduleDelivery();

  std::deque<Kept> kept_;
  int holding_ = 0;
  int deferring_ = 0;
  UrgentInput urgent_;
  bool delivery_scheduled_ = false;
};

}  // namespace quillon
