// A link drawn as an underlined label: taken with the mouse, reached with Tab and opened with
// Enter, Return or Space, and shown to screen readers as a link with its text as its name and an
// action that opens it.
#pragma once

#include <QLabel>

namespace quillon {

class LinkLabel final : public QLabel {
  Q_OBJECT

 public:
  LinkLabel(const QString& text, QWidget* parent);

  // Opens the link, as a click does.
  void activate() { emit activated(); }

 signals:
  void activated();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

// Makes screen readers see every LinkLabel as a link; once, before the first one is shown.
void InstallLinkAccessibility();

}  // namespace quillon
