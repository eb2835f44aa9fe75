// Input kept while the window may not handle it: every kind of it, in order, through the same
// input path as the platform's, and delivered exactly once.
#include "app/input_hold.h"

#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <string>
#include <vector>

#include "window_test_support.h"

namespace quillon {
namespace {

// Counts what reaches it with the mouse.
class MouseTarget final : public QWidget {
 public:
  using QWidget::QWidget;
  int presses = 0;
  int double_clicks = 0;
  int releases = 0;
  int wheels = 0;

 protected:
  void mousePressEvent(QMouseEvent*) override { ++presses; }
  void mouseDoubleClickEvent(QMouseEvent*) override { ++double_clicks; }
  void mouseReleaseEvent(QMouseEvent*) override { ++releases; }
  void wheelEvent(QWheelEvent* event) override {
    ++wheels;
    event->accept();
  }
};

class InputHoldTest : public testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<QWidget>();
    window_->resize(300, 200);
    one_ = new QPushButton("&One", window_.get());
    one_->setGeometry(10, 10, 80, 30);
    two_ = new QPushButton("&Two", window_.get());
    two_->setGeometry(100, 10, 80, 30);
    edit_ = new QLineEdit(window_.get());
    edit_->setGeometry(10, 50, 170, 30);
    target_ = new MouseTarget(window_.get());
    target_->setGeometry(10, 100, 170, 80);
    QObject::connect(one_, &QPushButton::clicked, [this] { log_.push_back("one"); });
    QObject::connect(two_, &QPushButton::clicked, [this] { log_.push_back("two"); });
    QObject::connect(edit_, &QLineEdit::textChanged,
                     [this](const QString& text) { log_.push_back("text " + text.toStdString()); });
    window_->show();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  QWindow* Handle() const { return window_->windowHandle(); }
  QPoint Centre(const QWidget* widget) const {
    return widget->mapTo(window_.get(), widget->rect().center());
  }
  void Click(const QWidget* widget) const {
    QTest::mouseClick(Handle(), Qt::LeftButton, Qt::NoModifier, Centre(widget));
  }

  InputHold hold_;
  std::unique_ptr<QWidget> window_;
  QPushButton* one_ = nullptr;
  QPushButton* two_ = nullptr;
  QLineEdit* edit_ = nullptr;
  MouseTarget* target_ = nullptr;
  std::vector<std::string> log_;
};

TEST_F(InputHoldTest, InputWhileHoldingIsKeptAndDeliveredInItsOrder) {
  {
    const InputHold::Holding holding(hold_);
    Click(one_);
    Click(edit_);  // the focus moves to the edit only when this click is delivered
    QTest::keyClick(Handle(), Qt::Key_A);
    QTest::keyClick(Handle(), Qt::Key_B);
    QTest::keyClick(Handle(), Qt::Key_T, Qt::AltModifier);
    Click(two_);
    QApplication::processEvents();
    EXPECT_TRUE(log_.empty());
    EXPECT_TRUE(edit_->text().isEmpty());
    EXPECT_GT(hold_.KeptCount(), 0u);
    hold_.Deliver();  // not while holding
    EXPECT_TRUE(log_.empty());
  }
  hold_.Deliver();
  EXPECT_EQ(log_, (std::vector<std::string>{"one", "text a", "text ab", "two", "two"}));
  EXPECT_EQ(hold_.KeptCount(), 0u);
  // Delivered once: nothing more comes of it.
  QTest::qWait(50);
  EXPECT_EQ(log_.size(), 5u);
}

TEST_F(InputHoldTest, AKeptMnemonicClicksItsButtonWhenDelivered) {
  {
    const InputHold::Holding holding(hold_);
    QTest::keyClick(Handle(), Qt::Key_O, Qt::AltModifier);
  }
  hold_.Deliver();
  EXPECT_EQ(log_, std::vector<std::string>{"one"});  // at once, not after an animation
}

TEST_F(InputHoldTest, AClickAnimationRunningWhenHoldingStartsIsKeptLikeAClick) {
  one_->animateClick();
  {
    const InputHold::Holding holding(hold_);
    QTest::qWait(300);  // well beyond the animation
    EXPECT_TRUE(log_.empty());
  }
  hold_.Deliver();
  EXPECT_EQ(log_, std::vector<std::string>{"one"});
  QTest::qWait(250);
  EXPECT_EQ(log_.size(), 1u);
}

TEST_F(InputHoldTest, DoubleClicksAndWheelTurnsArriveAsTheyCame) {
  {
    const InputHold::Holding holding(hold_);
    QTest::mouseDClick(Handle(), Qt::LeftButton, Qt::NoModifier, Centre(target_));
    const QPoint at = Centre(target_);
    QWindowSystemInterface::handleWheelEvent(Handle(), at, Handle()->mapToGlobal(at), QPoint(),
                                             QPoint(0, 120));
    QWindowSystemInterface::flushWindowSystemEvents();
    EXPECT_EQ(target_->presses + target_->double_clicks + target_->wheels, 0);
  }
  hold_.Deliver();
  // The second press, which made the double click, is not delivered as a press of its own.
  EXPECT_EQ(target_->presses, 1);
  EXPECT_EQ(target_->double_clicks, 1);
  EXPECT_EQ(target_->releases, 2);
  EXPECT_EQ(target_->wheels, 1);
}

TEST_F(InputHoldTest, RepaintsTimersAndPostedCallsGoOnWhileHolding) {
  testing_support::PaintCounter counter;
  one_->installEventFilter(&counter);
  bool timer_fired = false;
  bool call_ran = false;
  const InputHold::Holding holding(hold_);
  QTimer::singleShot(10, [&] { timer_fired = true; });
  QMetaObject::invokeMethod(
      qApp, [&] { call_ran = true; }, Qt::QueuedConnection);
  one_->update();
  EXPECT_TRUE(QTest::qWaitFor([&] { return timer_fired && call_ran && counter.paints > 0; }, 5000));
}

TEST_F(InputHoldTest, ACloseRequestWaitsForDelivery) {
  {
    const InputHold::Holding holding(hold_);
    QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(Handle());
    EXPECT_TRUE(window_->isVisible());
  }
  hold_.Deliver();
  EXPECT_FALSE(window_->isVisible());

  // A close the program asks of the window itself is kept the same way.
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  {
    const InputHold::Holding holding(hold_);
    window_->close();
    EXPECT_TRUE(window_->isVisible());
  }
  hold_.Deliver();
  EXPECT_FALSE(window_->isVisible());

  // A tooltip that closes itself while holding (from its timer) closes at once.
  QWidget tip(nullptr, Qt::ToolTip);
  tip.show();
  {
    const InputHold::Holding holding(hold_);
    tip.close();
    EXPECT_FALSE(tip.isVisible());
  }
}

TEST_F(InputHoldTest, InputForAGoneWidgetOrABlockedWindowIsDropped) {
  {
    const InputHold::Holding holding(hold_);
    QTest::keyClick(Handle(), Qt::Key_T, Qt::AltModifier);
    Click(one_);
  }
  delete two_;  // the mnemonic's receiver
  two_ = nullptr;
  QDialog modal;
  modal.setWindowModality(Qt::ApplicationModal);
  modal.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&modal));
  hold_.Deliver();
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(hold_.KeptCount(), 0u);
}

