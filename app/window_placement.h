// Where the window goes and how large it is drawn, from the screens the desktop offers.
//
// The window keeps its designed layout, scaled with the screen's text size, but never grows beyond
// the screen's available area: where the scaled window does not fit, the layout is scaled down
// until it does. A stored position whose caption would lie outside every screen's available area
// is moved onto the nearest screen; any other stored position is used as it stands.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace quillon {

// The factor to multiply the designed size by: the text size's factor, made smaller where the
// window's outer size at that factor would not fit into available.
double FittingScale(double text_size_scale, QSize designed_outer, QRect available);

// The screen area nearest to the window's caption (the top caption_height pixels of a window of
// outer size at position): one that holds part of the caption, else the closest by distance.
// areas must not be empty.
QRect NearestArea(QPoint position, QSize outer, int caption_height, const QList<QRect>& areas);

// The position the window takes: position itself when its caption can be reached on one of the
// areas (its whole height, and at least a third of its width, inside the area), else the nearest
// position that puts the window inside the nearest area (its top-left corner inside when the window
// is larger than that area). No areas: position as it stands.
QPoint PlaceOnScreens(QPoint position, QSize outer, int caption_height, const QList<QRect>& areas);

// Whether the window system lets a program place its windows and read where they are; Wayland
// does not, and a position read there is no place on the screen.
bool PlatformPlacesWindows();

}  // namespace quillon
