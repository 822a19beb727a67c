// MusicBrainz answers for tests, in the service's JSON shapes: releases
// built from a few values, wrapped as an exact (disc id) or a fuzzy (table
// of contents) answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace client::testing {

struct ReleaseSpec {
  std::string id = "11111111-1111-1111-1111-111111111111";
  std::string title = "Album";
  std::string artist = "Artist";
  std::string status = "Official";
  std::string date = "2001-05-01";
  std::string country = "GB";
  std::string format = "CD";
  std::string barcode = "5012345678900";
  std::vector<std::string> discIds;        // of the (last) medium
  std::vector<uint32_t> trackMs;           // the (last) medium's tracks
  int mediumCount = 1;                     // the disc is the last medium
  bool coverFront = true;
};

std::string ReleaseJson(const ReleaseSpec& release);
// `releases`: ReleaseJson texts.
std::string ExactAnswer(const std::string& discId, const std::vector<std::string>& releases);
std::string FuzzyAnswer(const std::vector<std::string>& releases);

}  // namespace client::testing
