// A folder of the test's own, made empty and gone with the test whatever it left in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace testsupport {

class ScratchDir {
public:
    // root: where it is made; /dev/shm keeps a test that syncs thousands of files off the disk.
    explicit ScratchDir(const std::string& root = "/tmp") {
        std::string name = root + "/qlx-test-XXXXXX";
        if (::mkdtemp(name.data()) == nullptr)
            throw std::runtime_error("no scratch folder under " + root);
        m_path = name;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return m_path / name;
    }

private:
    std::filesystem::path m_path;
};

}  // namespace testsupport
