#include <gtest/gtest.h>

#include <string>

#include "multio/TextReader_Stream.h"
#include "multio/TextWriter_Stream.h"
#include "tests/multio/MemoryStream.h"

using multio::TextReader_Stream;
using multio::TextWriter_Stream;

namespace {

std::string readAllLines(MemoryStream& stream, std::vector<std::string>* lines) {
    TextReader_Stream reader(&stream);
    std::string joined;
    int guard = 0;
    while (!reader.IsEof() && guard++ < 1000) {
        const std::string line = reader.ReadLine(-1);
        lines->push_back(line);
        joined += line;
    }
    return joined;
}

} // namespace

TEST(TextReader, LastLineWithoutTerminatorThenEof) {
    MemoryStream stream("A=1\nB=2");
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.ReadLine(-1), "A=1\n");
    EXPECT_FALSE(reader.IsEof());
    EXPECT_EQ(reader.ReadLine(-1), "B=2");
    EXPECT_TRUE(reader.IsEof());
}

TEST(TextReader, FileEndingInNewlineGivesOneEmptyTrailingLine) {
    MemoryStream stream("A=1\n");
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.ReadLineTrimmed(-1), "A=1");
    EXPECT_FALSE(reader.IsEof());
    EXPECT_EQ(reader.ReadLineTrimmed(-1), "");
    EXPECT_TRUE(reader.IsEof());
}

TEST(TextReader, TrimmedRemovesEveryTrailingCrAndLf) {
    MemoryStream stream("A=1\r\n\r\r\nB\r\r\n");
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.ReadLineTrimmed(-1), "A=1");
    EXPECT_EQ(reader.ReadLineTrimmed(-1), "");
    EXPECT_EQ(reader.ReadLineTrimmed(-1), "B");
}

TEST(TextReader, OneByteRefillsNeverReadPastTheLine) {
    MemoryStream stream("first\nsecond\n");
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.ReadLine(-1), "first\n");
    EXPECT_EQ(stream.position, 6u);
    // With a lookahead the reader asks for more at once.
    EXPECT_EQ(reader.ReadLine(100), "second\n");
    EXPECT_EQ(stream.position, 13u);
}

TEST(TextReader, LongLinesComeBackInFullRingPieces) {
    const std::string longLine(5000, 'x');
    MemoryStream stream(longLine + "\nend");
    std::vector<std::string> lines;
    EXPECT_EQ(readAllLines(stream, &lines), longLine + "\nend");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 4096u);
    EXPECT_EQ(lines[1].size(), 5000u - 4096u + 1u);
    EXPECT_EQ(lines[2], "end");
}

TEST(TextReader, NulBytesStayInsideTheLine) {
    const std::string content("A\0B\nC", 5);
    MemoryStream stream(content);
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.ReadLine(-1), std::string("A\0B\n", 4));
    EXPECT_EQ(reader.ReadLine(-1), "C");
}

TEST(TextReader, AnyChunkingAndLookaheadGivesTheSameLines) {
    const std::string content = "alpha\r\nbeta\n\ngamma\rdelta\nomega";
    for (size_t chunk = 1; chunk < 8; ++chunk) {
        // Read until IsEof: only safe with one-byte refills, which hold nothing past a line.
        MemoryStream exact(content);
        exact.maxPerRead = chunk;
        std::vector<std::string> lines;
        EXPECT_EQ(readAllLines(exact, &lines), content) << chunk;
        EXPECT_EQ(lines.size(), 5u);
        // Read until nothing comes back: works with any lookahead.
        for (int lookahead : {0, 3, 5000}) {
            MemoryStream stream(content);
            stream.maxPerRead = chunk;
            TextReader_Stream reader(&stream);
            std::string joined;
            for (int i = 0; i < 100; ++i) {
                const std::string line = reader.ReadLine(lookahead);
                if (line.empty()) {
                    break;
                }
                joined += line;
            }
            EXPECT_EQ(joined, content) << chunk << " " << lookahead;
        }
    }
}

TEST(TextReader, PeekAtLooksAheadWithoutConsuming) {
    MemoryStream stream("xyz");
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.PeekAt(2, -1), 'z');
    EXPECT_EQ(reader.Peek(-1), 'x');
    EXPECT_EQ(reader.PeekAt(4097, -1), -1); // beyond the ring
    EXPECT_EQ(reader.ReadChar(), 'x');
    EXPECT_EQ(reader.ReadChar(), 'y');
    EXPECT_EQ(reader.ReadChar(), 'z');
    EXPECT_EQ(reader.ReadChar(), 0);
    EXPECT_EQ(reader.PeekAt(0, -1), 0); // end of data
    EXPECT_TRUE(reader.IsEof());
}

