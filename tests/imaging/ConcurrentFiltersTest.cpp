#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "TestImages.h"
#include "imaging/Filters.h"

namespace {

// Two sessions filtering on their own threads with different settings must each get the
// result they would get alone: no table of one may leak into the other.
TEST(ConcurrentFiltersTest, SessionsOnTwoThreadsDoNotShareTables) {
    std::mt19937 rng(31);
    Plane source(64, 16, 6);
    source.FillRandom(rng, true);
    struct Session {
        int32_t saturation;
        int32_t gamma;
        Plane expected;
    };
    std::vector<Session> sessions = {{-200, 60, source}, {150, 180, source}};
    auto filter = [](Plane& image, int32_t saturation, int32_t gamma) {
        HueSaturationParams hueSaturation{25, 0, saturation, 16};
        FilterSetting gammaSetting{gamma};
        RunConverter(HueSaturation48, image, image, &hueSaturation);
        RunConverter(GammaColor16, image, image, &gammaSetting);
    };
    for (Session& s : sessions) filter(s.expected, s.saturation, s.gamma);

    std::vector<std::thread> threads;
    std::vector<bool> matched(sessions.size(), true);
    for (size_t i = 0; i < sessions.size(); ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 40; ++round) {
                Plane image = source;
                filter(image, sessions[i].saturation, sessions[i].gamma);
                if (image.bytes != sessions[i].expected.bytes) matched[i] = false;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < sessions.size(); ++i) EXPECT_TRUE(matched[i]) << "session " << i;
}

}  // namespace
