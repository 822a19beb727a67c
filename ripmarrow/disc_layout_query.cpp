#include "ripmarrow/disc_layout_query.h"

#include "platform/com/com_ptr.h"
#include "ripmarrow/engine_session.h"

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
  if (SUCCEEDED(report->get_discCatalog(&text))) layout.catalog = takeText(text);
  LONG leadOut = 0;
  if (SUCCEEDED(report->get_leadOutLba(&leadOut)) && leadOut > 0) layout.leadOutLba = static_cast<uint32_t>(leadOut);
  for (long t = 1; t <= trackCount; ++t) {
    Track track;
    track.number = static_cast<int>(t);
    LONG start = 0;
    if (SUCCEEDED(report->get_trackStartLba(t, &start)) && start > 0) track.startLba = static_cast<uint32_t>(start);
    LONG pregap = -1;
    if (SUCCEEDED(report->get_trackPregapFrames(t, &pregap))) track.pregapFrames = pregap < 0 ? -1 : pregap;
    text = nullptr;
    if (SUCCEEDED(report->get_trackIsrc(t, &text))) track.isrc = takeText(text);
    VARIANT_BOOL emphasis = VARIANT_FALSE;
    if (SUCCEEDED(report->get_trackPreEmphasis(t, &emphasis))) track.preEmphasis = emphasis != VARIANT_FALSE;
    layout.tracks.push_back(track);
  }
  return layout;
}

bool DiscLayoutQuery::pregapsKnown() const {
  for (const Track& track : tracks) {
    if (track.pregapFrames < 0) return false;
  }
  return true;
}

uint32_t DiscLayoutQuery::hiddenTrackFrames() const {
  if (tracks.empty()) return 0;
  const Track& first = tracks.front();
  // The room is what lies before track 1's INDEX 01 from LBA 0, which the
  // TOC tells as well: a drive that would not read the sub-channel still
  // gives the hidden track.
  if (first.pregapFrames < 0) return first.startLba;
  return static_cast<uint32_t>(first.pregapFrames) <= first.startLba ? static_cast<uint32_t>(first.pregapFrames) : 0;
}

CueSheetWriter::Disc DiscLayoutQuery::cueDisc(const std::vector<std::string>& titles, const std::string& album,
                                              const std::string& artist, const std::vector<std::string>& files,
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
    if (i == 0 && !hiddenFile.empty()) track.pregapFrames = static_cast<int32_t>(hiddenTrackFrames());
    track.isrc = tracks[i].isrc;
    track.preEmphasis = tracks[i].preEmphasis && !(i < deemphasised.size() && deemphasised[i]);
    if (i < titles.size()) track.title = titles[i];
    if (i < files.size()) track.file = files[i];
    disc.tracks.push_back(track);
  }
  return disc;
}

}  // namespace ripmarrow
