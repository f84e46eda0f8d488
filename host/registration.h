#pragma once

// Builds a plug-in's registration record from its tables at compile time. The parallel
// slider arrays (names, start values, minima, maxima) and checkbox arrays are taken by
// reference to arrays, so tables of unequal length do not compile. Every word that the
// host fills, and every unused word, starts as zero.

#include <cstddef>

#include "filter_abi.h"

namespace morvith::host {

struct PluginIdentity {
    uint32_t feature_flags;
    int32_t window_width;
    int32_t window_height;
    const char* display_name;
    const char* info_text;
    ProcessCallback process_callback;
    WindowCallback window_callback;
};

template <size_t SLIDERS, size_t CHECKBOXES>
constexpr FilterRegistration MakeRegistration(const PluginIdentity& identity,
                                              const char* const (&slider_names)[SLIDERS],
                                              const int32_t (&slider_defaults)[SLIDERS],
                                              const int32_t (&slider_minima)[SLIDERS],
                                              const int32_t (&slider_maxima)[SLIDERS],
                                              const char* const (&checkbox_names)[CHECKBOXES],
                                              const int32_t (&checkbox_defaults)[CHECKBOXES]) {
    FilterRegistration r{};
    r.feature_flags = identity.feature_flags;
    r.window_width = identity.window_width;
    r.window_height = identity.window_height;
    r.display_name = identity.display_name;
    r.slider_count = static_cast<int32_t>(SLIDERS);
    r.slider_names = slider_names;
    r.slider_defaults = slider_defaults;
    r.slider_minima = slider_minima;
    r.slider_maxima = slider_maxima;
    r.checkbox_count = static_cast<int32_t>(CHECKBOXES);
    r.checkbox_names = checkbox_names;
    r.checkbox_defaults = checkbox_defaults;
    r.process_callback = identity.process_callback;
    r.window_callback = identity.window_callback;
    r.info_text = identity.info_text;
    return r;
}

}  // namespace morvith::host
