#include <iterator>

#include "morvith.h"

namespace morvith::comparator {
namespace {

constexpr const char* SLIDER_NAMES[] = {"種類", "座標"};
constexpr int32_t SLIDER_DEFAULTS[] = {0, 0};
constexpr int32_t SLIDER_MINIMA[] = {0, -60};
constexpr int32_t SLIDER_MAXIMA[] = {2, 60};

constexpr const char* CHECKBOX_NAMES[] = {"マルチスレッド", "ファイル読み込み"};
constexpr int32_t CHECKBOX_DEFAULTS[] = {0, 0};

static_assert(std::size(SLIDER_NAMES) == std::size(SLIDER_DEFAULTS) &&
              std::size(SLIDER_NAMES) == std::size(SLIDER_MINIMA) &&
              std::size(SLIDER_NAMES) == std::size(SLIDER_MAXIMA));
static_assert(std::size(CHECKBOX_NAMES) == std::size(CHECKBOX_DEFAULTS));

constexpr char INFO_TEXT[] = "Morvith version " MORVITH_VERSION " by the Morvith project";

}  // namespace
}  // namespace morvith::comparator

namespace morvith::host {

// The host writes the words left null here before it first calls a callback.
constinit FilterRegistration filter_registration = {
    .feature_flags = FILTER_FLAG_HAS_INFO | FILTER_FLAG_HAS_WINDOW,
    .window_width = 320,
    .window_height = 160,
    .display_name = comparator::DISPLAY_NAME,
    .slider_count = static_cast<int32_t>(std::size(comparator::SLIDER_NAMES)),
    .slider_names = comparator::SLIDER_NAMES,
    .slider_defaults = comparator::SLIDER_DEFAULTS,
    .slider_minima = comparator::SLIDER_MINIMA,
    .slider_maxima = comparator::SLIDER_MAXIMA,
    .checkbox_count = static_cast<int32_t>(std::size(comparator::CHECKBOX_NAMES)),
    .checkbox_names = comparator::CHECKBOX_NAMES,
    .checkbox_defaults = comparator::CHECKBOX_DEFAULTS,
    .process_callback = comparator::ProcessFrame,
    .unused_52 = {},
    .window_callback = comparator::HandleWindowMessage,
    .slider_values = nullptr,
    .checkbox_values = nullptr,
    .unused_76 = {},
    .info_text = comparator::INFO_TEXT,
    .unused_88 = {},
    .services = nullptr,
    .window = nullptr,
    .instance = nullptr,
    .unused_108 = {},
};

}  // namespace morvith::host
