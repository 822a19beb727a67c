// Puts a disc image into a virtual drive of $RIPMARROW_HOME/vdrives.ini, so
// that the engine (which reads that file when it lists the drives) finds a
// drive holding it. Other sections and keys of the file are kept.
#pragma once

#include <string>

namespace ripmarrow {

// --vdrive [IMAGE], as every command that reads a disc takes it.
struct VirtualDriveOption {
  bool given = false;
  std::string image;  // "": the demo disc

  // Without --vdrive, true. Else puts the image into the client's virtual
  // drive and sets `preferredLetter` to it; false, with the reason on
  // stderr, when it cannot.
  bool apply(char& preferredLetter) const;
};

class VirtualDriveSetup {
 public:
  static constexpr char kDefaultLetter = 'V';

  // The demo disc installed with the program (made by the build).
  static std::string demoImage();
  // Writes [letter] image=<absolute path>. False when the image does not
  // exist or the file cannot be written.
  static bool putImage(const std::string& imagePath, char letter, std::string& error);
};

}  // namespace ripmarrow
