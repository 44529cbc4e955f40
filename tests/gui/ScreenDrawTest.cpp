// The on-screen back ends: a tagged picture drawn with every flag combination and with a
// zoom rectangle lands where the flags and the zoom put it in the grabbed window; a
// picture made at the shown size (single pass) is shown with its flags; a hidden or
// covered window lends no buffer; the last picture survives a resize; a failed OpenGL
// start falls back to raster. Runs with the raster back end offscreen and with both
// OpenGL uploads under xvfb-run (--gl).
#include <QApplication>
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
  explicit ScreenDrawTest(ScreenBackEnd backEnd) : backEnd_(backEnd), accelerated_(backEnd != ScreenBackEnd::Raster) {}

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
    (void)QTest::qWaitForWindowExposed(r.surface.get());  // an unexposed window lends no buffer
    if (accelerated_) r.draw = std::make_unique<CGlDraw>();
    else r.draw = std::make_unique<CRasterDraw>();
    r.code = r.draw->Init(r.surface.get(), P::kWidth, P::kHeight);
    return r;
  }
  int WantCode() const { return backEnd_ == ScreenBackEnd::GlPlanes ? kDrawI420 : kDrawRgb32; }
  DrawPicture PictureFor(const P& p) const { return WantCode() == kDrawI420 ? p.Planar() : p.Packed(); }
  // Waits for a present after `before`, then grabs the window.
  static QImage ShotAfter(ViewSurface& s, uint64_t before) {
    (void)QTest::qWaitFor([&] { return s.presents() > before; }, 3000);
    return Shot(&s);
  }

  // Converts the tagged picture straight into a lent buffer, as the view's single pass does.
  static bool ConvertInto(const P& picture, const DirectTarget& t) {
    SwsContext* sws = sws_getContext(P::kWidth, P::kHeight, AV_PIX_FMT_YUV420P, t.width, t.height, AV_PIX_FMT_BGRA,
                                     SWS_BICUBIC, nullptr, nullptr, nullptr);
    const uint8_t* in[3] = {picture.y.data(), picture.u.data(), picture.v.data()};
    const int inLines[3] = {P::kWidth, P::kWidth / 2, P::kWidth / 2};
    uint8_t* out[1] = {t.data};
    const int outLines[1] = {t.linesize};
    const bool ok = sws && sws_scale(sws, in, inLines, 0, P::kHeight, out, outLines) == t.height;
    sws_freeContext(sws);
    return ok;
  }

  const ScreenBackEnd backEnd_;
  const bool accelerated_;

 private slots:
  void initTestCase() {
    if (!accelerated_) return;
    CGlDraw::SetUpload(backEnd_ == ScreenBackEnd::GlPlanes ? CGlDraw::Upload::Planes : CGlDraw::Upload::ShownSize);
    ProbeDraw(nullptr);
    QVERIFY2(ProcessDrawCaps().acceleratedUsable.load(), "no OpenGL context with the YUV program");
  }
  void cleanupTestCase() { CGlDraw::SetUpload(CGlDraw::Upload::Auto); }

  // Single pass: the buffer lent is the window's size in device pixels, and the picture
  // converted into it is shown with the flags applied once (upright where none are).
  void Direct_picture_shown_at_window_size_with_flags_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<QSize>("size");
    QTest::newRow("upright, half size") << 0 << QSize(320, 180);
    QTest::newRow("upside down, odd size") << kFlipUpDown << QSize(501, 277);
    QTest::newRow("mirrored, larger") << kMirrorLeftRight << QSize(800, 450);
    QTest::newRow("rotated, picture-in-picture size") << (kFlipUpDown | kMirrorLeftRight) << QSize(426, 240);
  }
  void Direct_picture_shown_at_window_size_with_flags() {
    QFETCH(int, flags);
    QFETCH(QSize, size);
    Rig r = MakeRig(size);
    DirectTarget t;
    if (!r.draw->BeginDirect(P::kWidth, P::kHeight, &t)) {
      QVERIFY(backEnd_ == ScreenBackEnd::GlPlanes);  // the planes go through Draw
      return;
    }
    QVERIFY(backEnd_ != ScreenBackEnd::GlPlanes);
    const QSize device = size * r.surface->devicePixelRatio();
    const bool lent = t.data && QSize(t.width, t.height) == device && t.linesize >= t.width * 4;
    const P picture(2468);
    const bool converted = lent && ConvertInto(picture, t);
    const uint64_t before = r.surface->presents();
    QVERIFY(r.draw->EndDirect(flags, true, converted));
    QVERIFY(lent);
    QVERIFY(converted);
    const QImage shot = ShotAfter(*r.surface, before);
    QCOMPARE(shot.size(), device);
    QCOMPARE(ShownTag(shot, kWhole, flags).frame, 2468);
    QVERIFY(IsRed(shot.pixel(ShotPoint(shot, kWhole, flags, P::kRedX, P::kRedY))));
    QVERIFY(IsGrey(shot.pixel(ShotPoint(shot, kWhole, flags, P::kGreyX, P::kGreyY))));
    // New flags with the same picture (a paused view): applied from what was shown.
    const uint64_t again = r.surface->presents();
    QVERIFY(r.draw->Draw(nullptr, 0, true));
    QCOMPARE(ShownTag(ShotAfter(*r.surface, again), kWhole, 0).frame, 2468);
  }

  // A window that shows nothing lends no buffer: nothing is converted for it.
  void Direct_lends_nothing_while_nothing_is_shown_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("lends");
    QTest::newRow("shown") << "shown" << true;
    QTest::newRow("hidden") << "hidden" << false;
    QTest::newRow("covered by a sibling") << "covered" << false;
    QTest::newRow("covered by a sibling of its parent") << "covered above" << false;
    QTest::newRow("partly covered") << "partly" << true;
  }
  void Direct_lends_nothing_while_nothing_is_shown() {
    QFETCH(QString, how);
    QFETCH(bool, lends);
    if (backEnd_ == ScreenBackEnd::GlPlanes) QSKIP("the planes go through Draw");
    QWidget top;
    top.resize(700, 400);
    auto* holder = new QWidget(&top);
    holder->setGeometry(0, 0, 640, 360);
    auto* surface = new ViewSurface(holder);
    surface->setGeometry(0, 0, 640, 360);
    if (accelerated_) surface->EnableAccelerated();
    auto* cover = new QWidget(how == "covered above" ? &top : holder);
    cover->setAutoFillBackground(true);  // opaque: what lies under it is not seen
    cover->setGeometry(how == "partly" ? QRect(0, 0, 320, 360) : QRect(0, 0, 640, 360));
    cover->setVisible(how.startsWith("covered") || how == "partly");
    cover->raise();
    top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&top));
    if (how == "hidden") surface->hide();
    std::unique_ptr<CDraw> draw;
    if (accelerated_) draw = std::make_unique<CGlDraw>();
    else draw = std::make_unique<CRasterDraw>();
    QCOMPARE(draw->Init(surface, P::kWidth, P::kHeight), WantCode());
    QApplication::processEvents();  // the canvas takes over the surface's place
    DirectTarget t;
    QVERIFY(draw->BeginDirect(P::kWidth, P::kHeight, &t));
    const bool lent = t.data != nullptr && t.width == 640 && t.height == 360;
    const bool empty = t.data == nullptr && t.width == 0 && t.height == 0;
    QVERIFY(draw->EndDirect(0, true, false));
    QCOMPARE(lent, lends);
    QCOMPARE(empty, !lends);
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
    DrawPicture wrong = WantCode() == kDrawI420 ? picture.Packed() : picture.Planar();
    QVERIFY(!r.draw->Draw(&wrong, 0, true));
    DrawPicture narrow = PictureFor(picture);
    narrow.linesize[0] = P::kWidth / 2;
    QVERIFY(!r.draw->Draw(&narrow, 0, true));
    QCOMPARE(r.draw->Init(nullptr, P::kWidth, P::kHeight), int(kDrawFailed));
  }

  // The viewer's own registration takes OpenGL only where it runs on a graphics card: on a
  // software rasteriser the raster back end is the cheaper one. Tests opt in explicitly.
  void Software_opengl_is_passed_over_unless_asked_for() {
    if (!accelerated_) QSKIP("needs an OpenGL context");
    RegisterScreenDraw(true, false);
    ProbeDraw(nullptr);
    const int byDefault = ProcessDrawCaps().acceleratedUsable.load();
    const bool software = CGlDraw::SoftwareRenderer();
    RegisterScreenDraw(true, true);
    ProbeDraw(nullptr);
    const int asked = ProcessDrawCaps().acceleratedUsable.load();
    QCOMPARE(asked, 1);
    QCOMPARE(byDefault, software ? 0 : 1);
  }

  // An OpenGL start that fails (no canvas in the window) switches OpenGL off for the
  // process and the view draws with the raster back end.
  void Failed_accelerated_start_falls_back_to_raster() {
    if (accelerated_) QSKIP("checked in the raster run, where no canvas can exist");
    RegisterScreenDraw(true, true);
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

QObject* NewScreenDrawTest(ScreenBackEnd backEnd) { return new ScreenDrawTest(backEnd); }

}  // namespace tq::test

#include "ScreenDrawTest.moc"
