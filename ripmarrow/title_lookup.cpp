#include "ripmarrow/title_lookup.h"

#include "client/musicbrainz_lookup.h"
#include "client/rip_report.h"
#include "platform/com/bstr_text.h"

namespace ripmarrow {
namespace {

void ListCandidates(const client::MusicBrainzLookup& lookup, std::ostream& out) {
  for (size_t k = 0; k < lookup.candidates.size(); ++k) {
    out << (k + 1 < 10 ? " " : "") << k + 1 << "  " << lookup.answer.releases[lookup.candidates[k].release].id
        << "  " << client::DescribeMusicBrainzCandidate(lookup.answer, lookup.candidates[k]) << "\n";
  }
}

}  // namespace

TitleLookup::Outcome TitleLookup::run(const Settings& settings, long trackCount) {
  titles_ = {};
  passedOver_.clear();
  if (settings.sources == Sources::kCdText) return askCdText(trackCount);
  // A release named with --release is MusicBrainz's to give: the local
  // store, which keeps one set of titles per disc, is not asked for it.
  const bool localFirst = settings.sources == Sources::kLocal ||
                          (settings.sources == Sources::kAll && settings.release.empty());
  if (localFirst) {
    if (askEngine(CDPLAYERINI, trackCount)) {
      titles_.source = "cdplayer.ini";
      return Outcome::kFound;
    }
    if (settings.sources == Sources::kLocal) return Outcome::kNotFound;
  }
  if (!settings.musicBrainzServer.empty()) {
    const Outcome outcome = askMusicBrainz(settings, trackCount);
    if (outcome != Outcome::kNotFound) return outcome;
  }
  if (!settings.cddbServerOff && askEngine(ONLINEDATABASE, trackCount)) {
    titles_.source = "CDDB server";
    return Outcome::kFound;
  }
  // The disc's own text, where no other source had the disc.
  return settings.sources == Sources::kAll ? askCdText(trackCount) : Outcome::kNotFound;
}

TitleLookup::Outcome TitleLookup::askCdText(long trackCount) {
  titles_ = client::RipReport(engine_).cdTextTitles(trackCount);
  return titles_.found() ? Outcome::kFound : Outcome::kNotFound;
}

bool TitleLookup::askEngine(CDDBSourceConstants source, long trackCount) {
  if (beforeEngineQuery) beforeEngineQuery(source == ONLINEDATABASE);
  VARIANT_BOOL found = VARIANT_FALSE;
  engine_->GetCDDBInfo(source, &found);
  if (found != VARIANT_TRUE) return false;
  BSTR artist = nullptr;
  BSTR album = nullptr;
  BSTR genre = nullptr;
  engine_->get_cddbInfoArtist(&artist);
  engine_->get_cddbInfoAlbum(&album);
  engine_->get_cddbInfoGenre(&genre);
  titles_.artist = com::TakeUtf8(artist);
  titles_.album = com::TakeUtf8(album);
  titles_.genre = com::TakeUtf8(genre);
  titles_.trackTitles.assign(static_cast<size_t>(trackCount), "");
  titles_.trackArtists.assign(static_cast<size_t>(trackCount), "");
  for (LONG t = 1; t <= trackCount; ++t) {
    engine_->put_trackNum(t);
    BSTR title = nullptr;
    engine_->get_cddbInfoTitle(&title);
    titles_.trackTitles[static_cast<size_t>(t - 1)] = com::TakeUtf8(title);
  }
  return true;
}

TitleLookup::Outcome TitleLookup::askMusicBrainz(const Settings& settings, long trackCount) {
  const client::RipReport report(engine_);
  const auto layout = report.audioLayout(trackCount);
  const auto disc = layout ? client::MusicBrainzDiscOf(*layout) : std::nullopt;
  if (!disc) {
    err_ << "MusicBrainz: the disc's table of contents gives no disc id.\n";
    return Outcome::kNotFound;
  }
  err_ << "Asking MusicBrainz (" << settings.musicBrainzServer << ")...\n";
  client::MusicBrainzOptions options;
  options.country = settings.country;
  const client::MusicBrainzLookup lookup = client::LookUpMusicBrainz(settings.musicBrainzServer, *disc, options);
  if (lookup.status == client::MusicBrainzStatus::kNoAnswer) {
    err_ << "MusicBrainz: no answer (" << lookup.reason << ").\n";
    return Outcome::kNotFound;
  }
  if (lookup.status == client::MusicBrainzStatus::kNotFound) {
    out_ << "MusicBrainz does not know this disc (" << disc->discId << "); add it at "
         << client::MusicBrainzSubmissionUrl(settings.musicBrainzServer, *disc) << "\n";
    return Outcome::kNotFound;
  }
  const size_t count = lookup.candidates.size();
  int chosen = 0;
  if (!settings.release.empty()) {
    chosen = client::FindMusicBrainzCandidate(lookup.answer, lookup.candidates, settings.release);
    if (chosen < 0) {
      out_ << "No MusicBrainz release " << settings.release << " for this disc; its releases:\n";
      ListCandidates(lookup, out_);
      return Outcome::kReleaseNotChosen;
    }
  } else if (count > 1 && client::MusicBrainzCandidatesDiffer(lookup.answer, lookup.candidates) &&
             settings.unattended) {
    // Nobody to ask: the best-ranked release, the others named.
    out_ << "MusicBrainz has " << count << " releases for this disc that differ in artist or album; took the"
         << " best-ranked:\n";
    ListCandidates(lookup, out_);
    for (size_t k = 1; k < count; ++k) {
      passedOver_.push_back(lookup.answer.releases[lookup.candidates[k].release].id + "  " +
                            client::DescribeMusicBrainzCandidate(lookup.answer, lookup.candidates[k]));
    }
  } else if (count > 1 && client::MusicBrainzCandidatesDiffer(lookup.answer, lookup.candidates)) {
    out_ << "MusicBrainz has " << count << " releases for this disc that differ in artist or album:\n";
    ListCandidates(lookup, out_);
    out_ << "Choose one with --release N|MBID.\n";
    return Outcome::kReleaseNotChosen;
  }
  if (passedOver_.empty() && (settings.listCandidates || (count > 1 && settings.release.empty()))) {
    if (count > 1) out_ << "MusicBrainz releases for this disc:\n";
    ListCandidates(lookup, out_);
    if (count > 1 && settings.release.empty()) {
      out_ << "Took release " << chosen + 1 << "; choose another with --release N|MBID.\n";
    }
  }
  titles_ = client::TitlesOfMusicBrainz(lookup.answer, lookup.candidates[size_t(chosen)], size_t(trackCount),
                                        disc->discId);
  if (titles_.byLength) out_ << "MusicBrainz matched the disc by its track lengths, not by its disc id.\n";
  // Written back, as the CDDB server's answers are: the disc is known
  // offline from now on.
  if (!report.storeTitles(titles_)) err_ << "The titles could not be stored in cdplayer.ini.\n";
  return Outcome::kFound;
}

}  // namespace ripmarrow
