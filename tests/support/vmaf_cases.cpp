#include "vmaf_cases.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace morvith::testing {
namespace {

// Just enough JSON for the cases' files: objects, arrays, numbers, strings without
// escapes, true, false, null.
struct JsonValue {
    enum class Kind { Null, Number, String, Array, Object } kind = Kind::Null;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    const JsonValue& at(const std::string& key) const {
        const auto found = members.find(key);
        if (kind != Kind::Object || found == members.end())
            throw std::runtime_error("no member " + key);
        return found->second;
    }
    double Number() const {
        if (kind != Kind::Number) throw std::runtime_error("not a number");
        return number;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    JsonValue ReadDocument() {
        JsonValue value = ReadValue();
        SkipSpace();
        if (at_ != text_.size()) Fail("text after the document");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error(what + " at byte " + std::to_string(at_));
    }
    void SkipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
    }
    bool Take(char c) {
        SkipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Take(c)) Fail(std::string("expected ") + c);
    }
    std::string ReadString() {
        Expect('"');
        const size_t end = text_.find('"', at_);
        if (end == std::string::npos) Fail("unterminated string");
        std::string s = text_.substr(at_, end - at_);
        if (s.find('\\') != std::string::npos) Fail("escapes are not expected");
        at_ = end + 1;
        return s;
    }
    JsonValue ReadValue() {
        SkipSpace();
        if (at_ >= text_.size()) Fail("end of text");
        JsonValue value;
        const char c = text_[at_];
        if (c == '{') {
            value.kind = JsonValue::Kind::Object;
            ++at_;
            if (Take('}')) return value;
            do {
                std::string key = ReadString();
                Expect(':');
                value.members[key] = ReadValue();
            } while (Take(','));
            Expect('}');
        } else if (c == '[') {
            value.kind = JsonValue::Kind::Array;
            ++at_;
            if (Take(']')) return value;
            do value.items.push_back(ReadValue());
            while (Take(','));
            Expect(']');
        } else if (c == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = ReadString();
        } else if (text_.compare(at_, 4, "true") == 0 || text_.compare(at_, 4, "null") == 0) {
            at_ += 4;
        } else if (text_.compare(at_, 5, "false") == 0) {
            at_ += 5;
        } else {
            char* end = nullptr;
            value.kind = JsonValue::Kind::Number;
            value.number = std::strtod(text_.c_str() + at_, &end);
            if (end == text_.c_str() + at_) Fail("unexpected character");
            at_ = static_cast<size_t>(end - text_.c_str());
        }
        return value;
    }

    const std::string& text_;
    size_t at_ = 0;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<int16_t> ReadSamples(const std::string& path, size_t count) {
    const std::string bytes = ReadFile(path);
    if (bytes.size() != count * 2) throw std::runtime_error(path + " is not of the clip's size");
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        const auto low = static_cast<uint8_t>(bytes[2 * i]);
        const auto high = static_cast<uint8_t>(bytes[2 * i + 1]);
        samples[i] = static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8)));
    }
    return samples;
}

VmafPooled ReadPooled(const JsonValue& value) {
    return {value.at("min").Number(), value.at("max").Number(), value.at("mean").Number(),
            value.at("harmonic_mean").Number()};
}

}  // namespace

const std::vector<std::string>& VmafCaseNames() {
    static const std::vector<std::string> names = {
        "testsrc2-blur",         "mandelbrot-mpeg4",   "life-noise-odd",  "testsrc2-same",
        "cellauto-beyond-range", "gradients-smallest", "smptehdbars-x264"};
    return names;
}

VmafCase LoadVmafCase(const std::string& name) {
    const std::string folder = MORVITH_TEST_DATA_DIR "/vmaf/";
    const JsonValue document = JsonReader(ReadFile(folder + name + ".json")).ReadDocument();
    VmafCase clip;
    clip.name = name;
    clip.width = static_cast<int>(document.at("width").Number());
    clip.height = static_cast<int>(document.at("height").Number());
    clip.frame_count = static_cast<int>(document.at("frame_count").Number());
    const JsonValue& frames = document.at("frames");
    if (clip.width < 1 || clip.height < 1 || clip.frame_count < 1 ||
        frames.items.size() != static_cast<size_t>(clip.frame_count))
        throw std::runtime_error(name + ": frames do not match frame_count");
    for (const JsonValue& frame : frames.items) {
        std::map<std::string, double> metrics;
        for (const auto& [key, value] : frame.at("metrics").members) metrics[key] = value.Number();
        clip.metrics.push_back(std::move(metrics));
    }
    const JsonValue& pooled = document.at("pooled_metrics");
    clip.pooled_vmaf_float = ReadPooled(pooled.at("vmaf_float"));
    clip.pooled_vmaf = ReadPooled(pooled.at("vmaf"));
    const size_t samples = static_cast<size_t>(clip.frame_count) * clip.width * clip.height;
    clip.reference = ReadSamples(folder + name + ".ref.y12", samples);
    clip.distorted = ReadSamples(folder + name + ".dis.y12", samples);
    return clip;
}

}  // namespace morvith::testing
