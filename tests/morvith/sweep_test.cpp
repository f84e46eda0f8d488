// Random settings and deliveries, each case checked against what the test works out for
// itself with the scalar reference: the title, the boxes, the services the plug-in asks
// for, the job and the registration, and every sample of the pictures it is handed, all
// of which it must leave as the host gave them (the host's loader alone writes the spare
// buffer).
//
// One host serves every case. That is sound because the plug-in keeps nothing from one
// call to the next but the reference path (and VMAF's working memory, which holds no result), which each case sets to its own, and each case
// starts from a title of its own and an empty log: a case's outcome depends on its seed
// alone, so MORVITH_SWEEP_SEED reruns it by itself.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <tuple>

#include "literal_ssim.h"
#include "literal_windowed_ssim.h"
#include "morvith_host.h"
#include "psnr.h"
#include "result_line.h"
#include "ssim.h"
#include "sweep_plan.h"
#include "vmaf/vmaf.h"
#include "windowed_ssim.h"

namespace morvith::testing {
namespace {

using standin::Clip;
using standin::Picture;
using standin::ServiceCall;

// ---------------------------------------------------------------------------------------
// Reference files, written once per sweep and shared by its cases

struct ReferenceFile {
    std::string path;
    std::optional<Picture> picture;  // as the host's loader decodes it; nullopt: unreadable
    bool exists = false;
};

class ReferenceShelf {
public:
    static constexpr int GARBAGE_COUNT = 5;
    static constexpr int MISSING_COUNT = 4;

    // A width x height bitmap of colours drawn from its size.
    const ReferenceFile& Bitmap(int width, int height) {
        const auto key = std::make_pair(width, height);
        if (const auto found = bitmaps_.find(key); found != bitmaps_.end()) return found->second;
        standin::RgbImage image{width, height, {}};
        TestRandom random(static_cast<uint32_t>(width * 1000 + height));
        for (int i = 0; i < width * height; ++i) {
            const uint32_t bits = random.Next();
            image.pixels.push_back({static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                                    static_cast<uint8_t>(bits >> 16)});
        }
        const std::string path = folder_.Add("ref_" + std::to_string(width) + "x" + std::to_string(height) + ".bmp");
        if (!standin::WriteBmp24(path, image)) throw std::runtime_error("cannot write " + path);
        return bitmaps_[key] = Read(path);
    }

    // Files that are no picture, or only the start of one.
    const ReferenceFile& Garbage(int which) {
        if (garbage_.empty()) {
            const std::string whole = folder_.path() + "\\whole.bmp";
            standin::RgbImage image{16, 8, std::vector<standin::Rgb>(128, standin::Rgb{200, 100, 50})};
            standin::WriteBmp24(whole, image);
            const std::string bmp = Contents(whole);
            DeleteFileA(whole.c_str());
            std::string noise;
            TestRandom random(7);
            for (int i = 0; i < 300; ++i) noise += static_cast<char>(random.Next());
            garbage_.push_back(Write("empty.bmp", ""));
            garbage_.push_back(Write("noise.bmp", noise));
            garbage_.push_back(Write("cut_header.bmp", bmp.substr(0, 20)));
            garbage_.push_back(Write("text.bmp", "not a picture\r\n"));
            garbage_.push_back(Write("cut_pixels.bmp", bmp.substr(0, 54 + 100)));
        }
        return garbage_.at(static_cast<size_t>(which));
    }

    ReferenceFile Missing(int which) const {
        switch (which) {
            case 0: return {folder_.path() + "\\missing.bmp", std::nullopt, false};
            case 1: return {folder_.path() + "\\no_such_folder\\ref.bmp", std::nullopt, false};
            case 2: return {folder_.path(), std::nullopt, false};  // a folder, not a file
            default: return {"morvith_sweep_nowhere.bmp", std::nullopt, false};
        }
    }

private:
    static std::string Contents(const std::string& path) {
        std::string bytes;
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
            std::fclose(file);
        }
        return bytes;
    }

    ReferenceFile Write(const std::string& name, const std::string& bytes) {
        const std::string path = folder_.Add(name);
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) throw std::runtime_error("cannot write " + path);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return Read(path);
    }

    static ReferenceFile Read(const std::string& path) {
        return {path, standin::ReadImageFileAsPicture(path), true};
    }

    ReferenceFolder folder_{"morvith_sweep_"};
    std::map<std::pair<int, int>, ReferenceFile> bitmaps_;
    std::vector<ReferenceFile> garbage_;
};

// ---------------------------------------------------------------------------------------
// Cases

// Jobs the host never hands out ride along: the plug-in must refuse them untouched.
enum class JobShape { Sound, NoWidth, NoHeight, ShortPitch, NoWorkPicture, NoSparePicture };

const char* ShapeName(JobShape shape) {
    switch (shape) {
        case JobShape::Sound: return "sound";
        case JobShape::NoWidth: return "no width";
        case JobShape::NoHeight: return "no height";
        case JobShape::ShortPitch: return "pitch below width";
        case JobShape::NoWorkPicture: return "no work picture";
        case JobShape::NoSparePicture: return "no spare picture";
    }
    return "?";
}

