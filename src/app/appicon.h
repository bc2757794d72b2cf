#pragma once

#include <QIcon>

namespace kivotrek {

// The program's icon (data/icons/kivotrek.svg): a board with coloured drill dots.
QIcon appIcon();

} // namespace kivotrek
