#include "client/musicbrainz_answer.h"

#include <nlohmann/json.hpp>

namespace client {
namespace {

using Json = nlohmann::json;

// A member's value when it has the type asked for; else the empty value.
std::string Text(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

const Json* Member(const Json& object, const char* key, Json::value_t type) {
  const auto it = object.find(key);
  return it != object.end() && it->type() == type ? &*it : nullptr;
}

const Json& Array(const Json& object, const char* key) {
  static const Json kEmpty = Json::array();
  const Json* array = Member(object, key, Json::value_t::array);
  return array != nullptr ? *array : kEmpty;
}

std::optional<int64_t> Integer(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  if (it->is_number_integer()) return it->get<int64_t>();
  if (it->is_number_unsigned()) {
    const uint64_t value = it->get<uint64_t>();
    return value > uint64_t(INT64_MAX) ? std::nullopt : std::optional<int64_t>(int64_t(value));
  }
  return std::nullopt;
}

// "artist-credit": [{name, joinphrase, artist{id}}]
MusicBrainzCredit Credit(const Json& object) {
  MusicBrainzCredit credit;
  for (const Json& part : Array(object, "artist-credit")) {
    if (!part.is_object()) continue;
    credit.name += Text(part, "name") + Text(part, "joinphrase");
    if (const Json* artist = Member(part, "artist", Json::value_t::object)) {
      if (std::string id = Text(*artist, "id"); !id.empty()) credit.artistIds.push_back(std::move(id));
    }
  }
  return credit;
}

MusicBrainzTrack Track(const Json& object) {
  MusicBrainzTrack track;
  track.id = Text(object, "id");
  const auto position = Integer(object, "position");
  track.position = position && *position >= 0 && *position <= 999 ? int(*position) : -1;
  track.title = Text(object, "title");
  track.artist = Credit(object);
  auto length = Integer(object, "length");
  const Json* recording = Member(object, "recording", Json::value_t::object);
  if (recording != nullptr) {
    track.recordingId = Text(*recording, "id");
    if (!length) length = Integer(*recording, "length");
    for (const Json& isrc : Array(*recording, "isrcs")) {
      if (isrc.is_string()) track.isrcs.push_back(isrc.get<std::string>());
    }
    if (track.title.empty()) track.title = Text(*recording, "title");
  }
  if (length && *length >= 0 && *length <= int64_t(UINT32_MAX)) track.lengthMs = uint32_t(*length);
  return track;
}

MusicBrainzMedium Medium(const Json& object) {
  MusicBrainzMedium medium;
  const auto position = Integer(object, "position");
  medium.position = position && *position > 0 && *position <= 999 ? int(*position) : 0;
  medium.format = Text(object, "format");
  medium.title = Text(object, "title");
  for (const Json& disc : Array(object, "discs")) {
    if (!disc.is_object()) continue;
    if (std::string id = Text(disc, "id"); !id.empty()) medium.discIds.push_back(std::move(id));
  }
  if (const Json* pregap = Member(object, "pregap", Json::value_t::object)) {
    medium.pregap = Track(*pregap);
    medium.pregap->position = 0;
  }
  for (const Json& track : Array(object, "tracks")) {
    if (!track.is_object()) continue;
    MusicBrainzTrack read = Track(track);
    // Position 0 in the track list is audio before track 1, as a pregap is.
    if (read.position == 0 && !medium.pregap) {
      medium.pregap = std::move(read);
    } else if (read.position > 0) {
      medium.tracks.push_back(std::move(read));
    }
  }
  return medium;
}

MusicBrainzRelease Release(const Json& object) {
  MusicBrainzRelease release;
  release.id = Text(object, "id");
  release.title = Text(object, "title");
  release.artist = Credit(object);
  release.status = Text(object, "status");
  release.date = Text(object, "date");
  release.country = Text(object, "country");
  release.barcode = Text(object, "barcode");
  release.disambiguation = Text(object, "disambiguation");
  for (const Json& info : Array(object, "label-info")) {
    if (!info.is_object()) continue;
    MusicBrainzLabel label;
    label.catalogNumber = Text(info, "catalog-number");
    if (const Json* named = Member(info, "label", Json::value_t::object)) label.name = Text(*named, "name");
    if (!label.name.empty() || !label.catalogNumber.empty()) release.labels.push_back(std::move(label));
  }
  if (const Json* group = Member(object, "release-group", Json::value_t::object)) {
    release.releaseGroupId = Text(*group, "id");
  }
  if (const Json* art = Member(object, "cover-art-archive", Json::value_t::object)) {
    const auto front = art->find("front");
    release.coverArtFront = front != art->end() && front->is_boolean() && front->get<bool>();
  }
  for (const Json& medium : Array(object, "media")) {
    if (medium.is_object()) release.media.push_back(Medium(medium));
  }
  return release;
}

}  // namespace

std::optional<MusicBrainzAnswer> ParseMusicBrainzAnswer(std::string_view json, std::string& error) {
  // No exceptions: a parse error gives a discarded value.
  const Json root = Json::parse(json.begin(), json.end(), nullptr, false);
  if (root.is_discarded()) {
    error = "the answer is not JSON";
    return std::nullopt;
  }
  if (!root.is_object()) {
    error = "the answer is not a JSON object";
    return std::nullopt;
  }
  MusicBrainzAnswer answer;
  answer.discId = Text(root, "id");
  for (const Json& release : Array(root, "releases")) {
    if (release.is_object()) answer.releases.push_back(Release(release));
  }
  return answer;
}

}  // namespace client
