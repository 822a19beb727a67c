#include "platform/vdrive/cue_image.h"

#include <fstream>
#include <sstream>

#include "platform/vdrive/file_source.h"
#include "platform/vdrive/image_error.h"
#include "platform/vdrive/wave_file.h"

namespace platform::vdrive {

std::shared_ptr<const SectorSource> DiskFileOpener::open(const CueFile& file) {
  std::string path = file.name;
  if (path.empty() || path[0] != '/') path = folder_ + "/" + path;
  if (file.type == CueFile::Type::Wave) {
    WaveData wave = probeWaveFile(path);
    return std::make_shared<FileSource>(path, false, wave.offsetBytes, wave.sizeBytes);
  }
  return std::make_shared<FileSource>(path, file.type == CueFile::Type::Motorola);
}

namespace {

class Builder {
 public:
  Builder(const CueSheet& sheet, CueFileOpener& opener) : sheet_(sheet) {
    for (const CueFile& file : sheet.files) {
      try {
        sources_.push_back(opener.open(file));
      } catch (const ImageError& e) {
        fail(file.line, e.what());
      }
    }
  }

  Disc build() {
    const auto& cueTracks = sheet_.tracks;
    sessionFirstTrack_ = cueTracks.front().number;
    for (size_t i = 0; i < cueTracks.size(); ++i) {
      const CueTrack& ct = cueTracks[i];
      if (i > 0 && ct.session != cueTracks[i - 1].session) startSession(ct);
      const CueIndex& first = ct.indexes.front();
      if (i == 0) {
        // Sectors of the first file before the first index belong to track 1's pregap.
        position_ = Position{first.file, 0, 0};
      }
      Track track;
      track.number = ct.number;
      track.session = ct.session;
      track.mode = ct.mode;
      track.preEmphasis = ct.preEmphasis;
      track.copyPermitted = ct.copyPermitted;
      track.fourChannel = ct.fourChannel;
      track.isrc = ct.isrc;
      track.title = ct.title;
      track.performer = ct.performer;
      track.songwriter = ct.songwriter;
      track.pregapStart = cursor_;
      int32_t pregap = ct.pregapFrames;
      if (ct.session > 1 && i > 0 && ct.session != cueTracks[i - 1].session && pregap == 0 && first.number == 1)
        pregap = kFirstPregapFrames;  // the first track of a later session always has its pregap
      addSilence(pregap, ct.mode);

      std::vector<Lba> indexLbas;
      const CueIndex* end = i + 1 < cueTracks.size() ? &cueTracks[i + 1].indexes.front() : nullptr;
      copyUntil(ct, end, indexLbas);
      addSilence(ct.postgapFrames, ct.mode);

      size_t firstIndex01 = ct.indexes.front().number == 0 ? 1 : 0;
      track.start = indexLbas[firstIndex01];
      track.indexStarts.assign(indexLbas.begin() + static_cast<long>(firstIndex01), indexLbas.end());
      track.end = cursor_;
      if (track.start >= track.end) fail(ct.line, "TRACK " + std::to_string(ct.number) + " has no sectors");
      tracks_.push_back(std::move(track));
    }
    closeSession();
    if (cursor_ > kLastMsfLba) fail(sheet_.tracks.back().line, "the disc is longer than 89:59:74");
    try {
      return Disc(std::move(tracks_), std::move(sessions_), std::move(extents_),
                  DiscText{sheet_.title, sheet_.performer, sheet_.catalog, sheet_.songwriter});
    } catch (const ImageError& e) {
      throw ImageError(sheet_.name + ": " + e.what());
    }
  }

 private:
  struct Position {
    size_t file = 0;
    int32_t frame = 0;      // in sectors of the current track's mode
    uint64_t byte = 0;      // of that frame in the file
  };

  [[noreturn]] void fail(int line, const std::string& what) const {
    throw ImageError(sheet_.name + ":" + std::to_string(line) + ": " + what);
  }

  void startSession(const CueTrack& ct) {
    closeSession();
    cursor_ += kSessionGapFrames;
    sessionFirstTrack_ = ct.number;
  }

  void closeSession() {
    Session s;
    s.number = static_cast<int>(sessions_.size()) + 1;
    s.firstTrack = sessionFirstTrack_;
    s.lastTrack = tracks_.back().number;
    s.leadOut = cursor_;
    sessions_.push_back(s);
  }

