// The proof of a rip through the built program: `verify` against logs and
// files (WAV and FLAC) with every kind of AccurateRip answer from a loopback
// server, read offsets kept per drive, the offset search, and - with an
// engine that reports checksums - rip logs whose numbers equal the image's,
// corrected rips of offset drives and `offset find`.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>

#include "proof/accuraterip_id.h"
#include "client/testing/accuraterip_test_server.h"
#include "proof/track_checksums.h"
#include "platform/vdrive/disc_description.h"
#include "ripmarrow/offset_command.h"
#include "client/rip_log.h"
#include "tests/cli/program_run.h"

namespace {

namespace fs = std::filesystem;
using cli_testing::readFile;
using cli_testing::Result;
using proof::AccurateRipDiscId;
using client::testing::AccurateRipTestServer;

constexpr char kDisc[] =
    "disc seed=5\n"
    "track kind=noise length=2s\n"
    "track kind=noise length=3s\n"
    "track kind=noise length=2s\n";

const platform::vdrive::Disc& disc() {
  static const platform::vdrive::Disc generated = platform::vdrive::generateDisc(kDisc, "disc.txt");
  return generated;
}

// Track `index`'s audio (0-based) as the image holds it.
std::string trackAudio(size_t index) {
  const auto& track = disc().tracks()[index];
  std::string audio;
  std::array<uint8_t, platform::vdrive::kSectorBytes> sector{};
  for (auto lba = track.start; lba < track.end; ++lba) {
    disc().readSector(lba, sector);
    audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
  }
  return audio;
}

proof::DiscLayout layout() {
  proof::DiscLayout result;
  for (const auto& track : disc().tracks()) {
    result.tracks.push_back({static_cast<uint8_t>(track.number), static_cast<uint32_t>(track.start), false});
  }
  result.leadOutLba = static_cast<uint32_t>(disc().leadOut());
  return result;
}

proof::TrackChecksumValues sumsOf(const std::string& audio, size_t index) {
  proof::TrackChecksums sums(trackAudio(index).size() / 4,
                                      proof::TrackPlaceOf(index, disc().tracks().size()));
  sums.add({reinterpret_cast<const uint8_t*>(audio.data()), audio.size()});
  return sums.values();
}

void putLe32(std::string& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xff);
}

// One AccurateRip record of the disc: per track (confidence, CRC).
std::string record(const std::vector<std::pair<uint8_t, uint32_t>>& entries) {
  const AccurateRipDiscId id = proof::AccurateRipDiscIdOf(layout());
  std::string bytes(1, static_cast<char>(entries.size()));
  putLe32(bytes, id.id1);
  putLe32(bytes, id.id2);
  putLe32(bytes, id.cddbId);
  for (const auto& [confidence, crc] : entries) {
    bytes += static_cast<char>(confidence);
    putLe32(bytes, crc);
    putLe32(bytes, 0);
  }
  return bytes;
}

// The record of the image's tracks by their v1 (or v2) CRCs.
std::string imageRecord(uint8_t confidence, bool v2 = false, uint32_t spoil = 0) {
  std::vector<std::pair<uint8_t, uint32_t>> entries;
  for (size_t i = 0; i < disc().tracks().size(); ++i) {
    const auto sums = sumsOf(trackAudio(i), i);
    entries.emplace_back(confidence, (v2 ? sums.accurateRipV2 : sums.accurateRipV1) + spoil);
  }
  return record(entries);
}

void writeWav(const std::string& path, const std::string& pcm) {
  std::string head = "RIFF";
  putLe32(head, static_cast<uint32_t>(36 + pcm.size()));
  head += "WAVEfmt ";
  putLe32(head, 16);
  head += std::string("\x01\x00\x02\x00", 4);
  putLe32(head, 44100);
  putLe32(head, 44100 * 4);
  head += std::string("\x04\x00\x10\x00", 4);
  head += "data";
  putLe32(head, static_cast<uint32_t>(pcm.size()));
  std::ofstream(path, std::ios::binary) << head << pcm;
}