enum class Samples { Video, Extreme, Flat };

struct Case {
    uint32_t seed = 0;
    int width = 0, height = 0;  // the current picture
    int pitch = 0;              // max_width
    int buffer_height = 0;      // rows of the host's buffers
    int32_t kind = 0, offset = 0, multithread = 0, load_file = 0;
    bool saving = false;
    JobShape shape = JobShape::Sound;
    int32_t job_width = 0, job_height = 0, job_pitch = 0;  // what the job claims
    Clip clip;
    int current = 0;
    ReferenceFile file;       // file mode
    bool browse = false;      // the file is chosen in the open-file dialog, else typed
    std::string note;         // the kind of reference, for the failure message
};

// Values no host control holds.
int32_t OddValue(TestRandom& random) {
    switch (random.Between(0, 5)) {
        case 0: return -1;
        case 1: return INT_MIN;
        case 2: return INT_MAX;
        case 3: return random.Between(5, 100);
        case 4: return -random.Between(2, 100);
        default: return static_cast<int32_t>(random.Next());
    }
}

int16_t Sample(TestRandom& random, Samples style, bool luma) {
    switch (style) {
        case Samples::Video:
            return static_cast<int16_t>(luma ? random.Between(0, 4096) : random.Between(-2048, 2047));
        case Samples::Extreme:
            switch (random.Between(0, 2)) {
                case 0: return INT16_MIN;
                case 1: return INT16_MAX;
                default: return static_cast<int16_t>(random.Between(INT16_MIN, INT16_MAX));
            }
        case Samples::Flat: break;
    }
    return 0;
}

Picture RandomPicture(TestRandom& random, int width, int height, Samples style) {
    if (style == Samples::Flat) {
        const PixelYC value{static_cast<int16_t>(random.Between(0, 4096)),
                            static_cast<int16_t>(random.Between(-64, 64)),
                            static_cast<int16_t>(random.Between(-64, 64))};
        return standin::ConstantPicture(width, height, value);
    }
    Picture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        picture.samples.push_back(
            {Sample(random, style, true), Sample(random, style, false), Sample(random, style, false)});
    return picture;
}

// A width x height picture whose top-left is like `like`: the same, the same but for one
// sample of one channel, or the same with a little noise everywhere.
Picture RelatedPicture(TestRandom& random, const Picture& like, int width, int height, Samples style) {
    Picture picture = RandomPicture(random, width, height, style);
    for (int y = 0; y < std::min(height, like.height); ++y)
        for (int x = 0; x < std::min(width, like.width); ++x) picture.at(x, y) = like.at(x, y);
    const auto nudge = [&](int16_t& value, int amount) {
        value = static_cast<int16_t>(std::clamp(value + amount, INT16_MIN, INT16_MAX));
    };
    switch (random.Between(0, 2)) {
        case 0: break;
        case 1: {
            PixelYC& sample = picture.at(random.Between(0, width - 1), random.Between(0, height - 1));
            const int amount = random.Between(0, 1) != 0 ? random.Between(1, 40) : -random.Between(1, 40);
            nudge(random.Between(0, 2) == 0 ? sample.y : random.Between(0, 1) != 0 ? sample.cb : sample.cr, amount);
            break;
        }
        default: {
            const int amplitude = random.Between(1, 16);
            for (PixelYC& sample : picture.samples) {
                nudge(sample.y, random.Between(-amplitude, amplitude));
                nudge(sample.cb, random.Between(-amplitude, amplitude));
                nudge(sample.cr, random.Between(-amplitude, amplitude));
            }
        }
    }
    return picture;
}

// A size smaller than width x height in at least one dimension (the caller makes sure one is above 1).
std::pair<int, int> SmallerSize(TestRandom& random, int width, int height) {
    const bool narrower = height == 1 || (width > 1 && random.Between(0, 1) == 0);
    const bool both = random.Between(0, 3) == 0;
    int w = width, h = height;
    if (narrower || both) w = width > 1 ? random.Between(1, width - 1) : 1;
    if (!narrower || both) h = height > 1 ? random.Between(1, height - 1) : 1;
    return {w, h};
}

