#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "multio/StreamOpener_File_WIN32File.h"
#include "multio/Stream_WIN32File.h"
#include "multio/TextReader_Stream.h"
#include "multio/TextWriter_Stream.h"
#include "tests/multio/TempFolder_Win32.h"

using namespace multio;

namespace {

// Opens through the opener; the stream is closed and deleted when the holder goes.
struct Opened {
    int32_t result = 0;
    Stream* stream = nullptr;
    Opened(const std::string& path, uint32_t flags) {
        result = StreamOpener_File_WIN32File().Open(path.c_str(), flags, &stream);
    }
    ~Opened() {
        if (stream != nullptr) {
            stream->Close();
            delete stream;
        }
    }
};

const uint32_t kSaveFlags = kOpenWrite | kOpenCreate | kOpenTruncate;

// A file holding "hello", opened for reading.
class HelloFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeWholeFile(folder / "a.txt", "hello"));
        file.reset(new Opened(folder / "a.txt", kOpenRead));
        ASSERT_EQ(file->result, 0);
    }
    TempFolder folder{"filestream"};
    std::unique_ptr<Opened> file;
};

} // namespace

TEST_F(HelloFile, ShortReadSetsEndAndTheNextReadGivesZero) {
    char buffer[16] = {};
    EXPECT_FALSE(file->stream->IsEof());
    EXPECT_EQ(file->stream->Available(), 1);
    EXPECT_EQ(file->stream->Read(buffer, 3, 0), 3);
    EXPECT_FALSE(file->stream->IsEof());
    EXPECT_EQ(file->stream->Read(buffer + 3, 10, 0), 2);
    EXPECT_EQ(std::string(buffer), "hello");
    EXPECT_TRUE(file->stream->IsEof());
    EXPECT_EQ(file->stream->Available(), 0);
    EXPECT_EQ(file->stream->Read(buffer, 10, 0), 0);
    EXPECT_EQ(file->stream->GetReadCount(), 5);
}

TEST_F(HelloFile, FlagsAreRefusedAndNothingIsRead) {
    char buffer[4] = {};
    EXPECT_EQ(file->stream->Read(buffer, 4, 1), kStreamUnsupported);
    EXPECT_EQ(file->stream->Write("x", 1, 1), kStreamUnsupported);
    EXPECT_EQ(file->stream->Tell(), 0);
    EXPECT_EQ(file->stream->GetReadCount(), 0);
    EXPECT_EQ(file->stream->Open("x", 0), kStreamUnsupported);
    EXPECT_TRUE(file->stream->CanSeek());
}

TEST(FileStream, WriteSeekTellAndFlush) {
    TempFolder folder("filestream");
    Opened file(folder / "b.txt", kSaveFlags | kOpenRead);
    ASSERT_EQ(file.result, 0);
    Stream& s = *file.stream;
    EXPECT_EQ(s.Write("0123456789", 10, 0), 10);
    EXPECT_EQ(s.GetWriteCount(), 10);
    EXPECT_EQ(s.Tell(), 10);
    EXPECT_EQ(s.Flush(), 0);
    char buffer[8] = {};
    EXPECT_EQ(s.Read(buffer, 4, 0), 0);
    EXPECT_TRUE(s.IsEof());
    EXPECT_EQ(s.Seek(-3, kSeekEnd), 0);
    EXPECT_FALSE(s.IsEof());
    EXPECT_EQ(s.Read(buffer, 3, 0), 3);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(s.Seek(2, kSeekStart), 0);
    EXPECT_EQ(s.Seek(1, kSeekCurrent), 0);
    EXPECT_EQ(s.Tell(), 3);
    EXPECT_EQ(s.Seek(0, 3), kStreamUnsupported);
    EXPECT_EQ(s.Seek(-1, kSeekStart), kStreamFailed);
}

TEST(FileStream, WithoutHandle) {
    Stream_WIN32File empty;
    EXPECT_TRUE(empty.IsEof());
    EXPECT_EQ(empty.Seek(0, kSeekStart), kStreamNoHandle);
    EXPECT_EQ(empty.Tell(), kStreamNoHandle);
    EXPECT_EQ(empty.Flush(), kStreamNoHandle);
    EXPECT_EQ(empty.Close(), 0);
    char byte = 0;
    EXPECT_EQ(empty.Read(&byte, 1, 0), kStreamFailed);
    EXPECT_EQ(empty.Write(&byte, 1, 0), kStreamFailed);
}

