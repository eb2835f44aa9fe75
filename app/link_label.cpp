#include "app/link_label.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace quillon {
namespace {

// A link for assistive technologies: its role, its text as name, and "press" to open it.
class LinkAccessible final : public QAccessibleWidget {
 public:
  explicit LinkAccessible(LinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name) {
      return static_cast<const LinkLabel*>(widget())->text();
    }
    if (kind == QAccessible::Description) {
      return widget()->toolTip();
    }
    return QAccessibleWidget::text(kind);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.linked = true;
    return state;
  }

  QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }

  void doAction(const QString& name) override {
    if (name == pressAction()) {
      static_cast<LinkLabel*>(widget())->activate();
      return;
    }
    QAccessibleWidget::doAction(name);
  }
};

QAccessibleInterface* MakeLinkAccessible(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String("quillon::LinkLabel") && object->isWidgetType()) {
    return new LinkAccessible(static_cast<LinkLabel*>(object));
  }
  return nullptr;
}

}  // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  setTextFormat(Qt::PlainText);
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (!event->isAutoRepeat()) {
        emit activated();
      }
      event->accept();
      return;
    default:
      QLabel::keyPressEvent(event);
  }
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit activated();
    event->accept();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  // The keyboard's place shows as the style's focus frame around the text.
  if (hasFocus()) {
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

void InstallLinkAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&MakeLinkAccessible);
    return true;
  }();
  (void)installed;
}

}  // namespace quillon
