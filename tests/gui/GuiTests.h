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
// The on-screen back end a ScreenDrawTest run draws with.
enum class ScreenBackEnd { Raster, GlPlanes, GlShownSize };
QObject* NewScreenDrawTest(ScreenBackEnd backEnd);
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
          NewTimeBarTest(), NewPlayerPanelTest(), NewScreenDrawTest(ScreenBackEnd::Raster), NewSessionViewTest(), NewPlayFlowTest(),
          NewTimelineFlowTest(), NewDeviceSetupTest(), NewSensorViewTest(), NewViewerProcessTest(),
          NewOpenFileProcessTest(), NewFormatDialogTest(), NewMapFlowTest(),
          NewExportDialogTest()};
}
// OpenGL run (--gl, under xvfb-run): the classes that draw on screen, with OpenGL.
// The session classes use the upload the renderer string picks (shown size on Mesa's
// software rasteriser, which xvfb-run provides).
inline std::vector<QObject*> GlGuiTests() {
  return {NewScreenDrawTest(ScreenBackEnd::GlPlanes), NewScreenDrawTest(ScreenBackEnd::GlShownSize),
          NewSessionViewTest()};
}
}  // namespace tq::test
