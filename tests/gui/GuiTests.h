#pragma once

#include <QObject>
#include <vector>

namespace tq::test {
QObject* NewControlsTest();
QObject* NewLayoutTest();
QObject* NewCardEventsTest();
QObject* NewViewerProcessTest();
QObject* NewFrameCommandsTest();
QObject* NewFileListTest();
QObject* NewOpenFileProcessTest();
QObject* NewTimeBarTest();
QObject* NewPlayerPanelTest();
QObject* NewScreenDrawTest(bool accelerated);
QObject* NewSessionViewTest();
QObject* NewPlayFlowTest();
QObject* NewTimelineFlowTest();
QObject* NewDeviceSetupTest();
QObject* NewSensorViewTest();
QObject* NewFormatDialogTest();
QObject* NewMapFlowTest();
QObject* NewExportDialogTest();
// Offscreen run: every class; the renderers are the raster back end.
inline std::vector<QObject*> AllGuiTests() {
  return {NewControlsTest(), NewLayoutTest(), NewCardEventsTest(), NewFrameCommandsTest(), NewFileListTest(),
          NewTimeBarTest(), NewPlayerPanelTest(), NewScreenDrawTest(false), NewSessionViewTest(), NewPlayFlowTest(),
          NewTimelineFlowTest(), NewDeviceSetupTest(), NewSensorViewTest(), NewViewerProcessTest(),
          NewOpenFileProcessTest(), NewFormatDialogTest(), NewMapFlowTest(),
          NewExportDialogTest()};
}
// OpenGL run (--gl, under xvfb-run): the classes that draw on screen, with OpenGL.
inline std::vector<QObject*> GlGuiTests() { return {NewScreenDrawTest(true), NewSessionViewTest()}; }
}  // namespace tq::test
