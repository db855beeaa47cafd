#include "setup/ui/home_picture.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QString>
#include <algorithm>
#include <array>
#include <utility>

namespace velkor::setup::ui {
namespace {

// Everything is laid out on a 320 x 160 canvas as if homing towards the
// negative (left) end; homing towards the positive end mirrors the
// x positions, never the text.
constexpr qreal kWidth = 320, kHeight = 160;
constexpr qreal kAxisY = 80, kAxisLeft = 20, kAxisRight = 300;
constexpr qreal kFastY = 108, kBackY = 132;  // rows of the two moves
constexpr qreal kCarriageHalf = 22, kCarriageStart = 232;
constexpr qreal kIndexPitch = 36, kIndexFirst = 78;
constexpr qreal kOffsetLength = 64;

enum class Stop { kNone, kHardStop, kSwitch };
struct Method {
  Stop stop;
  bool index;
  bool positive;
};

// By image number: HomeOps 1, 2, 4, 10, 12, 18, 20, 26, 28.
constexpr std::array<Method, 9> kMethods{{
    {Stop::kNone, false, false},
    {Stop::kHardStop, false, false},
    {Stop::kSwitch, false, false},
    {Stop::kHardStop, true, false},
    {Stop::kSwitch, true, false},
    {Stop::kHardStop, false, true},
    {Stop::kSwitch, false, true},
    {Stop::kHardStop, true, true},
    {Stop::kSwitch, true, true},
}};

QColor Mix(const QColor& a, const QColor& b, qreal amountOfB) {
  const auto mix = [&](qreal x, qreal y) { return x + (y - x) * amountOfB; };
  return QColor::fromRgbF(mix(a.redF(), b.redF()), mix(a.greenF(), b.greenF()), mix(a.blueF(), b.blueF()));
}

class Sketch {
 public:
  Sketch(QPainter& painter, const QPalette& palette, bool mirrored)
      : p_(painter),
        mirrored_(mirrored),
        background_(palette.color(QPalette::Window)),
        ink_(palette.color(QPalette::WindowText)),
        accent_(palette.color(QPalette::Highlight)),
        onAccent_(palette.color(QPalette::HighlightedText)),
        faint_(Mix(background_, ink_, 0.45)),
        fill_(Mix(background_, ink_, 0.14)) {}

  void Axis() {
    p_.setPen(Pen(ink_, 1.5));
    p_.drawLine(QPointF(kAxisLeft, kAxisY), QPointF(kAxisRight, kAxisY));
    // The ends are absolute, so they bypass the mirroring.
    QFont font = p_.font();
    font.setPixelSize(14);
    font.setBold(true);
    p_.setFont(font);
    p_.drawText(QRectF(kAxisLeft - 18, kAxisY - 9, 16, 16), Qt::AlignCenter, QStringLiteral("\u2212"));
    p_.drawText(QRectF(kAxisRight + 2, kAxisY - 9, 16, 16), Qt::AlignCenter, QStringLiteral("+"));
  }

  // Returns where the carriage is stopped: the face of the wall.
  qreal HardStop() {
    const QRectF hatched = QRectF(QPointF(X(18), 46), QPointF(X(32), 90)).normalized();
    p_.fillRect(hatched, background_);
    p_.save();
    p_.setClipRect(hatched);
    p_.setPen(Pen(ink_, 1));
    for (qreal y = hatched.top() - hatched.width(); y < hatched.bottom(); y += 6)
      p_.drawLine(QPointF(hatched.left(), y + hatched.width()), QPointF(hatched.right(), y));
    p_.restore();
    p_.setPen(Pen(ink_, 2.2));
    p_.drawLine(QPointF(X(32), hatched.top()), QPointF(X(32), hatched.bottom()));
    Label(12, 34, QStringLiteral("Hard stop"), Qt::AlignLeft);
    return 32;
  }

  // Returns where the carriage trips the switch: the roller of its lever.
  qreal Switch(bool positive) {
    const QString input = positive ? QStringLiteral("D") : QStringLiteral("C");
    const QRectF body = QRectF(QPointF(X(18), 60), QPointF(X(36), kAxisY)).normalized();
    p_.setPen(Pen(ink_, 1.4));
    p_.setBrush(fill_);
    p_.drawRoundedRect(body, 2, 2);
    p_.drawLine(QPointF(X(35), 67), QPointF(X(44.5), 59));
    p_.setBrush(background_);
    p_.drawEllipse(QPointF(X(46), 58), 3.5, 3.5);
    p_.setBrush(Qt::NoBrush);
    SetFont(11, true);
    p_.drawText(body, Qt::AlignCenter, input);
    Label(12, 34, QStringLiteral("Limit switch ") + input, Qt::AlignLeft);
    return 49.5;
  }

