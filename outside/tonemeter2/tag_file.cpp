#include "outside/tonemeter2/tag_file.h"

#include <sys/stat.h>

#include <taglib/asffile.h>
#include <taglib/audioproperties.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/asfpicture.h>
#include <taglib/flacpicture.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <fstream>
#include <cstdlib>
#include <memory>

namespace tonemeter {

namespace {

enum class Kind { kMpeg, kVorbis, kFlac, kAsf, kWav, kUnknown };

Kind kindOf(const std::string& path) {
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos) return Kind::kUnknown;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == "mp3" || ext == "mp2" || ext == "mpa") return Kind::kMpeg;
  if (ext == "ogg") return Kind::kVorbis;
  if (ext == "flac") return Kind::kFlac;
  if (ext == "wma" || ext == "asf") return Kind::kAsf;
  if (ext == "wav") return Kind::kWav;
  return Kind::kUnknown;
}

std::unique_ptr<TagLib::File> openFile(const std::string& path, Kind kind) {
  const char* name = path.c_str();
  switch (kind) {
    case Kind::kMpeg: return std::make_unique<TagLib::MPEG::File>(name, true);
    case Kind::kVorbis: return std::make_unique<TagLib::Ogg::Vorbis::File>(name, true);
    case Kind::kFlac: return std::make_unique<TagLib::FLAC::File>(name, true);
    case Kind::kAsf: return std::make_unique<TagLib::ASF::File>(name, true);
    case Kind::kWav: return std::make_unique<TagLib::RIFF::WAV::File>(name, true);
    case Kind::kUnknown: break;
  }
  return nullptr;
}

TagLib::String text(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }
std::string text(const TagLib::String& s) { return s.to8Bit(true); }

void store(TagLib::Tag* tag, const TagFields& f) {
  if (!tag) return;
  tag->setTitle(text(f.title));
  tag->setArtist(text(f.artist));
  tag->setAlbum(text(f.album));
  tag->setComment(text(f.comment));
  tag->setGenre(text(f.genre));
  tag->setYear(f.year > 0 ? static_cast<unsigned>(f.year) : 0u);
  tag->setTrack(f.track > 0 ? static_cast<unsigned>(f.track) : 0u);
}

std::string number(int n) { return n > 0 ? std::to_string(n) : std::string(); }

// The fields beyond the basic ones, format by format (names in tag_file.h).

bool sameText(const TagLib::String& a, const char* b) { return a.upper() == TagLib::String(b).upper(); }

void setUserText(TagLib::ID3v2::Tag* tag, const char* description, const std::string& value) {
  const TagLib::ID3v2::FrameList frames = tag->frameList("TXXX");  // a copy: frames are removed below
  for (TagLib::ID3v2::Frame* frame : frames) {
    auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
    if (user && sameText(user->description(), description)) tag->removeFrame(user);
  }
  if (value.empty()) return;
  auto* user = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
  user->setDescription(TagLib::String(description));
  user->setText(text(value));
  tag->addFrame(user);  // the tag owns it
}

std::string userText(TagLib::ID3v2::Tag* tag, const char* description) {
  for (TagLib::ID3v2::Frame* frame : tag->frameList("TXXX")) {
    auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
    if (user && sameText(user->description(), description) && user->fieldList().size() > 1)
      return text(user->fieldList()[1]);  // the first field is the description
  }
  return {};
}

// The release's fields, as the MusicBrainz tagger maps them: an ID3v2
// frame of its own (or a TXXX frame by description, or the UFID frame of
// musicbrainz.org), a Vorbis comment, an ASF attribute.
struct ReleaseField {
  std::string TagFields::*field;
  const char* id3Frame;  // "TPE2", "UFID" (the recording id), or null
  const char* id3User;   // a TXXX description when id3Frame is null
  const char* xiph;
  const char* asf;
};

constexpr const char* kMusicBrainzOwner = "http://musicbrainz.org";

