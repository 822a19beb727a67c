#include "frontend/genre_names.h"

namespace quavern {

int genreIndexOf(std::string_view name) {
  const int index = components::Id3GenreIndex(name);
  return index >= 0 ? index : kGenreOther;
}

}  // namespace quavern