// A log of the image's tracks in files named `stem`NN`extension`.
client::RipLog imageLog(const std::string& stem, const std::string& extension) {
  client::RipLog log;
  log.programVersion = "ripmarrow test";
  log.drive = "TEST DRIVE 1.00";
  log.mode = "secure";
  log.layout = layout();
  const AccurateRipDiscId id = proof::AccurateRipDiscIdOf(log.layout);
  log.accurateRipIdentity = proof::AccurateRipIdentity(id);
  for (size_t i = 0; i < disc().tracks().size(); ++i) {
    const auto sums = sumsOf(trackAudio(i), i);
    client::RipLogTrack track;
    track.number = static_cast<long>(i + 1);
    track.file = stem + "0" + std::to_string(i + 1) + extension;
    track.ripped = true;
    track.copyCrc = sums.copyCrc;
    track.copyCrcSkipZero = sums.copyCrcSkipZero;
    track.accurateRipV1 = sums.accurateRipV1;
    track.accurateRipV2 = sums.accurateRipV2;
    log.tracks.push_back(track);
  }
  return log;
}

class ProofTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_cli_proof.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
    std::ofstream(home_ + "/disc.txt") << kDisc;
  }
  void TearDown() override {
    fs::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
  }
  Result ripmarrow(const std::string& arguments) { return cli_testing::runRipmarrow(home_, arguments); }
  Result ripmarrowWithin(int seconds, const std::string& arguments) {
    return cli_testing::runRipmarrowWithin(seconds, home_, arguments);
  }
  std::string server() const { return " --accuraterip-server 127.0.0.1:" + std::to_string(server_.port()); }
  void putRecord(const std::string& bytes) {
    server_.putFile(proof::AccurateRipPath(proof::AccurateRipDiscIdOf(layout())), bytes);
  }
  // The image's tracks as WAV files with their log in `folder`.
  void writeImageRip(const std::string& folder) {
    fs::create_directories(home_ + "/" + folder);
    for (size_t i = 0; i < disc().tracks().size(); ++i) {
      writeWav(home_ + "/" + folder + "/Track0" + std::to_string(i + 1) + ".wav", trackAudio(i));
    }
    std::string error;
    ASSERT_FALSE(client::WriteRipLog(home_ + "/" + folder, imageLog("Track", ".wav"), error).empty()) << error;
  }
  std::string home_;
  AccurateRipTestServer server_;
};

TEST_F(ProofTest, VerifyFindsAFlippedByteInARippedWav) {
  writeImageRip("rip");
  putRecord(imageRecord(7));
  Result run = ripmarrow("verify rip" + server());
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("3 of 3 files match the log; 3 accurate by AccurateRip."), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("AccurateRip: accurate (v1), confidence 7"), std::string::npos) << run.out;

  std::fstream file(home_ + "/rip/Track02.wav", std::ios::in | std::ios::out | std::ios::binary);
  file.seekg(44 + 1001);
  const char byte = static_cast<char>(file.get());
  file.seekp(44 + 1001);
  file.put(static_cast<char>(byte ^ 0x10));
  file.close();
  run = ripmarrow("verify rip" + server());
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  const size_t differs = run.out.find("DIFFERS from the log's");
  ASSERT_NE(differs, std::string::npos) << run.out;
  EXPECT_GT(differs, run.out.find("Track 2: Track02.wav"));
  EXPECT_LT(differs, run.out.find("Track 3: Track03.wav"));
  EXPECT_NE(run.out.find("not accurate (best confidence 7)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 of 3 files match the log; 2 accurate"), std::string::npos) << run.out;
}

TEST_F(ProofTest, VerifySaysEveryAccurateRipAnswer) {
  writeImageRip("rip");
  struct Case {
    const char* name;
    std::function<void()> setUp;
    int status;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"match by v2", [&] { putRecord(imageRecord(12, true)); }, 0, "accurate (v2), confidence 12"},
      {"mismatch", [&] { putRecord(imageRecord(4, false, 1)); }, 1, "not accurate (best confidence 4)"},
      {"not in database", [&] { putRecord(""); }, 0, "disc not in database"},
      {"garbage", [&] { server_.setBehaviour(AccurateRipTestServer::Behaviour::kGarbage); }, 0, ": bad answer ("},
      {"cut short", [&] { server_.setBehaviour(AccurateRipTestServer::Behaviour::kEarlyClose); putRecord(imageRecord(3)); },
       0, ": no answer ("},
  };
  for (const Case& c : cases) {
    c.setUp();
    const Result run = ripmarrow("verify rip" + server());
    EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.out << run.err;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << c.name << "\n" << run.out;
    EXPECT_NE(run.out.find("3 of 3 files match the log"), std::string::npos) << c.name << "\n" << run.out;
  }
  // A server that is not there: the port of one that has gone.
  uint16_t deadPort = 0;
  {
    AccurateRipTestServer gone;
    deadPort = gone.port();
  }
  Result run = ripmarrow("verify rip --accuraterip-server 127.0.0.1:" + std::to_string(deadPort));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(": no answer (no connection"), std::string::npos) << run.out;
  run = ripmarrow("verify rip --accuraterip-server none");
  EXPECT_NE(run.out.find("no answer (not asked)"), std::string::npos) << run.out;
}

