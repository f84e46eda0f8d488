#include "region_pass.h"
#include "report_commands.h"
#include "report_graph.h"
#include "registration.h"

namespace morvith::ex {
namespace {

constexpr const char* SLIDER_NAMES[] = {
    "種類", "横幅", "縦幅", "X座標1", "Y座標1", "X座標2", "Y座標2", "開始座標", "終了座標",
};
// Two 640 x 480 rectangles side by side at the top of the picture.
constexpr int32_t SLIDER_DEFAULTS[] = {0, 640, 480, 0, 0, 640, 0, 0, 0};
constexpr int32_t SLIDER_MINIMA[] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr int32_t SLIDER_MAXIMA[] = {4, 1920, 1080, 3839, 2159, 3839, 2159, 99999, 999998};

constexpr const char* CHECKBOX_NAMES[] = {"平均値", "枠線"};
constexpr int32_t CHECKBOX_DEFAULTS[] = {0, 1};

constexpr char INFO_TEXT[] = "Morvith ex version " MORVITH_VERSION " by the Morvith project";

}  // namespace
}  // namespace morvith::ex

namespace morvith::host {

constinit FilterRegistration filter_registration = MakeRegistration(
    {
        .feature_flags = FILTER_FLAG_HAS_INFO | FILTER_FLAG_HAS_WINDOW | FILTER_FLAG_EXPORT,
        // The host lays out its controls in its standard size; the graph goes below them.
        .window_width = WINDOW_SIZE_ADDED,  // nothing added to the width
        .window_height = WINDOW_SIZE_ADDED | ex::REPORT_GRAPH_HEIGHT,
        .display_name = ex::DISPLAY_NAME,
        .info_text = ex::INFO_TEXT,
        .process_callback = ex::ProcessFrame,
        .window_callback = ex::HandleWindowMessage,
    },
    ex::SLIDER_NAMES, ex::SLIDER_DEFAULTS, ex::SLIDER_MINIMA, ex::SLIDER_MAXIMA,
    ex::CHECKBOX_NAMES, ex::CHECKBOX_DEFAULTS);

}  // namespace morvith::host
