#include "onair/memory_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "base/error.h"

namespace cantivo {
namespace {

TEST(MemoryStreamTest, AppendsAndGrowsInWholeSteps) {
    MemoryStream stream;
    EXPECT_EQ(stream.Bytes(), "");
    std::string block(1025, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i);
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        stream.Write(block.data(), block.size());
        expected += block;
        EXPECT_EQ(stream.Capacity() % MemoryStream::kGrowthStep, 0u);
        EXPECT_GE(stream.Capacity(), stream.Size());
    }
    EXPECT_EQ(stream.Bytes(), expected);
    EXPECT_EQ(stream.Position(), expected.size());
    stream.SetPosition(0);
    EXPECT_EQ(stream.Position(), 0u);
    EXPECT_EQ(stream.Size(), expected.size());
}

TEST(MemoryStreamTest, GrowsGeometrically) {
    MemoryStream stream;
    std::string block(1000, 'x');
    int reallocations = 0;
    size_t capacity = 0;
    for (int i = 0; i < 10000; ++i) {
        stream.Write(block.data(), block.size());
        if (stream.Capacity() != capacity) ++reallocations;
        capacity = stream.Capacity();
    }
    EXPECT_LT(reallocations, 20);
}

TEST(MemoryStreamTest, RunningOutOfMemoryIsTheStreamError) {
    MemoryStream stream;
    stream.Write("abc", 3);
    char byte = 0;
    // The size is refused before a single byte is read from the source.
    for (size_t huge : {size_t(-1), size_t(-1) / 2, size_t(1) << 62}) {
        try {
            stream.Write(&byte, huge);
            FAIL();
        } catch (const CantivoError& e) {
            EXPECT_EQ(e.Message(), "メモリストリームの拡大中にメモリが足りなくなりました");
        }
    }
    EXPECT_EQ(stream.Bytes(), "abc");
}

}  // namespace
}  // namespace cantivo
