#pragma once
// The main window as the resize run sees it (its inputs and the host), with
// scripted answers and a record of every call, so the run is tested without
// a window.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/ResizeRun.h"

namespace sw::test {

class ScriptedView : public RunInputs, public RunHost {
 public:
  std::string widthText, heightText;
  int formatIndex = 1;
  bool wallpaper = false;
  std::optional<std::string> target;  // none: the dialog is cancelled
  bool quitting = false;
  std::function<void()> onPump;        // runs inside the resampler's message pumping

  std::vector<bool> enabledStates;  // the window's, as the run holds and releases its inputs
  std::vector<int> progress;
  int dialogs = 0;
  std::string dialogTitle, dialogFileName;
  std::vector<std::string> wallpapers;
  int refreshes = 0;
  int clears = 0;

  void HoldInputs(bool held) override { enabledStates.push_back(!held); }
  std::string NewWidthText() override { return widthText; }
  std::string NewHeightText() override { return heightText; }
  int FormatIndex() override { return formatIndex; }
  bool WallpaperChecked() override { return wallpaper; }
  bool ChooseTarget(const std::string& title, const std::string& fileName, std::string& path) override {
    ++dialogs;
    dialogTitle = title;
    dialogFileName = fileName;
    if (!target) return false;
    path = *target;
    return true;
  }
  void SetDesktopWallpaper(const std::string& path) override {
    wallpapers.push_back(path);
    ++refreshes;  // the wallpaper call ends with its own refresh request
  }
  void RefreshDesktopWallpaper() override { ++refreshes; }
  void ClearInputs() override { ++clears; }
  void SetProgress(int percent) override { progress.push_back(percent); }
  void ProcessPendingMessages() override {
    if (onPump) onPump();
  }
  bool IsQuitting() override { return quitting; }

  bool EndedEnabled() const { return !enabledStates.empty() && enabledStates.back(); }
};

// A picture with a different colour in every pixel, so any mix-up shows.
inline Picture Gradient(int width, int height) {
  Picture picture = Picture::CreateDisplayCompatible(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.WritePixel(x, y, static_cast<ColorValue>((x * 40) | ((y * 30) << 8) | (((x + y) * 20 % 256) << 16)));
  return picture;
}

}  // namespace sw::test
