// Reads the version resource of each file named after the expected version
// with GetFileVersionInfo and checks the fixed and the string versions and
// the names; prints every mismatch and fails if there was one.
//
//   version_info_test VERSION FILE...
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

void expect(bool ok, const std::string& file, const std::string& what) {
    if (ok) return;
    std::printf("%s: %s\n", file.c_str(), what.c_str());
    ++failures;
}

std::string base_name(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

// The string value NAME of the U.S. English Unicode table, or "(none)".
std::string string_value(const std::vector<char>& info, const char* name) {
    std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) return "(none)";
    return std::string(value);
}

std::string fixed_version(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
           std::to_string(LOWORD(low));
}

void check(const std::string& path, const std::string& version) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> info(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, info.data())) {
        expect(false, path, "no version resource");
        return;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length);
    expect(fixed && fixed->dwSignature == 0xFEEF04BD, path, "no fixed file information");
    if (!fixed) return;
    expect(fixed_version(fixed->dwFileVersionMS, fixed->dwFileVersionLS) == version, path, "FILEVERSION");
    expect(fixed_version(fixed->dwProductVersionMS, fixed->dwProductVersionLS) == version, path, "PRODUCTVERSION");

    struct Row {
        const char* name;
        std::string expected;  // empty: any text that is not empty
    };
    const Row rows[] = {
        {"FileVersion", version},
        {"ProductVersion", version},
        {"ProductName", "libvelm_basetool"},
        {"OriginalFilename", base_name(path)},
        {"FileDescription", ""},
        {"LegalCopyright", ""},
    };
    for (const Row& row : rows) {
        std::string value = string_value(info, row.name);
        bool ok = row.expected.empty() ? value != "(none)" && !value.empty() : value == row.expected;
        expect(ok, path, std::string(row.name) + " is \"" + value + "\"");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: version_info_test VERSION FILE...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) check(argv[i], argv[1]);
    return failures == 0 ? 0 : 1;
}
