// A range's per-frame values read as each frame alone does, and the rows they are written in.

#include "frame_report.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "guarded_picture.h"
#include "measure_line.h"

namespace morvith {
namespace {

using testing::GuardedPicture;

constexpr double INF = std::numeric_limits<double>::infinity();

// The values of a single-frame title ("38.5dB ∞dB 40dB 0.012[ms]", "0.98 1 0.99 0.01[ms]")
// as a CSV row writes them: points, "inf" for the infinity sign.
std::string AsCsvValues(std::string_view title) {
    std::string values;
    for (int channel = 0; channel < 3; ++channel) {
        const size_t end = title.find(' ');
        std::string value(title.substr(0, end));
        if (value.size() > 2 && value.compare(value.size() - 2, 2, "dB") == 0) value.resize(value.size() - 2);
        values += ',';
        values += value == "\x81\x87" ? "inf" : value;
        title.remove_prefix(end + 1);
    }
    return values;
}

// Frames of two 23 x 7 rectangles side by side: random, identical (every channel at ∞ or 1),
// differing in Y alone, and random again with other seeds.
class RangeOfFrames {
public:
    RangeOfFrames() {
        for (int i = 0; i < 6; ++i) {
            auto picture = std::make_unique<GuardedPicture>(46, 7, 49);
            picture->FillRandom(40 + i, i == 4 ? -32768 : 0, i == 4 ? 32767 : 4096);
            if (i == 1 || i == 2) {
                for (int y = 0; y < 7; ++y) {
                    for (int x = 0; x < 23; ++x) {
                        picture->at(23 + x, y) = picture->at(x, y);
                        if (i == 2) picture->at(23 + x, y).y += static_cast<int16_t>(x % 3);
                    }
                }
            }
            frames_.push_back(std::move(picture));
        }
    }

    int32_t count() const { return static_cast<int32_t>(frames_.size()); }
    RectanglePair Pair(int32_t i) const {
        const GuardedPicture& picture = *frames_[i];
        return {picture.data(), picture.data() + 23, 23, 7, picture.pitch()};
    }

private:
    std::vector<std::unique_ptr<GuardedPicture>> frames_;
};

TEST(RangeFrameValues, EachRowReadsAsThatFrameAloneInTheTitle) {
    const RangeOfFrames range;
    const auto source = [&](int32_t i) -> RangeFrame { return range.Pair(i); };
    for (const bool psnr : {true, false}) {
        SCOPED_TRACE(psnr ? "PSNR" : "SSIM");
        std::vector<FrameValues> values(range.count());
        const RangeMeasurement measured = psnr ? MeasurePsnrRangeLine(range.count(), source, values.data())
                                               : MeasureSsimRangeLine(range.count(), source, values.data());
        ASSERT_FALSE(measured.stop);
        for (int32_t i = 0; i < range.count(); ++i) {
            SCOPED_TRACE(i);
            const ResultLine alone = psnr ? MeasurePsnrLine(range.Pair(i), nullptr, PsnrForm::Quotient)
                                          : MeasureSsimLine(range.Pair(i), nullptr);
            EXPECT_EQ(std::string(ComposeCsvRow(100 + i, values[i])),
                      std::to_string(100 + i) + AsCsvValues(alone) + "\r\n");
        }
        EXPECT_EQ(std::string(ComposeCsvRow(101, values[1])), psnr ? "101,inf,inf,inf\r\n" : "101,1,1,1\r\n");
        EXPECT_TRUE(psnr ? values[2].y < INF && values[2].cb == INF : values[2].y < 1 && values[2].cb == 1);
    }
}

TEST(RangeFrameValues, TheWorstFrameIsTheFirstWithTheLowestY) {
    struct Case {
        std::vector<double> y;
        int32_t worst;
    };
    for (const Case& c : std::vector<Case>{{{}, -1},
                                           {{INF}, 0},
                                           {{INF, INF, INF}, 0},
                                           {{40, 38, 41, 38}, 1},
                                           {{INF, 50, -24.08, INF, -24.08}, 2},
                                           {{0.99, 0.98, 0.97}, 2}}) {
        std::vector<FrameValues> values;
        for (const double y : c.y) values.push_back({y, 0, 0});  // Cb and Cr have no say
        EXPECT_EQ(WorstFrameIndex(values.data(), static_cast<int32_t>(values.size())), c.worst);
    }
}

TEST(CsvRow, FrameNumberThenTheTitlesDigitsWithAPoint) {
    EXPECT_STREQ(CSV_HEADER, "frame,Y,Cb,Cr\r\n");
    EXPECT_EQ(std::string(ComposeCsvRow(0, {38.5421354, -24.0823, INF})), "0,38.5421,-24.0823,inf\r\n");
    EXPECT_EQ(std::string(ComposeCsvRow(999998, {0.9876543, 1, 0.00009999})).substr(0, 24), "999998,0.987654,1,9.999e");
    EXPECT_EQ(std::string(ComposeCsvRow(INT32_MAX, {1, 2, 3})), "2147483647,1,2,3\r\n");
}

// VMAF keeps seven values a frame: the score as the title writes it, then the features with
// six decimals; the score alone decides the worst frame.
TEST(CsvRow, VmafScoreThenItsFeaturesWithSixDecimals) {
    EXPECT_STREQ(VMAF_CSV_HEADER, "frame,VMAF,adm2,motion2,vif_scale0,vif_scale1,vif_scale2,vif_scale3\r\n");
    const double frames[2][VMAF_VALUES] = {{93.45123, 0.98765432, 12.5, 0.5, 1e-7, 1, 0.0000007},
                                           {97.428, 1, 0, 1, 1, 1, 1}};
    EXPECT_EQ(std::string(ComposeCsvRow(17, VmafFrames(frames[0], 2), 0)),
              "17,93.4512,0.987654,12.500000,0.500000,0.000000,1.000000,0.000001\r\n");
    EXPECT_EQ(std::string(ComposeCsvRow(18, VmafFrames(frames[0], 2), 1)),
              "18,97.428,1.000000,0.000000,1.000000,1.000000,1.000000,1.000000\r\n");
    EXPECT_EQ(WorstFrameIndex(VmafFrames(frames[0], 2)), 0);
}

}  // namespace
}  // namespace morvith
