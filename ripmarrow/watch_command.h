// `ripmarrow watch [--drive N|all] [rip options] [--eject] [--discs N]`: a
// ripping station. It waits for a disc in each chosen drive, rips it into a
// folder of its own (named by the template, default "%A/%D/%N %T") with its
// log, ejects it (--eject; a disc that failed is always ejected) and waits
// for the next. Nothing waits for a person: existing names get " (2)".
//
// Several drives at once: each drive is watched by a worker process of its
// own (this program again, told so by $RIPMARROW_WATCH_WORKER), which holds
// one engine object for that one drive from start to end. The engine's SCSI
// transport and drive handles are process-wide (engine/device/transport.h),
// and its rips reload the transport at their start; one drive per process
// keeps that design whole, and a drive that hangs stalls only its own
// worker. The workers share nothing but the output folder, where folders
// are created atomically (client/naming_template.h).
//
// The parent talks to each worker over two pipes, one line at a time:
//   worker -> parent  "state TEXT"   the drive's state line
//                     "log TEXT"     a line for the record
//                     "empty"        the drive was seen without a disc
//                     "ready"        a disc is in; may it be ripped?
//                     "gone"         the disc that was ready was taken out
//                                    before a "go" came (the wait goes on)
//                     "progress I M PERCENT SPEED"  track I of M under
//                                    way, its percentage, the read speed
//                                    so far in x (0.0 while unknown)
//                     "file PATH"    the track's file being written; "file"
//                                    alone: none is half-written now
//                     "done ok|failed|stopped\tNAME\tREASON"
//   parent -> worker  "go" (rip it) or "stop" (end; so does end of input)
// A parent ignores lines it does not know. A stopped track's half-written
// file is removed (its log row says it was stopped). The desktop program
// drives the same workers for the drives its window does not show
// (frontend/drive_station.h).
// --discs N is counted by the parent, which grants N discs in all. Ctrl-C
// reaches the parent only (the workers have a process group of their own);
// it hands each worker one interrupt, each stops its rip as `rip` does, and
// the program ends with status 130 once every worker has.
#pragma once

#include <string_view>
#include <vector>

#include "components/trackmill2.h"
#include "ripmarrow/command_table.h"
#include "ripmarrow/rip_command.h"

namespace ripmarrow {

// The rip mode `watch` uses unless --mode names one (verified): the single
// place that chooses it.
void SetWatchDefaultMode(RipCommand::Options& rip);

class WatchCommand {
 public:
  static constexpr std::string_view kDefaultNaming = "%A/%D/%N %T";

  struct Options {
    std::vector<long> drives;  // 1-based; empty: every drive
    RipCommand::Options rip;   // the rip of each disc; its folder is the base of the template's
    bool eject = false;        // eject each disc when done (a failed one is ejected anyway)
    long discs = 0;            // end after this many discs; 0: at Ctrl-C
  };

  // The command table's entry: `rip`'s options (all but --tracks and
  // --offset) and watch's own.
  static CommandEntry tableEntry(CommandDecl<RipCommand::Options> rip);

  // The program's own command line, for starting the workers.
  static void keepArguments(int argc, char** argv);

  // The station, or (in a worker) one drive's loop: the exit status. 0:
  // --discs N discs ripped whole; 1: one of them failed, or no drive could
  // be watched; 130: ended by Ctrl-C.
  static int main(const Options& options);
};

}  // namespace ripmarrow
