#pragma once

#include <optional>
#include <string>
#include <vector>

#include "values/Arrival.h"
#include "values/ComparisonQuantities.h"
#include "values/EnergyMapQuantities.h"
#include "values/RoomQuantities.h"
#include "values/WindowQuantities.h"

namespace halvane {

// What the analyses found in one impulse response, for a program that only
// shows them (the summary picture of halvane-batch --png): the window's run
// with the parameters it used, the arrivals, the room parameters and the
// energy maps.
// exchange/ResultsExchange.h writes it as bytes another program reads back
// bit for bit. This header includes nothing but plain values.
struct AnalysisResults {
    // The input as the command line named it (messages name it so), and the
    // octave band the run's windows come from (0: broadband).
    std::string irFileName;
    int bandHz = 0;
    // The run's parameters as it used them, in ms.
    double skipMs = 0;
    double displayWindowMs = 1000;
    double averagingWindowMs = 5;
    std::vector<SummedWindow> intensityWindows;         // every window of the intensity pass
    std::vector<DirectionQuantities> directionWindows;  // every window of the direction pass
    // The arrivals of the whole response, whatever the band of the run
    // (FindArrivals: time order, the direct sound first), and the options
    // they were found with.
    std::vector<Arrival> arrivals;
    double arrivalFloorDb = kArrivalFloorDb;
    double arrivalDirectionWindowMs = 0;
    double arrivalMaxDiffuseness = 0;
    // With a shoebox model, the name of each arrival's surface as the map
    // labels its mark ("floor", "2nd" for a higher order, empty for none;
    // analysis/surfaces/Surfaces.h, ArrivalSurfaceNames), one per arrival;
    // empty without a model.
    std::vector<std::string> arrivalSurfaceNames;
    // The room parameters of the whole response, band by band; empty when
    // they were not asked for.
    std::vector<BandParameters> roomParameters;
    // The directional energy maps of the run's band (analysis/maps/EnergyMaps.h),
    // when they were made.
    std::optional<EnergyMapSet> energyMaps;
    // How the file was read: empty when AmbiX/SN3D (W, Y, Z, X) is its
    // likeliest convention, else the sentence saying which convention it
    // reads as (analysis/convention/InputConvention.h, ConventionNotice).
    std::string conventionNotice;
    // A comparison of two responses instead (halvane-batch --compare with
    // --png or --report): irFileName is A's, comparedFileName B's, and the
    // run, the windows and the arrivals above are empty.
    std::string comparedFileName;
    std::optional<Comparison> comparison;
};

}  // namespace halvane
