#include "morvith.h"
#include "registration.h"

namespace morvith::comparator {
namespace {

constexpr const char* SLIDER_NAMES[] = {"種類", "座標"};
constexpr int32_t SLIDER_DEFAULTS[] = {0, 0};
constexpr int32_t SLIDER_MINIMA[] = {0, -60};
constexpr int32_t SLIDER_MAXIMA[] = {4, 60};

constexpr const char* CHECKBOX_NAMES[] = {"マルチスレッド", "ファイル読み込み"};
constexpr int32_t CHECKBOX_DEFAULTS[] = {0, 0};

constexpr char INFO_TEXT[] = "Morvith version " MORVITH_VERSION " by the Morvith project";

}  // namespace
}  // namespace morvith::comparator

namespace morvith::host {

// The host writes the words left null here before it first calls a callback.
constinit FilterRegistration filter_registration = MakeRegistration(
    {
        .feature_flags = FILTER_FLAG_HAS_INFO | FILTER_FLAG_HAS_WINDOW,
        .window_width = 320,
        .window_height = 160,
        .display_name = comparator::DISPLAY_NAME,
        .info_text = comparator::INFO_TEXT,
        .process_callback = comparator::ProcessFrame,
        .window_callback = comparator::HandleWindowMessage,
    },
    comparator::SLIDER_NAMES, comparator::SLIDER_DEFAULTS, comparator::SLIDER_MINIMA, comparator::SLIDER_MAXIMA,
    comparator::CHECKBOX_NAMES, comparator::CHECKBOX_DEFAULTS);

}  // namespace morvith::host
