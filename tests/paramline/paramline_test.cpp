// The parameter line's fields, getters, assignment, and length limit with its warning.
#include <climits>
#include <cstring>

#include "support/log_fixture.h"
#include "velm_paramline.h"

TEST(ParamLineFields, EveryDelimiterSeparatesCountStopsAtTheFirstEmptyFieldAndIntegersSaturate) {
    // A field's number is read as atol reads it and ends with the field ("1253" by '5' is 12).
    const struct {
        const char* line;
        char delimiter;
        int index;
        const char* field;
        int count, value = 0;
    } rows[] = {{"a;b;c", ';', 2, "c", 3},
                {"a;b;c", ';', 3, "", 3},
                {"a;;c", ';', 1, "", 1},
                {"a;;c", ';', 2, "c", 1},
                {"a;b;", ';', 2, "", 2},
                {";a", ';', 0, "", 0},
                {";a", ';', 1, "a", 0},
                {"", ';', 0, "", 0},
                {nullptr, ';', 0, "", 0},
                {" 1 ; 2 ", ';', 1, " 2 ", 2, 2},
                {"x;y", ';', INT_MIN, "x", 2},
                {"x;y", ';', INT_MAX, "", 2},
                {"a;b", '\0', 0, "a;b", 1},
                {"a;b", '\0', 1, "", 1},
                {"\"a;b\"", ';', 1, "b\"", 2},
                {"12abc;-7", ';', 0, "12abc", 2, 12},
                {"12abc;-7", ';', 1, "-7", 2, -7},
                {"a;;+5", ';', 2, "+5", 1, 5},
                {"2147483647", ';', 0, "2147483647", 1, INT_MAX},
                {"2147483648", ';', 0, "2147483648", 1, INT_MAX},
                {"-2147483648", ';', 0, "-2147483648", 1, INT_MIN},
                {"-99999999999", ';', 0, "-99999999999", 1, INT_MIN},
                {"1253", '5', 0, "12", 2, 12},
                {"\t 42", ' ', 0, "\t", 2},
                {"ABC;abc", ';', 0, "ABC", 2},
                {"ABC;abc", ';', 1, "abc", 2}};  // compared exactly, case too
    for (const auto& row : rows) {
        CVELM_ParamLine line("z,y", ',');
        line = CVELM_ParamLine(row.line, row.delimiter);  // assignment takes line and delimiter
        std::string field = row.field, at = (row.line ? row.line : "") + ("#" + std::to_string(row.index));
        char out[1100];
        std::memset(out, 'G', sizeof out);
        std::vector<int> got = {line.GetParamString(row.index, out),
                                line.GetParamChar(row.index),
                                line.GetParamInt(row.index),
                                line.TestParamString(row.index, row.field),
                                line.TestParamString(row.index, (field + "x").c_str()),
                                line.GetCount(),
                                line.TestParamString(row.index, "abc"),
                                line.TestParamString(row.index, nullptr),
                                line.GetParamString(row.index, nullptr)};
        EXPECT_EQ(got, (std::vector<int>{static_cast<int>(field.size()), field.empty() ? 's' : field[0], row.value, 1,
                                         0, row.count, field == "abc", field.empty(), 0}))
            << at;
        EXPECT_EQ(std::string(out) + std::string(out + field.size() + 1, 9), field + "GGGGGGGGG") << at;
    }
}

TEST_F(LogTest, ParamLineIsCutAfter1024CharactersWithOneWarning) {
    VELM_SetLogLevel(1);
    const std::string whole = std::string(1023, 'a') + "Z", longer = whole + ";b" + std::string(3000, 'c');
    char out[2][1025];
    EXPECT_EQ(CVELM_ParamLine(whole.c_str(), ';').GetParamString(0, out[0]), 1024);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);  // a line of exactly 1024 characters draws no warning
    const CVELM_ParamLine line(longer.c_str(), ';');
    EXPECT_EQ((std::vector<std::string>{out[0], std::to_string(line.GetParamString(0, out[1])) + out[1],
                                        std::to_string(line.GetCount())}),
              (std::vector<std::string>{whole, "1024" + whole, "1"}));
    EXPECT_EQ(velm_test::session_lines(), std::vector<std::string>{"ParamLine to long"});
}