  // The index pulses along the travel; returns the one met first on the
  // way back from `contact`, which is highlighted.
  qreal IndexPulses(qreal contact) {
    qreal used = 0;
    for (qreal x = kIndexFirst; x < kAxisRight - 12; x += kIndexPitch) {
      if (used == 0 && x > contact + 10) {
        used = x;
        continue;
      }
      p_.setPen(Pen(faint_, 1.3));
      p_.drawLine(QPointF(X(x), kAxisY), QPointF(X(x), kAxisY + 6));
    }
    p_.setPen(Pen(accent_, 2.2));
    p_.drawLine(QPointF(X(used), kAxisY - 8), QPointF(X(used), kAxisY + 8));
    Label(used, kAxisY - 17, QStringLiteral("Index"), Qt::AlignHCenter);
    return used;
  }

  void Carriage(qreal centre) {
    const QRectF body = QRectF(QPointF(X(centre - kCarriageHalf), 52), QPointF(X(centre + kCarriageHalf), 73))
                            .normalized();
    p_.setPen(Pen(ink_, 1.4));
    p_.setBrush(fill_);
    p_.drawRoundedRect(body, 3, 3);
    // The motor on the carriage, seen from its shaft end.
    p_.setBrush(background_);
    p_.drawEllipse(body.center(), 7, 7);
    p_.setBrush(ink_);
    p_.drawEllipse(body.center(), 2, 2);
    p_.setBrush(background_);
    for (qreal wheel : {centre - kCarriageHalf + 8, centre + kCarriageHalf - 8})
      p_.drawEllipse(QPointF(X(wheel), kAxisY - 3.5), 3.5, 3.5);
    p_.setBrush(Qt::NoBrush);
  }

  // A dashed drop line that ties a position on the axis to the moves below.
  void Guide(qreal x, qreal top, qreal bottom, bool accent = false) {
    QPen pen = Pen(accent ? accent_ : faint_, 1);
    pen.setDashPattern({3, 3});
    p_.setPen(pen);
    p_.drawLine(QPointF(X(x), top), QPointF(X(x), bottom));
  }

  // A move from `from` to `to` on row `y`; a fast move gets a double head.
  void Move(qreal from, qreal to, qreal y, bool fast = false) {
    const qreal direction = X(to) > X(from) ? 1 : -1;
    const QPointF tip(X(to), y);
    p_.setPen(Pen(accent_, 1.8));
    p_.drawLine(QPointF(X(from), y), tip - QPointF(direction * 4, 0));
    p_.setPen(Qt::NoPen);
    p_.setBrush(accent_);
    for (int head = 0; head < (fast ? 2 : 1); ++head) {
      const QPointF t = tip - QPointF(direction * 7 * head, 0);
      p_.drawPolygon(QPolygonF{t, t + QPointF(-direction * 9, -4.5), t + QPointF(-direction * 9, 4.5)});
    }
    p_.setBrush(Qt::NoBrush);
  }

  // The step number of a move, beside its start.
  void Step(qreal x, qreal y, int number) {
    p_.setPen(Qt::NoPen);
    p_.setBrush(accent_);
    p_.drawEllipse(QPointF(X(x), y), 6.5, 6.5);
    p_.setBrush(Qt::NoBrush);
    p_.setPen(onAccent_);
    SetFont(9, true);
    p_.drawText(QRectF(X(x) - 7, y - 7, 14, 14), Qt::AlignCenter, QString::number(number));
  }

  void HomeFlag(qreal x) {
    p_.setPen(Pen(accent_, 1.6));
    p_.drawLine(QPointF(X(x), kAxisY), QPointF(X(x), kAxisY - 30));
    p_.setPen(Qt::NoPen);
    p_.setBrush(accent_);
    const qreal away = mirrored_ ? -1 : 1;
    p_.drawPolygon(QPolygonF{QPointF(X(x), kAxisY - 30), QPointF(X(x) + away * 13, kAxisY - 25.5),
                             QPointF(X(x), kAxisY - 21)});
    p_.drawEllipse(QPointF(X(x), kAxisY), 2.8, 2.8);
    p_.setBrush(Qt::NoBrush);
    Label(x, kAxisY - 39, QStringLiteral("Home"), Qt::AlignHCenter, true);
  }

