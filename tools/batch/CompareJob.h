#pragma once

#include <string>
#include <vector>

#include "batch/BatchJob.h"
#include "batch/BatchOptions.h"
#include "batch/OutputPlan.h"
#include "values/Cancellation.h"

namespace halvane {

// halvane-batch --compare A.wav B.wav: the two responses compared
// (analysis/compare/Comparison.h) and the tables asked for written,
// --compare-maps, --compare-room and --compare-arrivals, in that order, then
// the picture of the map differences (--png) and the report (--report),
// drawn by the picture program from the comparison handed to it.
class CompareJob {
public:
    explicit CompareJob(const BatchOptions& options);

    // A with the tables, then B with none: an output may name neither input.
    std::vector<PlannedOutputs> Plan() const;

    // Reads both, compares them and writes the tables and drawings; refusal
    // not empty: refused with it, nothing written. pictureProgram:
    // halvane-picture, for --png and --report. stop: polled by the
    // comparison; once requested nothing more is written.
    FileOutcome Run(const std::string& refusal, const std::string& pictureProgram,
                    const Cancellation& stop = Cancellation::Never()) const;

private:
    const BatchOptions& m_options;
};

}  // namespace halvane
