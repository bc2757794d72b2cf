#include "app/appicon.h"

#include <QPainter>
#include <QPixmap>

namespace kivotrek {

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        p.setPen(QPen(QColor(20, 90, 40), 2));
        p.setBrush(QColor(40, 150, 70));
        p.drawRoundedRect(QRectF(4, 8, 56, 48), 4, 4);
        const struct {
            double x, y, r;
            QColor c;
        } dots[] = {{14, 18, 4, Qt::red}, {26, 18, 4, Qt::red}, {38, 18, 4, Qt::red}, {50, 18, 4, Qt::red},
            {14, 46, 6, Qt::yellow}, {50, 46, 6, Qt::yellow}, {26, 34, 3, QColor(0, 0, 255)},
            {38, 34, 3, QColor(0, 0, 255)}, {32, 46, 3, Qt::white}};
        p.setPen(Qt::NoPen);
        for (const auto& d : dots) {
            p.setBrush(d.c);
            p.drawEllipse(QPointF(d.x, d.y), d.r, d.r);
        }
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace kivotrek