  void addSilence(int32_t frames, TrackMode mode) {
    if (frames <= 0) return;
    if (cursor_ + static_cast<int64_t>(frames) > kLastMsfLba) fail(sheet_.tracks.back().line, "the disc is longer than 89:59:74");
    extents_.push_back(Extent{cursor_, frames, mode, nullptr, 0});
    cursor_ += frames;
  }

  // Frames left in the current file from the current position, in sectors of
  // the given size (a short last sector counts; it reads with zero padding).
  int32_t framesLeft(uint32_t sectorBytes) const {
    uint64_t size = sources_[position_.file]->sizeBytes();
    uint64_t bytes = size > position_.byte ? size - position_.byte : 0;
    uint64_t frames = (bytes + sectorBytes - 1) / sectorBytes;
    return frames > static_cast<uint64_t>(kLastMsfLba) ? kLastMsfLba : static_cast<int32_t>(frames);
  }

  // Copies the track's sectors from the current position up to the next
  // track's first index (or the end of the last file), noting the LBA of each
  // of the track's indexes on the way.
  void copyUntil(const CueTrack& ct, const CueIndex* end, std::vector<Lba>& indexLbas) {
    uint32_t sectorBytes = storedBytesPerSector(ct.mode);
    size_t nextIndex = 0;
    for (;;) {
      bool lastPiece = end ? position_.file == end->file : position_.file + 1 == sources_.size();
      int32_t left = framesLeft(sectorBytes);
      int32_t frames = left;
      if (end && position_.file == end->file) {
        if (end->frame > position_.frame + static_cast<int64_t>(left))
          fail(end->line, "INDEX " + indexName(*end) + " beyond the end of '" + sheet_.files[end->file].name + "'");
        if (end->frame < position_.frame) fail(end->line, "INDEX " + indexName(*end) + " lies before the previous track");
        frames = end->frame - position_.frame;
      }
      // Indexes of this track that fall into this piece.
      while (nextIndex < ct.indexes.size() && ct.indexes[nextIndex].file == position_.file) {
        const CueIndex& index = ct.indexes[nextIndex];
        if (index.frame < position_.frame) fail(index.line, "INDEX " + indexName(index) + " lies before the previous track");
        if (index.frame - position_.frame >= frames)
          fail(index.line, "INDEX " + indexName(index) + " beyond the end of '" + sheet_.files[index.file].name + "'");
        indexLbas.push_back(cursor_ + (index.frame - position_.frame));
        ++nextIndex;
      }
      if (frames > 0) {
        if (cursor_ + static_cast<int64_t>(frames) > kLastMsfLba) fail(ct.line, "the disc is longer than 89:59:74");
        extents_.push_back(Extent{cursor_, frames, ct.mode, sources_[position_.file], position_.byte});
        cursor_ += frames;
        position_.frame += frames;
        position_.byte += static_cast<uint64_t>(frames) * sectorBytes;
      }
      if (lastPiece) break;
      position_ = Position{position_.file + 1, 0, 0};
    }
    if (nextIndex != ct.indexes.size()) {
      const CueIndex& index = ct.indexes[nextIndex];
      fail(index.line, "INDEX " + indexName(index) + " lies outside its track");
    }
  }

  static std::string indexName(const CueIndex& index) {
    return index.number < 10 ? "0" + std::to_string(index.number) : std::to_string(index.number);
  }

  const CueSheet& sheet_;
  std::vector<std::shared_ptr<const SectorSource>> sources_;
  std::vector<Track> tracks_;
  std::vector<Session> sessions_;
  std::vector<Extent> extents_;
  Position position_;
  Lba cursor_ = 0;
  int sessionFirstTrack_ = 1;
};

}  // namespace

Disc buildCueDisc(const CueSheet& sheet, CueFileOpener& files) {
  Builder builder(sheet, files);
  return builder.build();
}

Disc loadCueImage(const std::string& cuePath) {
  std::ifstream in(cuePath, std::ios::binary);
  if (!in) throw ImageError("cannot open '" + cuePath + "'");
  std::ostringstream text;
  text << in.rdbuf();
  if (text.str().size() > 1 << 20) throw ImageError("'" + cuePath + "' is too large for a cue sheet");
  size_t slash = cuePath.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : cuePath.substr(0, slash);
  std::string name = slash == std::string::npos ? cuePath : cuePath.substr(slash + 1);
  DiskFileOpener opener(folder);
  return buildCueDisc(parseCueSheet(text.str(), name), opener);
}

}  // namespace platform::vdrive
