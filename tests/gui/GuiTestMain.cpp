// Runs every window test class in one QApplication (offscreen). With --gl (under
// xvfb-run) it runs the on-screen drawing classes with the OpenGL back end instead.
#include <QApplication>
#include <QTest>
#include <cstring>
#include <vector>

#include "GuiTests.h"
#include "app/UiFonts.h"
#include "controls/GuiSkin.h"
#include "playback/gui/ScreenDraw.h"
#include "telemetry/gui/CMapViewEdge.h"

int main(int argc, char** argv) {
  // --gl is ours: QTest would refuse it.
  // --class NAME runs that test class alone.
  bool gl = false;
  const char* only = nullptr;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gl") == 0) gl = true;
    else if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc) only = argv[++i];
    else args.push_back(argv[i]);
  }
  argc = int(args.size());
  args.push_back(nullptr);
  argv = args.data();
  tq::CMapViewEdge::PrepareProcess();
  QApplication app(argc, argv);
  tq::InitGuiSkin(1, tq::UiFontsFor("english", 1));
  tq::RegisterScreenDraw(gl, gl);
  int failed = 0;
  for (QObject* test : gl ? tq::test::GlGuiTests() : tq::test::AllGuiTests()) {
    if (!only || std::strcmp(test->metaObject()->className() + std::strlen("tq::test::"), only) == 0)
      failed += QTest::qExec(test, argc, argv);
    delete test;
  }
  return failed == 0 ? 0 : 1;
}
