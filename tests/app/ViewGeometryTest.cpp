// Where the preview's texels lie in its viewport: one row per zoom, screen
// scale and scroll, each mapping checked at the image's edges.
#include <QtTest>

#include "app/preview/ViewGeometry.h"

using namespace marrowix;

Q_DECLARE_METATYPE(marrowix::ViewGeometry)
Q_DECLARE_METATYPE(std::optional<QPoint>)

class ViewGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void Mapping_data() {
        QTest::addColumn<ViewGeometry>("geometry");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<std::optional<QPoint>>("texel");
        QTest::addColumn<QPoint>("nearest");
        QTest::addColumn<QRect>("visible");
        const std::optional<QPoint> none;
        // 100 x 50 texels in a 40 x 30 viewport.
        QTest::newRow("real size, last texel")
            << ViewGeometry{100, 50, 1, 1, {0, 0}, {40, 30}} << QPoint(99, 49)
            << std::optional(QPoint(99, 49)) << QPoint(99, 49) << QRect(0, 0, 40, 30);
        QTest::newRow("real size, past the edge")
            << ViewGeometry{100, 50, 1, 1, {0, 0}, {40, 30}} << QPoint(100, 20) << none
            << QPoint(99, 20) << QRect(0, 0, 40, 30);
        QTest::newRow("x4, scrolled")
            << ViewGeometry{100, 50, 4, 1, {30, 10}, {40, 30}} << QPoint(1, 1)
            << std::optional(QPoint(7, 2)) << QPoint(7, 2) << QRect(7, 2, 11, 8);
        QTest::newRow("x4 on a screen of scale 2: two logical pixels a texel")
            << ViewGeometry{100, 50, 4, 2, {0, 0}, {40, 30}} << QPoint(3, 5)
            << std::optional(QPoint(1, 2)) << QPoint(1, 2) << QRect(0, 0, 20, 15);
        QTest::newRow("1/4 on a screen of scale 1.5")
            << ViewGeometry{100, 50, 0.25, 1.5, {0, 0}, {40, 30}} << QPoint(16, 8)
            << std::optional(QPoint(96, 48)) << QPoint(96, 48) << QRect(0, 0, 100, 50);
        QTest::newRow("left of and above the image")
            << ViewGeometry{100, 50, 2, 1, {0, 0}, {40, 30}} << QPoint(-1, -1) << none
            << QPoint(0, 0) << QRect(0, 0, 20, 15);
        QTest::newRow("no image") << ViewGeometry{0, 0, 1, 1, {0, 0}, {40, 30}} << QPoint(0, 0)
                                  << none << QPoint(0, 0) << QRect();
    }
    void Mapping() {
        QFETCH(ViewGeometry, geometry);
        QFETCH(QPoint, point);
        QFETCH(std::optional<QPoint>, texel);
        QFETCH(QPoint, nearest);
        QFETCH(QRect, visible);
        QCOMPARE(geometry.TexelAt(point), texel);
        QCOMPARE(geometry.NearestTexel(point), nearest);
        QCOMPARE(geometry.VisibleTexels(), visible);
        if (texel && geometry.Scale() >= 1) {
            // Magnified, a texel's corner maps back to the texel.
            QCOMPARE(geometry.TexelAt(geometry.ViewportPointOf(*texel)), texel);
        }
    }

    void ZoomSteps() {
        QCOMPARE(ZoomStepIn(1), 2.0);
        QCOMPARE(ZoomStepIn(0.3), 0.5);  // from a fit to the next power of two
        QCOMPARE(ZoomStepOut(1), 0.5);
        QCOMPARE(ZoomStepOut(3), 2.0);
        // A texture too wide to scroll through at x32 zooms in less far.
        const ViewGeometry wide{1 << 28, 1, 1, 1, {0, 0}, {40, 30}};
        QCOMPARE(wide.MaxZoom(32, 1.0 / 16), 4.0);
        QVERIFY(wide.ScaledWidth() > 0);
    }
};

QTEST_APPLESS_MAIN(ViewGeometryTest)
#include "ViewGeometryTest.moc"