TEST(TextReader, PeekAtRefusesRequestsBeyondFreeRoom) {
    MemoryStream stream(std::string(5000, 'a'));
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.PeekAt(0, 2047), 'a'); // one chunk of 2048 bytes
    EXPECT_EQ(stream.position, 2048u);
    EXPECT_EQ(reader.PeekAt(3000, -1), 'a'); // exactly the missing bytes
    EXPECT_EQ(stream.position, 3001u);
    EXPECT_EQ(reader.PeekAt(3001, 2047), -1); // 2048 more would not fit
    EXPECT_EQ(stream.position, 3001u);
    EXPECT_EQ(reader.PeekAt(3001, -1), 'a');
}

TEST(TextReader, ReadTakesRingBytesThenTheStream) {
    MemoryStream stream("0123456789");
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.PeekAt(2, -1), '2');
    char buffer[8] = {};
    EXPECT_EQ(reader.Read(buffer, 6), 6);
    EXPECT_EQ(std::string(buffer, 6), "012345");
    EXPECT_EQ(reader.Read(buffer, 8), 4);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(reader.Read(buffer, 8), 0);
}

TEST(TextReader, FailingStreamGivesEmptyLinesAndReportsIt) {
    MemoryStream stream("A=1\nB=2\n");
    stream.failAt = 5; // mid second line
    stream.failCode = -19;
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.ReadLine(-1), "A=1\n");
    EXPECT_EQ(reader.RefillStatus(), 0);
    EXPECT_EQ(reader.ReadLine(-1), "");
    EXPECT_FALSE(reader.IsEof());
    EXPECT_EQ(reader.RefillStatus(), -19);
    EXPECT_EQ(reader.PeekAt(3, -1), -19);
}

TEST(TextReader, StreamEndingSilentlyReturnsTheRest) {
    MemoryStream stream("A=1\nB");
    stream.silentEnd = true;
    TextReader_Stream reader(&stream);
    EXPECT_EQ(reader.ReadLine(-1), "A=1\n");
    EXPECT_EQ(reader.ReadLine(-1), "B");
    EXPECT_FALSE(reader.IsEof());
    EXPECT_EQ(reader.RefillStatus(), 1);
}

TEST(TextReader, WithoutStreamReadsNothing) {
    TextReader_Stream reader(nullptr);
    EXPECT_TRUE(reader.IsEof());
    EXPECT_EQ(reader.ReadLine(-1), "");
    EXPECT_EQ(reader.PeekAt(0, -1), -1);
}

TEST(TextWriter, WriteLineAddsLineFeedAndCountsIt) {
    MemoryStream stream;
    TextWriter_Stream writer(&stream);
    EXPECT_EQ(writer.WriteLine("abc"), 4);
    EXPECT_EQ(stream.written, "abc\n");
    EXPECT_EQ(writer.WriteString("de"), 2);
    EXPECT_EQ(writer.GetStream(), &stream);
    EXPECT_EQ(stream.written, "abc\nde");
}

TEST(TextWriter, FailuresComeBackNegative) {
    TextWriter_Stream detached(nullptr);
    EXPECT_EQ(detached.WriteString("x"), -1);
    EXPECT_EQ(detached.Printf("%d", 1), -1);
    EXPECT_EQ(detached.PrintfSized(10, "%d", 1), -1);

    MemoryStream failing;
    failing.failWrites = true;
    TextWriter_Stream writer(&failing);
    EXPECT_EQ(writer.WriteLine("abc"), -1);
    EXPECT_EQ(writer.PrintfSized(0, "x"), -1);
}

TEST(TextWriter, PrintfCutsOutputAtTheBuffer) {
    MemoryStream stream;
    TextWriter_Stream writer(&stream);
    const std::string big(10000, 'q');
    EXPECT_EQ(writer.Printf("%s=%s\n", "K", big.c_str()), 4095);
    EXPECT_EQ(stream.written, "K=" + std::string(4093, 'q'));
    stream.written.clear();
    EXPECT_EQ(writer.Printf("%s=%d|%.2f", "X", -12, 1.5), 10);
    EXPECT_EQ(stream.written, "X=-12|1.50");
}

TEST(TextWriter, PrintfSizedUsesItsOwnBuffer) {
    MemoryStream stream;
    TextWriter_Stream writer(&stream);
    const std::string big(6000, 'z');
    EXPECT_EQ(writer.PrintfSized(8000, "<%s>", big.c_str()), 6002);
    EXPECT_EQ(writer.PrintfSized(4, "%s", "abcdef"), 3);
    EXPECT_EQ(stream.written, "<" + big + ">abc");
}