// Frame mode: the clip around the current frame, with gaps and frames of other sizes.
void ChooseFrames(TestRandom& random, Case& c, Samples style) {
    const int count = c.kind == 4 ? random.Between(2, 5) : random.Between(1, 6);
    c.current = random.Between(0, count - 1);
    std::vector<std::optional<Picture>> frames(static_cast<size_t>(count));
    const Picture current = RandomPicture(random, c.width, c.height, style);
    for (int i = 0; i < count; ++i) {
        if (i == c.current) {
            frames[static_cast<size_t>(i)] = current;
            continue;
        }
        const int choice = random.Between(0, 199);
        if (choice < 4) continue;  // a gap the host cannot deliver
        int w = c.width, h = c.height;
        if (choice < 10 && (c.width > 1 || c.height > 1)) {
            std::tie(w, h) = SmallerSize(random, c.width, c.height);
        } else if (choice >= 120) {
            w = random.Between(c.width, c.pitch);
            h = random.Between(c.height, c.buffer_height);
        }
        frames[static_cast<size_t>(i)] = random.Between(0, 3) == 0 ? RandomPicture(random, w, h, style)
                                                                   : RelatedPicture(random, current, w, h, style);
    }
    c.clip = standin::MakeClip(std::move(frames), c.pitch, c.buffer_height);

    const int choice = random.Between(0, 199);
    if (choice < 190) {
        c.offset = random.Between(0, count - 1) - c.current;
    } else if (choice < 194) {
        c.offset = (random.Between(0, 1) != 0 ? count + random.Between(0, 1) : -random.Between(1, 2)) - c.current;
    } else if (choice < 197) {
        c.offset = random.Between(-60, 60);
    } else {
        switch (random.Between(0, 4)) {
            case 0: c.offset = INT_MIN + random.Between(0, 2); break;
            case 1: c.offset = INT_MAX - random.Between(0, 2); break;
            case 2: c.offset = random.Between(0, 1) != 0 ? 60 : -60; break;
            default: c.offset = static_cast<int32_t>(random.Next());
        }
    }
    c.note = "frame";
}

// File mode: a reference file of some size, or none that can be read.
void ChooseFile(TestRandom& random, Case& c, Samples style, ReferenceShelf& shelf, bool in_dialog) {
    // A file chosen in the dialog exists: the dialog takes no other.
    const int choice = in_dialog ? random.Between(14, 199) : random.Between(0, 199);
    if (choice < 2) {
        c.file = {};
        c.note = "no file named";
    } else if (choice < 4) {
        c.file = shelf.Missing(random.Between(0, ReferenceShelf::MISSING_COUNT - 1));
        c.note = "missing file";
    } else if (choice < 8) {
        c.file = shelf.Garbage(random.Between(0, ReferenceShelf::GARBAGE_COUNT - 1));
        c.note = "garbage file";
    } else if (choice < 12 && (c.width > 1 || c.height > 1)) {
        const auto [w, h] = SmallerSize(random, c.width, c.height);
        c.file = shelf.Bitmap(w, h);
        c.note = "smaller image";
    } else if (choice < 14) {
        // Larger than the host's buffers: its loader refuses it.
        const bool wider = random.Between(0, 1) != 0;
        c.file = shelf.Bitmap(wider ? c.pitch + random.Between(1, 3) : random.Between(1, c.pitch),
                              wider ? random.Between(1, c.buffer_height) : c.buffer_height + random.Between(1, 2));
        c.note = "image beyond the buffer";
    } else if (choice < 90) {
        c.file = shelf.Bitmap(c.width, c.height);
        c.note = "image of the picture's size";
    } else {
        c.file = shelf.Bitmap(random.Between(c.width, c.pitch), random.Between(c.height, c.buffer_height));
        c.note = "larger image";
    }
    c.browse = in_dialog;

    const bool like_file = c.file.picture && c.file.picture->width >= c.width && c.file.picture->height >= c.height &&
                           random.Between(0, 2) != 0;
    const Picture current = like_file ? RelatedPicture(random, *c.file.picture, c.width, c.height, style)
                                      : RandomPicture(random, c.width, c.height, style);
    const int count = random.Between(1, 3);
    c.current = random.Between(0, count - 1);
    std::vector<std::optional<Picture>> frames(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        if (i == c.current || random.Between(0, 1) != 0) frames[static_cast<size_t>(i)] = current;
    c.clip = standin::MakeClip(std::move(frames), c.pitch, c.buffer_height);
    c.offset = random.Between(-60, 60);
}

Case MakeCase(uint32_t seed, ReferenceShelf& shelf) {
    TestRandom random(seed);
    Case c;
    c.seed = seed;
    // Now and then rows long enough for the fast kernels' stretches and flushes.
    const bool wide = random.Between(0, 39) == 0;
    const int kind = random.Between(0, 99);
    c.kind = kind < 33 ? 1 : kind < 60 ? 2 : kind < 83 ? 3 : kind < 89 ? 4 : kind < 94 ? 0 : OddValue(random);
    // Windows span 8 rows: windowed SSIM gets taller pictures, wide ones among them. VMAF
    // is measured from 17 x 17 on, and costs more: a few sizes above that.
    const int tallest = c.kind == 3 ? 20 : 12;
    c.width = wide ? random.Between(41, 480) : random.Between(1, 40);
    c.height = wide ? random.Between(1, c.kind == 3 ? 9 : 3) : random.Between(1, tallest);
    if (c.kind == 4 && random.Between(0, 7) != 0) {
        c.width = random.Between(VMAF_MIN_SIZE, 48);
        c.height = random.Between(VMAF_MIN_SIZE, 32);
    }
    c.pitch = c.width + (random.Between(0, 9) == 0 ? 0 : random.Between(1, 8));
    c.buffer_height = c.height + random.Between(0, 3);

    const int multithread = random.Between(0, 99);
    c.multithread = multithread < 45 ? 0 : multithread < 85 ? 1 : OddValue(random);
    const int load_file = random.Between(0, 99);
    c.load_file = load_file < 62 ? 0 : load_file < 92 ? 1 : OddValue(random);
    // Every 500th case chooses its file in the open-file dialog, which costs a tenth of a second.
    const bool in_dialog = seed % 500 == 0;
    if (in_dialog && c.load_file == 0) c.load_file = 1;
    c.saving = random.Between(0, 49) == 0;

    const int style = random.Between(0, 9);
    const Samples samples = style < 7 ? Samples::Video : style < 9 ? Samples::Extreme : Samples::Flat;
    if (c.load_file == 0)
        ChooseFrames(random, c, samples);
    else
        ChooseFile(random, c, samples, shelf, in_dialog);

    c.job_width = c.width;
    c.job_height = c.height;
    c.job_pitch = c.pitch;
    if (random.Between(0, 29) == 0) {
        c.shape = static_cast<JobShape>(random.Between(1, 5));
        const auto nothing = [&](int extent) {
            switch (random.Between(0, 3)) {
                case 0: return 0;
                case 1: return -extent;
                case 2: return -1;
                default: return INT_MIN;
            }
        };
        if (c.shape == JobShape::NoWidth) c.job_width = nothing(c.width);
        if (c.shape == JobShape::NoHeight) c.job_height = nothing(c.height);
        if (c.shape == JobShape::ShortPitch) {
            if (c.width == 1) c.shape = JobShape::NoWorkPicture;
            else c.job_pitch = random.Between(c.width <= 2 ? 1 : c.width / 2, c.width - 1);
        }
    }
    return c;
}

std::string Describe(const Case& c) {
    std::ostringstream text;
    text << c.width << "x" << c.height << " pitch " << c.pitch << " buffer rows " << c.buffer_height << ", kind "
         << c.kind << ", multithread " << c.multithread << ", load_file " << c.load_file << ", saving " << c.saving
         << ", job " << ShapeName(c.shape) << ", frame " << c.current << " of " << c.clip.frame_count() << ", "
         << c.note;
    if (c.load_file == 0) text << " at offset " << c.offset;
    else text << " \"" << c.file.path << "\"" << (c.browse ? " chosen in the dialog" : " typed");
    return text.str();
}

// ---------------------------------------------------------------------------------------
// The oracle

enum class TitleAfter { Unchanged, DisplayName, PsnrLine, SsimLine, WindowedSsimLine, VmafLine };

struct Expectation {
    TitleAfter title = TitleAfter::Unchanged;
    std::string exact_values;               // PSNR or windowed SSIM, before the milliseconds
    SsimOracleTriple ssim;
    const char* box = nullptr;              // the one warning box's text, or none
    std::vector<Service> services;
    bool fetches = false;
    int32_t fetched_frame = 0;
    std::vector<int32_t> vmaf_fetches;      // VMAF's frames, each after its own reservation
    bool loads = false;
    std::optional<Picture> loaded;          // what the host's loader puts into the spare buffer
};

// The W x H top-left of a picture, rows packed.
std::vector<PixelYC> TopLeft(const Picture& picture, int width, int height) {
    std::vector<PixelYC> samples;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) samples.push_back(picture.at(x, y));
    return samples;
}

