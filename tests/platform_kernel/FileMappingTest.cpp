#include "ChildProcess.h"

#include "kelvra/win32.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr DWORD kSize = 8584;

// Object names are shared by all processes of the user: make them unique per test process.
std::string UniqueName(const char* base) {
    return std::string("KelvraTest-") + base + "-" + std::to_string(::getpid());
}

struct Mapping {
    HANDLE handle = nullptr;
    unsigned char* view = nullptr;
    DWORD createError = 0;

    static Mapping Create(const std::string& name, DWORD size = kSize) {
        Mapping mapping;
        SetLastError(0xBAD);
        mapping.handle = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str());
        mapping.createError = GetLastError();
        if (mapping.handle)
            mapping.view = static_cast<unsigned char*>(MapViewOfFile(mapping.handle, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        return mapping;
    }
    void Close() {
        if (view) UnmapViewOfFile(view);
        if (handle) CloseHandle(handle);
        view = nullptr;
        handle = nullptr;
    }
};

bool Exists(const std::string& name) {
    HANDLE handle = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (!handle) return false;
    CloseHandle(handle);
    return true;
}

bool AllZero(const unsigned char* view, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (view[i] != 0) return false;
    return true;
}

TEST(FileMappings, NamedMappingIsSharedUntilItsLastUserGoes) {
    std::string name = UniqueName("shared");
    Mapping first = Mapping::Create(name);
    ASSERT_NE(first.view, nullptr);
    EXPECT_EQ(first.createError, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(AllZero(first.view, kSize));

    Mapping second = Mapping::Create(name, 16);  // the existing size wins over the requested one
    ASSERT_NE(second.view, nullptr);
    EXPECT_EQ(second.createError, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    first.view[kSize - 1] = 0x77;
    EXPECT_EQ(second.view[kSize - 1], 0x77);

    // A view keeps the mapping alive after its handle is closed.
    CloseHandle(first.handle);
    first.handle = nullptr;
    second.Close();
    EXPECT_TRUE(Exists(name));
    first.Close();
    EXPECT_FALSE(Exists(name));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    Mapping fresh = Mapping::Create(name);
    ASSERT_NE(fresh.view, nullptr);
    EXPECT_EQ(fresh.createError, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(AllZero(fresh.view, kSize)) << "a re-created mapping starts zeroed";
    fresh.Close();
}

TEST(FileMappings, ViewsAndHandlesCheckTheirArguments) {
    std::string name = UniqueName("arguments");
    Mapping mapping = Mapping::Create(name, 2 * 65536);
    ASSERT_NE(mapping.view, nullptr);
    auto expectFailure = [](const void* result, DWORD error) {
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(GetLastError(), error);
    };
    expectFailure(MapViewOfFile(mapping.handle, FILE_MAP_READ, 0, 100, 0), ERROR_MAPPED_ALIGNMENT);
    expectFailure(MapViewOfFile(mapping.handle, FILE_MAP_READ, 0, 0, 2 * 65536 + 1), ERROR_ACCESS_DENIED);
    expectFailure(MapViewOfFile(mapping.handle, FILE_MAP_READ, 0, 2 * 65536, 0), ERROR_ACCESS_DENIED);
    expectFailure(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, name.c_str()),
                  ERROR_INVALID_PARAMETER);
    expectFailure(OpenFileMappingA(FILE_MAP_READ, FALSE, UniqueName("absent").c_str()), ERROR_FILE_NOT_FOUND);

    auto* second = static_cast<unsigned char*>(MapViewOfFile(mapping.handle, FILE_MAP_WRITE, 0, 65536, 0));
    ASSERT_NE(second, nullptr);
    second[0] = 9;
    EXPECT_EQ(mapping.view[65536], 9);

    HANDLE readOnly = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    ASSERT_NE(readOnly, nullptr);
    expectFailure(MapViewOfFile(readOnly, FILE_MAP_WRITE, 0, 0, 0), ERROR_ACCESS_DENIED);
    const void* readView = MapViewOfFile(readOnly, FILE_MAP_READ, 0, 0, 16);
    EXPECT_NE(readView, nullptr);
    EXPECT_TRUE(UnmapViewOfFile(readView));
    CloseHandle(readOnly);

    EXPECT_TRUE(UnmapViewOfFile(second + 10)) << "any address inside a view unmaps it";
    EXPECT_FALSE(UnmapViewOfFile(second));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    mapping.Close();
}

// The file the kernel shows behind a mapped address, so the test can cut the object short as
// another process of the user could.
std::string FileBehind(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto target = reinterpret_cast<uintptr_t>(address);
    for (std::string line; std::getline(maps, line);) {
        unsigned long start = 0, end = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx", &start, &end) == 2 && target >= start && target < end)
            return line.find('/') == std::string::npos ? std::string() : line.substr(line.find('/'));
    }
    return std::string();
}

TEST(FileMappings, ViewsReportWholePagesAndCopiesFailWhereTheMappingWasCutShort) {
    std::string name = UniqueName("query");
    Mapping mapping = Mapping::Create(name);
    ASSERT_NE(mapping.view, nullptr);
    const SIZE_T page = static_cast<SIZE_T>(::sysconf(_SC_PAGESIZE));
    MEMORY_BASIC_INFORMATION region{};
    ASSERT_EQ(VirtualQuery(mapping.view + page + 5, &region, sizeof region), sizeof region);
    EXPECT_EQ(region.AllocationBase, mapping.view);
    EXPECT_EQ(region.BaseAddress, mapping.view + page);
    EXPECT_EQ(region.RegionSize, (kSize + page - 1) / page * page - page) << "to the end of the view's last page";
    EXPECT_EQ(region.Type, static_cast<DWORD>(MEM_MAPPED));
    EXPECT_EQ(region.Protect, static_cast<DWORD>(PAGE_READWRITE));
    int onTheStack = 0;
    EXPECT_EQ(VirtualQuery(&onTheStack, &region, sizeof region), 0u);

    std::string buffer(kSize, 'w');
    SIZE_T done = 1;
    ASSERT_TRUE(WriteProcessMemory(GetCurrentProcess(), mapping.view, buffer.data(), kSize, &done));
    EXPECT_EQ(done, kSize);
    EXPECT_EQ(mapping.view[kSize - 1], 'w');

    const int object = ::open(FileBehind(mapping.view).c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(object, 0);
    ASSERT_EQ(::ftruncate(object, 100), 0);
    // A plain read of mapping.view[page] would now raise SIGBUS.
    EXPECT_FALSE(ReadProcessMemory(GetCurrentProcess(), mapping.view, buffer.data(), kSize, &done));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PARTIAL_COPY));
    EXPECT_EQ(done, page);
    EXPECT_FALSE(WriteProcessMemory(GetCurrentProcess(), mapping.view + page, buffer.data(), 10, &done));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOACCESS));
    EXPECT_EQ(done, 0u);
    ASSERT_EQ(::ftruncate(object, kSize), 0);
    EXPECT_TRUE(ReadProcessMemory(GetCurrentProcess(), mapping.view, buffer.data(), kSize, &done));
    EXPECT_EQ(buffer.substr(0, 100), std::string(100, 'w')) << "what was left of the object is kept";
    ::close(object);

