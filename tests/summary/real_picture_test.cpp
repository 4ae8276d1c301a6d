// halvane-batch --png on a real measured response (registered only where the
// shared folder of real responses lies beside the checkout).
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <string>

#include "display/summary/DecayPlot.h"
#include "display/summary/SummaryPicture.h"
#include "support/RunCommand.h"

namespace halvane {
namespace {

using testing::RunCommand;
using testing::ScratchFolder;

// An outdoor site in snow, converted to AmbiX float: a direct sound, few reflections, a long noisy tail.
const std::string kKoli = HALVANE_REAL_DATA_DIR "/derived/koli_snow_site1_ambix_float32.wav";

TEST(RealPicture, AMeasuredResponseGetsEveryPlot)
{
    for (const std::string band : {"", "1000"}) {
        SCOPED_TRACE("band " + band);
        ScratchFolder scratch("picture-real");
        // A link to the response in scratch, where the tables go.
        const std::string koli = (scratch.Path() / "koli.wav").string();
        std::filesystem::create_symlink(kKoli, koli);
        const std::string png = (scratch.Path() / "koli.png").string();
        const std::string rooms = (scratch.Path() / "koli-rooms.csv").string();
        std::vector<std::string> args = {"--room-parameters", rooms, "--png", png, koli};
        if (!band.empty()) args.insert(args.begin(), {"--band", band});
        const auto run = RunCommand(HALVANE_BATCH_COMMAND, args, scratch.Path());
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err.find(koli), std::string::npos) << run.err;
        const QImage picture(QString::fromStdString(png));
        EXPECT_EQ(picture.size(), LayoutSummary(true, true).picture);
        // The decay plot shows the band asked for: the unfiltered response's
        // curve (black) for a broadband run, the band's alone for a band's.
        const QRect decay = LayoutSummary(true, true).decayPlot;
        int black = 0, band1000 = 0;
        for (int y = decay.top(); y <= decay.bottom(); ++y) {
            for (int x = decay.left(); x < decay.left() + decay.width() - 200; ++x) {
                black += picture.pixelColor(x, y) == QColor(0, 0, 0);
                band1000 += picture.pixelColor(x, y) == BandColour(1000);
            }
        }
        EXPECT_GT(band.empty() ? black : band1000, 200);
    }
}

}  // namespace
}  // namespace halvane