// VMAF with the core as the oracle: the reference's frames before and after it in the
// clip, each fetched after its own reservation; a still picture has no motion.
void ExpectVmaf(const Case& c, const Picture& current, Expectation& e) {
    const LumaPlane distorted{current.samples.data(), current.width};
    VmafSeries series;
    if (!series.Prepare(c.width, c.height)) std::abort();
    VmafFrame frame;
    const auto take_line = [&] {
        e.box = nullptr;
        e.title = TitleAfter::VmafLine;
        const std::string line(ComposeVmafLine(frame.score, 0.0));
        e.exact_values = line.substr(0, line.size() - std::strlen("0[ms]"));
    };
    if (c.load_file != 0) {
        e.services.push_back(Service::LoadImageFile);
        e.loads = true;
        e.box = cp932::IMAGE_ERROR;
        const std::optional<Picture>& image = c.file.picture;
        if (c.file.path.empty() || !image || image->width > c.pitch || image->height > c.buffer_height) return;
        e.loaded = image;
        if (image->width < c.width || image->height < c.height) return;
        series.Begin();
        series.TakeFrame({image->samples.data(), image->width}, distorted, nullptr, &frame);
        series.End(&frame);
        take_line();
        return;
    }
    e.services.push_back(Service::FrameCount);
    e.box = cp932::FRAME_ERROR;
    const int64_t reference = int64_t{c.current} + c.offset;
    if (reference < INT_MIN || reference > INT_MAX) return;
    const int64_t count = c.clip.frame_count();
    const bool before = reference - 1 >= 0 && reference - 1 < count;
    const bool after = reference + 1 >= 0 && reference + 1 < count;
    if (!before) series.Begin();
    for (int64_t n = reference - before; n <= reference + after; ++n) {
        e.services.push_back(Service::ReserveFrameCache);
        e.services.push_back(Service::FetchFilteredFrame);
        e.vmaf_fetches.push_back(static_cast<int32_t>(n));
        if (n < 0 || n >= count || !c.clip.frames[static_cast<size_t>(n)]) return;
        const Picture& picture = *c.clip.frames[static_cast<size_t>(n)];
        if (picture.width < c.width || picture.height < c.height) return;
        const LumaPlane plane{picture.samples.data(), picture.width};
        if (n < reference) series.BeginAfter(plane, nullptr);
        else if (n == reference) series.TakeFrame(plane, distorted, nullptr, &frame);
        else series.EndBefore(plane, nullptr, &frame);
    }
    if (!after) series.End(&frame);
    take_line();
}