TEST_F(InputHoldTest, KeptInputThatNoPumpDeliversReachesItsReceiverFromTheEventLoop) {
  {
    const InputHold::Holding holding(hold_);
    Click(one_);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return !log_.empty(); }, 5000));
  EXPECT_EQ(log_, std::vector<std::string>{"one"});
}

TEST_F(InputHoldTest, AHandlerThatHoldsAndDeliversItselfGetsWhatCameAfterItsOwnClick) {
  // As a nested reading does: "one" holds (a sentence is spoken), then delivers at its pump point.
  QObject::connect(one_, &QPushButton::clicked, [this] {
    {
      const InputHold::Holding holding(hold_);
      Click(edit_);
      QTest::keyClick(Handle(), Qt::Key_X);
    }
    hold_.Deliver();
    log_.push_back("one ends");
  });
  {
    const InputHold::Holding holding(hold_);
    Click(one_);
    Click(two_);
  }
  hold_.Deliver();
  EXPECT_EQ(log_, (std::vector<std::string>{"one", "two", "text x", "one ends"}));
}

TEST_F(InputHoldTest, UrgentInputIsHandledAtOnceAndDeferredInputAfterTheBox) {
  // "&Two" is urgent: its click and its mnemonic go through while holding; "&One" waits.
  hold_.SetUrgent([this](QObject* receiver, const QEvent& event) {
    if (event.type() == QEvent::Shortcut) {
      return receiver == two_;
    }
    const bool mouse =
        event.type() == QEvent::MouseButtonPress || event.type() == QEvent::MouseButtonRelease;
    return mouse && (receiver == two_ ||
                     (receiver == Handle() &&
                      window_->childAt(
                          static_cast<const QMouseEvent&>(event).position().toPoint()) == two_));
  });
  {
    const InputHold::Holding holding(hold_);
    Click(one_);
    Click(two_);
    QTest::keyClick(Handle(), Qt::Key_T, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_EQ(log_, (std::vector<std::string>{"two", "two"}));
  }
  {
    // A message box is open: what was kept stays kept while its event loop runs.
    const InputHold::Deferring deferring(hold_);
    QTest::qWait(50);
    EXPECT_EQ(log_.size(), 2u);
  }
  EXPECT_TRUE(QTest::qWaitFor([this] { return log_.size() == 3; }, 5000));
  EXPECT_EQ(log_.back(), "one");
}

}  // namespace
}  // namespace quillon
