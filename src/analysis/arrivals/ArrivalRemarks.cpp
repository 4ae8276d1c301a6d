#include "analysis/arrivals/ArrivalRemarks.h"

#include <iomanip>
#include <sstream>

namespace halvane {

std::vector<std::string> ArrivalRemarks(const ArrivalFindings& findings)
{
    std::vector<std::string> remarks;
    if (findings.notAnImpulseResponse) {
        remarks.emplace_back("this does not look like an impulse response (no clear onset or no decay), so only its "
                             "first loud sound is listed");
    }
    if (findings.directClipped) {
        remarks.emplace_back("the direct sound clipped: its flattened peak was restored from the rest of the recording "
                             "before the levels were taken re it");
    }
    if (findings.strongerThanDirect > 0) {
        std::ostringstream remark;
        remark << std::fixed << std::setprecision(1) << findings.strongerThanDirect
               << (findings.strongerThanDirect == 1 ? " later arrival is" : " later arrivals are")
               << " stronger than the direct sound (up to " << findings.strongestAboveDirectDb << " dB, at "
               << std::setprecision(3) << findings.strongestAboveDirectMs
               << " ms) and not listed: the direct path may be blocked";
        remarks.push_back(remark.str());
    }
    return remarks;
}

}  // namespace halvane