  // Home where the carriage stands: a mark under it, nothing moves.
  void HomeHere(qreal x) {
    Guide(x, 40, kAxisY + 16, true);
    p_.setPen(Qt::NoPen);
    p_.setBrush(accent_);
    p_.drawPolygon(
        QPolygonF{QPointF(X(x), kAxisY + 3), QPointF(X(x) - 6, kAxisY + 12), QPointF(X(x) + 6, kAxisY + 12)});
    p_.setBrush(Qt::NoBrush);
    Label(x, 32, QStringLiteral("Home = here"), Qt::AlignHCenter, true);
  }

  // Text centred vertically on `y`, aligned on `x` as seen homing towards
  // the negative end.
  void Label(qreal x, qreal y, const QString& text, Qt::Alignment horizontal, bool bold = false) {
    if (mirrored_ && horizontal == Qt::AlignLeft)
      horizontal = Qt::AlignRight;
    else if (mirrored_ && horizontal == Qt::AlignRight)
      horizontal = Qt::AlignLeft;
    QRectF box(0, y - 8, 150, 16);
    if (horizontal == Qt::AlignLeft)
      box.moveLeft(X(x));
    else if (horizontal == Qt::AlignRight)
      box.moveRight(X(x));
    else
      box.moveLeft(X(x) - box.width() / 2);
    SetFont(10, bold);
    p_.setPen(ink_);
    p_.drawText(box, horizontal | Qt::AlignVCenter, text);
  }

  qreal X(qreal x) const { return mirrored_ ? kWidth - x : x; }

 private:
  static QPen Pen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  }

  void SetFont(int pixels, bool bold) {
    QFont font = p_.font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    p_.setFont(font);
  }

  QPainter& p_;
  bool mirrored_;
  QColor background_, ink_, accent_, onAccent_, faint_, fill_;
};

void Draw(QPainter& painter, const Method& method, const QPalette& palette) {
  Sketch sketch(painter, palette, method.positive);
  sketch.Axis();
  if (method.stop == Stop::kNone) {
    sketch.HomeHere(kWidth / 2);
    sketch.Carriage(kWidth / 2);
    return;
  }
  const qreal contact = method.stop == Stop::kHardStop ? sketch.HardStop() : sketch.Switch(method.positive);
  const qreal index = method.index ? sketch.IndexPulses(contact) : contact;
  const qreal home = index + kOffsetLength;
  const qreal leadingEdge = kCarriageStart - kCarriageHalf;
  sketch.Carriage(kCarriageStart);

  sketch.Guide(leadingEdge, kAxisY + 2, kFastY + 5);
  sketch.Guide(contact, method.stop == Stop::kHardStop ? 92 : kAxisY + 2, kBackY + 5);
  if (method.index) sketch.Guide(index, kAxisY + 10, kBackY + 5);
  sketch.Guide(home, kAxisY + 4, kBackY + 5, true);

  sketch.Move(leadingEdge, contact, kFastY, true);
  sketch.Step(leadingEdge + 10, kFastY, 1);
  if (method.index) sketch.Move(contact, index, kBackY);
  sketch.Move(index, home, kBackY);
  sketch.Step(contact - 9.5, kBackY, 2);
  sketch.Label((index + home) / 2, kBackY + 14, QStringLiteral("Offset"), Qt::AlignHCenter);
  sketch.HomeFlag(home);
}

}  // namespace

QPixmap HomePicture(int image, QSize size, const QPalette& palette, qreal devicePixelRatio) {
  if (image < 1 || image > static_cast<int>(kMethods.size()) || size.isEmpty() || devicePixelRatio <= 0)
    return {};
  QImage canvas(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
  canvas.setDevicePixelRatio(devicePixelRatio);
  canvas.fill(palette.color(QPalette::Window));
  QPainter painter(&canvas);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  const qreal scale = std::min(size.width() / kWidth, size.height() / kHeight);
  painter.translate((size.width() - kWidth * scale) / 2, (size.height() - kHeight * scale) / 2);
  painter.scale(scale, scale);
  Draw(painter, kMethods[image - 1], palette);
  painter.end();
  return QPixmap::fromImage(std::move(canvas));
}

}  // namespace velkor::setup::ui
