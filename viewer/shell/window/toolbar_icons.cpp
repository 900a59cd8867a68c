#include "viewer/shell/window/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "viewer/shell/window/command_ids.h"

namespace kestrel::shell {
namespace {

constexpr int kSize = 24;

void arrow(QPainter& p, double angleDegrees) {
  p.save();
  p.translate(kSize / 2.0, kSize / 2.0);
  p.rotate(angleDegrees);
  QPainterPath path;
  path.moveTo(0, -9);
  path.lineTo(7, -1);
  path.lineTo(2.5, -1);
  path.lineTo(2.5, 8);
  path.lineTo(-2.5, 8);
  path.lineTo(-2.5, -1);
  path.lineTo(-7, -1);
  path.closeSubpath();
  p.fillPath(path, QColor(40, 90, 170));
  p.restore();
}

void magnifier(QPainter& p, bool plus) {
  p.setPen(QPen(QColor(40, 40, 40), 2));
  p.drawEllipse(QPointF(10, 10), 6, 6);
  p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
  p.drawLine(QPointF(7, 10), QPointF(13, 10));
  if (plus) p.drawLine(QPointF(10, 7), QPointF(10, 13));
}

void bar(QPainter& p, double w, double h) {
  p.fillRect(QRectF((kSize - w) / 2, (kSize - h) / 2, w, h), QColor(60, 140, 80));
}

void rotation(QPainter& p, bool clockwise, const QColor& color) {
  p.setPen(QPen(color, 2.5));
  QRectF box(4, 4, 16, 16);
  p.drawArc(box, clockwise ? 90 * 16 : 0, 270 * 16);
  QPointF tip = clockwise ? QPointF(12, 4) : QPointF(20, 12);
  p.setBrush(color);
  p.drawEllipse(tip, 2.5, 2.5);
}

void drawFor(QPainter& p, int id) {
  switch (id) {
    case kMoveDown: arrow(p, 180); break;
    case kMoveUp: arrow(p, 0); break;
    case kMoveRight: arrow(p, 90); break;
    case kMoveLeft: arrow(p, 270); break;
    case kZoomIn: magnifier(p, true); break;
    case kZoomOut: magnifier(p, false); break;
    case kChangeColor: {
      const QColor colors[] = {Qt::red, Qt::green, Qt::blue};
      for (int i = 0; i < 3; ++i) p.fillRect(QRectF(3 + 6.5 * i, 5, 5.5, 14), colors[i]);
      break;
    }
    case kTaller: bar(p, 6, 20); break;
    case kShorter: bar(p, 6, 8); break;
    case kFatter: bar(p, 18, 10); break;
    case kThinner: bar(p, 4, 10); break;
    case kCycle:
      p.setPen(QPen(QColor(120, 60, 150), 2.5));
      p.drawEllipse(QPointF(12, 12), 7, 7);
      arrow(p, 45);
      break;
    case kFadeOut: p.fillRect(QRectF(4, 4, 16, 16), QColor(90, 90, 90, 60)); break;
    case kFadeIn: p.fillRect(QRectF(4, 4, 16, 16), QColor(90, 90, 90, 230)); break;
    case kRotateLeft: rotation(p, false, QColor(200, 120, 0)); break;
    case kRotateRight: rotation(p, true, QColor(200, 120, 0)); break;
    case kRotateTowards: rotation(p, false, QColor(0, 140, 140)); break;
    case kRotateAway: rotation(p, true, QColor(0, 140, 140)); break;
    case kRotateLeftZ: rotation(p, false, QColor(160, 40, 40)); break;
    case kRotateRightZ: rotation(p, true, QColor(160, 40, 40)); break;
    case kJiggle:
      p.setPen(QPen(QColor(40, 40, 40), 2));
      p.drawPolyline(QPolygonF({QPointF(3, 12), QPointF(7, 6), QPointF(11, 18), QPointF(15, 6),
                                QPointF(19, 18), QPointF(21, 12)}));
      break;
    case kMoveToMarker:
      p.setPen(QPen(QColor(180, 30, 30), 2));
      p.drawLine(QPointF(8, 4), QPointF(8, 21));
      p.fillRect(QRectF(8, 4, 11, 7), QColor(180, 30, 30));
      break;
    default:  // kAppAbout
      p.setPen(QPen(QColor(40, 90, 170), 2));
      p.drawEllipse(QPointF(12, 12), 9, 9);
      p.drawText(QRectF(0, 0, kSize, kSize), Qt::AlignCenter, "?");
  }
}

}  // namespace

QIcon toolbarIcon(int commandId) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  drawFor(painter, commandId);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace kestrel::shell
