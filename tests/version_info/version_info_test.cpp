// The version resource of each FILE through GetFileVersionInfo: the fixed and the string versions are VERSION,
// the names are set; prints every mismatch.   usage: version_info_test VERSION FILE...
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

std::string fixed_version(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
           std::to_string(LOWORD(low));
}

// How many of the file's values differ from what they should be; prints each.
int mismatches(const std::string& path, const std::string& version) {
    std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), nullptr));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (info.empty() || !GetFileVersionInfoA(path.c_str(), 0, info.size(), info.data()) ||
        !VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed->dwSignature != 0xFEEF04BD) {
        std::printf("%s: no version resource with fixed file information\n", path.c_str());
        return 1;
    }
    const std::string fileName = path.substr(path.find_last_of("/\\") + 1);
    // Each string of the U.S. English Unicode table, with its value: "" stands for any text that is not empty.
    const std::pair<const char*, std::string> rows[] = {
        {"FileVersion", version},       {"ProductVersion", version}, {"ProductName", "libvelm_basetool"},
        {"OriginalFilename", fileName}, {"FileDescription", ""},     {"LegalCopyright", ""}};
    int failures = 0;
    for (const auto& [name, expected] : rows) {
        char* value = nullptr;
        std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
        bool found = VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) && *value;
        if (found && (expected.empty() || value == expected)) continue;
        std::printf("%s: %s is \"%s\"\n", path.c_str(), name, found ? value : "");
        ++failures;
    }
    const std::string fixedVersions = fixed_version(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + " " +
                                      fixed_version(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    if (fixedVersions == version + " " + version) return failures;
    std::printf("%s: the fixed file and product versions are %s\n", path.c_str(), fixedVersions.c_str());
    return failures + 1;
}

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    int failures = 0;
    for (int i = 2; i < argc; ++i) failures += mismatches(argv[i], argv[1]);
    return failures == 0 ? 0 : 1;
}
