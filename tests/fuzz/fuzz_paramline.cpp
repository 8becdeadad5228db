// Every getter agrees with the field GetParamString hands out into exactly the 1025 bytes asked for.
#include "fuzz_support.h"
#include "velm_paramline.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return velm_fuzz::quiet_log(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    char delimiter = in.ConsumeIntegral<char>();
    bool null_line = in.ConsumeProbability<float>() < 0.02f;
    velm_fuzz::Buffer line(velm_fuzz::text(in, 1500)), field(1025);
    CVELM_ParamLine parsed(null_line ? nullptr : line.get(), delimiter), copy("", ';');
    copy = parsed;
    int count = copy.GetCount();
    FUZZ_CHECK(count >= 0 && count <= 1025);
    while (in.remaining_bytes() > 0) {
        int index = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, count + 2) : in.ConsumeIntegral<int>();
        int length = copy.GetParamString(index, field);
        FUZZ_CHECK(std::strlen(field) == static_cast<std::size_t>(length));  // hence 0 to 1024
        FUZZ_CHECK(copy.GetParamChar(index) == (length ? *field : 's') && copy.TestParamString(index, field) == 1);
        FUZZ_CHECK(copy.TestParamString(index, nullptr) == (length == 0) && copy.GetParamString(index, nullptr) == 0);
        FUZZ_CHECK((index < 0 || index >= count || length > 0) && (length || copy.GetParamInt(index) == 0));
    }
    return 0;
}
