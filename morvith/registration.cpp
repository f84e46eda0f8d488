#include "morvith.h"

namespace morvith::comparator {
namespace {

constexpr const char* SLIDER_NAMES[] = {"種類", "座標"};
constexpr int32_t SLIDER_DEFAULTS[] = {0, 0};
constexpr int32_t SLIDER_MINIMA[] = {0, -60};
constexpr int32_t SLIDER_MAXIMA[] = {2, 60};

constexpr const char* CHECKBOX_NAMES[] = {"マルチスレッド", "ファイル読み込み"};
constexpr int32_t CHECKBOX_DEFAULTS[] = {0, 0};

constexpr char INFO_TEXT[] = "Morvith version " MORVITH_VERSION " by the Morvith project";

}  // namespace
}  // namespace morvith::comparator

namespace morvith::host {

using namespace morvith::comparator;

constinit FilterRegistration filter_registration = {
    .feature_flags = FILTER_FLAG_HAS_INFO | FILTER_FLAG_HAS_WINDOW,
    .window_width = 320,
    .window_height = 160,
    .display_name = DISPLAY_NAME,
    .slider_count = 2,
    .slider_names = SLIDER_NAMES,
    .slider_defaults = SLIDER_DEFAULTS,
    .slider_minima = SLIDER_MINIMA,
    .slider_maxima = SLIDER_MAXIMA,
    .checkbox_count = 2,
    .checkbox_names = CHECKBOX_NAMES,
    .checkbox_defaults = CHECKBOX_DEFAULTS,
    .process_callback = ProcessFrame,
    .window_callback = HandleWindowMessage,
    .info_text = INFO_TEXT,
};

}  // namespace morvith::host
