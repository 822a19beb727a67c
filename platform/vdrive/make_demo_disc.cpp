// Build-time generator of the demo disc: reads a disc description and writes
// <folder>/demo.cue, demo.bin and the title sidecar cdplayer.ini.
#include <cstdio>
#include <fstream>

#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/image_error.h"
#include "platform/vdrive/image_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <description> <output folder>\n", argv[0]);
    return 2;
  }
  try {
    using namespace platform::vdrive;
    Disc disc = loadDescription(argv[1]);
    const std::string folder = argv[2];
    writeCueImage(disc, folder, "demo");
    std::ofstream ini(folder + "/cdplayer.ini", std::ios::binary | std::ios::trunc);
    ini << titleSidecar(disc);
    if (!ini) throw ImageError("cannot write '" + folder + "/cdplayer.ini'");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
