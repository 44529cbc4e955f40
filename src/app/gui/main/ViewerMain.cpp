// TQ-MB20_Viewer: the windowed viewer.
#include <QApplication>
#include <cstdio>

#include "app/gui/CNorvantaSDApp.h"
#include "telemetry/gui/CMapViewEdge.h"

int main(int argc, char** argv) {
  tq::CMapViewEdge::PrepareProcess();  // before the application object, as WebEngine needs
  QApplication qt(argc, argv);
  qt.setApplicationName("TQ-MB20_Viewer");
  tq::AppOptions options = tq::ParseAppOptions(qt.arguments());
  if (!options.ok) {
    std::fprintf(stderr, "TQ-MB20_Viewer: %s\nusage: TQ-MB20_Viewer [--language NAME] [--screenshot FILE [--after MS]] [RECORDING]\n",
                 options.error.c_str());
    return 2;
  }
  tq::CNorvantaSDApp app;
  int exitCode = 0;
  if (!app.InitInstance(options, &exitCode)) return exitCode;
  return qt.exec();
}
