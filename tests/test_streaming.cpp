#include <gtest/gtest.h>

#include "TestUtil.h"
#include "base/Errors.h"
#include "base/Streams.h"

TEST(Streaming, CountedStringsRoundTripByteExact) {
    MemoryStream s;
    WriteStr(s, "");
    EXPECT_EQ(s.Data(), Bytes({0, 0}));
    s.Clear();
    std::string big(65535, 'x');
    WriteStr(s, big);
    EXPECT_EQ(s.Data().substr(0, 2), Bytes({0xFF, 0xFF}));
    EXPECT_EQ(s.Size(), 65537u);
    s.SetPosition(0);
    std::string back = "junk";
    ReadStr(s, back);
    EXPECT_EQ(back, big);

    // Longer strings keep their first (length modulo 65536) bytes.
    MemoryStream t;
    WriteStr(t, std::string(65536 + 3, 'y'));
    EXPECT_EQ(t.Data(), Bytes({3, 0}) + "yyy");
    t.SetPosition(0);
    std::string e = "x";
    MemoryStream empty(Bytes({0, 0}));
    ReadStr(empty, e);
    EXPECT_EQ(e, "");
}

TEST(Streaming, LineListsByteExact) {
    MemoryStream s;
    WriteStringList(s, {});
    EXPECT_EQ(s.Data(), Bytes({0, 0, 0, 0}));
    s.Clear();
    WriteStringList(s, {""});
    EXPECT_EQ(s.Data(), Bytes({2, 0, 0, 0, 0x0D, 0x0A}));
    s.Clear();
    WriteStringList(s, {"a", "", "b"});
    EXPECT_EQ(s.Data(), Bytes({8, 0, 0, 0, 0x61, 0x0D, 0x0A, 0x0D, 0x0A, 0x62, 0x0D, 0x0A}));
    s.SetPosition(0);
    LineList back{"old"};
    ReadStringList(s, back);
    EXPECT_EQ(back, (LineList{"a", "", "b"}));

    s.Clear();
    WriteStringList(s, {""});
    s.SetPosition(0);
    ReadStringList(s, back);
    EXPECT_EQ(back, LineList{""});
}

TEST(Streaming, SplittingRules) {
    // a LF b without terminator; LF CR ends two lines; NUL ends the text.
    EXPECT_EQ(SplitText("a\nb"), (LineList{"a", "b"}));
    EXPECT_EQ(SplitText("a\n\rb"), (LineList{"a", "", "b"}));
    EXPECT_EQ(SplitText("a\rb\r\nc\r\n"), (LineList{"a", "b", "c"}));
    EXPECT_EQ(SplitText(std::string("ab\0cd\r\nef", 9)), LineList{"ab"});
    EXPECT_EQ(SplitText(std::string("\0x", 2)), LineList{});
    // A line holding a CR comes back as two lines.
    MemoryStream s;
    WriteStringList(s, {"x\ry"});
    s.SetPosition(0);
    LineList back;
    ReadStringList(s, back);
    EXPECT_EQ(back, (LineList{"x", "y"}));
}

TEST(Streaming, MemoryBlocks) {
    MemoryStream buf("hello");
    MemoryStream out;
    WriteMemoryBlock(out, buf);
    EXPECT_EQ(buf.Size(), 0u) << "writing consumes the buffer";
    EXPECT_EQ(out.Data(), Bytes({5, 0, 0, 0}) + "hello");
    WriteMemoryBlock(out, buf);
    EXPECT_EQ(out.Data().substr(9), Bytes({0, 0, 0, 0}));

    out.SetPosition(0);
    MemoryStream in;
    ReadMemoryBlock(out, in);
    EXPECT_EQ(in.Data(), "hello");
    EXPECT_EQ(in.Position(), 0u);

    // A negative length reads as an empty block and consumes only the 4 bytes.
    MemoryStream neg(Bytes({0xFF, 0xFF, 0xFF, 0xFF}) + "rest");
    MemoryStream got("x");
    ReadMemoryBlock(neg, got);
    EXPECT_EQ(got.Size(), 0u);
    EXPECT_EQ(neg.Position(), 4u);
}

TEST(Streaming, TruncatedInputIsAnErrorAndAllocatesNothingHuge) {
    // A block claiming 2 GB in a short stream fails before taking the memory.
    MemoryStream s(Bytes({0xFF, 0xFF, 0xFF, 0x7F}) + "tiny");
    MemoryStream buf;
    EXPECT_THROW(ReadMemoryBlock(s, buf), EReadError);
    MemoryStream str(Bytes({10, 0}) + "abc");
    std::string out = "keep";
    EXPECT_THROW(ReadStr(str, out), EReadError);
    EXPECT_EQ(out, "keep");
    MemoryStream half(Bytes({1, 0}));
    LineList lines{"keep"};
    EXPECT_THROW(ReadStringList(half, lines), EReadError);
    EXPECT_EQ(lines, LineList{"keep"});
}
