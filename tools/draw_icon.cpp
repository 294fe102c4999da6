// SPDX-License-Identifier: GPL-3.0-or-later
// Draws mark-window/awardsync-mark.png, the marking window's icon: a logbook page whose lines carry
// a tick. The icon was made with this program, built by hand (it is not part of the build):
//   g++ -std=c++20 -fPIC tools/draw_icon.cpp $(pkg-config --cflags --libs Qt6Gui) -o draw_icon
//   QT_QPA_PLATFORM=offscreen ./draw_icon mark-window/awardsync-mark.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The page, with a darker spine on the left.
    painter.setPen(QPen(QColor(0x2b, 0x4a, 0x6f), 4));
    painter.setBrush(QColor(0xf4, 0xf1, 0xe8));
    painter.drawRoundedRect(QRectF(20, 10, 88, 108), 8, 8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2b, 0x4a, 0x6f));
    painter.drawRoundedRect(QRectF(20, 10, 16, 108), 6, 6);
    // Log lines.
    painter.setPen(QPen(QColor(0x8a, 0x9b, 0xb0), 4, Qt::SolidLine, Qt::RoundCap));
    for (int y = 34; y <= 94; y += 15) {
        painter.drawLine(QPointF(46, y), QPointF(96, y));
    }
    // The tick of a granted credit.
    QPainterPath tick;
    tick.moveTo(52, 72);
    tick.lineTo(70, 92);
    tick.lineTo(112, 40);
    painter.setPen(QPen(QColor(0x1f, 0x9d, 0x55), 13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
    painter.end();
    return image.save(QString::fromLocal8Bit(argc > 1 ? argv[1] : "awardsync-mark.png")) ? 0 : 1;
}
