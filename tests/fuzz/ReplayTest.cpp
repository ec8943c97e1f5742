#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define QTM_FUZZ_TARGET(name) extern "C" int QtmFuzz_##name(const uint8_t* data, size_t size);
#include "FuzzTargets.inc"
#undef QTM_FUZZ_TARGET

namespace {

struct Harness {
    const char* name;
    int (*run)(const uint8_t*, size_t);
};

const Harness harnesses[] = {
#define QTM_FUZZ_TARGET(name) { #name, &QtmFuzz_##name },
#include "FuzzTargets.inc"
#undef QTM_FUZZ_TARGET
};

std::vector<std::filesystem::path> inputsOf(const std::string& target)
{
    std::vector<std::filesystem::path> files;
    for (const char* kind : { "corpus", "regressions" }) {
        const std::filesystem::path dir = std::filesystem::path(QTM_FUZZ_DIR) / kind / target;
        if (!std::filesystem::is_directory(dir))
            continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    }
    return files;
}

class FuzzReplay : public ::testing::TestWithParam<Harness> { };

// A harness aborts on a broken promise and the sanitizers on a memory fault, so a seed or a kept
// fault input that goes wrong again ends this test with the input's name on the log.
TEST_P(FuzzReplay, SeedsAndKeptFaultInputsRunClean)
{
    const Harness& harness = GetParam();
    const std::vector<std::filesystem::path> files = inputsOf(harness.name);
    EXPECT_FALSE(files.empty()) << "no seeds for " << harness.name;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        harness.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(AllTargets, FuzzReplay, ::testing::ValuesIn(harnesses),
    [](const ::testing::TestParamInfo<Harness>& info) { return std::string(info.param.name); });

} // namespace
