// quorvel-icongen OUT.png [SIZE]: draws the application icon (res/quorvel.png), a receipt
// with a coin in front of it, SIZE pixels square (default 128). Run by hand after changing
// the drawing:
//   build/bin/quorvel-icongen res/quorvel.png
// The build draws the installed icon in every size with it. It draws no text, so it needs
// no application object and no display.
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    // The drawing is laid out on a 128-unit square and scaled to the size asked for.
    const int s = 128;
    int size = s;
    char *end = nullptr;
    if (argc == 3)
        size = int(std::strtol(argv[2], &end, 10));
    if (argc < 2 || argc > 3 || (argc == 3 && (*end || size < 8 || size > 1024))) {
        std::fprintf(stderr, "usage: quorvel-icongen OUT.png [SIZE]   (SIZE 8-1024, default 128)\n");
        return 2;
    }
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / s, qreal(size) / s);

    // Tile.
    QLinearGradient bg(0, 0, 0, s);
    bg.setColorAt(0, QColor(0x1f, 0x6f, 0x8b));
    bg.setColorAt(1, QColor(0x12, 0x45, 0x5a));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(4, 4, s - 8, s - 8), 22, 22);

    // Receipt with a torn lower edge.
    QPainterPath receipt;
    const qreal left = 26, right = 86, top = 16, bottom = 108;
    receipt.moveTo(left, top);
    receipt.lineTo(right, top);
    receipt.lineTo(right, bottom);
    const int teeth = 6;
    for (int i = 0; i < teeth; ++i) {
        const qreal x1 = right - (right - left) * (i + 0.5) / teeth;
        const qreal x2 = right - (right - left) * (i + 1.0) / teeth;
        receipt.lineTo(x1, bottom - 6);
        receipt.lineTo(x2, bottom);
    }
    receipt.closeSubpath();
    p.setBrush(QColor(0xfb, 0xfb, 0xf6));
    p.drawPath(receipt);

    // Logo block and printed lines.
    p.setBrush(QColor(0x22, 0x22, 0x22));
    p.drawRect(QRectF(34, 26, 44, 14));
    p.setBrush(QColor(0x9a, 0xa4, 0xab));
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(34, 50 + i * 11, i == 3 ? 26 : 44, 4));

    // Coin.
    const QPointF c(88, 86);
    const qreal r = 27;
    QRadialGradient gold(c - QPointF(8, 8), r * 1.4);
    gold.setColorAt(0, QColor(0xff, 0xe0, 0x7a));
    gold.setColorAt(1, QColor(0xd8, 0x98, 0x12));
    p.setPen(QPen(QColor(0x8a, 0x5c, 0x06), 3));
    p.setBrush(gold);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(0xa8, 0x70, 0x0a), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r - 7, r - 7);
    // Yen sign.
    p.setPen(QPen(QColor(0x7a, 0x4e, 0x04), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(c.x() - 9, c.y() - 12), QPointF(c.x(), c.y()));
    p.drawLine(QPointF(c.x() + 9, c.y() - 12), QPointF(c.x(), c.y()));
    p.drawLine(QPointF(c.x(), c.y()), QPointF(c.x(), c.y() + 13));
    p.drawLine(QPointF(c.x() - 8, c.y() + 2), QPointF(c.x() + 8, c.y() + 2));
    p.drawLine(QPointF(c.x() - 8, c.y() + 8), QPointF(c.x() + 8, c.y() + 8));
    p.end();

    if (!img.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "quorvel-icongen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