    EXPECT_FALSE(ReadProcessMemory(reinterpret_cast<HANDLE>(0x1234), mapping.view, buffer.data(), 4, &done));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    mapping.Close();
}

TEST(FileMappings, UnnamedMappingIsPrivateToItsHandle) {
    HANDLE handle = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    ASSERT_NE(handle, nullptr);
    auto* a = static_cast<unsigned char*>(MapViewOfFile(handle, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    auto* b = static_cast<unsigned char*>(MapViewOfFile(handle, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_TRUE(a && b);
    a[100] = 1;
    EXPECT_EQ(b[100], 1);
    UnmapViewOfFile(a);
    UnmapViewOfFile(b);
    CloseHandle(handle);
}

TEST(FileMappings, ProcessesShareTheMappingAndTheLastOneDiscardsIt) {
    std::string name = UniqueName("processes");
    ChildProcess holder({HelperPath(), "map-hold", name, std::to_string(kSize)});
    ASSERT_EQ(holder.ReadLine(), "ready");

    Mapping mine = Mapping::Create(name);
    ASSERT_NE(mine.view, nullptr);
    EXPECT_EQ(mine.createError, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(mine.view[0], 0x5A) << "written by the other process";

    holder.CloseInput();
    ASSERT_EQ(holder.Wait(), 0);
    EXPECT_TRUE(Exists(name)) << "this process still uses it";
    mine.Close();
    EXPECT_FALSE(Exists(name));
}

TEST(FileMappings, AKilledProcessDoesNotKeepAMappingAlive) {
    std::string name = UniqueName("killed");
    {
        ChildProcess holder({HelperPath(), "map-hold", name, std::to_string(kSize)});
        ASSERT_EQ(holder.ReadLine(), "ready");
        ChildProcess checker({HelperPath(), "map-check", name});
        EXPECT_EQ(checker.Wait(), 0) << "a third process sees the holder's data";
        holder.Kill();
        holder.Wait();
    }
    EXPECT_FALSE(Exists(name));
    Mapping fresh = Mapping::Create(name);
    ASSERT_NE(fresh.view, nullptr);
    EXPECT_EQ(fresh.createError, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(AllZero(fresh.view, kSize));
    fresh.Close();
}

TEST(FileMappings, ASurvivorKeepsTheDataOfAKilledProcess) {
    std::string name = UniqueName("survivor");
    ChildProcess holder({HelperPath(), "map-hold", name, std::to_string(kSize)});
    ASSERT_EQ(holder.ReadLine(), "ready");
    HANDLE handle = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(handle, nullptr);
    holder.Kill();
    holder.Wait();
    auto* view = static_cast<unsigned char*>(MapViewOfFile(handle, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[0], 0x5A);
    UnmapViewOfFile(view);
    CloseHandle(handle);
    EXPECT_FALSE(Exists(name));
}

}  // namespace
