// Every registry call reads the file afresh, so a call costs what parsing the whole hive costs: a key
// with many values must answer a query in time linear in the file, not in its square.
#include "kelvra/win32.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A hive of `values` values in one key, in a temporary configuration directory of its own.
class WideHive {
public:
    explicit WideHive(int values) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvra-registry-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        directory = pattern;
        ::setenv("XDG_CONFIG_HOME", directory.c_str(), 1);
        std::filesystem::create_directories(directory + "/kelvra");
        std::ofstream file(directory + "/kelvra/registry.txt", std::ios::binary);
        file << "[HKEY_CURRENT_USER\\Software\\Wide]\n";
        for (int i = 0; i < values; ++i) file << "\"Value" << i << "\"=dword:" << std::hex << i << std::dec << "\n";
        lastName = "Value" + std::to_string(values - 1);
    }
    ~WideHive() {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }

    std::string lastName;

private:
    std::string directory;
};

void QueryInAWideKey(benchmark::State& state) {
    WideHive hive(static_cast<int>(state.range(0)));
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wide", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        state.SkipWithError("cannot open the key");
        return;
    }
    for (auto _ : state) {
        DWORD value = 0, size = sizeof value;
        LONG result =
            RegQueryValueExA(key, hive.lastName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        benchmark::DoNotOptimize(result);
    }
    state.SetComplexityN(state.range(0));
    RegCloseKey(key);
}
BENCHMARK(QueryInAWideKey)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond)->Complexity();

void SetInAWideKey(benchmark::State& state) {
    WideHive hive(static_cast<int>(state.range(0)));
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wide", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        state.SkipWithError("cannot open the key");
        return;
    }
    DWORD value = 0;
    for (auto _ : state) {
        ++value;
        LONG result = RegSetValueExA(key, hive.lastName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                     sizeof value);
        benchmark::DoNotOptimize(result);
    }
    state.SetComplexityN(state.range(0));
    RegCloseKey(key);
}
BENCHMARK(SetInAWideKey)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
