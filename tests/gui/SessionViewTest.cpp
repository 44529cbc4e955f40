// The session window: picture-in-picture placement, wheel zoom limits, the pan threshold,
// the right-button reset, the double-click command, and a real recording reaching the
// screen (frame tags in grabbed pictures advance; exchanging front and rear swaps the
// cameras on screen).
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <set>
#include <thread>

#include "FrameTag.h"
#include "GuiTests.h"
#include "ScreenPictures.h"
#include "app/gui/GuiMessages.h"
#include "container/Mp4Valid.h"
#include "playback/CDrawDisp.h"
#include "playback/gui/CDispSubDlg.h"
#include "playback/gui/CDispWndWidget.h"
#include "playback/gui/CGlDraw.h"
#include "playback/gui/ScreenDraw.h"
#include "playback/gui/ViewSurface.h"
#include "playback/gui/ViewWaitMsg.h"

namespace tq::test {
namespace {

const std::string kFixtures = TQ_FIXTURE_DIR;
const std::string kFront = kFixtures + "/20261205_102000_NF.mp4";  // 320x180, camera 0
const std::string kRear = kFixtures + "/20261205_102000_NR.mp4";   // 256x144, camera 1

// Records the messages the session window sends its owner.
class Owner : public QObject {
 public:
  struct Msg {
    int msg;
    long long w, l;
  };
  std::vector<Msg> got;
  bool event(QEvent* e) override {
    if (e->type() >= QEvent::User) {
      auto* m = static_cast<MsgEvent*>(e);
      got.push_back({m->msg, m->wParam, m->lParam});
      return true;
    }
    return QObject::event(e);
  }
  int Count(int msg, long long w) const {
    int n = 0;
    for (const Msg& m : got) n += m.msg == msg && m.w == w;
    return n;
  }
};

void Wheel(QWidget* w, QPoint at, int delta) {
  QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
}

// The camera and frame a surface shows: its shot mapped back to the picture's size (the
// generator draws the tag at the top-left, sized for the picture's width).
FrameTagValue SurfaceTag(ViewSurface* s, int width, int height) {
  const QImage shot = Shot(s);
  if (shot.width() < 2 || shot.height() < 2) return {};
  const std::vector<uint8_t> luma = BackToPicture(shot, width, height, QRect(0, 0, width, height), 0);
  return ReadFrameTag(luma.data(), width, width, height);
}

bool Equal(const ZoomRect& a, const ZoomRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

class SessionViewTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir settings_;
  Owner owner_;

  std::unique_ptr<CDispWndWidget> MakeView(QSize size) {
    auto view = std::make_unique<CDispWndWidget>(settings_.path().toStdString(), &owner_);
    view->resize(size);
    view->show();
    return view;
  }
  // Starts the front/rear pair (paused at a start second when one is given).
  static bool Start(CDispWndWidget& view, int startSecond) {
    MP4INFO info;
    const bool valid = ValidMP4(kFront, &info, 0) != 0;
    if (valid) view.Session().StartPlay(kFront, kRear, kSourceMp4, &info, startSecond);
    FreeMP4INFO(info);
    return valid && view.Session().playMode() != kPlayNone;
  }

 private slots:
  void Pip_placed_at_a_third_of_the_front_view_data() {
    QTest::addColumn<QSize>("front");
    QTest::addColumn<int>("position");
    QTest::addColumn<QRect>("want");
    QTest::newRow("bottom-right 1280x720") << QSize(1280, 720) << 3 << QRect(854, 480, 426, 240);
    QTest::newRow("top-left") << QSize(1280, 720) << 1 << QRect(0, 0, 426, 240);
    QTest::newRow("top-right") << QSize(1280, 720) << 2 << QRect(854, 0, 426, 240);
    QTest::newRow("bottom-left, odd size") << QSize(1001, 601) << 4 << QRect(0, 401, 333, 200);
  }
  void Pip_placed_at_a_third_of_the_front_view() {
    QFETCH(QSize, front);
    QFETCH(int, position);
    QFETCH(QRect, want);
    auto view = MakeView({640, 360});
    view->SetPip(position);
    view->resize(front);  // re-placed on every resize of the front view
    QCOMPARE(view->Pip(), position);
    QCOMPARE(view->SubView()->geometry(), want);
    QCOMPARE(view->RearSurface()->geometry(), QRect(QPoint(0, 0), want.size()));
    // The rear window takes no input of its own.
    QVERIFY(view->SubView()->testAttribute(Qt::WA_TransparentForMouseEvents));
    QVERIFY(!view->SubView()->isEnabled());
  }

  void Pip_hidden_at_zero_and_shown_only_with_a_rear() {
    auto view = MakeView({1280, 720});
    view->SetPip(3);
    QVERIFY(!view->SubView()->isVisible());  // nothing plays yet
    QVERIFY(Start(*view, 1));
    QTRY_VERIFY_WITH_TIMEOUT(view->SubView()->isVisible(), 5000);
    view->SetPip(0);
    QVERIFY(!view->SubView()->isVisible());
    QCOMPARE(view->Pip(), 0);
    view->SetPip(7);  // unknown positions hide it
    QVERIFY(!view->SubView()->isVisible());
    view->Session().StopPlay();
  }

  void Wheel_zooms_nine_levels_and_the_tenth_notch_does_nothing() {
    auto view = MakeView({1280, 720});
    QVERIFY(Start(*view, 1));
    const QPoint centre(640, 360);
    for (int i = 1; i <= 9; ++i) {
      Wheel(view.get(), centre, 120);
      QCOMPARE(view->Zoom().level, i);
    }
    const ZoomRect at9 = view->Zoom().rect;
    QCOMPARE(at9.right - at9.left, 320 - 2 * 9 * 16);  // a tenth of 320 is left, even
    Wheel(view.get(), {10, 10}, 120);
    QCOMPARE(view->Zoom().level, 9);
    QVERIFY(Equal(view->Zoom().rect, at9));
    // The renderer shows that rectangle (redrawn at once: the session is paused).
    QTRY_VERIFY_WITH_TIMEOUT(view->Session().renderer() != nullptr, 5000);
    view->Session().RedrawWindow();
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          PictureSlot& s = view->FrontSurface()->slot();
          std::lock_guard<std::mutex> lock(s.mutex);
          return s.zoomed && Equal(s.zoom, at9);
        }(),
        3000);
    // All the way out: the whole picture and no rectangle for the renderer.
    for (int i = 0; i < 9; ++i) Wheel(view.get(), centre, -120);
    QCOMPARE(view->Zoom().level, 0);
    QVERIFY(Equal(view->Zoom().rect, ZoomRect{0, 0, 320, 180}));
    view->Session().StopPlay();
  }

