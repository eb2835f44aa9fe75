#include "app/window_placement.h"

#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <limits>

namespace quillon {
namespace {

// Stored positions can be anything an int holds; one this far out is off every screen, and bounding
// it keeps the rectangles' arithmetic from overflowing.
constexpr int kFarthest = 1 << 24;

QPoint Bounded(QPoint position) {
  return {std::clamp(position.x(), -kFarthest, kFarthest),
          std::clamp(position.y(), -kFarthest, kFarthest)};
}

QRect CaptionRect(QPoint position, QSize outer, int caption_height) {
  return {Bounded(position), QSize(outer.width(), std::max(1, caption_height))};
}

// The distance between two rectangles; 0 when they touch or overlap.
double Distance(const QRect& a, const QRect& b) {
  const int dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
  const int dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
  return std::hypot(static_cast<double>(dx), static_cast<double>(dy));
}

// The caption can be taken with the mouse: all of its height and a third of its width on the area.
bool Reachable(const QRect& caption, const QRect& area) {
  const QRect common = area.intersected(caption);
  return !common.isEmpty() && common.height() == caption.height() &&
         common.width() * 3 >= caption.width();
}

int Clamp(int value, int low, int high) {
  return high < low ? low : std::clamp(value, low, high);
}

}  // namespace

double FittingScale(double text_size_scale, QSize designed_outer, QRect available) {
  double scale = text_size_scale > 0 ? text_size_scale : 1.0;
  if (available.isEmpty() || designed_outer.isEmpty()) {
    return scale;
  }
  const double by_width = static_cast<double>(available.width()) / designed_outer.width();
  const double by_height = static_cast<double>(available.height()) / designed_outer.height();
  return std::min({scale, by_width, by_height});
}

QRect NearestArea(QPoint position, QSize outer, int caption_height, const QList<QRect>& areas) {
  const QRect caption = CaptionRect(position, outer, caption_height);
  QRect best = areas.front();
  long long best_overlap = -1;
  double best_distance = std::numeric_limits<double>::infinity();
  for (const QRect& area : areas) {
    const QRect common = area.intersected(caption);
    const long long overlap =
        common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
    const double distance = Distance(area, caption);
    if (overlap > best_overlap || (overlap == best_overlap && distance < best_distance)) {
      best = area;
      best_overlap = overlap;
      best_distance = distance;
    }
  }
  return best;
}

QPoint PlaceOnScreens(QPoint position, QSize outer, int caption_height, const QList<QRect>& areas) {
  if (areas.isEmpty()) {
    return position;
  }
  const QRect caption = CaptionRect(position, outer, caption_height);
  for (const QRect& area : areas) {
    if (Reachable(caption, area)) {
      return position;
    }
  }
  const QRect area = NearestArea(position, outer, caption_height, areas);
  position = Bounded(position);
  return {Clamp(position.x(), area.left(), area.left() + area.width() - outer.width()),
          Clamp(position.y(), area.top(), area.top() + area.height() - outer.height())};
}

bool PlatformPlacesWindows() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace quillon
