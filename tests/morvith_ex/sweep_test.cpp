// Random settings, clips and deliveries, each case's outcome worked out here from the scalar
// reference and compared with everything the user sees: the titles, the message boxes,
// every sample of every picture, the job's words and the registration.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "ex_harness.h"
#include "guarded_picture.h"
#include "literal_ssim.h"
#include "literal_windowed_ssim.h"
#include "psnr.h"
#include "result_line.h"
#include "ssim.h"
#include "sweep_plan.h"
#include "vmaf/vmaf.h"
#include "windowed_ssim.h"

namespace morvith::ex_test {
namespace {

using standin::FilterRegistration;
using standin::Service;
using testing::TestRandom;

struct SweepCase {
    Clip clip;
    int frame = 0;  // the current one
    Controls controls;
    bool saving = false;
    bool vmaf = false;  // kind 4 on areas it measures, over a few frames
};

// Mostly values near the picture's edges, some far outside any range.
int32_t Coordinate(TestRandom& random, int extent) {
    switch (random.Between(0, 9)) {
    case 0: return random.Between(-3, -1);
    case 1: return INT_MAX - random.Between(0, 2);
    case 2: return INT_MIN + random.Between(0, 2);
    case 3: return static_cast<int32_t>(random.Next());
    default: return random.Between(0, extent + 1);
    }
}

// Host-range samples mostly; some constant pictures (every pair of rectangles alike), some
// nearly flat, some over the whole 16-bit range.
Picture RandomPicture(TestRandom& random, int width, int height) {
    Picture picture{width, height, std::vector<PixelYC>(static_cast<size_t>(width) * height)};
    int low_y = 0, high_y = 4096, low_c = -2048, high_c = 2048;
    switch (random.Between(0, 9)) {
    case 0: {
        const PixelYC value{static_cast<int16_t>(random.Between(0, 4096)),
                            static_cast<int16_t>(random.Between(-2048, 2048)),
                            static_cast<int16_t>(random.Between(-2048, 2048))};
        for (PixelYC& sample : picture.samples) sample = value;
        return picture;
    }
    case 1: low_y = 2000, high_y = 2003, low_c = -1, high_c = 1; break;
    case 2: low_y = low_c = -32768, high_y = high_c = 32767; break;
    default: break;
    }
    for (PixelYC& sample : picture.samples) {
        sample = {static_cast<int16_t>(random.Between(low_y, high_y)),
                  static_cast<int16_t>(random.Between(low_c, high_c)),
                  static_cast<int16_t>(random.Between(low_c, high_c))};
    }
    return picture;
}

// Frames of the current one's size mostly, some of other sizes, some gaps the host cannot
// deliver; the current frame itself is always a picture.
void ChooseClip(TestRandom& random, SweepCase& c) {
    const int width = c.vmaf ? random.Between(17, 56) : random.Between(1, 40);
    const int height = c.vmaf ? random.Between(17, 36) : random.Between(1, 16);
    const int frame_count = c.vmaf ? random.Between(2, 5) : random.Between(1, 7);
    c.frame = random.Between(0, frame_count - 1);
    std::vector<std::optional<Picture>> frames;
    int max_width = width;
    for (int i = 0; i < frame_count; ++i) {
        const int kind = random.Between(0, 15);
        if (i != c.frame && kind < 1) {
            frames.emplace_back(std::nullopt);
            continue;
        }
        const bool other_size = i != c.frame && kind < 3;
        const int w = other_size ? random.Between(1, width + 4) : width;
        const int h = other_size ? random.Between(1, height + 3) : height;
        max_width = std::max(max_width, w);
        frames.emplace_back(RandomPicture(random, w, h));
    }
    c.clip = ClipOf(std::move(frames), max_width + random.Between(0, 5));
}

// Mostly ranges inside the clip; some backwards, past its end, or far out of any range.
void ChooseRange(TestRandom& random, Controls& c, int frame_count) {
    const int choice = random.Between(0, 19);
    c.range_start = random.Between(0, frame_count - 1);
    if (choice < 16) {
        c.range_end = random.Between(c.range_start, frame_count - 1);
    } else if (choice < 17) {
        c.range_end = c.range_start - random.Between(1, 2);
    } else if (choice < 18) {
        c.range_end = frame_count + random.Between(0, 2);
    } else {
        c.range_start = Coordinate(random, frame_count);
        c.range_end = Coordinate(random, frame_count);
    }
}

void ChooseControls(TestRandom& random, SweepCase& sweep_case) {
    const Picture& current = *sweep_case.clip.frames[sweep_case.frame];
    const int width = current.width;
    const int height = current.height;
    Controls& c = sweep_case.controls;
    // Kinds 1 to 3 twice as often as 0; windowed SSIM mostly on rectangles of a window or more.
    c.kind = random.Between(0, 12) == 0 ? Coordinate(random, 5) : (random.Between(0, 6) + 1) / 2;
    if (sweep_case.vmaf) c.kind = 4;
    const auto size = [&](int extent, int vmaf_largest) {
        if (c.kind == 4 && random.Between(0, 7) != 0)
            return random.Between(std::min(VMAF_MIN_SIZE, extent), std::min(vmaf_largest, extent));
        const int smallest = c.kind == 3 && random.Between(0, 3) != 0 ? std::min(8, extent) : 1;
        return random.Between(0, 7) != 0 ? random.Between(smallest, extent) : Coordinate(random, extent);
    };
    c.region_width = size(width, 48);
    c.region_height = size(height, 32);
    // Rectangles that fit often enough for the measuring paths to run, some one sample out.
    const bool placed = random.Between(0, 6) != 0 && c.region_width > 0 && c.region_width <= width &&
                        c.region_height > 0 && c.region_height <= height;
    const auto place = [&](int extent, int32_t size) {
        const int slack = random.Between(0, 39) == 0 ? 1 : 0;
        return placed ? random.Between(0, extent - size + slack) : Coordinate(random, extent);
    };
    c.x1 = place(width, c.region_width);
    c.y1 = place(height, c.region_height);
    c.x2 = place(width, c.region_width);
    c.y2 = place(height, c.region_height);
    if (random.Between(0, 9) == 0) c.x2 = c.x1, c.y2 = c.y1;
    ChooseRange(random, c, sweep_case.clip.frame_count());
    c.average = random.Between(0, 1);
    c.outline = random.Between(0, 3) == 0 ? 0 : 1;
}

SweepCase MakeCase(uint32_t seed) {
    TestRandom random(seed);
    SweepCase c;
    c.vmaf = random.Between(0, 11) == 0;
    ChooseClip(random, c);
    ChooseControls(random, c);
    c.saving = random.Between(0, 29) == 0;
    return c;
}

std::string Describe(const SweepCase& sweep_case) {
    const Controls& c = sweep_case.controls;
    std::ostringstream text;
    text << "frame " << sweep_case.frame << " of";
    for (const auto& frame : sweep_case.clip.frames) {
        if (frame) text << ' ' << frame->width << 'x' << frame->height;
        else text << " gap";
    }
    text << " pitch " << sweep_case.clip.max_width << "; kind " << c.kind << ", " << c.region_width << "x"
         << c.region_height << " at (" << c.x1 << ", " << c.y1 << ") and (" << c.x2 << ", " << c.y2
         << "), range " << c.range_start << ".." << c.range_end << ", average " << c.average << ", outline "
         << c.outline << (sweep_case.saving ? ", saving" : "");
    return text.str();
}

// ---------------------------------------------------------------------------------------
// What the user must see, worked out without the plug-in

bool Fits(const Controls& c, int64_t width, int64_t height) {
    const int64_t w = c.region_width;
    const int64_t h = c.region_height;
    if (w <= 0 || h <= 0 || w * h > INT32_MAX) return false;
    for (const auto& [x, y] : {std::pair<int64_t, int64_t>{c.x1, c.y1}, std::pair<int64_t, int64_t>{c.x2, c.y2}})
        if (x < 0 || y < 0 || x + w > width || y + h > height) return false;
    return true;
}

bool RangeIsSound(const Controls& c) {
    return c.range_start >= 0 && c.range_start <= c.range_end &&
           int64_t{c.range_end} - c.range_start + 1 <= INT32_MAX;
}

enum class Title { DisplayName, Unchanged, Progress, PsnrLine, SsimLine, WindowedSsimLine, VmafLine };

struct Outcome {
    std::vector<std::string> titles;  // every title set during the call; a line as its values
    Title title = Title::Unchanged;
    std::string exact_values;         // PSNR's "60.206dB ∞dB ∞dB ", or windowed SSIM's
    testing::SsimOracleTriple ssim;   // for an SSIM line
    bool counts_frames = false;       // VMAF: FrameCount after the saving check
    bool reserves = false;            // ReserveFrameCache, then the fetches
    std::vector<int32_t> fetches;     // frame numbers, in order
    bool frame_error = false;         // the one message box; no line, no outline
    int32_t measured_at_error = 0;    // the range's frames measured before it
    bool outlines = false;
    bool refused = false;             // saving, or settings that cannot be measured
    int32_t worst_frame = -1;         // of a completed range: the first with the lowest Y alone
};

RectanglePair PairIn(const Picture& picture, const Controls& c) {
    return {&picture.at(c.x1, c.y1), &picture.at(c.x2, c.y2), c.region_width, c.region_height, picture.width};
}

testing::SsimOracleTriple SsimOf(const RectanglePair& pair) {
    return testing::OracleSsim(pair.first_a, pair.first_b, pair.width, pair.height, pair.pitch);
}

ChannelTriple<double> WindowedSsimOf(const RectanglePair& pair) {
    return testing::LiteralWindowedSsim(pair.first_a, pair.first_b, pair.width, pair.height, pair.pitch,
                                        FULL_SCALE);
}

std::string ValuesOf(std::string_view line) { return std::string(line.substr(0, line.rfind(' ') + 1)); }

// VMAF with the core as the oracle: the reference's frames before the first and after the
// last where the edit has them, rectangle 1 of each, the current frame's from the job.
void ExpectVmaf(const SweepCase& sweep_case, Outcome& outcome) {
    const Controls& c = sweep_case.controls;
    const Clip& clip = sweep_case.clip;
    const bool range = c.average != 0;
    const int64_t first = range ? c.range_start : sweep_case.frame;
    const int64_t last = range ? c.range_end : sweep_case.frame;
    outcome.counts_frames = true;
    const bool has_before = first - 1 >= 0 && first - 1 < clip.frame_count();
    const bool has_after = last + 1 < clip.frame_count();
    std::vector<int64_t> frames;
    for (int64_t n = first - has_before; n <= last + has_after; ++n) frames.push_back(n);
    outcome.reserves = range || has_before || has_after;

    VmafSeries series;
    if (!series.Prepare(c.region_width, c.region_height)) std::abort();
    if (!has_before) series.Begin();
    double sum = 0;
    double worst = 0;
    VmafFrame done;
    const auto complete = [&](int64_t n) {
        sum += done.score;
        if (outcome.worst_frame < 0 || done.score < worst) outcome.worst_frame = static_cast<int32_t>(n), worst = done.score;
    };
    for (const int64_t n : frames) {
        if (range || n != first) {
            outcome.fetches.push_back(static_cast<int32_t>(n));
            const bool delivered = n < clip.frame_count() && clip.frames[n];
            if (!delivered || !Fits(c, clip.frames[n]->width, clip.frames[n]->height)) {
                outcome.frame_error = true;
                outcome.measured_at_error = static_cast<int32_t>(std::clamp<int64_t>(n - first, 0, last - first + 1));
                return;
            }
        }
        const RectanglePair pair = PairIn(*clip.frames[n], c);
        const LumaPlane reference{pair.first_a, pair.pitch};
        if (n < first) {
            series.BeginAfter(reference, nullptr);
        } else if (n > last) {
            if (series.EndBefore(reference, nullptr, &done)) complete(last);
        } else if (series.TakeFrame(reference, {pair.first_b, pair.pitch}, nullptr, &done)) {
            complete(n - 1);
        }
    }
    if (!has_after && series.End(&done)) complete(last);
    outcome.exact_values = ValuesOf(ComposeVmafLine(sum / static_cast<double>(last - first + 1), 0));
    if (!range) outcome.worst_frame = -1;
}

void ExpectMeasurement(const SweepCase& sweep_case, Outcome& outcome) {
    const Controls& c = sweep_case.controls;
    const int32_t samples = c.region_width * c.region_height;
    if (c.average == 0) {
        const RectanglePair pair = PairIn(*sweep_case.clip.frames[sweep_case.frame], c);
        if (c.kind == 1) {
            const SquaredErrorTriple sse = SumSquaredErrorReference(pair.first_a, pair.first_b, pair.width,
                                                                    pair.height, pair.pitch, nullptr);
            outcome.exact_values = ValuesOf(ComposePsnrLine(ReadPsnr(sse, samples, 1, PsnrForm::Quotient), 0));
        } else if (c.kind == 3) {
            outcome.exact_values = ValuesOf(ComposeSsimLine(WindowedSsimOf(pair), 0));
        } else {
            outcome.ssim = SsimOf(pair);
        }
        return;
    }
    outcome.reserves = true;
    PooledSquaredErrorTriple pool;
    testing::SsimOracleMean ssim_mean;
    double worst_y = 0;
    ChannelTriple<double> windowed_sums;
    const int32_t frame_count = c.range_end - c.range_start + 1;
    for (int32_t n = c.range_start; n <= c.range_end; ++n) {
        outcome.fetches.push_back(n);
        const bool delivered = n < sweep_case.clip.frame_count() && sweep_case.clip.frames[n];
        // A frame that cannot hold both rectangles is as undeliverable as a missing one.
        if (!delivered || !Fits(c, sweep_case.clip.frames[n]->width, sweep_case.clip.frames[n]->height)) {
            outcome.frame_error = true;
            return;
        }
        const RectanglePair pair = PairIn(*sweep_case.clip.frames[n], c);
        double y = 0;
        if (c.kind == 1) {
            const SquaredErrorTriple sse = SumSquaredErrorReference(pair.first_a, pair.first_b, pair.width,
                                                                    pair.height, pair.pitch, nullptr);
            AddToPool(pool, sse);
            const PsnrReading alone = ReadPsnr(sse, samples, 1, PsnrForm::Quotient).y;
            y = alone.infinite ? HUGE_VAL : alone.decibels;
        } else if (c.kind == 3) {
            const ChannelTriple<double> values = WindowedSsimOf(pair);
            windowed_sums.y += values.y;
            windowed_sums.cb += values.cb;
            windowed_sums.cr += values.cr;
            y = values.y;
        } else {
            const testing::SsimOracleTriple alone = SsimOf(pair);
            ssim_mean.Add(alone);
            y = alone.y.exact;
        }
        if (outcome.worst_frame < 0 || y < worst_y) outcome.worst_frame = n, worst_y = y;
    }
    if (c.kind == 1) {
        outcome.exact_values =
            ValuesOf(ComposePsnrLine(ReadPsnr(pool, samples, frame_count, PsnrForm::LogSum), 0));
    } else if (c.kind == 3) {
        const double frames = frame_count;
        outcome.exact_values = ValuesOf(ComposeSsimLine(
            {windowed_sums.y / frames, windowed_sums.cb / frames, windowed_sums.cr / frames}, 0));
    } else {
        outcome.ssim = ssim_mean.Mean();
    }
}

Outcome Expect(const SweepCase& sweep_case) {
    const Controls& c = sweep_case.controls;
    const Picture& current = *sweep_case.clip.frames[sweep_case.frame];
    Outcome outcome;
    if (sweep_case.saving || (c.average != 0 && !RangeIsSound(c)) || !Fits(c, current.width, current.height)) {
        outcome.title = Title::DisplayName;
        outcome.titles = {DISPLAY_NAME};
        outcome.refused = true;
        return outcome;
    }
    outcome.outlines = c.outline != 0;
    const bool below_one_window = c.region_width < WINDOWED_SSIM_MIN_SIZE || c.region_height < WINDOWED_SSIM_MIN_SIZE;
    const bool below_vmaf = c.region_width < VMAF_MIN_SIZE || c.region_height < VMAF_MIN_SIZE;
    if (c.kind == 0 || (c.kind == 3 && below_one_window) || (c.kind == 4 && below_vmaf)) {
        outcome.title = Title::DisplayName;
        outcome.titles = {DISPLAY_NAME};
        return outcome;
    }
    if (c.kind < 1 || c.kind > 4) return outcome;
    if (c.kind == 4) {
        ExpectVmaf(sweep_case, outcome);
    } else {
        ExpectMeasurement(sweep_case, outcome);
        outcome.measured_at_error = static_cast<int32_t>(outcome.fetches.size()) - 1;
    }
    // Further progress titles may come between the first and the last (about ten a second).
    const auto progress = [&](size_t measured) {
        return std::string(PROGRESS_TEXT) + " " + std::to_string(measured) + "/" +
               std::to_string(c.range_end - c.range_start + 1);
    };
    if (c.average != 0) outcome.titles.push_back(progress(0));
    if (outcome.frame_error) {
        outcome.worst_frame = -1;
        if (c.average != 0) {
            outcome.titles.push_back(progress(outcome.measured_at_error));
            outcome.title = Title::Progress;
        } else {
            outcome.titles.clear();  // VMAF's neighbour of the frame on screen
        }
        outcome.outlines = false;
        return outcome;
    }
    constexpr Title LINES[] = {Title::PsnrLine, Title::SsimLine, Title::WindowedSsimLine, Title::VmafLine};
    outcome.title = LINES[c.kind - 1];
    outcome.titles.push_back("<line>");
    return outcome;
}

::testing::AssertionResult IsLine(const std::string& title, const Outcome& outcome) {
    if (outcome.title == Title::PsnrLine || outcome.title == Title::WindowedSsimLine ||
        outcome.title == Title::VmafLine)
        return IsResultLine(title, outcome.exact_values);
    if (!IsResultLine(title, "")) return IsResultLine(title, "");
    const std::string why = testing::CheckShownSsimValues(outcome.ssim, ValuesOf(title));
    if (!why.empty())
        return ::testing::AssertionFailure() << "title \"" << title << "\", expected \""
                                             << testing::ExactSsimValues(outcome.ssim) << "<time>[ms]\" (" << why << ")";
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------
// One case against the plug-in

struct Tally {
    int refused = 0, nothing = 0, measured = 0, windowed = 0, vmaf = 0, ranges = 0, frame_errors = 0, outlined = 0,
        moves = 0;
};

#define SWEEP_CHECK(condition, what)                                                      \
    do {                                                                                  \
        if (!(condition)) return ::testing::AssertionFailure() << what;                   \
    } while (false)

#define SWEEP_CHECK_RESULT(result)                                                        \
    do {                                                                                  \
        const ::testing::AssertionResult checked = (result);                              \
        if (!checked) return ::testing::AssertionFailure() << checked.message();          \
    } while (false)

::testing::AssertionResult RunCase(StandInHost& host, TitleHistory& titles, uint32_t seed, Tally& tally) {
    const SweepCase sweep_case = MakeCase(seed);
    const Controls& c = sweep_case.controls;
    const Outcome outcome = Expect(sweep_case);

    host.SetClip(sweep_case.clip);
    c.ApplyTo(host);
    host.SetSavingOutput(sweep_case.saving);
    // Whatever the title was: the history shows whether the plug-in set another.
    const std::string title_before = host.WindowTitle();
    titles.Clear();
    host.ClearLog();
    FilterRegistration registration_before;
    std::memcpy(&registration_before, &host.registration(), sizeof registration_before);

    const standin::FrameResult result = host.ProcessFrame(sweep_case.frame);
    const Picture& before = *sweep_case.clip.frames[sweep_case.frame];

    SWEEP_CHECK(result.returned == 1, "returned " << result.returned);
    // The title, every text it showed on the way, and the boxes.
    switch (outcome.title) {
    case Title::DisplayName: SWEEP_CHECK(result.title == DISPLAY_NAME, "title \"" << result.title << "\""); break;
    case Title::Unchanged: SWEEP_CHECK(result.title == title_before, "title \"" << result.title << "\""); break;
    case Title::Progress:
        SWEEP_CHECK(result.title == outcome.titles.back(), "title \"" << result.title << "\", expected the progress text");
        break;
    case Title::PsnrLine:
    case Title::SsimLine:
    case Title::WindowedSsimLine:
    case Title::VmafLine: SWEEP_CHECK_RESULT(IsLine(result.title, outcome)); break;
    }
    // A range may show further progress between its first title and its last, each with the
    // frames measured when it was set.
    std::vector<TitleHistory::Entry> shown_titles = titles.entries();
    if (c.average != 0 && shown_titles.size() > 2) {
        // Calls before the first fetch of the range's own frames.
        const int64_t ahead = 2 + outcome.counts_frames +
                              (outcome.counts_frames && c.range_start > 0 && c.range_start <= sweep_case.clip.frame_count());
        for (auto entry = shown_titles.begin() + 1; entry + 1 != shown_titles.end(); ++entry) {
            const int64_t measured = std::max<int64_t>(entry->calls_before - ahead, 0);
            const std::string expected = std::string(PROGRESS_TEXT) + " " + std::to_string(measured) +
                                         "/" + std::to_string(c.range_end - c.range_start + 1);
            SWEEP_CHECK(entry->text == expected, "progress \"" << entry->text << "\", expected \"" << expected << "\"");
        }
        shown_titles.erase(shown_titles.begin() + 1, shown_titles.end() - 1);
    }
    SWEEP_CHECK(shown_titles.size() == outcome.titles.size(),
                shown_titles.size() << " titles set, expected " << outcome.titles.size());
    for (size_t i = 0; i < outcome.titles.size(); ++i) {
        const std::string& shown = shown_titles[i].text;
        if (outcome.titles[i] == "<line>") SWEEP_CHECK_RESULT(IsLine(shown, outcome));
        else SWEEP_CHECK(shown == outcome.titles[i], "title " << i << " set was \"" << shown << "\"");
    }
    SWEEP_CHECK(host.message_boxes().size() == (outcome.frame_error ? 1u : 0u),
                host.message_boxes().size() << " message boxes");
    if (outcome.frame_error) {
        const standin::MessageBoxRecord& box = host.message_boxes()[0];
        SWEEP_CHECK(box.text == FRAME_ERROR_TEXT && box.caption == ERROR_CAPTION &&
                        box.icon == standin::BoxIcon::Warning && box.buttons == std::vector<int>{IDOK} &&
                        box.owner == nullptr,
                    "the box is not the frame error: \"" << box.text << "\" / \"" << box.caption << "\"");
    }
    SWEEP_CHECK(host.file_dialogs().empty(), "a file dialog opened");

    // The host's services: the saving check, then the cache and the range's frames in order.
    const std::vector<standin::ServiceCall>& calls = host.calls();
    const size_t counted = outcome.counts_frames ? 1 : 0;
    const size_t expected_calls = 1 + counted + (outcome.reserves ? 1 + outcome.fetches.size() : 0);
    SWEEP_CHECK(calls.size() == expected_calls, calls.size() << " service calls, expected " << expected_calls);
    SWEEP_CHECK(calls[0].service == Service::IsSavingOutput && calls[0].edit_handle == StandInHost::EditHandle(),
                "the first service call is not the saving check");
    SWEEP_CHECK(!counted || calls[1].service == Service::FrameCount, "FrameCount is not asked after the saving check");
    if (outcome.reserves) {
        const standin::ServiceCall& reserve = calls[1 + counted];
        SWEEP_CHECK(reserve.service == Service::ReserveFrameCache && reserve.max_width == host.clip().max_width &&
                        reserve.height == before.height && reserve.frame_count == 10 && reserve.flags == 0,
                    "ReserveFrameCache missing or with other arguments");
        for (size_t i = 0; i < outcome.fetches.size(); ++i) {
            const standin::ServiceCall& fetch = calls[2 + counted + i];
            SWEEP_CHECK(fetch.service == Service::FetchFilteredFrame && fetch.frame == outcome.fetches[i] &&
                            fetch.edit_handle == StandInHost::EditHandle() &&
                            fetch.registration == &host.registration(),
                        "fetch " << i << " is not of frame " << outcome.fetches[i]);
        }
    }

    // Every sample: the outlines and nothing else in the work picture, nothing anywhere else.
    SWEEP_CHECK_RESULT(SamePicture(outcome.outlines ? WithOutlines(before, c) : before, result.work_after));
    SWEEP_CHECK(result.work_gaps_intact, "a sample between width and pitch changed");
    SWEEP_CHECK(result.fetched_frames_intact, "a fetched frame changed");
    for (const PixelYC& sample : result.spare_after.samples)
        SWEEP_CHECK(std::memcmp(&sample, &testing::GUARD_GAP_MARKER, sizeof sample) == 0,
                    "the spare picture changed");
    SWEEP_CHECK(std::memcmp(&result.job_before, &result.job_after, sizeof result.job_before) == 0,
                "a word of the job changed");
    SWEEP_CHECK(std::memcmp(&registration_before, &host.registration(), sizeof registration_before) == 0,
                "a word of the registration changed");
    const int32_t sliders[] = {c.kind, c.region_width, c.region_height, c.x1, c.y1, c.x2, c.y2, c.range_start,
                               c.range_end};
    for (int i = 0; i < 9; ++i) SWEEP_CHECK(host.Slider(i) == sliders[i], "slider " << i << " changed");
    SWEEP_CHECK(host.Checkbox(AVERAGE) == c.average && host.Checkbox(OUTLINE) == c.outline, "a checkbox changed");

    // The Edit menu's item moves to the range's worst frame, whose render shows the line again.
    if (outcome.worst_frame >= 0) {
        host.ClearLog();
        SWEEP_CHECK(host.ChooseMenuItem(host.MenuItems().at(0).id), "no menu item");
        const std::vector<standin::ServiceCall> moves = host.CallsOf(Service::MoveToFrame);
        SWEEP_CHECK(moves.size() == 1 && moves[0].frame == outcome.worst_frame,
                    "moved " << moves.size() << " times, expected once to frame " << outcome.worst_frame);
        SWEEP_CHECK(host.renders().size() == 1 && host.renders()[0].title == result.title &&
                        host.CallsOf(Service::FetchFilteredFrame).empty(),
                    "the render after the move measured again or showed \"" << host.WindowTitle() << "\"");
        ++tally.moves;
    }

    if (outcome.refused)
        ++tally.refused;
    else if (outcome.title == Title::PsnrLine || outcome.title == Title::SsimLine ||
             outcome.title == Title::WindowedSsimLine || outcome.title == Title::VmafLine)
        ++tally.measured;
    else
        ++tally.nothing;
    if (outcome.title == Title::WindowedSsimLine) ++tally.windowed;
    if (outcome.title == Title::VmafLine) ++tally.vmaf;
    if (outcome.reserves) ++tally.ranges;
    if (outcome.frame_error) ++tally.frame_errors;
    if (outcome.outlines) ++tally.outlined;
    return ::testing::AssertionSuccess();
}

#undef SWEEP_CHECK
#undef SWEEP_CHECK_RESULT

// The shipped module, and those pinned at each kernel path below AVX2.
class ExSweep : public ::testing::TestWithParam<const char*> {};

TEST_P(ExSweep, RandomCasesShowWhatTheReferenceComputes) {
    StandInHost host(testing::PinnedModulePath(MODULE_PATH, GetParam()));
    host.SetRenderOnWindowResult(true);
    host.SetSpoilFetchedFrames(true);
    TitleHistory titles(host);
    Tally tally;
    const int count = testing::RunSweep(testing::SweepCasesFor(GetParam(), 10000),
                                        testing::SweepCasesFor(GetParam(), 500), [&](uint32_t seed) {
        const ::testing::AssertionResult result = RunCase(host, titles, seed, tally);
        return result ? std::string() : Describe(MakeCase(seed)) + ": " + result.message();
    });
    std::printf("%d cases: %d refused, %d measuring nothing, %d measured (%d windowed SSIM, %d VMAF), %d ranges, %d "
                "frame errors, %d outlined, %d moves to the worst frame\n",
                count, tally.refused, tally.nothing, tally.measured, tally.windowed, tally.vmaf, tally.ranges,
                tally.frame_errors, tally.outlined, tally.moves);
    if (count < 1000 || HasFailure()) return;
    // Worth its time only if every path ran many times.
    const double cases = count;
    EXPECT_GT(tally.refused / cases, 0.2);
    EXPECT_GT(tally.measured / cases, 0.3);
    EXPECT_GT(tally.windowed / cases, 0.02);
    EXPECT_GT(tally.vmaf / cases, 0.02);
    EXPECT_GT(tally.ranges / cases, 0.1);
    EXPECT_GT(tally.frame_errors / cases, 0.02);
    EXPECT_GT(tally.outlined / cases, 0.3);
    EXPECT_GT(tally.moves / cases, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Kernels, ExSweep, ::testing::ValuesIn(testing::SweptKernelPaths()),
                         [](const auto& info) { return std::string(info.param[0] ? info.param : "cpuid"); });

}  // namespace
}  // namespace morvith::ex_test
