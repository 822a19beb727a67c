#include "outside/tonemeter2/genre_names.h"

#include "components/id3_genres.h"

namespace tonemeter {

std::string genreName(int index) {
  return index >= 0 && index < kGenreCount ? components::kId3Genres[static_cast<size_t>(index)] : "";
}

int genreIndex(const std::string& name) { return components::Id3GenreIndex(name); }

}  // namespace tonemeter
