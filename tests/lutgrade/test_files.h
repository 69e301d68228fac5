// Table files written by the tests into a fresh folder of the test sandbox.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#ifdef _WIN32
#include <direct.h>
#endif

#include <gtest/gtest.h>

namespace lutref {

inline std::string test_folder() {
    const char* base = std::getenv("PROJECT_BINARY_DIR");
    std::string pattern = std::string(base ? base : "/tmp") + "/lutgrade-test-XXXXXX";
#ifdef _WIN32
    if (_mktemp_s(&pattern[0], pattern.size() + 1) != 0 || _mkdir(pattern.c_str()) != 0)
#else
    if (!mkdtemp(&pattern[0]))
#endif
        ADD_FAILURE() << "cannot make " << pattern;
    return pattern;
}

inline std::string write_text(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr) << path;
    if (f) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    return path;
}

}  // namespace lutref