const ReleaseField kReleaseFields[] = {
    {&TagFields::album_artist, "TPE2", nullptr, "ALBUMARTIST", "WM/AlbumArtist"},
    {&TagFields::disc_number, "TPOS", nullptr, "DISCNUMBER", "WM/PartOfSet"},
    {&TagFields::label, "TPUB", nullptr, "LABEL", "WM/Publisher"},
    {&TagFields::catalog_number, nullptr, "CATALOGNUMBER", "CATALOGNUMBER", "WM/CatalogNo"},
    {&TagFields::barcode, nullptr, "BARCODE", "BARCODE", "WM/Barcode"},
    {&TagFields::isrc, "TSRC", nullptr, "ISRC", "WM/ISRC"},
    {&TagFields::musicbrainz_album_id, nullptr, "MusicBrainz Album Id", "MUSICBRAINZ_ALBUMID", "MusicBrainz/Album Id"},
    {&TagFields::musicbrainz_release_group_id, nullptr, "MusicBrainz Release Group Id", "MUSICBRAINZ_RELEASEGROUPID",
     "MusicBrainz/Release Group Id"},
    {&TagFields::musicbrainz_release_track_id, nullptr, "MusicBrainz Release Track Id", "MUSICBRAINZ_RELEASETRACKID",
     "MusicBrainz/Release Track Id"},
    {&TagFields::musicbrainz_recording_id, "UFID", nullptr, "MUSICBRAINZ_TRACKID", "MusicBrainz/Track Id"},
    {&TagFields::musicbrainz_artist_ids, nullptr, "MusicBrainz Artist Id", "MUSICBRAINZ_ARTISTID",
     "MusicBrainz/Artist Id"},
    {&TagFields::musicbrainz_album_artist_ids, nullptr, "MusicBrainz Album Artist Id", "MUSICBRAINZ_ALBUMARTISTID",
     "MusicBrainz/Album Artist Id"},
};

void storeRecordingId(TagLib::ID3v2::Tag* tag, const std::string& id) {
  const TagLib::ID3v2::FrameList frames = tag->frameList("UFID");  // a copy: frames are removed below
  for (TagLib::ID3v2::Frame* frame : frames) {
    auto* ufid = dynamic_cast<TagLib::ID3v2::UniqueFileIdentifierFrame*>(frame);
    if (ufid && ufid->owner() == kMusicBrainzOwner) tag->removeFrame(ufid);  // deletes it
  }
  if (!id.empty()) {
    tag->addFrame(new TagLib::ID3v2::UniqueFileIdentifierFrame(kMusicBrainzOwner,
                                                                TagLib::ByteVector(id.data(), uint32_t(id.size()))));
  }
}

std::string recordingId(TagLib::ID3v2::Tag* tag) {
  for (TagLib::ID3v2::Frame* frame : tag->frameList("UFID")) {
    auto* ufid = dynamic_cast<TagLib::ID3v2::UniqueFileIdentifierFrame*>(frame);
    if (ufid && ufid->owner() == kMusicBrainzOwner) return std::string(ufid->identifier().data(), ufid->identifier().size());
  }
  return {};
}

void storeReleaseFields(TagLib::ID3v2::Tag* tag, const TagFields& f) {
  for (const ReleaseField& r : kReleaseFields) {
    const std::string& value = f.*r.field;
    if (r.id3Frame == nullptr) {
      setUserText(tag, r.id3User, value);
    } else if (std::string(r.id3Frame) == "UFID") {
      storeRecordingId(tag, value);
    } else {
      tag->removeFrames(r.id3Frame);
      if (!value.empty()) {
        auto* frame = new TagLib::ID3v2::TextIdentificationFrame(r.id3Frame, TagLib::String::UTF8);
        frame->setText(text(value));
        tag->addFrame(frame);
      }
    }
  }
}

void loadReleaseFields(TagLib::ID3v2::Tag* tag, TagFields& f) {
  for (const ReleaseField& r : kReleaseFields) {
    std::string& value = f.*r.field;
    if (r.id3Frame == nullptr) {
      value = userText(tag, r.id3User);
    } else if (std::string(r.id3Frame) == "UFID") {
      value = recordingId(tag);
    } else {
      const TagLib::ID3v2::FrameList frames = tag->frameList(r.id3Frame);
      value = frames.isEmpty() ? std::string() : text(frames.front()->toString());
    }
  }
}

