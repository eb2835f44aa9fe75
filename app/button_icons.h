// The buttons' images: small pictures in the 16 classic colours, drawn at start-up. Qt greys them
// out for the disabled state.
#pragma once

#include <QIcon>

namespace quillon {

enum class ButtonImage { Read, Stop, SetBookmark, GoToBookmark, Print, IncreaseFont };

QIcon ButtonIcon(ButtonImage image);

}  // namespace quillon
