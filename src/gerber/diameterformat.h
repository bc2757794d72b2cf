#pragma once

#include <QByteArrayView>
#include <QString>

namespace kivotrek {

// Diameter text of a circular aperture definition. A text that is a number is written with at
// least one integer digit and exactly two decimals, rounded half away from zero in decimal
// ("0.800" -> "0.80", "0.125" -> "0.13"); any other text is kept as it stands ("0.8*%").
QString formatDiameter(QByteArrayView text);

} // namespace kivotrek
