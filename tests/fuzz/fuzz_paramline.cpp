// The parameter line against a model: the line cut at 1024 characters, split at every delimiter.
#include <climits>

#include "fuzz_support.h"
#include "velm_paramline.h"

// The fields of line as the model sees them: a NUL delimiter never splits.
static std::vector<std::string> fields_of(const std::string& line, char delimiter) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == delimiter) fields.emplace_back();
        if (c != delimiter) fields.back() += c;
    }
    return fields;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) { return velm_fuzz::quiet_log(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const char delimiter = in.ConsumeIntegral<char>();
    const bool nullLine = in.ConsumeIntegralInRange(0, 15) == 0;
    const std::string text = nullLine ? "" : velm_fuzz::text(in, 3000);
    CVELM_ParamLine line("z,y", ',');
    line = CVELM_ParamLine(nullLine ? nullptr : text.c_str(), delimiter);
    const std::vector<std::string> fields = fields_of(text.substr(0, 1024), delimiter);
    FUZZ_CHECK(line.GetCount() == std::find(fields.begin(), fields.end(), std::string()) - fields.begin());
    const int last = static_cast<int>(fields.size());
    while (in.remaining_bytes() > 0) {
        const int index = in.ConsumeBool() ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(-1, last);
        const std::string field = index < 0 ? fields[0] : index < last ? fields[index] : "";
        velm_fuzz::Buffer out(1025);
        FUZZ_CHECK(line.GetParamString(index, out) == static_cast<int>(field.size()) && out.get() == field);
        FUZZ_CHECK(line.GetParamChar(index) == (field.empty() ? 's' : field[0]));
        // The field's leading integer as atol reads it, saturated at the int range.
        FUZZ_CHECK(line.GetParamInt(index) ==
                   std::clamp<long long>(std::strtoll(field.c_str(), nullptr, 10), INT_MIN, INT_MAX));
        const std::string probe = in.ConsumeBool() ? field : velm_fuzz::text(in, 40);
        FUZZ_CHECK(line.TestParamString(index, velm_fuzz::Buffer(probe)) == (probe == field));
        FUZZ_CHECK(line.TestParamString(index, nullptr) == field.empty());
    }
    return 0;
}
