// Inputs that the fuzz targets found faults with, kept so the faults stay fixed.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <string>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/value_text.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZORV_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZORV_LEAK_CHECK 1
#endif
#endif
#ifdef ZORV_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// Bytes still allocated after running `work` many times: 0 when it releases what it takes.
template <typename Work>
bool releases_everything(Work work) {
#ifdef ZORV_LEAK_CHECK
    for (int i = 0; i < 10; ++i) work();
    return __lsan_do_recoverable_leak_check() == 0;
#else
    work();  // the allocator's first-use growth is not a leak
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 1000; ++i) work();
    return mallinfo2().uordblks == before;
#endif
}

}  // namespace

// A rejected list (empty first or last item) used to keep its items allocated.
TEST(FuzzFindingsTest, SplitListReleasesRejectedLists) {
    for (const char* text : {",a,,b,", ",", "a,", ",a", "\n", "a\n\n", ""}) {
        EXPECT_TRUE(releases_everything([text] {
            char** items = nullptr;
            EXPECT_EQ(split_list(text, &items), -1);
            EXPECT_EQ(items, nullptr);
        })) << '"'
            << text << '"';
    }
    // An accepted list is the caller's to release, and releasing it leaves nothing behind.
    EXPECT_TRUE(releases_everything([] {
        char** items = nullptr;
        ASSERT_EQ(split_list("a,,b", &items), 3);
        EXPECT_EQ(std::string(items[2]), "b");
        for (int i = 0; i < 3; ++i) std::free(items[i]);
        std::free(items);
    }));
}

// A carriage return inside a script string ends the string; the programs clean a value before
// they place it, and cleaning must take every line terminator but the newline out.
TEST(FuzzFindingsTest, CleanedValuesKeepScriptStringsWhole) {
    for (const char* raw : {"\a\a'\r", "a\rb", "x\x0b\x0cy\\", "line\nnext\r\n"}) {
        std::string value(raw);
        clean_value_text(value.data());
        const std::string placed = prepare_value_text(value, true, true);
        EXPECT_EQ(placed.find('\r'), std::string::npos) << placed;
        for (size_t i = 0; i < placed.size(); ++i) {
            if (placed[i] == '\\') {
                ++i;
                continue;
            }
            EXPECT_NE(placed[i], '\'') << placed;
            EXPECT_NE(placed[i], '\n') << placed;  // only as "<br>\" and newline
        }
    }
}
