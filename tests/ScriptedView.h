#pragma once
// The main window as the resize run sees it (what it asks for, the host, the
// save dialog), with scripted answers and a record of every call, so the run
// is tested without a window.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/ResizeRun.h"

namespace sw::test {

class ScriptedView : public RunHost, public TargetChooser {
 public:
  std::string widthText, heightText;
  int formatIndex = 1;
  bool wallpaper = false;
  std::optional<std::string> target;  // none: the dialog is cancelled
  bool quitting = false;
  std::function<void()> onPump;    // runs where the window handles its messages after a row
  std::function<void()> onDialog;  // runs while the save dialog is open

  std::vector<int> progress;
  int dialogs = 0;
  std::string dialogTitle, dialogFileName;
  std::vector<std::string> wallpapers;
  int refreshes = 0;

  RunRequest Request() const {
    RunRequest request;
    request.widthText = widthText;
    request.heightText = heightText;
    request.format = formatIndex;
    request.wallpaper = wallpaper;
    return request;
  }

  void RowDone(int percent) override {
    progress.push_back(percent);
    if (onPump) onPump();
  }
  bool ShouldStop() override { return quitting; }
  void RowsDone() override { progress.push_back(0); }
  std::optional<std::string> ChooseTarget(const std::string& title, const std::string& fileName) override {
    ++dialogs;
    dialogTitle = title;
    dialogFileName = fileName;
    if (onDialog) onDialog();
    return target;
  }
  void SetDesktopWallpaper(const std::string& path) override {
    wallpapers.push_back(path);
    ++refreshes;  // the wallpaper call ends with its own refresh request
  }
  void RefreshDesktopWallpaper() override { ++refreshes; }
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
