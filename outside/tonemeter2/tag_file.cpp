#include "outside/tonemeter2/tag_file.h"

#include <sys/stat.h>

#include <taglib/asffile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/audioproperties.h>
#include <taglib/tag.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <memory>

namespace tonemeter {

namespace {

enum class Kind { kMpeg, kVorbis, kAsf, kWav, kUnknown };

Kind kindOf(const std::string& path) {
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos) return Kind::kUnknown;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == "mp3" || ext == "mp2" || ext == "mpa") return Kind::kMpeg;
  if (ext == "ogg") return Kind::kVorbis;
  if (ext == "wma" || ext == "asf") return Kind::kAsf;
  if (ext == "wav") return Kind::kWav;
  return Kind::kUnknown;
}

std::unique_ptr<TagLib::File> openFile(const std::string& path, Kind kind) {
  const char* name = path.c_str();
  switch (kind) {
    case Kind::kMpeg: return std::make_unique<TagLib::MPEG::File>(name, true);
    case Kind::kVorbis: return std::make_unique<TagLib::Ogg::Vorbis::File>(name, true);
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

// Opens `path` as the audio file its extension names; null with `error`.
std::unique_ptr<TagLib::File> openAudio(const std::string& path, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "cannot open " + path;
    return nullptr;
  }
  const Kind kind = kindOf(path);
  if (kind == Kind::kUnknown) {
    error = path + " is not an MP3, MP2, OGG, WMA or WAV file";
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
  bool saved = false;
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.get())) {
    store(mpeg->ID3v2Tag(true), fields);
    store(mpeg->ID3v1Tag(true), fields);
    saved = mpeg->save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                       TagLib::ID3v2::v3);
  } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.get())) {
    store(wav->InfoTag(), fields);
    store(wav->ID3v2Tag(), fields);
    saved = wav->save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v3);
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
