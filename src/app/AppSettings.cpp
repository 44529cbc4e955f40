#include "app/AppSettings.h"

#include <algorithm>

#include "app/AppVersion.h"
#include "app/LocalizedText.h"
#include "app/TraceLog.h"
#include "platform/Files.h"
#include "platform/ProfileFile.h"
#include "telemetry/MapTrack.h"

namespace tq {
namespace {

constexpr char kSetupFileName[] = "setup.ini";
constexpr char kPlayFileName[] = "playfile.dat";
constexpr char kStepFileName[] = "stepfile.dat";
constexpr char kTraceFileName[] = "trace_sd.txt";
// Used when the system names no documents folder (no home folder at all).
constexpr char kFallbackDocuments[] = "/tmp/Documents";

std::string SettingsFolderFor(const UserFolders& folders) {
  std::string documents = folders.documents.empty() ? kFallbackDocuments : folders.documents;
  return JoinPath(documents, kCardFolderPrefix);
}

std::string ReadSetting(const AppState& state, const char* key) {
  return ProfileFile(state.settingsFile).GetString(kSetupSection, key, "", kSettingMaxChars);
}

// The interface language: the command line's, else setup.ini's, else the start language;
// only names of the language list whose file is installed.
std::string ChooseLanguage(const StartupEnvironment& env, const AppState& state) {
  for (const std::string& name : {env.languageOverride, ReadSetting(state, kKeyLanguage)}) {
    if (LanguageIndex(name) >= 0 && FileExists(LanguageFilePath(state.programFolder, name))) return name;
  }
  return kStartLanguage;
}

}  // namespace

std::string DefaultVideosFolder(const std::string& videoFolder) { return JoinPath(videoFolder, "Videos"); }

void ResolveStartup(const StartupEnvironment& env, AppState* state) {
  state->programFolder = env.programFolder;
  state->versionString = env.versionString;
  state->videoFolder = env.folders.videos;

  // Folder and settings resolver.
  state->uiScale = UiScaleForScreenHeight(env.screenHeight);
  state->settingsFolder = SettingsFolderFor(env.folders);
  if (!IsDirectory(state->settingsFolder)) {
    // A fresh Linux home may not have its documents folder yet: make it (but never the
    // folders above it), then ours.
    const std::string documents = env.folders.documents.empty() ? kFallbackDocuments : env.folders.documents;
    if (!IsDirectory(documents)) MakeFolder(documents);
    MakeFolder(state->settingsFolder);
  }
  state->settingsFile = state->settingsFolder + kSetupFileName;
  state->playFile = state->settingsFolder + kPlayFileName;
  state->stepFile = state->settingsFolder + kStepFileName;
  state->traceFile = state->settingsFolder + kTraceFileName;
  RemoveFile(state->playFile);
  RemoveFile(state->stepFile);

  state->languageName = ChooseLanguage(env, *state);
  state->languageFile = LanguageFilePath(state->programFolder, state->languageName);
  SetLanguageFile(state->languageFile);
  UpdateUiFonts(state->languageName, state->uiScale, &state->koreanFonts, &state->fonts);

  std::string movePath = ReadSetting(*state, kKeyMovePath);
  std::string resolvedMove = movePath.empty() ? DefaultVideosFolder(state->videoFolder) : movePath;
  state->browseFolder = resolvedMove;
  state->videoPip = ProfileFile(state->settingsFile).GetInt(kSetupSection, kKeyVideoPip, 1);
  // A negative threshold would mark every slot; 0 marks any movement, which is a choice.
  state->gsensorEventThreshold =
      std::max(0, ProfileFile(state->settingsFile).GetInt(kSetupSection, kKeyGsensorEvent, 60));
  state->mapTiles = ProfileFile(state->settingsFile).GetString(kMapSection, kKeyMapTiles, "", kSettingMaxChars);
  if (state->mapTiles.empty()) state->mapTiles = kDefaultTileTemplate;
  if (const std::string cache = UserCacheFolder(); !cache.empty()) state->tileCacheFolder = cache + "/TQ-MB20_Viewer/tiles";

  // Trace file: truncated, first line the version.
  StartTraceFile(state->traceFile, state->versionString);

  // Export folder.
  std::string exportPath = ReadSetting(*state, kKeyExportPath);
  state->exportFolder = exportPath.empty() ? resolvedMove : exportPath;

  // First card scan: the first card is browsed, else the "filepath" folder.
  state->cards.clear();
  state->currentCard.clear();
  state->cardFamily = kFamilyNone;
  if (env.drives && ScanCards(*env.drives, &state->cards, &state->cardFamily)) {
    const CardDrive& first = state->cards.front();
    state->currentCard = first.root;
    state->browseFolder = CardBrowseFolder(first.root, first.family);
  } else {
    state->browseFolder = ReadFilePathSetting(*state);
  }
}

std::string ReadFilePathSetting(const AppState& state) {
  std::string path = ReadSetting(state, kKeyFilePath);
  return path.empty() ? DefaultVideosFolder(state.videoFolder) : path;
}

bool WriteFilePathSetting(AppState* state, const std::string& folder) {
  return ProfileFile(state->settingsFile).WriteString(kSetupSection, kKeyFilePath, folder);
}

bool WriteExportPathSetting(AppState* state, const std::string& folder) {
  state->exportFolder = folder;
  return ProfileFile(state->settingsFile).WriteString(kSetupSection, kKeyExportPath, folder);
}

bool WriteVideoPipSetting(AppState* state, int videoPip) {
  if (videoPip == state->videoPip) return true;  // written only when it changed
  state->videoPip = videoPip;
  return ProfileFile(state->settingsFile).WriteString(kSetupSection, kKeyVideoPip, std::to_string(videoPip));
}

}  // namespace tq
