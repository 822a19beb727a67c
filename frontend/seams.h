// What the desktop program asks of the desktop, as small interfaces that
// tests replace: message boxes, file and folder choosers, the restart after
// the crash question. (The desktop's opener is platform::DesktopOpener.)
// The real implementations are in desktop_seams.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace platform {
class DesktopOpener;
}

namespace quavern {

class SettingsStore;

// Information boxes (OK) and questions (Yes/No). `owner` centres the box.
class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual void inform(QWidget* owner, const std::string& text) = 0;
  virtual bool askYesNo(QWidget* owner, const std::string& text) = 0;
};

// The folder chooser as its callers see it.
struct FolderRequest {
  std::string caption;             // "Output Directory", "Open Folder"
  std::string prompt;              // the text above the tree
  bool offerSubfolders = false;    // shows "Include Sub-folders"
};
struct FolderChoice {
  std::string folder;              // empty: no choice
  bool includeSubfolders = false;
};
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  virtual FolderChoice chooseFolder(QWidget* owner, const FolderRequest& request) = 0;
};

// The file-open dialog (the converter's "add files").
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  virtual std::vector<std::string> chooseFiles(QWidget* owner, const std::string& caption,
                                               const std::string& startFolder, const std::string& filter) = 0;
};

// Starts the program's own executable again (after the crash question).
class Restarter {
 public:
  virtual ~Restarter() = default;
  virtual void restart() = 0;
};

// The seams one program run uses; none owned here. Every window receives
// the same set from the main window.
struct Seams {
  SettingsStore* settings = nullptr;
  Prompter* prompter = nullptr;
  platform::DesktopOpener* opener = nullptr;
  FolderChooser* folders = nullptr;  // null: the program's own Tfm_dir
  FileChooser* files = nullptr;
  Restarter* restarter = nullptr;
};

}  // namespace quavern
