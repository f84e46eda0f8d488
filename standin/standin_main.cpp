// standin_host: runs a plug-in module on a built-in clip as the editor would, and prints
// what its user would see: the settings window's title after each frame and every
// message box (answered with OK).
//
//   standin_host MODULE [--clip sample|side-by-side] [--length N] [--frames A-B]
//                [--slider I=V]... [--check I=V]... [--reference PATH]
//                [--write-reference-bmp PATH FRAME] [--raw-title] [--screenshot PNG]
//                [--preview PNG] [--scale N] [--titles] [--menu ID] [--export PATH]
//
// --titles prints every title the plug-in set while each frame was processed; --menu
// chooses the plug-in's Edit menu item ID after the frames, and prints where the editor
// moved and what the render that followed showed; --export chooses File > Export after
// that, names PATH in the save dialog and prints the file's first lines.
//
// --screenshot saves the settings window after the last frame; --preview saves the last
// frame's picture as the plug-in handed it back, as the editor's preview would show it.
// --scale enlarges both by a whole factor (1 to 8) so that small text stays legible.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "standin_host.h"

using namespace morvith::standin;

namespace {

constexpr int PATH_EDIT_ID = 40002;  // morvith's reference path box
constexpr int SAMPLE_WIDTH = 640;
constexpr int SAMPLE_HEIGHT = 360;

struct Options {
    std::string module;
    bool side_by_side = false;
    int length = 10;
    int first_frame = 0;
    int last_frame = 2;
    std::vector<std::pair<int, int>> sliders;
    std::vector<std::pair<int, int>> checkboxes;
    std::string reference;
    std::string bmp_path;
    int bmp_frame = -1;
    bool raw_title = false;
    std::string screenshot;
    std::string preview;
    int scale = 1;
    bool titles = false;
    int menu_id = -1;
    std::string export_path;
};

[[noreturn]] void Usage(const std::string& problem) {
    std::fprintf(stderr,
                 "standin_host: %s\n"
                 "usage: standin_host MODULE [--clip sample|side-by-side] [--length N] [--frames A-B]\n"
                 "                    [--slider I=V]... [--check I=V]... [--reference PATH]\n"
                 "                    [--write-reference-bmp PATH FRAME] [--raw-title] [--screenshot PNG]\n"
                 "                    [--preview PNG] [--scale N] [--titles] [--menu ID] [--export PATH]\n",
                 problem.c_str());
    std::exit(2);
}

int ParseInt(const std::string& text, const char* what) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') Usage(std::string("not a number for ") + what + ": " + text);
    return static_cast<int>(value);
}

std::pair<int, int> ParseAssignment(const std::string& text, const char* what) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) Usage(std::string(what) + " wants I=V, not " + text);
    return {ParseInt(text.substr(0, equals), what), ParseInt(text.substr(equals + 1), what)};
}

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage(argument + " needs a value");
            return argv[++i];
        };
        if (argument == "--clip") {
            const std::string clip = value();
            if (clip != "sample" && clip != "side-by-side") Usage("unknown clip " + clip);
            options.side_by_side = clip == "side-by-side";
        } else if (argument == "--length") {
            options.length = ParseInt(value(), "--length");
        } else if (argument == "--frames") {
            const std::string range = value();
            const size_t dash = range.find('-', 1);
            options.first_frame = ParseInt(range.substr(0, dash), "--frames");
            options.last_frame = dash == std::string::npos ? options.first_frame
                                                           : ParseInt(range.substr(dash + 1), "--frames");
        } else if (argument == "--slider") {
            options.sliders.push_back(ParseAssignment(value(), "--slider"));
        } else if (argument == "--check") {
            options.checkboxes.push_back(ParseAssignment(value(), "--check"));
        } else if (argument == "--reference") {
            options.reference = HostPath(value());
        } else if (argument == "--write-reference-bmp") {
            options.bmp_path = HostPath(value());
            options.bmp_frame = ParseInt(value(), "--write-reference-bmp");
        } else if (argument == "--screenshot") {
            options.screenshot = HostPath(value());
        } else if (argument == "--preview") {
            options.preview = HostPath(value());
        } else if (argument == "--scale") {
            options.scale = ParseInt(value(), "--scale");
        } else if (argument == "--titles") {
            options.titles = true;
        } else if (argument == "--menu") {
            options.menu_id = ParseInt(value(), "--menu");
        } else if (argument == "--export") {
            options.export_path = HostPath(value());
        } else if (argument == "--raw-title") {
            options.raw_title = true;
        } else if (!argument.empty() && argument[0] == '-') {
            Usage("unknown option " + argument);
        } else if (options.module.empty()) {
            options.module = argument;
        } else {
            Usage("one module only");
        }
    }
    if (options.module.empty()) Usage("no module given");
    if (options.length < 1) Usage("the clip needs at least one frame");
    if (options.first_frame < 0 || options.last_frame < options.first_frame || options.last_frame >= options.length)
        Usage("the frames must lie in the clip (0-" + std::to_string(options.length - 1) + ")");
    if (options.scale < 1 || options.scale > 8) Usage("the scale must lie in 1-8");
    if (!options.bmp_path.empty() && (options.bmp_frame < 0 || options.bmp_frame >= options.length))
        Usage("the bitmap's frame must lie in the clip");
    return options;
}

std::string Shown(const std::string& cp932, bool raw) { return raw ? cp932 : Cp932ToUtf8(cp932); }

