// A scratch directory for the tests of the file functions (profile files and
// the safe save): put and get a file's bytes, list what the directory holds.
#pragma once

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>

namespace tavro::test {

class FileFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    std::string Dir() const { return dir_.path().toStdString(); }
    std::string PathOf(const std::string& name) const { return Dir() + "/" + name; }
    std::string Cfg() const { return PathOf("tavro.cfg"); }

    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::string Get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::set<std::string> Entries(const std::string& dir) {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            names.insert(e.path().filename().string());
        return names;
    }

    QTemporaryDir dir_;
};

} // namespace tavro::test
