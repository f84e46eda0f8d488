#include <iterator>

#include "region_pass.h"

namespace morvith::ex {
namespace {

constexpr const char* SLIDER_NAMES[] = {
    "種類", "横幅", "縦幅", "X座標1", "Y座標1", "X座標2", "Y座標2", "開始座標", "終了座標",
};
// Two 640 x 480 rectangles side by side at the top of the picture.
constexpr int32_t SLIDER_DEFAULTS[] = {0, 640, 480, 0, 0, 640, 0, 0, 0};
constexpr int32_t SLIDER_MINIMA[] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr int32_t SLIDER_MAXIMA[] = {2, 1920, 1080, 3839, 2159, 3839, 2159, 99999, 999998};

constexpr const char* CHECKBOX_NAMES[] = {"平均値", "枠線"};
constexpr int32_t CHECKBOX_DEFAULTS[] = {0, 1};

static_assert(std::size(SLIDER_NAMES) == std::size(SLIDER_DEFAULTS) &&
              std::size(SLIDER_NAMES) == std::size(SLIDER_MINIMA) &&
              std::size(SLIDER_NAMES) == std::size(SLIDER_MAXIMA));
static_assert(std::size(CHECKBOX_NAMES) == std::size(CHECKBOX_DEFAULTS));

constexpr char INFO_TEXT[] = "Morvith ex version " MORVITH_VERSION " by the Morvith project";

}  // namespace
}  // namespace morvith::ex

namespace morvith::host {

constinit FilterRegistration filter_registration = {
    .feature_flags = FILTER_FLAG_HAS_INFO,
    .window_width = 0,
    .window_height = 0,
    .display_name = ex::DISPLAY_NAME,
    .slider_count = static_cast<int32_t>(std::size(ex::SLIDER_NAMES)),
    .slider_names = ex::SLIDER_NAMES,
    .slider_defaults = ex::SLIDER_DEFAULTS,
    .slider_minima = ex::SLIDER_MINIMA,
    .slider_maxima = ex::SLIDER_MAXIMA,
    .checkbox_count = static_cast<int32_t>(std::size(ex::CHECKBOX_NAMES)),
    .checkbox_names = ex::CHECKBOX_NAMES,
    .checkbox_defaults = ex::CHECKBOX_DEFAULTS,
    .process_callback = ex::ProcessFrame,
    .unused_52 = {},
    .window_callback = nullptr,
    .slider_values = nullptr,
    .checkbox_values = nullptr,
    .unused_76 = {},
    .info_text = ex::INFO_TEXT,
    .unused_88 = {},
    .services = nullptr,
    .window = nullptr,
    .instance = nullptr,
    .unused_108 = {},
};

}  // namespace morvith::host
