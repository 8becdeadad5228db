// The version resource of each FILE through GetFileVersionInfo: the fixed and the string versions are VERSION,
// the names are set; prints every mismatch.   usage: version_info_test VERSION FILE...
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string fixed_version(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
           std::to_string(LOWORD(low));
}

// How many of the file's values differ from what they should be; prints each.
int mismatches(const std::string& path, const std::string& version) {
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (info.empty() || !GetFileVersionInfoA(path.c_str(), 0, info.size(), info.data()) ||
        !VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed->dwSignature != 0xFEEF04BD) {
        std::printf("%s: no version resource with fixed file information\n", path.c_str());
        return 1;
    }
    auto text = [&](const char* name) {  // of the U.S. English Unicode table
        char* value = nullptr;
        std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
        return VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) ? std::string(value)
                                                                                                   : "(none)";
    };
    struct Row {
        const char* name;
        std::string value, expected;  // expected empty: any text that is not empty
    };
    const Row rows[] = {
        {"FILEVERSION", fixed_version(fixed->dwFileVersionMS, fixed->dwFileVersionLS), version},
        {"PRODUCTVERSION", fixed_version(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version},
        {"FileVersion", text("FileVersion"), version},
        {"ProductVersion", text("ProductVersion"), version},
        {"ProductName", text("ProductName"), "libvelm_basetool"},
        {"OriginalFilename", text("OriginalFilename"), path.substr(path.find_last_of("/\\") + 1)},
        {"FileDescription", text("FileDescription"), ""},
        {"LegalCopyright", text("LegalCopyright"), ""},
    };
    int failures = 0;
    for (const Row& row : rows) {
        if (row.expected.empty() ? row.value != "(none)" && !row.value.empty() : row.value == row.expected) continue;
        std::printf("%s: %s is \"%s\"\n", path.c_str(), row.name, row.value.c_str());
        ++failures;
    }
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    int failures = 0;
    for (int i = 2; i < argc; ++i) failures += mismatches(argv[i], argv[1]);
    return failures == 0 ? 0 : 1;
}
