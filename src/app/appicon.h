#pragma once

#include <QIcon>

namespace kivotrek {

// The program's icon: a board with coloured drill dots.
QIcon appIcon();

} // namespace kivotrek