Expectation Expect(const Case& c) {
    Expectation e;
    e.services = {Service::IsSavingOutput};
    if (c.saving) return e;
    if (c.kind == 0) {
        e.title = TitleAfter::DisplayName;
        return e;
    }
    if (c.kind < 1 || c.kind > 4) return e;
    const int min_size = c.kind == 3 ? WINDOWED_SSIM_MIN_SIZE : c.kind == 4 ? VMAF_MIN_SIZE : 1;
    if (c.kind >= 3 && (c.job_width < min_size || c.job_height < min_size)) {
        e.title = TitleAfter::DisplayName;
        return e;
    }
    const bool file_mode = c.load_file != 0;
    if (c.shape != JobShape::Sound && !(c.shape == JobShape::NoSparePicture && !file_mode)) return e;

    const Picture& current = *c.clip.frames[static_cast<size_t>(c.current)];
    if (c.kind == 4) {
        ExpectVmaf(c, current, e);
        return e;
    }
    const Picture* reference = nullptr;
    if (!file_mode) {
        e.services.push_back(Service::ReserveFrameCache);
        const int64_t frame = int64_t{c.current} + c.offset;
        e.box = cp932::FRAME_ERROR;
        if (frame < INT_MIN || frame > INT_MAX) return e;
        e.services.push_back(Service::FetchFilteredFrame);
        e.fetches = true;
        e.fetched_frame = static_cast<int32_t>(frame);
        if (frame < 0 || frame >= c.clip.frame_count() || !c.clip.frames[static_cast<size_t>(frame)]) return e;
        reference = &*c.clip.frames[static_cast<size_t>(frame)];
    } else {
        e.services.push_back(Service::LoadImageFile);
        e.loads = true;
        e.box = cp932::IMAGE_ERROR;
        const std::optional<Picture>& image = c.file.picture;
        if (c.file.path.empty() || !image || image->width > c.pitch || image->height > c.buffer_height) return e;
        e.loaded = image;
        reference = &*image;
    }
    if (reference->width < c.width || reference->height < c.height) return e;

    e.box = nullptr;
    const std::vector<PixelYC> a = TopLeft(current, c.width, c.height);
    const std::vector<PixelYC> b = TopLeft(*reference, c.width, c.height);
    if (c.kind == 1) {
        e.title = TitleAfter::PsnrLine;
        const SquaredErrorTriple sse =
            SumSquaredErrorReference(a.data(), b.data(), c.width, c.height, c.width, nullptr);
        const std::string line(ComposePsnrLine(ReadPsnr(sse, c.width * c.height, 1, PsnrForm::LogSum), 0.0));
        e.exact_values = line.substr(0, line.size() - std::strlen("0[ms]"));
    } else if (c.kind == 2) {
        e.title = TitleAfter::SsimLine;
        e.ssim = OracleSsim(a.data(), b.data(), c.width, c.height, c.width);
    } else {
        e.title = TitleAfter::WindowedSsimLine;
        const std::string line(ComposeSsimLine(
            LiteralWindowedSsim(a.data(), b.data(), c.width, c.height, c.width, FULL_SCALE), 0.0));
        e.exact_values = line.substr(0, line.size() - std::strlen("0[ms]"));
    }
    return e;
}

// The line before its elapsed time, which must be a plain non-negative number of milliseconds.
std::optional<std::string> BeforeMilliseconds(const std::string& line) {
    const std::string unit = "[ms]";
    if (line.size() < unit.size() || line.compare(line.size() - unit.size(), unit.size(), unit) != 0)
        return std::nullopt;
    const size_t space = line.rfind(' ', line.size() - unit.size());
    if (space == std::string::npos) return std::nullopt;
    const std::string ms = line.substr(space + 1, line.size() - unit.size() - space - 1);
    if (ms.empty() || ms.front() == '-' || ms.find_first_not_of("0123456789.e+-") != std::string::npos)
        return std::nullopt;
    return line.substr(0, space + 1);
}

// ---------------------------------------------------------------------------------------
// Running a case