// The ReplayGain fields, with their names, for each format's own setter.
struct ReplayGainField {
  const char* name;
  std::string TagFields::*field;
};
constexpr ReplayGainField kReplayGainFields[] = {
    {tag_names::kReplayGainTrackGain, &TagFields::replaygain_track_gain},
    {tag_names::kReplayGainTrackPeak, &TagFields::replaygain_track_peak},
    {tag_names::kReplayGainAlbumGain, &TagFields::replaygain_album_gain},
    {tag_names::kReplayGainAlbumPeak, &TagFields::replaygain_album_peak},
};

void storeExtras(TagLib::ID3v2::Tag* tag, const TagFields& f) {
  if (!tag) return;
  if (f.track > 0 && f.track_total > 0) {
    tag->removeFrames("TRCK");
    auto* trck = new TagLib::ID3v2::TextIdentificationFrame("TRCK", TagLib::String::Latin1);
    trck->setText(text(std::to_string(f.track) + "/" + std::to_string(f.track_total)));
    tag->addFrame(trck);
  }
  setUserText(tag, tag_names::kId3MusicBrainzDiscId, f.musicbrainz_disc_id);
  setUserText(tag, tag_names::kId3CddbId, f.cddb_id);
  storeReleaseFields(tag, f);
  for (const ReplayGainField& rg : kReplayGainFields) setUserText(tag, rg.name, f.*rg.field);
}

void loadExtras(TagLib::ID3v2::Tag* tag, TagFields& f) {
  const TagLib::ID3v2::FrameList trck = tag->frameList("TRCK");
  if (!trck.isEmpty()) {
    const std::string value = text(trck.front()->toString());
    const auto slash = value.find('/');
    if (slash != std::string::npos) f.track_total = std::max(0, std::atoi(value.c_str() + slash + 1));
  }
  f.musicbrainz_disc_id = userText(tag, tag_names::kId3MusicBrainzDiscId);
  f.cddb_id = userText(tag, tag_names::kId3CddbId);
  loadReleaseFields(tag, f);
  for (const ReplayGainField& rg : kReplayGainFields) f.*rg.field = userText(tag, rg.name);
}

void setXiph(TagLib::Ogg::XiphComment* c, const char* key, const std::string& value) {
  if (value.empty())
    c->removeFields(key);
  else
    c->addField(key, text(value), true);
}

std::string xiph(const TagLib::Ogg::XiphComment* c, const char* key) {
  const auto& map = c->fieldListMap();
  const auto it = map.find(key);
  return it == map.end() || it->second.isEmpty() ? std::string() : text(it->second.front());
}

void storeExtras(TagLib::Ogg::XiphComment* c, const TagFields& f) {
  if (!c) return;
  c->removeFields(tag_names::kXiphTrackTotalOther);
  setXiph(c, tag_names::kXiphTrackTotal, number(f.track_total));
  setXiph(c, tag_names::kXiphMusicBrainzDiscId, f.musicbrainz_disc_id);
  setXiph(c, tag_names::kXiphCddbId, f.cddb_id);
  for (const ReleaseField& r : kReleaseFields) setXiph(c, r.xiph, f.*r.field);
  for (const ReplayGainField& rg : kReplayGainFields) setXiph(c, rg.name, f.*rg.field);
}

void loadExtras(const TagLib::Ogg::XiphComment* c, TagFields& f) {
  std::string total = xiph(c, tag_names::kXiphTrackTotal);
  if (total.empty()) total = xiph(c, tag_names::kXiphTrackTotalOther);
  f.track_total = std::max(0, std::atoi(total.c_str()));
  f.musicbrainz_disc_id = xiph(c, tag_names::kXiphMusicBrainzDiscId);
  f.cddb_id = xiph(c, tag_names::kXiphCddbId);
  for (const ReleaseField& r : kReleaseFields) f.*r.field = xiph(c, r.xiph);
  for (const ReplayGainField& rg : kReplayGainFields) f.*rg.field = xiph(c, rg.name);
}

void setAsf(TagLib::ASF::Tag* tag, const char* name, const std::string& value) {
  if (value.empty())
    tag->removeItem(name);
  else
    tag->setAttribute(name, TagLib::ASF::Attribute(text(value)));
}

