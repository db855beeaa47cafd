#include <QtTest>

#include "setup/ui/home_picture.h"

using velkor::setup::ui::HomePicture;

class HomePictureTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryMethodHasItsOwnPicture() {
    const QSize size(320, 160);
    QList<QImage> images;
    for (int image = 1; image <= 9; ++image) {
      const QPixmap picture = HomePicture(image, size, QPalette());
      QVERIFY2(!picture.isNull(), qPrintable(QString::number(image)));
      QCOMPARE(picture.deviceIndependentSize().toSize(), size);
      images.append(picture.toImage());
    }
    for (int a = 0; a < images.size(); ++a)
      for (int b = a + 1; b < images.size(); ++b)
        QVERIFY2(images[a] != images[b], qPrintable(QStringLiteral("%1 and %2").arg(a + 1).arg(b + 1)));
  }

  void OtherNumbersHaveNone() {
    QVERIFY(HomePicture(0, {320, 160}, QPalette()).isNull());
    QVERIFY(HomePicture(10, {320, 160}, QPalette()).isNull());
  }

  void FollowsThePaletteAndPixelRatio() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    const QImage light = HomePicture(4, {320, 160}, QPalette()).toImage();
    const QImage shaded = HomePicture(4, {320, 160}, dark).toImage();
    QVERIFY(light != shaded);
    QCOMPARE(shaded.pixelColor(1, 1), dark.color(QPalette::Window));

    const QPixmap sharp = HomePicture(4, {320, 160}, QPalette(), 2.0);
    QCOMPARE(sharp.size(), QSize(640, 320));
    QCOMPARE(sharp.devicePixelRatio(), 2.0);
  }
};

QTEST_MAIN(HomePictureTest)
#include "home_picture_test.moc"
