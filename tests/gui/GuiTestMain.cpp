// Runs every window test class in one QApplication (offscreen).
#include <QApplication>
#include <QTest>

#include "GuiTests.h"
#include "app/UiFonts.h"
#include "controls/GuiSkin.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tq::InitGuiSkin(1, tq::UiFontsFor("english", 1));
  int failed = 0;
  for (QObject* test : tq::test::AllGuiTests()) {
    failed += QTest::qExec(test, argc, argv);
    delete test;
  }
  return failed == 0 ? 0 : 1;
}
