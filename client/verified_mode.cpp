#include "client/verified_mode.h"

#include "client/proof_recorder.h"

namespace client {

std::optional<CtdbLookup> LookUpCtdbBy(const std::string& ctdbServer, const proof::DiscLayout& layout,
                                       const std::atomic<bool>* cancel) {
  if (ctdbServer.empty()) return std::nullopt;
  std::string error;
  const std::optional<CtdbServer> server = ParseCtdbServer(ctdbServer, error);
  if (!server || server->none) return std::nullopt;
  HttpLimits limits;
  limits.timeoutMs = kCtdbTimeoutMs;
  limits.cancel = cancel;
  return LookUpCtdb(*server, layout, limits);
}

ProofLookups LookUpProof(const std::string& accurateRipServer, const std::string& ctdbServer,
                         const std::optional<proof::AccurateRipDiscId>& disc, const proof::DiscLayout& layout,
                         const std::atomic<bool>* cancel) {
  ProofLookups found;
  found.accurateRip.status = proof::LookupStatus::kNoAnswer;
  found.accurateRip.detail = "the disc's identity is unknown";
  if (disc) {
    std::optional<HttpServer> server;
    ParseAccurateRipServer(accurateRipServer, server);
    found.accurateRip = LookUpDisc(server, *disc, cancel);
  }
  found.ctdb = LookUpCtdbBy(ctdbServer, layout, cancel);
  return found;
}

bool DatabasesKnowDisc(const ProofLookups& found) {
  return found.accurateRip.status == proof::LookupStatus::kFound ||
         (found.ctdb && found.ctdb->status == CtdbStatus::kFound);
}

std::string VerifiedModeText(const ProofLookups& found) {
  const bool arKnows = found.accurateRip.status == proof::LookupStatus::kFound;
  const bool ctdbKnows = found.ctdb && found.ctdb->status == CtdbStatus::kFound;
  return arKnows && ctdbKnows ? "AccurateRip and CTDB know the disc"
         : arKnows            ? "AccurateRip knows the disc, CTDB does not"
         : ctdbKnows          ? "CTDB knows the disc, AccurateRip does not"
                              : "neither database knows the disc: secure from the start";
}

bool TrackConfirmed(const ProofLookups& found, const RipLogTrack& track) {
  if (track.number < 1 || !track.ripped) return false;
  const size_t index = static_cast<size_t>(track.number - 1);
  const proof::TrackVerdict ar =
      proof::AccurateRipVerdict(found.accurateRip, index, track.accurateRipV1, track.accurateRipV2);
  if (ar.kind == proof::VerdictKind::kAccurate && ar.version == 2 && ar.confidence >= 2) return true;
  return found.ctdb && CtdbTrackConfidence(*found.ctdb, index, {track.ctdbCrc}) >= 2;
}

}  // namespace client
