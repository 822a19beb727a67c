// Each drive's read offset, kept by the clients in $RIPMARROW_HOME/drives.ini:
// one section per drive, named by its identity as INQUIRY reports it
// (vendor, product, revision: the engine's driveName), with the key
// "read offset" in samples (-2000 ... +2000). The engine keeps no
// configuration of its own: the client puts the offset on it before a rip.
#pragma once

#include <optional>
#include <string>

namespace client {

inline constexpr long kMinReadOffset = -2000;
inline constexpr long kMaxReadOffset = 2000;

class DriveOffsets {
 public:
  // The drive's offset; nothing when none is kept (or the kept one is not a
  // number in range).
  static std::optional<long> offsetOf(const std::string& driveName);
  // False when the offset is out of range, the name is empty or the file
  // cannot be written.
  static bool setOffset(const std::string& driveName, long samples);

  // The drive's identity in a driveName "VENDOR, PRODUCT vREV (h:t:l)": the
  // bus address at the end is not part of it (a drive keeps its offset on
  // another port), nor are blanks at the ends.
  static std::string identityOf(const std::string& driveName);

  // "" when drives.ini is a regular file or is absent; else what is in its
  // place ("/.../drives.ini is not a regular file; passed over"), whose
  // offsets are then neither read nor written (a FIFO is never waited on).
  static std::string fileProblem();

  // "-472", "+667", "0" -> samples; false for anything else or out of range.
  static bool parseOffset(const std::string& text, long& samples);

  // The drive's C2 setting, key "c2": "auto" (C2 error pointers when the
  // drive says it has them), "on" or "off"; "auto" when none is kept or the
  // kept one is none of these. As the engine's c2Mode: 0, 1, 2.
  static long c2ModeOf(const std::string& driveName);
  static const char* c2ModeName(long mode);
};

}  // namespace client