TEST_F(ProofTest, VerifyRefusesWhatItCannotCheck) {
  fs::create_directories(home_ + "/empty");
  Result run = ripmarrow("verify empty --accuraterip-server none");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("No rip log"), std::string::npos) << run.err;
  std::ofstream(home_ + "/empty/ripmarrow.log") << "ripmarrow rip log\n\nProgram: x\n";
  run = ripmarrow("verify empty --accuraterip-server none");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no table of contents"), std::string::npos) << run.err;

  // A log that names a file outside its folder, or a file that is not audio.
  writeImageRip("rip");
  client::RipLog log = imageLog("Track", ".wav");
  log.tracks[0].file = "../disc.txt";
  log.tracks[1].file = "notes.txt";
  std::ofstream(home_ + "/rip/notes.txt") << "not audio";
  std::ofstream(home_ + "/rip/odd.log") << client::RipLogText(log);
  run = ripmarrow("verify rip --log odd.log --accuraterip-server none");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("not checked: not a file name"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("CANNOT CHECK: neither a WAV nor a FLAC file"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1 of 3 files match the log"), std::string::npos) << run.out;
  // A lossy file is named and passed over.
  log = imageLog("Track", ".wav");
  log.tracks[2].file = "Track03.mp3";
  std::ofstream(home_ + "/rip/Track03.mp3") << "ID3";
  std::ofstream(home_ + "/rip/lossy.log") << client::RipLogText(log);
  run = ripmarrow("verify rip --log lossy.log --accuraterip-server none");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("not checked: mp3 files keep no exact copy"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 of 2 files match the log (1 lossy file not checked)"), std::string::npos) << run.out;
  EXPECT_EQ(ripmarrow("verify").status, 2);
  EXPECT_EQ(ripmarrow("verify rip --accuraterip-server :80").status, 2);
}

// What an outside campaign tried with mutated logs and folders: each case
// small, made by the test (a FIFO with mkfifo, a sparse WAV by truncation).
TEST_F(ProofTest, VerifyStandsHostileLogsAndFolders) {
  writeImageRip("rip");
  // A flooded log: track 2's section again and again would read its file each time.
  std::string text = client::RipLogText(imageLog("Track", ".wav"));
  const size_t section = text.find("\nTrack 2\n");
  const size_t next = text.find("\nTrack 3\n");
  for (int i = 0; i < 50; ++i) text.insert(next, text.substr(section, next - section));
  std::ofstream(home_ + "/rip/flooded.log") << text;
  Result run = ripmarrowWithin(60, "verify rip --log flooded.log");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.err.find("track 2 again (its section is at line"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("Track 2:"), std::string::npos) << run.out;

  // The log's File: value reaches the terminal without its control characters.
  text = client::RipLogText(imageLog("Track", ".wav"));
  text.replace(text.find("File: Track03.wav"), 17, "File: Track03.wav\x1b]0;owned\x07\u009b2J");
  std::ofstream(home_ + "/rip/escapes.log") << text;
  run = ripmarrowWithin(60, "verify rip --log escapes.log");
  EXPECT_NE(run.out.find("Track 3: Track03.wav?]0;owned??2J\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos);

  // A FIFO in the folder is named and passed over; a sparse 1.5 GB WAV is
  // refused at once, without its 1.5 GB read into memory.
  fs::remove(home_ + "/rip/Track02.wav");
  ASSERT_EQ(mkfifo((home_ + "/rip/Track02.wav").c_str(), 0600), 0);
  const std::string sparse = home_ + "/rip/Track03.wav";
  writeWav(sparse, "");
  {
    std::fstream header(sparse, std::ios::in | std::ios::out | std::ios::binary);
    header.seekp(40);
    std::string size;
    putLe32(size, 1'500'000'000u);
    header << size;
  }
  fs::resize_file(sparse, 1'500'000'044u);
  run = ripmarrowWithin(60, "verify rip");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("Track 2: Track02.wav\n  CANNOT CHECK: not a regular file\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Track 3: Track03.wav\n  CANNOT CHECK: larger than its track can be (1500000044 bytes"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("1 of 3 files match the log"), std::string::npos) << run.out;
}

TEST_F(ProofTest, AFifoAsDrivesIniIsPassedOver) {
  ASSERT_EQ(ripmarrow("register").status, 0);
  ASSERT_EQ(mkfifo((home_ + "/drives.ini").c_str(), 0600), 0);
  Result run = ripmarrowWithin(60, "--vdrive disc.txt offset show");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(": not set (0 is used)"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("drives.ini is not a regular file; passed over"), std::string::npos) << run.err;
  run = ripmarrowWithin(60, "--vdrive disc.txt offset set +6");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.err.find("Cannot write drives.ini."), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_fifo(home_ + "/drives.ini"));
}

TEST_F(ProofTest, ABadKeyOfVdrivesIniIsNamedAndTheCommandFails) {
  ASSERT_EQ(ripmarrow("register").status, 0);
  std::ofstream(home_ + "/vdrives.ini") << "[E]\nimage=disc.txt\njitter=-3\n";
  const Result run = ripmarrow("info");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("vdrives.ini:3: drive E: virtual drive setting 'jitter': '-3' is not a number from 0 to 100000"),
            std::string::npos)
      << run.err;
}

TEST_F(ProofTest, VerifyDecodesRippedFlacFiles) {
  ASSERT_EQ(ripmarrow("register").status, 0);
  Result run = ripmarrow("--vdrive disc.txt rip --format flac --titles none --out flac --accuraterip-server none");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  // Against the rip's own log and against one of the image's numbers.
  run = ripmarrow("verify flac --accuraterip-server none");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("3 of 3 files match the log"), std::string::npos) << run.out;
  std::ofstream(home_ + "/flac/image.log") << client::RipLogText(imageLog("Track", ".flac"));
  run = ripmarrow("verify flac --log image.log --accuraterip-server none");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("3 of 3 files match the log"), std::string::npos) << run.out;

  // A damaged FLAC file is found too (its frame checksums or its MD5 sum no longer agree).
  const std::string path = home_ + "/flac/Track03.flac";
  std::string bytes = readFile(path);
  bytes[bytes.size() - 700] = static_cast<char>(bytes[bytes.size() - 700] ^ 0x01);
  std::ofstream(path, std::ios::binary) << bytes;
  run = ripmarrow("verify flac --log image.log --accuraterip-server none");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("2 of 3 files match the log"), std::string::npos) << run.out;
}

TEST_F(ProofTest, ReadOffsetsAreKeptPerDrive) {
  ASSERT_EQ(ripmarrow("register").status, 0);
  Result run = ripmarrow("--vdrive disc.txt offset show");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(": not set (0 is used)"), std::string::npos) << run.out;
  run = ripmarrow("--vdrive disc.txt offset set -472");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  run = ripmarrow("--vdrive disc.txt offset show");
  EXPECT_NE(run.out.find(": -472 samples"), std::string::npos) << run.out;
  EXPECT_NE(readFile(home_ + "/drives.ini").find("read offset=-472"), std::string::npos) << readFile(home_ + "/drives.ini");
  // A drive of another offset reports another revision: another drive, no offset kept.
  std::ofstream(home_ + "/vdrives.ini") << "[V]\nread-offset=6\n";
  run = ripmarrow("--vdrive disc.txt offset show");
  EXPECT_NE(run.out.find(": not set"), std::string::npos) << run.out;
  for (const char* arguments : {"offset set 2001", "offset set +-3", "offset set", "offset show --save", "offset lose",
                                "rip --offset 3000", "rip --accuraterip-server host:0"}) {
    EXPECT_EQ(ripmarrow(arguments).status, 2) << arguments;
  }
}