std::string asf(const TagLib::ASF::Tag* tag, const char* name) {
  if (!tag->contains(name)) return {};
  const TagLib::ASF::AttributeList values = tag->attribute(name);
  return values.isEmpty() ? std::string() : text(values.front().toString());
}

void storeExtras(TagLib::ASF::Tag* tag, const TagFields& f) {
  if (!tag) return;
  setAsf(tag, tag_names::kAsfTrackTotal, number(f.track_total));
  setAsf(tag, tag_names::kAsfMusicBrainzDiscId, f.musicbrainz_disc_id);
  setAsf(tag, tag_names::kAsfCddbId, f.cddb_id);
  for (const ReleaseField& r : kReleaseFields) setAsf(tag, r.asf, f.*r.field);
  for (const ReplayGainField& rg : kReplayGainFields) setAsf(tag, rg.name, f.*rg.field);
}

void loadExtras(const TagLib::ASF::Tag* tag, TagFields& f) {
  f.track_total = std::max(0, std::atoi(asf(tag, tag_names::kAsfTrackTotal).c_str()));
  f.musicbrainz_disc_id = asf(tag, tag_names::kAsfMusicBrainzDiscId);
  f.cddb_id = asf(tag, tag_names::kAsfCddbId);
  for (const ReleaseField& r : kReleaseFields) f.*r.field = asf(tag, r.asf);
  for (const ReplayGainField& rg : kReplayGainFields) f.*rg.field = asf(tag, rg.name);
}

// The cover to embed: the file's bytes and type. False, with `error`, for a
// file that cannot be read, is larger than 10 MB or is no JPEG or PNG.
struct Cover {
  TagLib::ByteVector bytes;
  TagLib::String mime;
};

bool ReadCover(const std::string& path, Cover& cover, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  if (in) {
    bytes.resize(10 * 1024 * 1024 + 1);
    in.read(bytes.data(), std::streamsize(bytes.size()));
    bytes.resize(size_t(in.gcount()));
  }
  if (!in.eof() && !in) {
    error = "cannot read the cover " + path;
    return false;
  }
  if (bytes.size() > 10 * 1024 * 1024) {
    error = "the cover " + path + " is larger than 10 MB";
    return false;
  }
  if (bytes.compare(0, 3, "\xFF\xD8\xFF") == 0) {
    cover.mime = "image/jpeg";
  } else if (bytes.compare(0, 8, std::string("\x89PNG\r\n\x1A\n", 8)) == 0) {
    cover.mime = "image/png";
  } else {
    error = "the cover " + path + " is not a JPEG or PNG image";
    return false;
  }
  cover.bytes = TagLib::ByteVector(bytes.data(), static_cast<unsigned int>(bytes.size()));
  return true;
}

void EmbedCover(TagLib::ID3v2::Tag* tag, const Cover& cover) {
  tag->removeFrames("APIC");
  auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
  frame->setMimeType(cover.mime);
  frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
  frame->setPicture(cover.bytes);
  tag->addFrame(frame);  // the tag owns it
}

TagLib::FLAC::Picture* FlacPicture(const Cover& cover) {
  auto* picture = new TagLib::FLAC::Picture;
  picture->setType(TagLib::FLAC::Picture::FrontCover);
  picture->setMimeType(cover.mime);
  picture->setData(cover.bytes);
  return picture;  // the file or the comment takes it
}

void EmbedCover(TagLib::ASF::Tag* tag, const Cover& cover) {
  TagLib::ASF::Picture picture;
  picture.setMimeType(cover.mime);
  picture.setType(TagLib::ASF::Picture::FrontCover);
  picture.setPicture(cover.bytes);
  tag->setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
}