  void Drag_pans_beyond_three_pixels_data() {
    QTest::addColumn<QPoint>("move");
    QTest::addColumn<bool>("moves");
    QTest::newRow("3 across") << QPoint(3, 0) << false;
    QTest::newRow("2,2 is 2.8") << QPoint(2, 2) << false;
    QTest::newRow("3 down") << QPoint(0, -3) << false;
    QTest::newRow("4 across") << QPoint(4, 0) << true;
    QTest::newRow("3,3 is 4.2") << QPoint(3, 3) << true;
  }
  void Drag_pans_beyond_three_pixels() {
    QFETCH(QPoint, move);
    QFETCH(bool, moves);
    auto view = MakeView({1280, 720});
    QVERIFY(Start(*view, 1));
    const QPoint centre(640, 360);
    Wheel(view.get(), centre, 120);
    Wheel(view.get(), centre, 120);
    const ZoomRect before = view->Zoom().rect;
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, centre);
    QVERIFY(view->Zoom().dragging);
    QCOMPARE(view->cursor().shape(), Qt::BitmapCursor);  // our hand
    QTest::mouseMove(view.get(), centre + move);
    QCOMPARE(!Equal(view->Zoom().rect, before), moves);
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, centre + move);
    QVERIFY(!view->Zoom().dragging);
    QCOMPARE(view->cursor().shape(), Qt::ArrowCursor);
    // A mouse move takes the keyboard focus.
    QCOMPARE(view->window()->focusWidget(), view.get());
    view->Session().StopPlay();
  }

  void Right_button_resets_the_zoom() {
    auto view = MakeView({1280, 720});
    QVERIFY(Start(*view, 1));
    for (int i = 0; i < 4; ++i) Wheel(view.get(), {100, 600}, 120);
    QCOMPARE(view->Zoom().level, 4);
    QTest::mousePress(view.get(), Qt::RightButton, Qt::NoModifier, {700, 300});
    QCOMPARE(view->Zoom().level, 0);
    QVERIFY(Equal(view->Zoom().rect, ZoomRect{0, 0, 320, 180}));
    view->Session().StopPlay();
  }

  void Double_click_posts_the_full_screen_command() {
    auto view = MakeView({640, 360});
    owner_.got.clear();
    QTest::mouseDClick(view.get(), Qt::LeftButton, Qt::NoModifier, {50, 50});
    QTRY_COMPARE(owner_.Count(kWmCommand, CDispWndWidget::kDoubleClickCommand), 1);
    for (const Owner::Msg& m : owner_.got)
      if (m.msg == kWmCommand) QCOMPARE(m.l, static_cast<long long>(reinterpret_cast<intptr_t>(view.get())));
  }

  // A real pair played through the widget: the front window's tags advance, the rear
  // window shows camera 1, and after the exchange the main window shows the rear camera.
  void Recording_reaches_the_screen() {
    auto view = MakeView({640, 360});
    view->SetPip(3);
    QVERIFY(Start(*view, 0));
    std::set<int> frames;
    (void)QTest::qWaitFor(
        [&] {
          const FrameTagValue t = SurfaceTag(view->FrontSurface(), 320, 180);
          if (t.valid() && t.camera == 0) frames.insert(t.frame);
          return frames.size() >= 4;
        },
        8000);
    QVERIFY2(frames.size() >= 4, "fewer than four distinct front pictures reached the screen");
    // The back end the run asked for: OpenGL takes the planes unconverted on a GPU and
    // pictures converted at the shown size on a software rasteriser.
    const bool gl = ProcessDrawCaps().acceleratedUsable.load() != 0;
    const bool planes = gl && CGlDraw::ChosenUpload() == CGlDraw::Upload::Planes;
    QCOMPARE(view->Session().formatCode(), planes ? int(kDrawI420) : int(kDrawRgb32));
    QVERIFY(view->FrontSurface()->mode() == (gl ? ViewSurface::Mode::Accelerated : ViewSurface::Mode::Raster));
    QTRY_VERIFY_WITH_TIMEOUT(SurfaceTag(view->RearSurface(), 256, 144).camera == 1, 5000);
    view->SetSwap(true);
    QVERIFY(view->Session().swapped());
    QTRY_VERIFY_WITH_TIMEOUT(SurfaceTag(view->FrontSurface(), 256, 144).camera == 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(SurfaceTag(view->RearSurface(), 320, 180).camera == 0, 5000);
    view->SetSwap(false);
    view->Session().StopPlay();
  }

  // Flags set while paused show at once: the frame on screen turns upside down.
  void Flags_redraw_at_once_when_paused() {
    auto view = MakeView({640, 360});
    owner_.got.clear();
    QVERIFY(Start(*view, 1));
    QTRY_VERIFY_WITH_TIMEOUT(owner_.Count(int(kMsgPlay), kPlayStartIndexed) > 0, 5000);
    view->Session().Seek(1000);
    QTRY_VERIFY_WITH_TIMEOUT(SurfaceTag(view->FrontSurface(), 320, 180).valid(), 5000);
    const int shown = SurfaceTag(view->FrontSurface(), 320, 180).frame;
    view->SetPictureFlags(kFlipUpDown);
    QCOMPARE(view->PictureFlags(), kFlipUpDown);
    QTRY_VERIFY_WITH_TIMEOUT(!SurfaceTag(view->FrontSurface(), 320, 180).valid(), 3000);
    const QImage shot = Shot(view->FrontSurface());
    const std::vector<uint8_t> luma = BackToPicture(shot, 320, 180, QRect(0, 0, 320, 180), kFlipUpDown);
    QCOMPARE(ReadFrameTag(luma.data(), 320, 320, 180).frame, shown);
    view->Session().StopPlay();
  }

  // The raster back end, and OpenGL on a software rasteriser, get each picture converted
  // and scaled once, at the window's size: every flip and zoom still shows the paused
  // frame where they put it, and the rear window converts at its own small size.
  void Single_pass_picture_lands_where_flags_and_zoom_put_it_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<QRect>("zoom");  // null: the whole picture
    QTest::newRow("plain") << 0 << QRect();
    QTest::newRow("upside down") << kFlipUpDown << QRect();
    QTest::newRow("mirrored") << kMirrorLeftRight << QRect();
    QTest::newRow("rotated") << (kFlipUpDown | kMirrorLeftRight) << QRect();
    QTest::newRow("zoomed") << 0 << QRect(0, 0, 256, 144);
    QTest::newRow("zoomed and rotated") << (kFlipUpDown | kMirrorLeftRight) << QRect(0, 0, 240, 136);
  }
  void Single_pass_picture_lands_where_flags_and_zoom_put_it() {
    QFETCH(int, flags);
    QFETCH(QRect, zoom);
    auto view = MakeView({640, 360});
    view->SetPip(3);
    owner_.got.clear();
    QVERIFY(Start(*view, 1));
    QTRY_VERIFY_WITH_TIMEOUT(owner_.Count(int(kMsgPlay), kPlayStartIndexed) > 0, 5000);
    view->Session().Seek(1000);
    QTRY_VERIFY_WITH_TIMEOUT(SurfaceTag(view->FrontSurface(), 320, 180).valid(), 5000);
    const int shown = SurfaceTag(view->FrontSurface(), 320, 180).frame;
    view->SetPictureFlags(flags);
    const ZoomRect rect{zoom.left(), zoom.top(), zoom.right() + 1, zoom.bottom() + 1};
    if (!zoom.isNull()) {
      view->Session().SetZoomRect(&rect);
      view->Session().RedrawWindow();
    }
    const QRect source = zoom.isNull() ? QRect(0, 0, 320, 180) : zoom;
    QTRY_COMPARE_WITH_TIMEOUT(
        [&] {
          const std::vector<uint8_t> luma = BackToPicture(Shot(view->FrontSurface()), 320, 180, source, flags);
          return ReadFrameTag(luma.data(), 320, 320, 180).frame;
        }(),
        shown, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(SurfaceTag(view->RearSurface(), 256, 144).camera, 1, 5000);
    if (view->FrontSurface()->glCanvas() && CGlDraw::SoftwareRenderer()) {
      // The canvases take the same single-pass pictures.
      QCOMPARE(view->Session().formatCode(), int(kDrawRgb32));
      QVERIFY(view->FrontSurface()->mode() == ViewSurface::Mode::Accelerated);
      QVERIFY(view->RearSurface()->mode() == ViewSurface::Mode::Accelerated);
    }
    if (view->Session().formatCode() == kDrawRgb32) {
      // Converted at the size each window shows: nothing is scaled again when painted.
      for (ViewSurface* surface : {view->FrontSurface(), view->RearSurface()}) {
        PictureSlot& slot = surface->slot();
        std::lock_guard<std::mutex> lock(slot.mutex);
        QVERIFY(slot.prepared);
        QCOMPARE(slot.image.size(), surface->size() * surface->devicePixelRatio());
      }
    }
    view->Session().StopPlay();
  }

  // A hidden rear window converts nothing; shown again while paused, it converts the
  // picture of the frame stepped to meanwhile.
  void Hidden_window_converts_nothing_and_catches_up_when_shown() {
    auto view = MakeView({640, 360});
    view->SetPip(3);
    owner_.got.clear();
    QVERIFY(Start(*view, 1));
    QTRY_VERIFY_WITH_TIMEOUT(owner_.Count(int(kMsgPlay), kPlayStartIndexed) > 0, 5000);
    view->Session().Seek(1000);
    QTRY_COMPARE_WITH_TIMEOUT(SurfaceTag(view->RearSurface(), 256, 144).camera, 1, 5000);
    if (view->Session().formatCode() != kDrawRgb32) QSKIP("OpenGL draws the planes itself");
    const int before = SurfaceTag(view->RearSurface(), 256, 144).frame;
    view->SetPip(0);
    auto serial = [&] {
      PictureSlot& slot = view->RearSurface()->slot();
      std::lock_guard<std::mutex> lock(slot.mutex);
      return slot.serial;
    };
    const uint64_t hidden = serial();
    for (int i = 0; i < 3; ++i) view->Session().Step(true);
    QCOMPARE(serial(), hidden);
    view->SetPip(3);
    QVERIFY(serial() > hidden);
    QTRY_VERIFY_WITH_TIMEOUT(SurfaceTag(view->RearSurface(), 256, 144).frame > before, 3000);
    view->Session().StopPlay();
  }

  // A window covered by another widget converts nothing while the uncovered one goes on;
  // uncovered while paused, it converts the picture of the frame stepped to meanwhile.
  void Covered_window_converts_nothing_and_catches_up_when_uncovered_data() {
    QTest::addColumn<bool>("wholeView");
    QTest::newRow("picture-in-picture covered") << false;
    QTest::newRow("whole view under a panel") << true;
  }
  void Covered_window_converts_nothing_and_catches_up_when_uncovered() {
    QFETCH(bool, wholeView);
    QWidget top;
    top.resize(640, 360);
    auto* view = new CDispWndWidget(settings_.path().toStdString(), &owner_, &top);
    view->setGeometry(0, 0, 640, 360);
    view->SetPip(3);
    auto* panel = new QWidget(&top);  // opaque, above the view
    panel->setAutoFillBackground(true);
    panel->hide();
    top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&top));
    owner_.got.clear();
    QVERIFY(Start(*view, 1));
    QTRY_VERIFY_WITH_TIMEOUT(owner_.Count(int(kMsgPlay), kPlayStartIndexed) > 0, 5000);
    view->Session().Seek(1000);
    QTRY_COMPARE_WITH_TIMEOUT(SurfaceTag(view->RearSurface(), 256, 144).camera, 1, 5000);
    if (view->Session().formatCode() != kDrawRgb32) QSKIP("OpenGL draws the planes itself");
    const int frontBefore = SurfaceTag(view->FrontSurface(), 320, 180).frame;
    const int rearBefore = SurfaceTag(view->RearSurface(), 256, 144).frame;
    auto serial = [](ViewSurface* surface) {
      PictureSlot& slot = surface->slot();
      std::lock_guard<std::mutex> lock(slot.mutex);
      return slot.serial;
    };
    panel->setGeometry(wholeView ? view->geometry()
                                 : QRect(view->SubView()->mapTo(&top, QPoint(0, 0)), view->SubView()->size()));
    panel->show();
    panel->raise();
    const uint64_t front = serial(view->FrontSurface()), rear = serial(view->RearSurface());
    for (int i = 0; i < 3; ++i) view->Session().Step(true);
    QCOMPARE(serial(view->RearSurface()), rear);
    if (wholeView) QCOMPARE(serial(view->FrontSurface()), front);
    else QVERIFY(serial(view->FrontSurface()) > front);
    panel->hide();
    QTRY_VERIFY_WITH_TIMEOUT(serial(view->RearSurface()) > rear, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(SurfaceTag(view->RearSurface(), 256, 144).frame > rearBefore, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(SurfaceTag(view->FrontSurface(), 320, 180).frame > frontBefore, 3000);
    // One redraw each: the picture owed, not one per step missed.
    QCOMPARE(serial(view->RearSurface()), rear + 1);
    if (wholeView) QCOMPARE(serial(view->FrontSurface()), front + 1);
    view->Session().StopPlay();
  }

  // The engine reports waits from its worker threads; the indicator follows, centred.
  void Wait_indicator_follows_the_engine() {
    auto view = MakeView({640, 360});
    QVERIFY(!view->WaitMsg()->isVisible());
    std::thread([&] { view->WaitObserver()->ShowWait(true); }).join();
    QTRY_VERIFY(view->WaitMsg()->isVisible());
    QCOMPARE(view->WaitMsg()->geometry().center(), view->rect().center());
    std::thread([&] { view->WaitObserver()->ShowWait(false); }).join();
    QTRY_VERIFY(!view->WaitMsg()->isVisible());
  }

  // An OpenGL canvas that fails after its renderer bound: OpenGL goes off for the process
  // and the window re-picks the raster back end; pictures keep reaching the screen.
  void Failed_canvas_falls_back_to_raster() {
    auto view = MakeView({640, 360});
    GlCanvas* canvas = view->FrontSurface()->glCanvas();
    if (!canvas) QSKIP("no OpenGL canvas in this run");
    QVERIFY(Start(*view, 0));
    QTRY_VERIFY_WITH_TIMEOUT(view->FrontSurface()->mode() == ViewSurface::Mode::Accelerated, 5000);
    canvas->MarkFailed();
    QTRY_VERIFY_WITH_TIMEOUT(view->FrontSurface()->mode() == ViewSurface::Mode::Raster, 3000);
    QCOMPARE(ProcessDrawCaps().acceleratedUsable.load(), 0);
    QTRY_VERIFY(!canvas->isVisible());
    std::set<int> frames;
    (void)QTest::qWaitFor(
        [&] {
          const FrameTagValue t = SurfaceTag(view->FrontSurface(), 320, 180);
          if (t.valid() && t.camera == 0) frames.insert(t.frame);
          return frames.size() >= 3;
        },
        5000);
    QVERIFY2(frames.size() >= 3, "the raster back end did not take over");
    view->Session().StopPlay();
    // A later window probes again, and OpenGL stays off for it all the same.
    auto later = MakeView({640, 360});
    QCOMPARE(ProcessDrawCaps().acceleratedUsable.load(), 0);
    QVERIFY(Start(*later, 0));
    QTRY_VERIFY_WITH_TIMEOUT(SurfaceTag(later->FrontSurface(), 320, 180).valid(), 5000);
    QVERIFY(later->FrontSurface()->mode() == ViewSurface::Mode::Raster);
    QCOMPARE(later->Session().formatCode(), int(kDrawRgb32));
    later->Session().StopPlay();
    // Registered anew, OpenGL is tried again (the classes after this one draw with it).
    RegisterScreenDraw(true, true);
    auto fresh = MakeView({640, 360});
    QCOMPARE(ProcessDrawCaps().acceleratedUsable.load(), 1);
  }
};

QObject* NewSessionViewTest() { return new SessionViewTest; }

}  // namespace tq::test

#include "SessionViewTest.moc"