// The AccurateRip v1 CRC of the track read at offset `k`, summed plainly.
uint32_t v1At(const std::vector<uint32_t>& padded, long k, uint64_t samples, bool first, bool last) {
  uint32_t sum = 0;
  for (uint64_t i = 1; i <= samples; ++i) {
    if (first && i < 5 * 588) continue;
    if (last && i > samples - 5 * 588) continue;
    sum += static_cast<uint32_t>(i * padded[static_cast<size_t>(2000 + k) + i - 1]);
  }
  return sum;
}

TEST(OffsetSearch, FindsTheOffsetWhoseCrcTheDatabaseHolds) {
  std::mt19937 random(3);
  constexpr uint64_t kSamples = 20 * 588;
  std::vector<uint32_t> padded(kSamples + 4000);
  for (auto& w : padded) w = static_cast<uint32_t>(random());
  for (const bool first : {false, true}) {
    for (const bool last : {false, true}) {
      const proof::TrackPlace place{first, last};
      for (const long offset : {667L, -1234L, 2000L, -2000L, 0L}) {
        const auto found = ripmarrow::OffsetCommand::matchingOffsets(
            padded, kSamples, place, {v1At(padded, offset, kSamples, first, last)});
        ASSERT_FALSE(found.empty()) << offset;
        EXPECT_EQ(found.front(), offset) << first << last;
        EXPECT_EQ(found.size(), 1u) << offset;
      }
    }
  }
  EXPECT_TRUE(ripmarrow::OffsetCommand::matchingOffsets(padded, kSamples, {}, {12345}).empty());
}