const char* ButtonName(int id) {
    switch (id) {
        case IDOK: return "OK";
        case IDCANCEL: return "Cancel";
        case IDYES: return "Yes";
        case IDNO: return "No";
        default: return "another button";
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    try {
        Clip clip = options.side_by_side ? SideBySideClip(options.length, SAMPLE_WIDTH, SAMPLE_HEIGHT)
                                         : SampleClip(options.length, SAMPLE_WIDTH, SAMPLE_HEIGHT);
        if (!options.bmp_path.empty()) {
            if (!WriteBmp24(options.bmp_path, PictureToRgb(*clip.frames[options.bmp_frame])))
                throw std::runtime_error("cannot write " + options.bmp_path);
            std::printf("wrote frame %d of the clip to %s\n", options.bmp_frame, options.bmp_path.c_str());
        }

        StandInHost host(HostPath(options.module), std::move(clip));
        std::printf("%s: %d x %d clip of %d frames (%s)\n", Shown(host.WindowTitle(), options.raw_title).c_str(),
                    host.clip().max_width, host.clip().max_height, options.length,
                    options.side_by_side ? "side by side" : "sample");
        for (const auto& [index, value] : options.sliders) host.SetSlider(index, value);
        for (const auto& [index, value] : options.checkboxes) host.SetCheckbox(index, value);
        if (!options.screenshot.empty()) host.ShowHostControls();
        if (!options.reference.empty()) {
            if (!host.FindControl(PATH_EDIT_ID)) throw std::runtime_error("the module has no path box to type into");
            host.TypeIntoControl(PATH_EDIT_ID, options.reference);
            std::printf("typed %s into the path box\n", options.reference.c_str());
        }

        size_t boxes_shown = 0;
        const auto print_boxes = [&] {
            for (; boxes_shown < host.message_boxes().size(); ++boxes_shown) {
                const MessageBoxRecord& box = host.message_boxes()[boxes_shown];
                std::printf("  message box \"%s\": %s [%s]\n", Shown(box.caption, options.raw_title).c_str(),
                            Shown(box.text, options.raw_title).c_str(), ButtonName(box.answer));
            }
        };
        Picture last_picture;
        for (int frame = options.first_frame; frame <= options.last_frame; ++frame) {
            const size_t titles_before = host.titles().size();
            FrameResult result = host.ProcessFrame(frame);
            last_picture = std::move(result.work_after);
            print_boxes();
            if (options.titles) {
                for (size_t i = titles_before; i < host.titles().size(); ++i)
                    std::printf("  title: %s\n", Shown(host.titles()[i].text, options.raw_title).c_str());
            }
            std::printf("frame %d: %s\n", frame, Shown(result.title, options.raw_title).c_str());
        }
        // From here a nonzero window callback renders the frame again, as the editor does; the
        // reference typed above asked for none of those renders.
        host.SetRenderOnWindowResult(true);
        if (options.menu_id >= 0) {
            const size_t fetches_before = host.CallsOf(Service::FetchFilteredFrame).size();
            const size_t moves_before = host.CallsOf(Service::MoveToFrame).size();
            const size_t renders_before = host.renders().size();
            std::string item_name = "(no such item)";
            for (const ServiceCall& item : host.MenuItems())
                if (item.id == options.menu_id) item_name = Shown(item.name, options.raw_title);
            if (!host.ChooseMenuItem(options.menu_id)) throw std::runtime_error("the plug-in added no such menu item");
            print_boxes();
            const std::vector<ServiceCall> moves = host.CallsOf(Service::MoveToFrame);
            std::printf("Edit > %s > %s: ", Shown(host.registration().display_name, options.raw_title).c_str(),
                        item_name.c_str());
            if (moves.size() == moves_before) {
                std::printf("the editor stays where it is\n");
            } else {
                std::printf("the editor moves to frame %d\n", moves.back().result);
            }
            for (size_t i = renders_before; i < host.renders().size(); ++i) {
                std::printf("frame %d rendered again: %s (%zu frames fetched)\n", host.CurrentFrame(),
                            Shown(host.renders()[i].title, options.raw_title).c_str(),
                            host.CallsOf(Service::FetchFilteredFrame).size() - fetches_before);
            }
        }
        if (!options.export_path.empty()) {
            host.QueueFileDialogAnswer(FileDialogAnswer::Open(options.export_path));
            if (!host.ChooseExport()) throw std::runtime_error("the plug-in has no File > Export entry");
            print_boxes();
            std::ifstream written(options.export_path, std::ios::binary);
            std::printf("File > Export > %s as %s:\n", Shown(host.registration().display_name, options.raw_title).c_str(),
                        options.export_path.c_str());
            if (!written.is_open()) std::printf("  (no file written)\n");
            std::string line;
            for (int shown = 0; shown < 6 && std::getline(written, line); ++shown) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                std::printf("  %s\n", line.c_str());
            }
        }
        if (!options.screenshot.empty()) {
            if (!host.CaptureWindow(options.screenshot, options.scale))
                throw std::runtime_error("cannot write " + options.screenshot);
            std::printf("saved the settings window as %s\n", options.screenshot.c_str());
        }
        if (!options.preview.empty()) {
            if (!WritePng(options.preview, PictureToRgb(last_picture), options.scale))
                throw std::runtime_error("cannot write " + options.preview);
            std::printf("saved frame %d as the plug-in handed it back as %s\n", options.last_frame,
                        options.preview.c_str());
        }
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "standin_host: %s\n", error.what());
        return 1;
    }
}
