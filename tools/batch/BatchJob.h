#pragma once

#include <string>

#include "batch/BatchOptions.h"
#include "batch/OutputPlan.h"
#include "report/TableStorage.h"
#include "values/Cancellation.h"

namespace halvane {

// What one input's run has to say, kept until every earlier input's has been said.
struct FileOutcome {
    bool failed = false;
    std::string out;       // for standard output
    std::string err;       // for standard error
    bool stopped = false;  // a stop came before every output was written
};

// The job of one input of halvane-batch. Its outputs are described once, in
// the order they are written: the two tables (broadband, or of each --band),
// the reflection list, the room-parameter table and the summary picture,
// each made by one step. The clash check (Plan, for CheckOutputPlan) and the
// writing (Run) both follow that description. Each analysis runs at most
// once: the picture is drawn from the run, the arrivals and the room
// parameters the other steps computed, handed to halvane-picture.
class BatchJob {
public:
    BatchJob(const BatchOptions& options, std::string file);

    // Every output the job writes, in the order written.
    PlannedOutputs Plan() const;

    // Writes the outputs step by step into tables' storage and beside their
    // names. refusal not empty: the job is refused with it and writes
    // nothing. pictureProgram: halvane-picture, for --png. A failed step
    // says why in the outcome; a step whose failure leaves the later ones
    // nothing to work from ends the job, and no picture is drawn after a
    // failure (the tables are written before any picture work starts, so a
    // picture that fails cannot cost them).
    //
    // stop: polled between the steps and by the analyses between their
    // blocks. Once it is requested no further output is begun and one under
    // way is dropped; the outputs finished so far stay in place, and the
    // outcome, stopped, ends with a line naming the outputs not written. (A
    // job stops only between or inside its steps, never before its first.)
    FileOutcome Run(const std::string& refusal, const std::string& pictureProgram, TableStorage& tables,
                    const Cancellation& stop = Cancellation::Never()) const;

private:
    const BatchOptions& m_options;
    std::string m_file;
};

}  // namespace halvane