TEST_F(ProofTest, RipLogNumbersEqualTheImagesAndVerifyChecksTheRip) {
  ASSERT_EQ(ripmarrow("register").status, 0);
  putRecord(imageRecord(9));
  Result run = ripmarrow("--vdrive disc.txt rip --format wav --mode secure --verify --titles none --out rip" + server());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Every track is accurate."), std::string::npos) << run.out;
  std::string error;
  const auto log = client::ParseRipLog(readFile(home_ + "/rip/ripmarrow.log"), error);
  ASSERT_TRUE(log) << error;
  const client::RipLog want = imageLog("Track", ".wav");
  EXPECT_EQ(log->accurateRipIdentity, want.accurateRipIdentity);
  EXPECT_EQ(log->musicBrainzId.size(), 28u);
  ASSERT_EQ(log->tracks.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(log->tracks[i].file, want.tracks[i].file);
    EXPECT_EQ(log->tracks[i].copyCrc, want.tracks[i].copyCrc) << i;
    EXPECT_EQ(log->tracks[i].testCrc, want.tracks[i].copyCrc) << i;
    EXPECT_EQ(log->tracks[i].copyCrcSkipZero, want.tracks[i].copyCrcSkipZero) << i;
    EXPECT_EQ(log->tracks[i].accurateRipV1, want.tracks[i].accurateRipV1) << i;
    EXPECT_EQ(log->tracks[i].accurateRipV2, want.tracks[i].accurateRipV2) << i;
    EXPECT_EQ(log->tracks[i].verdict.kind, proof::VerdictKind::kAccurate) << i;
    EXPECT_EQ(log->tracks[i].verdict.confidence, 9u) << i;
  }
  EXPECT_TRUE(log->allAccurate());
  EXPECT_EQ(ripmarrow("verify rip" + server()).status, 0);

  // A second rip into the folder keeps the first log.
  run = ripmarrow("--vdrive disc.txt rip --tracks 2 --format wav --titles none --out rip --accuraterip-server none");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(fs::exists(home_ + "/rip/ripmarrow (2).log"));
  EXPECT_EQ(client::ParseRipLog(readFile(home_ + "/rip/ripmarrow.log"), error)->tracks.size(), 3u);
}

// A CD-Extra disc: the log's table of contents holds the data session, and
// the last audio track, which ends before the gap between the sessions, is
// checked over its own audio.
TEST_F(ProofTest, VerifyChecksTheLastAudioTrackOfACdExtraDisc) {
  ASSERT_EQ(ripmarrow("register").status, 0);
  std::ofstream(home_ + "/extra.txt") << "disc seed=9\n"
                                         "track kind=music length=6s\n"
                                         "track kind=noise length=3s\n"
                                         "session\n"
                                         "track kind=data length=8s\n";
  Result run = ripmarrow("--vdrive extra.txt rip --format wav --titles none --out extra --accuraterip-server none");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::string error;
  const auto log = client::ParseRipLog(readFile(home_ + "/extra/ripmarrow.log"), error);
  ASSERT_TRUE(log) << error;
  ASSERT_TRUE(log->layout.cdExtra());
  EXPECT_EQ(log->layout.audioTrackFrames(1), 3u * 75);
  run = ripmarrow("verify extra --accuraterip-server none");
  EXPECT_EQ(run.out.find("DIFFERS"), std::string::npos) << run.out;
}