// The job record beside a no-access page on the side the pictures have theirs, so that a
// write past its end (or before its start) crashes.
class GuardedJob {
public:
    GuardedJob() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        mapping_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (mapping_ == nullptr) throw std::bad_alloc();
        const bool after = DefaultGuardPlacement() == GuardPlacement::After;
        DWORD old_protection;
        VirtualProtect(mapping_ + (after ? page_ : 0), page_, PAGE_NOACCESS, &old_protection);
        char* first = after ? mapping_ + page_ - sizeof(host::FrameJob) : mapping_ + page_;
        job_ = reinterpret_cast<host::FrameJob*>(first);
    }
    ~GuardedJob() { VirtualFree(mapping_, 0, MEM_RELEASE); }
    GuardedJob(const GuardedJob&) = delete;
    GuardedJob& operator=(const GuardedJob&) = delete;

    host::FrameJob& job() { return *job_; }

private:
    size_t page_ = 0;
    char* mapping_ = nullptr;
    host::FrameJob* job_ = nullptr;
};

std::vector<PixelYC> Snapshot(const GuardedPicture& picture) {
    const PixelYC* first = picture.data();
    return {first, first + static_cast<ptrdiff_t>(picture.height() - 1) * picture.pitch() + picture.width()};
}

bool SameBytes(const std::vector<PixelYC>& a, const PixelYC* b) {
    return std::memcmp(a.data(), b, a.size() * sizeof(PixelYC)) == 0;
}

// A frame the host handed out, rows `pitch` apart, is still its clip frame, gaps included.
bool FetchedFrameIntact(const PixelYC* fetched, const Picture& frame, int pitch) {
    for (int y = 0; y < frame.height; ++y) {
        const PixelYC* row = fetched + static_cast<ptrdiff_t>(y) * pitch;
        if (std::memcmp(row, &frame.at(0, y), sizeof(PixelYC) * frame.width) != 0) return false;
        for (int x = frame.width; y + 1 < frame.height && x < pitch; ++x)
            if (std::memcmp(&row[x], &GUARD_GAP_MARKER, sizeof(PixelYC)) != 0) return false;
    }
    return true;
}

struct Tally {
    int psnr = 0, ssim = 0, windowed_ssim = 0, vmaf = 0, display_name = 0, left_alone = 0, frame_boxes = 0, image_boxes = 0, odd_jobs = 0,
        dialogs = 0;
};

class Sweep {
public:
    // The settings window closed, as it often is while the host plays the clip: setting
    // the title of a visible window costs milliseconds under Wine.
    explicit Sweep(const std::string& module) : host_(module, standin::SampleClip(1, 8, 8)) {
        ShowWindow(host_.window(), SW_HIDE);
        host_.SetSpoilFetchedFrames(true);
    }

    // The first mismatch between what the plug-in did and what the oracle says, or "".
    std::string Run(const Case& c, Tally& tally) {
        host_.SetSlider(KIND, c.kind);
        host_.SetSlider(OFFSET, c.offset);
        host_.SetCheckbox(MULTITHREAD, c.multithread);
        host_.SetCheckbox(LOAD_FILE, c.load_file);
        host_.SetSavingOutput(c.saving);
        host_.SetClip(c.clip);
        if (std::string failure = ChooseReference(c, tally); !failure.empty()) return failure;
        const std::string sentinel = "case " + std::to_string(c.seed);
        SetWindowTextA(host_.window(), sentinel.c_str());

        const Picture& frame = *c.clip.frames[static_cast<size_t>(c.current)];
        GuardedPicture work(c.width, c.height, c.pitch);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) work.at(x, y) = frame.at(x, y);
        GuardedPicture spare(c.pitch, c.buffer_height, c.pitch);
        const std::vector<PixelYC> work_before = Snapshot(work);
        const std::vector<PixelYC> spare_before = Snapshot(spare);

        host::FrameJob& job = job_.job();
        TestRandom junk(~c.seed);
        for (size_t i = 0; i < sizeof job / sizeof(uint32_t); ++i) reinterpret_cast<uint32_t*>(&job)[i] = junk.Next();
        job.work_picture = c.shape == JobShape::NoWorkPicture ? nullptr : work.data();
        job.spare_picture = c.shape == JobShape::NoSparePicture ? nullptr : spare.data();
        job.width = c.job_width;
        job.height = c.job_height;
        job.max_width = c.job_pitch;
        job.frame_index = c.current;
        job.edit_handle = StandInHost::EditHandle();
        const host::FrameJob job_before = job;
        unsigned char registration_before[sizeof(host::FilterRegistration)];
        std::memcpy(registration_before, &host_.registration(), sizeof registration_before);

        host_.ClearLog();
        const int32_t returned = CallProcessFrame(host_, job);
        const Expectation e = Expect(c);
        std::ostringstream why;

