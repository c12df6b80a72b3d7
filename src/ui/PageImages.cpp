#include "ui/PageImages.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ui {

namespace {

constexpr int iconSize = 32;

/// A quaver at (x, y) (the note head's centre), `size` high.
void drawNote(QPainter& painter, qreal x, qreal y, qreal size, const QColor& colour)
{
    painter.setPen(QPen(colour, size / 10));
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(x, y), size / 5, size / 7);
    const qreal stem = x + size / 5;
    painter.drawLine(QPointF(stem, y), QPointF(stem, y - size * 0.8));
    QPainterPath flag;
    flag.moveTo(stem, y - size * 0.8);
    flag.cubicTo(stem + size / 3, y - size * 0.6, stem + size / 4, y - size * 0.4, stem + size / 5, y - size * 0.3);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flag);
}

void drawServer(QPainter& p)
{
    p.setPen(QPen(QColor(40, 40, 60), 2));
    for (int rack = 0; rack < 3; ++rack) {
        p.setBrush(QColor(90, 110, 160));
        p.drawRoundedRect(QRectF(5, 4 + rack * 9, 22, 7), 2, 2);
        p.setBrush(QColor(120, 230, 120));
        p.drawEllipse(QPointF(23, 7.5 + rack * 9), 1.5, 1.5);
    }
}

void drawSecurity(QPainter& p)
{
    p.setPen(QPen(QColor(110, 90, 20), 3));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 3, 14, 16), 0, 180 * 16);
    p.drawLine(QPointF(9, 11), QPointF(9, 15));
    p.drawLine(QPointF(23, 11), QPointF(23, 15));
    p.setPen(QPen(QColor(110, 90, 20), 1.5));
    p.setBrush(QColor(230, 190, 60));
    p.drawRoundedRect(QRectF(5, 14, 22, 15), 2, 2);
    p.setBrush(QColor(80, 60, 10));
    p.drawEllipse(QPointF(16, 21), 2.5, 2.5);
}

void drawActivity(QPainter& p)
{
    p.setPen(QPen(QColor(200, 40, 60), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF line[] = {{2, 17}, {9, 17}, {12, 7}, {17, 26}, {21, 12}, {24, 17}, {30, 17}};
    p.drawPolyline(line, 7);
}

void drawLibrary(QPainter& p)
{
    const QColor spines[] = {QColor(60, 120, 200), QColor(200, 120, 40), QColor(80, 160, 80)};
    p.setPen(QPen(QColor(30, 30, 30), 1));
    for (int book = 0; book < 3; ++book) {
        p.setBrush(spines[book]);
        p.drawRect(QRectF(3 + book * 7, 6, 6, 22));
    }
    drawNote(p, 25, 24, 18, QColor(50, 50, 50));
}

void drawAbout(QPainter& p)
{
    p.setPen(QPen(QColor(30, 70, 150), 2));
    p.setBrush(QColor(90, 150, 230));
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 9.5), 2.5, 2.5);
    p.drawRoundedRect(QRectF(13.5, 13, 5, 12), 1.5, 1.5);
}

} // namespace

QIcon pageIcon(int iconResource)
{
    QPixmap image(iconSize, iconSize);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (iconResource) {
    case 3006: drawServer(painter); break;
    case 3010: drawSecurity(painter); break;
    case 3011: drawActivity(painter); break;
    case 3082: drawLibrary(painter); break;
    default: drawAbout(painter); break;
    }
    return QIcon(image);
}

QPixmap aboutPicture()
{
    QPixmap image(180, 70);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 180, 70);
    sky.setColorAt(0, QColor(30, 50, 110));
    sky.setColorAt(1, QColor(90, 160, 220));
    painter.fillRect(image.rect(), sky);
    // A staff with three notes on it.
    painter.setPen(QPen(QColor(255, 255, 255, 120), 1));
    for (int line = 0; line < 5; ++line)
        painter.drawLine(QPointF(10, 20 + line * 8), QPointF(170, 20 + line * 8));
    drawNote(painter, 50, 48, 34, Qt::white);
    drawNote(painter, 90, 36, 34, Qt::white);
    drawNote(painter, 130, 44, 34, Qt::white);
    return image;
}

} // namespace ui
