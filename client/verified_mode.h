// Rip fast, then prove: the decisions of the verified mode, as both programs
// take them. The databases are asked first, by the disc's table of
// contents; when one of them knows the disc every track is ripped in BURST
// and a track is kept when AccurateRip v2 or the CUETools database confirms
// it with confidence 2 or more (a v1-only match is no proof), otherwise it
// is read again in SECURE. When neither knows the disc the rip is SECURE
// from the start.
//
//   ProofLookups found = LookUpProof(arText, ctdbText, proof.disc(), proof.log().layout);  any thread
//   proof.addSetting(kVerifiedModeSetting, VerifiedModeText(found));
//   if (!DatabasesKnowDisc(found)) ...secure from the start
//   after each burst track: if (!TrackConfirmed(found, proof.log().tracks.back())) ...re-read
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "client/ctdb_lookup.h"
#include "client/rip_log.h"
#include "proof/accuraterip_id.h"
#include "proof/accuraterip_verdict.h"
#include "proof/disc_layout.h"

namespace client {

// The log row of a track read again, and the settings row naming which
// database knew the disc.
inline constexpr const char* kVerifiedReread = "re-read: not confirmed by AccurateRip or CTDB";
inline constexpr const char* kVerifiedModeSetting = "verified mode";

// What the two databases answered for the disc; `ctdb` is nothing when no
// CUETools server is to be asked.
struct ProofLookups {
  proof::AccurateRipLookup accurateRip;
  std::optional<CtdbLookup> ctdb;
};

// AccurateRip (`accurateRipServer` as set: "HOST[:PORT]" or "none") and the
// CUETools database (`ctdbServer`: "http://HOST[:PORT][/PATH]", "HOST[:PORT]",
// "none" or "" for none), one after the other, each ending within 3 s and
// when `cancel` is set. Any thread.
ProofLookups LookUpProof(const std::string& accurateRipServer, const std::string& ctdbServer,
                         const std::optional<proof::AccurateRipDiscId>& disc, const proof::DiscLayout& layout,
                         const std::atomic<bool>* cancel = nullptr);
// The CUETools database alone; nothing when `ctdbServer` names no server.
std::optional<CtdbLookup> LookUpCtdbBy(const std::string& ctdbServer, const proof::DiscLayout& layout,
                                       const std::atomic<bool>* cancel = nullptr);

// One of the databases knows the disc: a burst rip can be proven.
bool DatabasesKnowDisc(const ProofLookups& found);
// The settings row's words: "AccurateRip and CTDB know the disc", ...,
// "neither database knows the disc: secure from the start".
std::string VerifiedModeText(const ProofLookups& found);
// The ripped track is confirmed: AccurateRip v2 or CTDB, confidence >= 2.
bool TrackConfirmed(const ProofLookups& found, const RipLogTrack& track);

}  // namespace client
