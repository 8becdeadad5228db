// The parameter line on arbitrary lines, delimiters and field indices: every
// getter agrees with the field that GetParamString hands out, in a buffer of
// exactly the 1025 bytes the interface asks for.
#include "fuzz_support.h"
#include "velm_paramline.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // An over-long line is reported through the log.
    velm_fuzz::quiet_log();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    char delimiter = in.ConsumeIntegral<char>();
    bool null_line = in.ConsumeProbability<float>() < 0.02f;
    std::string text = velm_fuzz::text(in, 1500);
    velm_fuzz::ExactBuffer line = velm_fuzz::exact_copy(text);
    CVELM_ParamLine parsed(null_line ? nullptr : line.data(), delimiter);
    CVELM_ParamLine copy("", ';');
    copy = parsed;

    int count = copy.GetCount();
    FUZZ_CHECK(count >= 0 && count <= 1025);
    velm_fuzz::ExactBuffer field(1025);
    while (in.remaining_bytes() > 0) {
        int index = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, count + 2)
                                     : in.ConsumeIntegral<int>();
        int length = copy.GetParamString(index, field.data());
        FUZZ_CHECK(length >= 0 && length <= 1024);
        FUZZ_CHECK(std::strlen(field.data()) == static_cast<std::size_t>(length));
        FUZZ_CHECK(copy.GetParamChar(index) == (length ? field.data()[0] : 's'));
        FUZZ_CHECK(copy.TestParamString(index, field.data()) == 1);
        FUZZ_CHECK(copy.TestParamString(index, nullptr) == (length == 0));
        FUZZ_CHECK(index < 0 || index >= count || length > 0);
        FUZZ_CHECK(length || copy.GetParamInt(index) == 0);
        copy.GetParamInt(index);
        FUZZ_CHECK(copy.GetParamString(index, nullptr) == 0);
    }
    return 0;
}
