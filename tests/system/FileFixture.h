// A scratch directory for the tests of the file functions, without Qt so that
// it builds on every system: put and get a file's bytes, list what the
// directory holds. Paths are UTF-8 strings, as the system layer takes them.
#pragma once

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <set>
#include <string>

namespace tavro::test {

class FileFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        do
            dir_ =
                std::filesystem::temp_directory_path() / ("tavro-test-" + std::to_string(random()));
        while (!std::filesystem::create_directory(dir_));
    }
    ~FileFixture() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    static std::string Utf8(const std::filesystem::path& path) {
        const std::u8string text = path.u8string();
        return {text.begin(), text.end()};
    }
    static std::filesystem::path Native(const std::string& utf8) {
        return std::u8string(utf8.begin(), utf8.end());
    }
    std::string Dir() const { return Utf8(dir_); }
    std::string PathOf(const std::string& name) const { return Dir() + "/" + name; }
    std::string Cfg() const { return PathOf("tavro.cfg"); }

    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::string Get(const std::string& path) {
        std::ifstream in(Native(path), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::set<std::string> Entries(const std::string& dir) {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Native(dir)))
            names.insert(Utf8(e.path().filename()));
        return names;
    }

    std::filesystem::path dir_;
};

} // namespace tavro::test
