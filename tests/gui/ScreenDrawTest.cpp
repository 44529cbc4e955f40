// The on-screen back ends: a tagged picture drawn with every flag combination and with a
// zoom rectangle lands where the flags and the zoom put it in the grabbed window; the
// last picture survives a resize; a failed OpenGL start falls back to raster. Runs with
// the raster back end offscreen and with the OpenGL one under xvfb-run (--gl).
#include <QTest>
#include <memory>

#include "GuiTests.h"
#include "ScreenPictures.h"
#include "playback/CDrawDisp.h"
#include "playback/gui/CGlDraw.h"
#include "playback/gui/CRasterDraw.h"
#include "playback/gui/GlCanvas.h"
#include "playback/gui/ScreenDraw.h"
#include "playback/gui/ViewSurface.h"

namespace tq::test {
namespace {

using P = TaggedPicture;
const QRect kWhole(0, 0, P::kWidth, P::kHeight);

bool IsRed(QRgb c) { return qRed(c) > 170 && qGreen(c) < 70 && qBlue(c) < 70; }
bool IsGrey(QRgb c) { return std::abs(qRed(c) - qGreen(c)) < 16 && std::abs(qBlue(c) - qGreen(c)) < 16 && qGreen(c) > 90 && qGreen(c) < 170; }

}  // namespace

class ScreenDrawTest : public QObject {
  Q_OBJECT
 public:
  explicit ScreenDrawTest(bool accelerated) : accelerated_(accelerated) {}

 private:
  // A shown surface of `size` with this run's renderer bound to it.
  struct Rig {
    std::unique_ptr<ViewSurface> surface;
    std::unique_ptr<CDraw> draw;
    int code = kDrawFailed;
  };
  Rig MakeRig(QSize size) const {
    Rig r;
    r.surface = std::make_unique<ViewSurface>();
    r.surface->resize(size);
    if (accelerated_) r.surface->EnableAccelerated();
    r.surface->show();
    if (accelerated_) r.draw = std::make_unique<CGlDraw>();
    else r.draw = std::make_unique<CRasterDraw>();
    r.code = r.draw->Init(r.surface.get(), P::kWidth, P::kHeight);
    return r;
  }
  DrawPicture PictureFor(const P& p) const { return accelerated_ ? p.Planar() : p.Packed(); }
  int WantCode() const { return accelerated_ ? kDrawI420 : kDrawRgb32; }
  // Waits for a present after `before`, then grabs the window.
  static QImage ShotAfter(ViewSurface& s, uint64_t before) {
    (void)QTest::qWaitFor([&] { return s.presents() > before; }, 3000);
    return Shot(&s);
  }

  const bool accelerated_;

 private slots:
  void initTestCase() {
    if (!accelerated_) return;
    ProbeDraw(nullptr);
    QVERIFY2(ProcessDrawCaps().acceleratedUsable.load(), "no OpenGL context with the YUV program");
  }

  void Draw_tag_lands_where_flags_and_zoom_put_it_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<QRect>("zoom");  // null: the whole picture
    QTest::newRow("upright") << 0 << QRect();
    QTest::newRow("upside down") << kFlipUpDown << QRect();
    QTest::newRow("mirrored") << kMirrorLeftRight << QRect();
    QTest::newRow("rotated") << (kFlipUpDown | kMirrorLeftRight) << QRect();
    QTest::newRow("zoomed") << 0 << QRect(QPoint(64, 36), QPoint(543, 305));
    QTest::newRow("zoomed and rotated") << (kFlipUpDown | kMirrorLeftRight) << QRect(QPoint(64, 36), QPoint(543, 305));
    QTest::newRow("zoomed off-centre") << kMirrorLeftRight << QRect(QPoint(40, 20), QPoint(599, 339));
  }
  void Draw_tag_lands_where_flags_and_zoom_put_it() {
    QFETCH(int, flags);
    QFETCH(QRect, zoom);
    Rig r = MakeRig({P::kWidth, P::kHeight});
    QCOMPARE(r.code, WantCode());
    ZoomRect rect{zoom.left(), zoom.top(), zoom.right() + 1, zoom.bottom() + 1};
    if (!zoom.isNull()) r.draw->SetZoom(&rect);
    const P picture(1234);
    const DrawPicture d = PictureFor(picture);
    const uint64_t before = r.surface->presents();
    QVERIFY(r.draw->Draw(&d, flags, true));
    const QImage shot = ShotAfter(*r.surface, before);
    const QRect source = zoom.isNull() ? kWhole : zoom;
    const FrameTagValue tag = ShownTag(shot, source, flags);
    QCOMPARE(tag.frame, 1234);
    QCOMPARE(tag.camera, 0);
    // The colours came through the conversion: red stays red, grey stays grey.
    QVERIFY(IsRed(shot.pixel(ShotPoint(shot, source, flags, P::kRedX, P::kRedY))));
    QVERIFY(IsGrey(shot.pixel(ShotPoint(shot, source, flags, P::kGreyX, P::kGreyY))));
  }

