#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <array>
#include <cmath>
#include <numbers>

#include "designfonts.h"

namespace talveno::ui {

namespace {

const QColor kTeal(0, 128, 128);
const QColor kDeepTeal(0, 78, 84);
const QColor kSunCore(255, 236, 120);
const QColor kSunEdge(245, 160, 20);
const QColor kLeaf(46, 139, 60);
const QColor kLeafLight(120, 196, 80);
const QColor kBarBody(58, 62, 70);
const QColor kSensor(150, 230, 235);

void drawSun(QPainter& painter, QPointF centre, qreal radius, int rays) {
    painter.save();
    QPen rayPen(kSunCore, radius * 0.16, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(rayPen);
    for (int i = 0; i < rays; ++i) {
        const qreal angle = 2 * std::numbers::pi * i / rays;
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(centre + direction * radius * 1.35, centre + direction * radius * 1.75);
    }
    QRadialGradient glow(centre, radius);
    glow.setColorAt(0.0, kSunCore);
    glow.setColorAt(1.0, kSunEdge);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(centre, radius, radius);
    painter.restore();
}

// The measuring bar: a dark rod with a row of light sensors along it.
void drawBar(QPainter& painter, QRectF body, int sensors) {
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBarBody);
    const qreal round = body.height() * 0.35;
    painter.drawRoundedRect(body, round, round);
    painter.setBrush(kSensor);
    const qreal gap = body.width() / (sensors + 1);
    const qreal side = std::min(gap * 0.55, body.height() * 0.5);
    for (int i = 1; i <= sensors; ++i) {
        const QPointF centre(body.left() + gap * i, body.center().y());
        painter.drawRect(QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side));
    }
    painter.restore();
}

void drawLeaf(QPainter& painter, QPointF base, qreal length, qreal angleDegrees,
              const QColor& colour) {
    painter.save();
    painter.translate(base);
    painter.rotate(angleDegrees);
    QPainterPath leaf;
    leaf.moveTo(0, 0);
    leaf.cubicTo(length * 0.3, -length * 0.32, length * 0.75, -length * 0.3, length, 0);
    leaf.cubicTo(length * 0.75, length * 0.3, length * 0.3, length * 0.32, 0, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(leaf);
    painter.restore();
}

}  // namespace

QImage programIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 256-unit square whatever the size.
    painter.scale(size / 256.0, size / 256.0);

    QLinearGradient sky(0, 0, 0, 256);
    sky.setColorAt(0.0, kTeal.lighter(130));
    sky.setColorAt(1.0, kDeepTeal);
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    drawSun(painter, QPointF(76, 74), 30, 8);

    // Light falling through the canopy onto the bar.
    painter.setBrush(QColor(255, 236, 120, 90));
    const std::array<QPointF, 4> beam = {QPointF(96, 100), QPointF(122, 88), QPointF(200, 182),
                                         QPointF(150, 182)};
    painter.drawPolygon(beam.data(), static_cast<int>(beam.size()));

    drawLeaf(painter, QPointF(236, 58), 92, 160, kLeaf);
    drawLeaf(painter, QPointF(236, 98), 78, 185, kLeafLight);
    drawLeaf(painter, QPointF(236, 134), 64, 200, kLeaf);

    drawBar(painter, QRectF(30, 176, 196, 30), 6);
    // The bar's handle and cable.
    painter.setBrush(kSunEdge);
    painter.drawRoundedRect(QRectF(22, 184, 18, 14), 4, 4);
    return image;
}

QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    }
    return icon;
}

QIcon checkMarkIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 32.0, size / 32.0);
        QPainterPath tick;
        tick.moveTo(5, 17);
        tick.lineTo(13, 25);
        tick.lineTo(27, 7);
        // A dark outline under the green stroke keeps the mark clear on a
        // light button.
        painter.strokePath(tick,
                           QPen(QColor(0, 80, 0), 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.strokePath(
            tick, QPen(QColor(40, 170, 40), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QImage bannerImage(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Drawn on a 280 × 42 strip and stretched to the size asked for.
    painter.scale(size.width() / 280.0, size.height() / 42.0);

    QLinearGradient ground(0, 0, 280, 0);
    ground.setColorAt(0.0, kDeepTeal);
    ground.setColorAt(0.6, kTeal);
    ground.setColorAt(1.0, kLeaf);
    painter.fillRect(QRectF(0, 0, 280, 42), ground);

    drawSun(painter, QPointF(21, 21), 9, 10);

    painter.setPen(Qt::white);
    QFont name = arialFont(20);
    name.setBold(true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    painter.setFont(name);
    painter.drawText(QRectF(44, 2, 170, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("CAMPO SUR"));
    QFont line = arialFont(10);
    line.setItalic(true);
    painter.setFont(line);
    painter.setPen(kSunCore);
    painter.drawText(QRectF(45, 25, 170, 14), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("instrumental científico de campo"));

    drawLeaf(painter, QPointF(280, 8), 46, 168, kLeafLight);
    drawLeaf(painter, QPointF(280, 18), 38, 190, kLeaf);
    drawBar(painter, QRectF(212, 28, 62, 8), 5);
    return image;
}

}  // namespace talveno::ui
