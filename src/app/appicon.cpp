#include "app/appicon.h"

// The resources live in a static library: they are registered by hand, from outside any namespace.
static void initIconResources()
{
    Q_INIT_RESOURCE(kivotrek);
}

namespace kivotrek {

QIcon appIcon()
{
    initIconResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/kivotrek-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kivotrek
