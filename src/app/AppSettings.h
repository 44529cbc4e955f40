// The program-wide state set up at start-up before the first window exists: folders,
// setup.ini, scratch files, language, version string, and the first folder to list.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "app/CardScan.h"
#include "app/UiFonts.h"
#include "platform/DriveProvider.h"
#include "platform/Folders.h"

namespace tq {

// setup.ini: one section, four keys.
inline constexpr char kSetupSection[] = "setup";
inline constexpr char kKeyFilePath[] = "filepath";
inline constexpr char kKeyExportPath[] = "exportpath";
inline constexpr char kKeyMovePath[] = "movepath";
inline constexpr char kKeyVideoPip[] = "video_pip";
inline constexpr char kKeyLanguage[] = "language";  // optional interface language
// Deviation (1/128 g) above which a G-sensor slot is marked as an event on the graph.
inline constexpr char kKeyGsensorEvent[] = "gsensor_event";
inline constexpr size_t kSettingMaxChars = 259;
// Section "map": the tile address template of the map panel (missing: the standard tiles).
inline constexpr char kMapSection[] = "map";
inline constexpr char kKeyMapTiles[] = "tiles";

// What start-up reads from the system; tests point it anywhere.
struct StartupEnvironment {
  UserFolders folders;
  std::string programFolder;
  int screenHeight = 0;
  const DriveProvider* drives = nullptr;
  std::string versionString;
  std::string languageOverride;  // --language NAME; "" for none
};

// Filled once by ResolveStartup on the user-interface thread; afterwards changed only by
// the writers below and by the card events (on the same thread).
struct AppState {
  std::string programFolder;
  std::string settingsFolder;  // documents + "/TQ-MB20/", ends in '/'
  std::string settingsFile;    // setup.ini
  std::string playFile;        // scratch files of the playback engine
  std::string stepFile;
  std::string traceFile;
  std::string languageName;
  std::string languageFile;
  std::string versionString;
  std::string videoFolder;     // the user's video folder
  std::string browseFolder;    // the folder the file list shows
  std::string exportFolder;    // target of copy and export
  int videoPip = 1;            // 1: a front recording opens with its rear partner
  int gsensorEventThreshold = 60;  // "gsensor_event"
  std::string mapTiles;        // [map] "tiles" (start-up puts the standard tiles); "" no map tiles at all
  std::string tileCacheFolder; // the map tiles kept on disk; "" none
  int uiScale = 1;
  bool diagnosticDisplay = false;
  bool koreanFonts = true;     // starts set so the first font update creates them
  UiFontSet fonts;

  std::vector<CardDrive> cards;  // card list in drive order
  std::string currentCard;       // root of the browsed card, "" none
  int cardFamily = kFamilyNone;  // family of the first card found at start-up

  // Guards the file list's count of pending play requests and the wait-window handle,
  // shared by the file list panel and the main view.
  std::mutex catalogLock;
};

// The default of "filepath" and "movepath": the user's video folder + "/Videos".
std::string DefaultVideosFolder(const std::string& videoFolder);

// Runs the folder and settings resolver, writes the trace file's first line, resolves
// the export folder and scans for cards to choose the first browse folder.
void ResolveStartup(const StartupEnvironment& env, AppState* state);

// "filepath", or its default.
std::string ReadFilePathSetting(const AppState& state);

// The writers of setup.ini; each writes only its own key. False when the file cannot be
// written (the program runs on with the value in memory).
bool WriteFilePathSetting(AppState* state, const std::string& folder);
bool WriteExportPathSetting(AppState* state, const std::string& folder);
bool WriteVideoPipSetting(AppState* state, int videoPip);

}  // namespace tq
