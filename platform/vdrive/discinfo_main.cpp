// rm-discinfo: prints the table of contents of a disc image (a .cue file or a
// disc description), so it can be checked before ripping. "--toc" shows the
// built-in demo disc.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/toc_report.h"
#include "vdrive/demo_disc.h"

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fprintf(stderr,
                 "usage: rm-discinfo <image.cue | disc description>\n"
                 "       rm-discinfo --toc       the demo disc in %s\n",
                 RIPMARROW_DEMO_DIR);
    return 2;
  }
  std::string path = std::strcmp(argv[1], "--toc") == 0 ? std::string(RIPMARROW_DEMO_DIR) + "/demo.cue" : argv[1];
  try {
    std::fputs(platform::vdrive::formatTableOfContents(platform::vdrive::loadImage(path)).c_str(), stdout);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rm-discinfo: %s\n", e.what());
    return 1;
  }
  return 0;
}
