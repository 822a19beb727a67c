#include "ripmarrow/disc_layout_query.h"

#include "platform/com/com_ptr.h"
#include "client/engine_session.h"

namespace ripmarrow {

DiscLayoutQuery DiscLayoutQuery::read(IAudioCDRipper2* engine, long trackCount) {
  DiscLayoutQuery layout;
  com::ComPtr<IAudioCDRipperReport> report;
  if (FAILED(engine->QueryInterface(IID_IAudioCDRipperReport, report.putVoid())) || !report) {
    for (long t = 1; t <= trackCount; ++t) {
      Track track;
      track.number = static_cast<int>(t);
      layout.tracks.push_back(track);
    }
    return layout;
  }
  BSTR text = nullptr;
  if (SUCCEEDED(report->get_discCatalog(&text))) layout.catalog = com::TakeUtf8(text);
  LONG leadOut = 0;
  if (SUCCEEDED(report->get_leadOutLba(&leadOut)) && leadOut > 0)
    layout.leadOutLba = static_cast<uint32_t>(leadOut);
  for (long t = 1; t <= trackCount; ++t) {
    Track track;
    track.number = static_cast<int>(t);
    LONG start = 0;
    if (SUCCEEDED(report->get_trackStartLba(t, &start)) && start > 0)
      track.startLba = static_cast<uint32_t>(start);
    LONG pregap = -1;
    if (SUCCEEDED(report->get_trackPregapFrames(t, &pregap)))
      track.pregapFrames = pregap < 0 ? -1 : pregap;
    text = nullptr;
    if (SUCCEEDED(report->get_trackIsrc(t, &text))) track.isrc = com::TakeUtf8(text);
    VARIANT_BOOL emphasis = VARIANT_FALSE;
    if (SUCCEEDED(report->get_trackPreEmphasis(t, &emphasis)))
      track.preEmphasis = emphasis != VARIANT_FALSE;
    layout.tracks.push_back(track);
  }
  return layout;
}

bool DiscLayoutQuery::pregapsKnown() const {
  // Track 1's room comes from the TOC (and is not known after a data
  // track); the others' pregaps need the sub-channel.
  for (size_t i = 1; i < tracks.size(); ++i) {
    if (tracks[i].pregapFrames < 0) return false;
  }
  return true;
}

uint32_t DiscLayoutQuery::hiddenTrackFrames() const {
  if (tracks.empty() || tracks.front().pregapFrames <= 0) return 0;
  // The engine gives track 1's room from LBA 0 only when the disc's first
  // track is this audio track: before an audio track that follows a data
  // track (a mixed-mode disc) lies the data, never a hidden track. An
  // answer past the track's start is no room this disc has.
  const uint32_t frames = static_cast<uint32_t>(tracks.front().pregapFrames);
  return frames <= tracks.front().startLba ? frames : 0;
}

CueSheetWriter::Disc DiscLayoutQuery::cueDisc(const std::vector<std::string>& titles,
                                              const std::string& album, const std::string& artist,
                                              const std::vector<std::string>& files,
                                              const std::string& hiddenFile,
                                              const std::vector<bool>& deemphasised) const {
  CueSheetWriter::Disc disc;
  disc.catalog = catalog;
  disc.title = album;
  disc.performer = artist;
  disc.pregapsUnknown = !pregapsKnown();
  disc.hiddenTrackFile = hiddenFile;
  for (size_t i = 0; i < tracks.size(); ++i) {
    CueSheetWriter::Track track;
    track.number = tracks[i].number;
    track.startLba = tracks[i].startLba;
    track.pregapFrames = tracks[i].pregapFrames;
    // The hidden track's file holds all of track 1's room.
    if (i == 0 && !hiddenFile.empty())
      track.pregapFrames = static_cast<int32_t>(hiddenTrackFrames());
    track.isrc = tracks[i].isrc;
    track.preEmphasis = tracks[i].preEmphasis && !(i < deemphasised.size() && deemphasised[i]);
    if (i < titles.size()) track.title = titles[i];
    if (i < files.size()) track.file = files[i];
    disc.tracks.push_back(track);
  }
  return disc;
}

}  // namespace ripmarrow
