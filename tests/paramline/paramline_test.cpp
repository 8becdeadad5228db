// The parameter line's fields, getters, assignment, and length limit with its warning.
#include <climits>

#include "support/log_fixture.h"
#include "velm_paramline.h"

class ParamLineFields : public LogTest {};

// A line is cut after 1024 characters, with one warning; a field's number is read as atol reads it and ends with
// the field ("1253" by '5' is 12).
TEST_F(ParamLineFields, EveryDelimiterSeparatesCountStopsAtTheFirstEmptyFieldAndIntegersSaturate) {
    VELM_SetLogLevel(1);
    const std::string whole = std::string(1023, 'a') + "Z", longer = whole + ";b" + std::string(3000, 'c');
    const struct {
        const char* line;
        char delimiter;
        int index;
        const char* field;
        int count, value = 0;
    } rows[] = {{"a;b;c", ';', 3, "", 3},
                {"a;;c", ';', 1, "", 1},
                {"a;;c", ';', 2, "c", 1},
                {";a", ';', 1, "a", 0},
                {nullptr, ';', 0, "", 0},
                {" 1 ; 2 ", ';', 1, " 2 ", 2, 2},
                {"x;y", ';', INT_MIN, "x", 2},
                {"x;y", ';', INT_MAX, "", 2},
                {"a;b", '\0', 0, "a;b", 1},
                {"12abc;-7", ';', 0, "12abc", 2, 12},
                {"2147483648", ';', 0, "2147483648", 1, INT_MAX},
                {"-99999999999", ';', 0, "-99999999999", 1, INT_MIN},
                {"1253", '5', 0, "12", 2, 12},
                {"ABC;abc", ';', 0, "ABC", 2},  // compared exactly, case too
                {whole.c_str(), ';', 0, whole.c_str(), 1},
                {longer.c_str(), ';', 0, whole.c_str(), 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.line ? row.line : "(null)") + " field " + std::to_string(row.index));
        CVELM_ParamLine line("z,y", ',');
        line = CVELM_ParamLine(row.line, row.delimiter);  // assignment takes line and delimiter
        const std::string field = row.field;
        std::string out(1100, 'G');
        EXPECT_EQ(line.GetParamString(row.index, &out[0]), static_cast<int>(field.size()));
        EXPECT_EQ(out.substr(0, field.size() + 10), field + '\0' + "GGGGGGGGG");
        EXPECT_EQ(line.GetParamChar(row.index), field.empty() ? 's' : field[0]);
        EXPECT_EQ(line.GetParamInt(row.index), row.value);
        EXPECT_EQ(line.GetCount(), row.count);
        EXPECT_EQ(line.TestParamString(row.index, row.field), 1);
        EXPECT_EQ(line.TestParamString(row.index, (field + "x").c_str()), 0);
        EXPECT_EQ(line.TestParamString(row.index, "abc"), field == "abc");
        EXPECT_EQ(line.TestParamString(row.index, nullptr), field.empty());
        EXPECT_EQ(line.GetParamString(row.index, nullptr), 0);
    }
    EXPECT_EQ(velm_test::session_lines(), std::vector<std::string>{"ParamLine to long"});
}