// Test and copy on a drive whose every read starts somewhere else: the two
// reads of a track differ, the track fails and the program ends with 1.
TEST_F(ProofTest, TestAndCopyFailsATrackWhoseReadsDiffer) {
  ASSERT_EQ(ripmarrow("register").status, 0);
  std::ofstream(home_ + "/vdrives.ini") << "[V]\njitter=588\nseed=3\n";
  const Result run =
      ripmarrow("--vdrive disc.txt rip --tracks 2 --format wav --verify --titles none --out jitter --accuraterip-server none");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("differs from the copy's"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("0 of 1 track ripped"), std::string::npos) << run.out;
  std::string error;
  const auto log = client::ParseRipLog(readFile(home_ + "/jitter/ripmarrow.log"), error);
  ASSERT_TRUE(log) << error;
  ASSERT_EQ(log->tracks.size(), 1u);
  EXPECT_FALSE(log->tracks[0].ripped);
  ASSERT_TRUE(log->tracks[0].testCrc);
  EXPECT_NE(*log->tracks[0].testCrc, log->tracks[0].copyCrc);
  // The test read's file is gone.
  EXPECT_FALSE(fs::exists(home_ + "/jitter/.ripmarrow-test.wav"));
}

TEST_F(ProofTest, CorrectedRipsOfOffsetDrivesEqualTheImage) {
  ASSERT_EQ(ripmarrow("register").status, 0);
  putRecord(imageRecord(5));
  for (const long offset : {6L, 667L, -1164L}) {
    std::ofstream(home_ + "/vdrives.ini") << "[V]\nread-offset=" << offset << "\n";
    const std::string folder = "rip" + std::to_string(offset);
    ASSERT_EQ(ripmarrow("--vdrive disc.txt offset set " + std::to_string(offset)).status, 0);
    const Result run = ripmarrow("--vdrive disc.txt rip --format wav --titles none --out " + folder + server());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("(drives.ini)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Every track is accurate."), std::string::npos) << offset << run.out;
    for (size_t i = 0; i < 3; ++i) {
      std::string want = trackAudio(i);
      // What the drive cannot read beyond the disc's ends is zero.
      const size_t edge = static_cast<size_t>(std::labs(offset)) * 4;
      if (offset > 0 && i == 2) std::fill(want.end() - static_cast<long>(edge), want.end(), '\0');
      if (offset < 0 && i == 0) std::fill(want.begin(), want.begin() + static_cast<long>(edge), '\0');
      const std::string file = readFile(home_ + "/" + folder + "/Track0" + std::to_string(i + 1) + ".wav");
      ASSERT_GE(file.size(), 46u);
      EXPECT_TRUE(file.substr(46, want.size()) == want) << "offset " << offset << " track " << i + 1;
    }
  }
}

TEST_F(ProofTest, OffsetFindFindsTheDrivesOffset) {
  ASSERT_EQ(ripmarrow("register").status, 0);
  std::ofstream(home_ + "/vdrives.ini") << "[V]\nread-offset=667\n";
  Result run = ripmarrow("--vdrive disc.txt offset find" + server());
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("The disc cannot tell"), std::string::npos) << run.out;

  // A record whose CRCs no offset gives (another pressing): the disc cannot tell either.
  putRecord(imageRecord(2, false, 1));
  run = ripmarrow("--vdrive disc.txt offset find" + server());
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("No read offset from -2000 to +2000"), std::string::npos) << run.out;
  EXPECT_FALSE(fs::exists(home_ + "/drives.ini"));

  putRecord(imageRecord(2));
  run = ripmarrow("--vdrive disc.txt offset find --save" + server());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(": +667 samples"), std::string::npos) << run.out;
  run = ripmarrow("--vdrive disc.txt offset show");
  EXPECT_NE(run.out.find(": +667 samples"), std::string::npos) << run.out;
}

}  // namespace