        if (returned != 1) why << "returned " << returned << "; ";
        if (std::memcmp(&job, &job_before, sizeof job) != 0) why << "the job's words changed; ";
        if (std::memcmp(registration_before, &host_.registration(), sizeof registration_before) != 0)
            why << "the registration changed; ";
        if (host_.Slider(KIND) != c.kind || host_.Slider(OFFSET) != c.offset ||
            host_.Checkbox(MULTITHREAD) != c.multithread || host_.Checkbox(LOAD_FILE) != c.load_file)
            why << "a control's value changed; ";
        if (!SameBytes(work_before, work.data())) why << "the work picture or its gaps changed; ";
        // Each frame but the last is overwritten at the next service call, once the host
        // has checked it.
        const std::vector<ServiceCall> fetches = host_.CallsOf(Service::FetchFilteredFrame);
        if (!host_.FetchedFramesIntact()) why << "a fetched frame changed before the next service call; ";
        for (const ServiceCall& fetch : fetches)
            if (fetch.picture != nullptr && &fetch == &fetches.back() &&
                !FetchedFrameIntact(fetch.picture, *c.clip.frames[static_cast<size_t>(fetch.frame)], c.pitch))
                why << "the fetched frame changed; ";
        std::vector<PixelYC> spare_expected = spare_before;
        if (e.loaded)
            for (int y = 0; y < e.loaded->height; ++y)
                for (int x = 0; x < e.loaded->width; ++x)
                    spare_expected[static_cast<size_t>(y) * c.pitch + x] = e.loaded->at(x, y);
        if (!SameBytes(spare_expected, spare.data()))
            why << (e.loaded ? "the spare buffer is not the loaded image; " : "the spare buffer changed; ");

        CheckServices(c, e, job, why);
        CheckBoxes(e, why);
        CheckTitle(e, sentinel, why);
        Count(c, e, tally);
        return why.str();
    }

private:
    // Types the case's path into the edit box, or chooses it in the dialog, unless the
    // plug-in holds it already.
    std::string ChooseReference(const Case& c, Tally& tally) {
        if (c.load_file == 0 || (c.file.path == path_ && !c.browse)) return "";
        if (!c.browse) {
            host_.TypeIntoControl(PATH_EDIT, c.file.path, standin::TypingMode::ReplaceSelection);
            path_ = c.file.path;
            return "";
        }
        ++tally.dialogs;
        host_.ClearLog();
        host_.QueueFileDialogAnswer(standin::FileDialogAnswer::Open(c.file.path));
        host_.PressButton(BROWSE_BUTTON);
        path_ = c.file.path;
        if (host_.file_dialogs().size() != 1 || host_.file_dialogs()[0].refused || !host_.message_boxes().empty())
            return "the open-file dialog did not take the file";
        if (host_.redraw_count() != 1) return "no redraw after the dialog";
        if (host_.FindControl(PATH_EDIT).value().text != c.file.path)
            return "the edit box does not show the chosen path";
        return "";
    }

    void CheckServices(const Case& c, const Expectation& e, const host::FrameJob& job, std::ostringstream& why) {
        if (ServiceOrder(host_) != e.services) {
            why << "services asked for:";
            for (const ServiceCall& call : host_.calls()) why << ' ' << standin::ServiceName(call.service);
            why << "; ";
            return;
        }
        const auto check = [&](bool sound, const char* what) {
            if (!sound) why << what << "; ";
        };
        const std::vector<ServiceCall>& calls = host_.calls();
        check(calls[0].edit_handle == StandInHost::EditHandle(), "IsSavingOutput without the edit handle");
        if (e.services.size() < 2) return;
        if (!e.vmaf_fetches.empty()) {
            for (size_t i = 0; i < e.vmaf_fetches.size(); ++i) {
                const ServiceCall& reserve = calls[2 + 2 * i];
                const ServiceCall& fetch = calls[3 + 2 * i];
                check(reserve.max_width == c.pitch && reserve.height == c.height && reserve.frame_count == 60,
                      "ReserveFrameCache with other arguments");
                if (fetch.frame != e.vmaf_fetches[i])
                    why << "fetch " << i << " of frame " << fetch.frame << ", not " << e.vmaf_fetches[i] << "; ";
            }
            return;
        }
        if (!e.loads) {
            const ServiceCall& reserve = calls[1];
            check(reserve.registration == &host_.registration() && reserve.max_width == c.pitch &&
                      reserve.height == c.height && reserve.frame_count == 60 && reserve.flags == 0,
                  "ReserveFrameCache with other arguments");
        }
        if (e.fetches) {
            const ServiceCall& fetch = calls[2];
            check(fetch.registration == &host_.registration() && fetch.edit_handle == StandInHost::EditHandle(),
                  "FetchFilteredFrame without the registration or the edit handle");
            if (fetch.frame != e.fetched_frame)
                why << "fetched frame " << fetch.frame << ", not " << e.fetched_frame << "; ";
        }
        if (e.loads) {
            const ServiceCall& load = calls[1];
            check(load.destination == job.spare_picture && load.flags == 0 && !load.file_name_null,
                  "LoadImageFile with another destination or flags");
            if (load.file_name != c.file.path) why << "loaded \"" << load.file_name << "\"; ";
        }
    }

    void CheckBoxes(const Expectation& e, std::ostringstream& why) {
        const auto& boxes = host_.message_boxes();
        if (e.box == nullptr) {
            if (!boxes.empty())
                why << boxes.size() << " message box(es), the first saying \""
                    << standin::Cp932ToUtf8(boxes[0].text) << "\"; ";
            return;
        }
        if (boxes.size() != 1) {
            why << boxes.size() << " message boxes, not one; ";
            return;
        }
        const standin::MessageBoxRecord& box = boxes[0];
        if (box.text != e.box) why << "the box says \"" << standin::Cp932ToUtf8(box.text) << "\"; ";
        if (box.caption != cp932::ERROR_CAPTION || box.owner != nullptr || box.icon != standin::BoxIcon::Warning ||
            box.buttons != std::vector<int>{IDOK} || box.inside_file_dialog)
            why << "the box's caption, owner, icon or buttons differ; ";
    }

    void CheckTitle(const Expectation& e, const std::string& sentinel, std::ostringstream& why) {
        const std::string title = host_.WindowTitle();
        const auto wrong = [&](const std::string& expected) {
            why << "title \"" << standin::Cp932ToUtf8(title) << "\", expected \"" << standin::Cp932ToUtf8(expected)
                << "\"; ";
        };
        switch (e.title) {
            case TitleAfter::Unchanged:
                if (title != sentinel) wrong(sentinel);
                return;
            case TitleAfter::DisplayName:
                if (title != "Morvith") wrong("Morvith");
                return;
            case TitleAfter::PsnrLine:
            case TitleAfter::WindowedSsimLine:
            case TitleAfter::VmafLine:
                if (BeforeMilliseconds(title) != e.exact_values) wrong(e.exact_values + "<ms>[ms]");
                return;
            case TitleAfter::SsimLine: {
                const std::optional<std::string> line = BeforeMilliseconds(title);
                const std::string why = line ? CheckShownSsimValues(e.ssim, *line) : "no time at its end";
                if (!why.empty()) wrong(ExactSsimValues(e.ssim) + "<ms>[ms] (" + why + ")");
            }
        }
    }

    static void Count(const Case& c, const Expectation& e, Tally& tally) {
        if (c.shape != JobShape::Sound) ++tally.odd_jobs;
        if (e.box == cp932::FRAME_ERROR) ++tally.frame_boxes;
        if (e.box == cp932::IMAGE_ERROR) ++tally.image_boxes;
        switch (e.title) {
            case TitleAfter::PsnrLine: ++tally.psnr; break;
            case TitleAfter::SsimLine: ++tally.ssim; break;
            case TitleAfter::WindowedSsimLine: ++tally.windowed_ssim; break;
            case TitleAfter::VmafLine: ++tally.vmaf; break;
            case TitleAfter::DisplayName: ++tally.display_name; break;
            case TitleAfter::Unchanged: ++tally.left_alone; break;
        }
    }

    StandInHost host_;
    GuardedJob job_;
    std::string path_;  // what the plug-in holds as the reference path
};

