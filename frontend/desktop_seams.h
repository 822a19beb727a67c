// The seams as the desktop answers them: Qt message boxes, the file-open
// dialog and a restart through a new process of the program's executable.
#pragma once

#include "frontend/seams.h"

namespace quavern {

class MessageBoxPrompter : public Prompter {
 public:
  void inform(QWidget* owner, const std::string& text) override;
  bool askYesNo(QWidget* owner, const std::string& text) override;
};

class DialogFileChooser : public FileChooser {
 public:
  std::vector<std::string> chooseFiles(QWidget* owner, const std::string& caption, const std::string& startFolder,
                                       const std::string& filter) override;
};

class ProcessRestarter : public Restarter {
 public:
  void restart() override;
};

}  // namespace quavern