// Opens `path` as the audio file its extension names; null with `error`.
std::unique_ptr<TagLib::File> openAudio(const std::string& path, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "cannot open " + path;
    return nullptr;
  }
  const Kind kind = kindOf(path);
  if (kind == Kind::kUnknown) {
    error = path + " is not an MP3, MP2, OGG, FLAC, WMA or WAV file";
    return nullptr;
  }
  auto file = openFile(path, kind);
  // TagLib alone takes any bytes for an MPEG file (and would write a tag
  // into a text file); audio properties with a rate prove there is audio.
  const TagLib::AudioProperties* audio = file ? file->audioProperties() : nullptr;
  if (!file || !file->isValid() || !audio || audio->sampleRate() <= 0 || audio->channels() <= 0) {
    error = path + " is not a valid audio file of its kind";
    return nullptr;
  }
  return file;
}

}  // namespace

bool TagFile::read(const std::string& path, TagFields& fields, std::string& error) {
  auto file = openAudio(path, error);
  if (!file) return false;
  const TagLib::Tag* tag = file->tag();
  if (!tag) {
    error = path + " has no tag";
    return false;
  }
  fields.title = text(tag->title());
  fields.artist = text(tag->artist());
  fields.album = text(tag->album());
  fields.comment = text(tag->comment());
  fields.genre = text(tag->genre());
  fields.year = static_cast<int>(tag->year());
  fields.track = static_cast<int>(tag->track());
  fields.track_total = 0;
  fields.musicbrainz_disc_id.clear();
  fields.cddb_id.clear();
  for (const ReleaseField& r : kReleaseFields) (fields.*r.field).clear();
  for (const ReplayGainField& rg : kReplayGainFields) (fields.*rg.field).clear();
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.get())) {
    if (mpeg->hasID3v2Tag()) loadExtras(mpeg->ID3v2Tag(), fields);
  } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.get())) {
    if (wav->hasID3v2Tag()) loadExtras(wav->ID3v2Tag(), fields);
  } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file.get())) {
    if (flac->hasXiphComment()) loadExtras(flac->xiphComment(), fields);
  } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file.get())) {
    loadExtras(vorbis->tag(), fields);
  } else if (auto* wma = dynamic_cast<TagLib::ASF::File*>(file.get())) {
    loadExtras(wma->tag(), fields);
  }
  return true;
}

bool TagFile::write(const std::string& path, const TagFields& fields, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    error = path + " is read-only";
    return false;
  }
  auto file = openAudio(path, error);
  if (!file) return false;
  if (file->readOnly()) {
    error = path + " cannot be written";
    return false;
  }
  Cover cover;
  const bool embed = !fields.cover_art_file.empty();
  if (embed && !ReadCover(fields.cover_art_file, cover, error)) return false;
  bool saved = false;
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.get())) {
    store(mpeg->ID3v2Tag(true), fields);
    storeExtras(mpeg->ID3v2Tag(), fields);
    if (embed) EmbedCover(mpeg->ID3v2Tag(), cover);
    store(mpeg->ID3v1Tag(true), fields);
    saved = mpeg->save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                       TagLib::ID3v2::v3);
  } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.get())) {
    store(wav->InfoTag(), fields);
    store(wav->ID3v2Tag(), fields);
    storeExtras(wav->ID3v2Tag(), fields);
    if (embed) EmbedCover(wav->ID3v2Tag(), cover);
    saved = wav->save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v3);
  } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file.get())) {
    // The Vorbis comment only; picture blocks and the rest stay as they are.
    store(flac->xiphComment(true), fields);
    storeExtras(flac->xiphComment(), fields);
    if (embed) {
      flac->removePictures();
      flac->addPicture(FlacPicture(cover));
    }
    saved = flac->save();
  } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file.get())) {
    store(vorbis->tag(), fields);
    storeExtras(vorbis->tag(), fields);
    if (embed) {
      vorbis->tag()->removeAllPictures();
      vorbis->tag()->addPicture(FlacPicture(cover));
    }
    saved = vorbis->save();
  } else if (auto* wma = dynamic_cast<TagLib::ASF::File*>(file.get())) {
    store(wma->tag(), fields);
    storeExtras(wma->tag(), fields);
    if (embed) EmbedCover(wma->tag(), cover);
    saved = wma->save();
  } else {
    store(file->tag(), fields);
    saved = file->save();
  }
  if (!saved) {
    error = "cannot save the tag of " + path;
    return false;
  }
  return true;
}

}  // namespace tonemeter