// The shipped module, and those pinned at each kernel path below AVX2.
class MorvithSweep : public ::testing::TestWithParam<const char*> {};

TEST_P(MorvithSweep, WhatTheUserSeesMatchesTheReference) {
    ReferenceShelf shelf;
    Sweep sweep(PinnedModulePath(ModulePath(), GetParam()));
    Tally tally;
    const auto start = std::chrono::steady_clock::now();
    const int count = RunSweep(SweepCasesFor(GetParam(), 10000), SweepCasesFor(GetParam(), 500), [&](uint32_t seed) {
        const Case c = MakeCase(seed, shelf);
        const std::string failure = sweep.Run(c, tally);
        return failure.empty() ? failure : Describe(c) + ": " + failure;
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d cases in %.2f s (%.0f cases/s), %s placement: PSNR %d, SSIM %d, windowed SSIM %d, VMAF %d, "
                "display name %d, left alone %d, frame boxes %d, image boxes %d, odd jobs %d, dialogs %d\n",
                count, seconds, count / seconds, GuardPlacementName(DefaultGuardPlacement()), tally.psnr, tally.ssim,
                tally.windowed_ssim, tally.vmaf, tally.display_name, tally.left_alone, tally.frame_boxes, tally.image_boxes, tally.odd_jobs,
                tally.dialogs);
    // A sweep is worth its time only if every path ran; small sweeps (a rerun) are exempt.
    if (count >= 2000) {
        const int minimum = count / 200;
        EXPECT_GT(tally.psnr, minimum * 20);
        EXPECT_GT(tally.ssim, minimum * 20);
        EXPECT_GT(tally.windowed_ssim, minimum * 10);
        EXPECT_GT(tally.vmaf, minimum * 2);
        EXPECT_GT(tally.display_name, minimum);
        EXPECT_GT(tally.left_alone, minimum);
        EXPECT_GT(tally.frame_boxes, minimum);
        EXPECT_GT(tally.image_boxes, minimum);
        EXPECT_GT(tally.odd_jobs, minimum);
        EXPECT_GT(tally.dialogs, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, MorvithSweep, ::testing::ValuesIn(SweptKernelPaths()),
                         [](const auto& info) { return std::string(info.param[0] ? info.param : "cpuid"); });

}  // namespace
}  // namespace morvith::testing