  // A draw without a picture shows the kept one again with the flags it brings.
  void Present_again_applies_new_flags() {
    Rig r = MakeRig({P::kWidth, P::kHeight});
    const P picture(77);
    const DrawPicture d = PictureFor(picture);
    QVERIFY(r.draw->Draw(&d, 0, true));
    ShotAfter(*r.surface, 0);
    const uint64_t before = r.surface->presents();
    QVERIFY(r.draw->Draw(nullptr, kFlipUpDown | kMirrorLeftRight, true));
    const QImage shot = ShotAfter(*r.surface, before);
    QCOMPARE(ShownTag(shot, kWhole, kFlipUpDown | kMirrorLeftRight).frame, 77);
    QVERIFY(!ShownTag(shot, kWhole, 0).valid());
  }

  void Resize_keeps_last_picture_stretched_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("larger") << QSize(960, 540);
    QTest::newRow("wider") << QSize(1000, 360);
  }
  void Resize_keeps_last_picture_stretched() {
    QFETCH(QSize, size);
    Rig r = MakeRig({P::kWidth, P::kHeight});
    const P picture(4321);
    const DrawPicture d = PictureFor(picture);
    QVERIFY(r.draw->Draw(&d, kMirrorLeftRight, true));
    ShotAfter(*r.surface, 0);
    const uint64_t before = r.surface->presents();
    r.surface->resize(size);
    QVERIFY(r.draw->CheckWindowSize());
    const QImage shot = ShotAfter(*r.surface, before);
    QCOMPARE(shot.size(), size);
    QCOMPARE(ShownTag(shot, kWhole, kMirrorLeftRight).frame, 4321);
  }

  void Clear_shows_black() {
    Rig r = MakeRig({P::kWidth, P::kHeight});
    const P picture(5);
    const DrawPicture d = PictureFor(picture);
    QVERIFY(r.draw->Draw(&d, 0, true));
    ShotAfter(*r.surface, 0);
    const uint64_t before = r.surface->presents();
    QVERIFY(r.draw->Clear());
    const QImage shot = ShotAfter(*r.surface, before);
    QCOMPARE(shot.pixel(ShotPoint(shot, kWhole, 0, P::kRedX, P::kRedY)), qRgb(0, 0, 0));
    QVERIFY(!ShownTag(shot, kWhole, 0).valid());
  }

  // Pictures the back end cannot take are refused, not drawn from wrong memory.
  void Draw_refuses_other_layouts() {
    Rig r = MakeRig({P::kWidth, P::kHeight});
    const P picture(9);
    DrawPicture wrong = accelerated_ ? picture.Packed() : picture.Planar();
    QVERIFY(!r.draw->Draw(&wrong, 0, true));
    DrawPicture narrow = PictureFor(picture);
    narrow.linesize[0] = P::kWidth / 2;
    QVERIFY(!r.draw->Draw(&narrow, 0, true));
    QCOMPARE(r.draw->Init(nullptr, P::kWidth, P::kHeight), int(kDrawFailed));
  }

  // An OpenGL start that fails (no canvas in the window) switches OpenGL off for the
  // process and the view draws with the raster back end.
  void Failed_accelerated_start_falls_back_to_raster() {
    if (accelerated_) QSKIP("checked in the raster run, where no canvas can exist");
    RegisterScreenDraw(true);
    ProcessDrawCaps().acceleratedUsable.store(1);
    ViewSurface surface;  // no OpenGL canvas
    CDrawDisp disp;
    const int code = disp.Select(&surface, P::kWidth, P::kHeight);
    RegisterScreenDraw(false);
    QCOMPARE(code, int(kDrawRgb32));
    QVERIFY(disp.kind() == DrawKind::Raster);
    QCOMPARE(ProcessDrawCaps().acceleratedUsable.load(), 0);
    QVERIFY(surface.mode() == ViewSurface::Mode::Raster);
  }
};

QObject* NewScreenDrawTest(bool accelerated) { return new ScreenDrawTest(accelerated); }

}  // namespace tq::test

#include "ScreenDrawTest.moc"