TEST(FileStream, AttachTakesAHandleOnlyOnce) {
    TempFolder folder("filestream");
    ASSERT_TRUE(writeWholeFile(folder / "c.txt", "xy"));
    HANDLE handle = CreateFileA((folder / "c.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    Stream_WIN32File stream;
    EXPECT_EQ(stream.Attach(handle), 0);
    EXPECT_FALSE(stream.IsEof());
    EXPECT_EQ(stream.Attach(handle), kStreamAlreadyOpen);
    char buffer[4] = {};
    EXPECT_EQ(stream.Read(buffer, 4, 0), 2);
    EXPECT_EQ(stream.Close(), 0);
}

TEST(FileOpener, DispositionsAndErrors) {
    TempFolder folder("opener");
    const std::string path = folder / "d.txt";
    Stream* stream = reinterpret_cast<Stream*>(1);
    EXPECT_EQ(StreamOpener_File_WIN32File().Open(path.c_str(), kOpenRead, &stream),
              -static_cast<int32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(stream, nullptr);
    {
        Opened created(path, kOpenWrite | kOpenNew);
        ASSERT_EQ(created.result, 0);
        created.stream->Write("abcdef", 6, 0);
    }
    {
        Opened again(path, kOpenWrite | kOpenNew);
        EXPECT_EQ(again.result, -static_cast<int32_t>(ERROR_FILE_EXISTS));
    }
    {
        Opened keep(path, kOpenWrite | kOpenCreate); // OPEN_ALWAYS keeps the contents
        ASSERT_EQ(keep.result, 0);
        keep.stream->Write("AB", 2, 0);
    }
    EXPECT_EQ(readWholeFile(path), "ABcdef");
    {
        Opened truncated(path, kOpenWrite | kOpenTruncate);
        ASSERT_EQ(truncated.result, 0);
    }
    EXPECT_EQ(readWholeFile(path), "");
    {
        Opened missing(folder / "e.txt", kOpenWrite | kOpenTruncate);
        EXPECT_EQ(missing.result, -static_cast<int32_t>(ERROR_FILE_NOT_FOUND));
    }
}

TEST(FileOpener, ForwardSlashesOpenTheSameFile) {
    TempFolder folder("opener");
    ASSERT_TRUE(writeWholeFile(folder / "f.txt", "same"));
    std::string slashed = folder / "f.txt";
    for (char& c : slashed) {
        if (c == '\\') {
            c = '/';
        }
    }
    Opened file(slashed, kOpenRead);
    ASSERT_EQ(file.result, 0);
    char buffer[8] = {};
    EXPECT_EQ(file.stream->Read(buffer, 8, 0), 4);
    EXPECT_EQ(std::string(buffer), "same");
}

TEST(FileOpener, ReadersShareButTheSaveDoesNot) {
    TempFolder folder("opener");
    const std::string path = folder / "g.txt";
    ASSERT_TRUE(writeWholeFile(path, "x"));
    {
        Opened first(path, kOpenRead);
        Opened second(path, kOpenRead);
        EXPECT_EQ(first.result, 0);
        EXPECT_EQ(second.result, 0);
    }
    Opened save(path, kSaveFlags);
    ASSERT_EQ(save.result, 0);
    Opened reader(path, kOpenRead);
    EXPECT_EQ(reader.result, -static_cast<int32_t>(ERROR_SHARING_VIOLATION));
}

TEST(FileText, LinesThroughARealFile) {
    TempFolder folder("filetext");
    const std::string path = folder / "h.txt";
    {
        Opened file(path, kSaveFlags);
        ASSERT_EQ(file.result, 0);
        TextWriter_Stream writer(file.stream);
        EXPECT_EQ(writer.WriteLine("abc"), 4);
        EXPECT_EQ(writer.Printf("A=%d\r\n", 1), 5);
        EXPECT_EQ(writer.WriteString("last"), 4);
        EXPECT_EQ(writer.Flush(), 0);
    }
    EXPECT_EQ(readWholeFile(path), "abc\nA=1\r\nlast");
    Opened file(path, kOpenRead);
    ASSERT_EQ(file.result, 0);
    TextReader_Stream reader(file.stream);
    EXPECT_EQ(reader.ReadLine(-1), "abc\n");
    EXPECT_EQ(reader.ReadLineTrimmed(-1), "A=1");
    EXPECT_FALSE(reader.IsEof());
    EXPECT_EQ(reader.ReadLine(-1), "last");
    EXPECT_TRUE(reader.IsEof());
}

TEST(FileStream, ClosingTwiceLeavesAReusedHandleAlone) {
    TempFolder folder("filestream");
    ASSERT_TRUE(writeWholeFile(folder / "d.txt", "xy"));
    auto open = [&] {
        return CreateFileA((folder / "d.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    Stream_WIN32File stream(open());
    EXPECT_EQ(stream.Close(), 0);
    HANDLE other = open(); // may well get the value just freed
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(stream.Close(), 0);
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(other, &flags));
    EXPECT_TRUE(stream.IsEof());
    CloseHandle(other);
}
